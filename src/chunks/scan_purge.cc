#include "chunks/scan_purge.h"

#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>

#include "chunks/chunk_key.h"
#include "chunks/record_lines.h"
#include "chunks/scan_ranges.h"

namespace quorvales {

namespace {

// The scan of one key range: its records in key order, the keys over the
// limit, its counters, and the iterator's status once it stopped (an error
// there means the keys seen are not the whole range).  With out set, each
// record's line is written as it is found instead of being kept.
struct RangeScan {
  Output* out = nullptr;
  std::vector<ScannedRecord>* all_records = nullptr;  // with out: kept there
  std::vector<ScannedRecord> records;
  std::vector<std::string> marked_keys;
  RunCounters counters;
  leveldb::Status status;
};

void WriteRecordLine(Output& out, const ScannedRecord& record,
                     float data_limit) {
  const float limit_kb = data_limit / 1000.0f;
  const auto size_as_number = static_cast<float>(record.size);
  const float size_kb = size_as_number / 1000.0f;
  if (record.over) {
    WriteOverLimitLine(out, record.x, record.z, size_kb, limit_kb);
  } else {
    WriteWithinLimitLine(out, record.x, record.z, size_kb, limit_kb);
  }
}

void ScanRange(leveldb::Iterator* it, const KeyRange& range, float data_limit,
               RangeScan* scan) {
  if (range.from_first) {
    it->SeekToFirst();
  } else {
    it->Seek(range.begin);
  }
  for (; it->Valid(); it->Next()) {
    const leveldb::Slice key = it->key();
    if (!range.to_last && key.compare(range.end) >= 0) break;
    if (!IsChunkRecordKey(key)) continue;
    if (IsQuorvaleRecordKey(key)) {
      ScannedRecord record;
      record.dimension = DimensionId(key);
      record.x = ChunkCoordinate(key, "x");
      record.z = ChunkCoordinate(key, "z");
      record.size = static_cast<uint32_t>(it->value().size());
      record.over = static_cast<float>(record.size) > data_limit;
      if (record.over) {
        scan->marked_keys.push_back(key.ToString());
        ++scan->counters.marked;
      }
      if (scan->out != nullptr) {
        WriteRecordLine(*scan->out, record, data_limit);
        if (scan->all_records != nullptr) scan->all_records->push_back(record);
      } else {
        scan->records.push_back(record);
      }
      ++scan->counters.quorvale_seen;
    }
    ++scan->counters.records_seen;
  }
  scan->status = it->status();
}

// Adds a range's results to the run's, in key order, writing the lines
// that it kept.
void TakeRange(RangeScan* scan, float data_limit, Output& out,
               RunCounters* counters, std::vector<std::string>* marked_keys,
               std::vector<ScannedRecord>* records, leveldb::Status* status) {
  for (const ScannedRecord& record : scan->records) {
    WriteRecordLine(out, record, data_limit);
  }
  if (records != nullptr) {
    records->insert(records->end(), scan->records.begin(), scan->records.end());
  }
  counters->records_seen += scan->counters.records_seen;
  counters->quorvale_seen += scan->counters.quorvale_seen;
  counters->marked += scan->counters.marked;
  marked_keys->insert(marked_keys->end(),
                      std::make_move_iterator(scan->marked_keys.begin()),
                      std::make_move_iterator(scan->marked_keys.end()));
  if (status->ok()) *status = scan->status;
  *scan = RangeScan();
}

// One pass over every key, on threads that each scan one range at a time
// with an iterator of their own, all at one snapshot.  This thread writes
// the ranges' lines in key order as they complete, so the console keeps
// moving; a thread waits while it is more than a few ranges ahead.  The
// lines, counters and keys are exactly those of one iterator over all.
leveldb::Status Scan(WorldDatabase& world, float data_limit, int threads,
                     Output& out, RunCounters* counters,
                     std::vector<std::string>* marked_keys,
                     std::vector<ScannedRecord>* records) {
  leveldb::Status status;
  if (threads <= 1) {
    RangeScan scan;
    scan.out = &out;
    scan.all_records = records;
    ScanRange(world.iterator(), KeyRange(), data_limit, &scan);
    TakeRange(&scan, data_limit, out, counters, marked_keys, nullptr, &status);
    return status;
  }

  // Many more ranges than threads, so that the threads finish together.
  const std::vector<KeyRange> ranges =
      PlanRanges(world.db(), threads * kRangesPerThread);
  leveldb::ReadOptions read_options = world.read_options();
  read_options.snapshot = world.db()->GetSnapshot();
  std::vector<RangeScan> scans(ranges.size());
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<bool> done(ranges.size(), false);
  size_t next = 0, taken = 0;
  const size_t ahead = 2 * static_cast<size_t>(threads);

  auto work = [&] {
    for (;;) {
      size_t index;
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] {
          return next >= ranges.size() || next < taken + ahead;
        });
        if (next >= ranges.size()) return;
        index = next++;
      }
      std::unique_ptr<leveldb::Iterator> it(
          world.db()->NewIterator(read_options));
      ScanRange(it.get(), ranges[index], data_limit, &scans[index]);
      it.reset();
      std::lock_guard<std::mutex> lock(mutex);
      done[index] = true;
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  const size_t count = std::min(ranges.size(), static_cast<size_t>(threads));
  for (size_t t = 0; t < count; ++t) workers.emplace_back(work);
  for (size_t index = 0; index < ranges.size(); ++index) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return done[index]; });
    }
    TakeRange(&scans[index], data_limit, out, counters, marked_keys, records,
              &status);
    std::lock_guard<std::mutex> lock(mutex);
    taken = index + 1;
    changed.notify_all();
  }
  for (std::thread& worker : workers) worker.join();
  world.db()->ReleaseSnapshot(read_options.snapshot);
  return status;
}

bool Purge(WorldDatabase& world, Output& out, RunCounters* counters,
           std::vector<std::string>* marked_keys) {
  if (!marked_keys->empty()) {
    WriteBoth(out, "8. Marked ", counters->marked,
              " containing Quorvale Data over specified limit.");
    WriteBoth(out, "9. Deleting marked chunks");
    std::sort(marked_keys->begin(), marked_keys->end(),
              [](const std::string& a, const std::string& b) {
                return ChunkKeyLess(a, b);
              });
    leveldb::WriteBatch batch;
    for (const std::string& key : *marked_keys) {
      WriteDeletionLine(out, DimensionLabel(key), ChunkCoordinate(key, "x"),
                        ChunkCoordinate(key, "z"));
      batch.Delete(key);
      ++counters->deleted;
    }
    const leveldb::Status status = world.Write(&batch);
    if (!status.ok()) {
      WriteBoth(out, "   |- ERROR: Deleting failed: ", status.ToString());
      counters->deleted = 0;
      return false;
    }
  }
  WriteBoth(out, "10. Quorvale Data Deleted");
  return true;
}

}  // namespace

bool ScanMarkAndPurge(WorldDatabase& world, float data_limit, Output& out,
                      RunCounters* counters,
                      std::vector<std::string>* marked_keys, int threads,
                      std::vector<ScannedRecord>* records) {
  WriteBoth(out, "7. Running Operation...");
  const leveldb::Status status =
      Scan(world, data_limit, threads, out, counters, marked_keys, records);
  if (!status.ok()) {
    if (records != nullptr) records->clear();
    WriteBoth(out,
              "   |- ERROR: World database read failed: ", status.ToString());
    return false;
  }
  return Purge(world, out, counters, marked_keys);
}

}  // namespace quorvales
