#include "chunks/scan_purge.h"

#include <algorithm>

#include "chunks/chunk_key.h"
#include "chunks/record_lines.h"

namespace quorvales {

namespace {

// Returns the iterator's status once it stops: an error there means the
// keys seen so far are not the whole world.
leveldb::Status Scan(leveldb::Iterator* it, float data_limit, Output& out,
                     RunCounters* counters,
                     std::vector<std::string>* marked_keys) {
  const float limit_kb = data_limit / 1000.0f;
  for (it->SeekToFirst(); it->Valid(); it->Next()) {
    const leveldb::Slice key = it->key();
    if (!IsChunkRecordKey(key)) continue;
    const int32_t x = ChunkCoordinate(key, "x");
    const int32_t z = ChunkCoordinate(key, "z");
    if (IsQuorvaleRecordKey(key)) {
      const auto size = static_cast<uint32_t>(it->value().size());
      const auto size_as_number = static_cast<float>(size);
      const float size_kb = size_as_number / 1000.0f;
      if (size_as_number > data_limit) {
        WriteOverLimitLine(out, x, z, size_kb, limit_kb);
        marked_keys->push_back(key.ToString());
        ++counters->marked;
      } else {
        WriteWithinLimitLine(out, x, z, size_kb, limit_kb);
      }
      ++counters->quorvale_seen;
    }
    ++counters->records_seen;
  }
  return it->status();
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
                      std::vector<std::string>* marked_keys) {
  WriteBoth(out, "7. Running Operation...");
  const leveldb::Status status =
      Scan(world.iterator(), data_limit, out, counters, marked_keys);
  if (!status.ok()) {
    WriteBoth(out,
              "   |- ERROR: World database read failed: ", status.ToString());
    return false;
  }
  return Purge(world, out, counters, marked_keys);
}

}  // namespace quorvales
