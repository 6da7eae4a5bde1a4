#include "chunks/scan_ranges.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <thread>

#include "leveldb/slice.h"
#include "util/coding.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(__linux__)
#include <sched.h>
#endif

namespace quorvales {

namespace {

struct LiveFile {
  std::string smallest;
  uint64_t size = 0;
};

// The live tables, from the property that the patched LevelDB offers:
// level, size, smallest and largest user key of each.
std::vector<LiveFile> LiveFiles(leveldb::DB* db) {
  std::vector<LiveFile> files;
  std::string encoded;
  if (!db->GetProperty("leveldb.live-files", &encoded)) return files;
  leveldb::Slice input(encoded);
  while (!input.empty()) {
    uint32_t level = 0;
    LiveFile file;
    leveldb::Slice smallest, largest;
    if (!leveldb::GetVarint32(&input, &level) ||
        !leveldb::GetVarint64(&input, &file.size) ||
        !leveldb::GetLengthPrefixedSlice(&input, &smallest) ||
        !leveldb::GetLengthPrefixedSlice(&input, &largest)) {
      return {};
    }
    file.smallest = smallest.ToString();
    files.push_back(file);
  }
  return files;
}

}  // namespace

std::vector<KeyRange> PlanRanges(leveldb::DB* db, int pieces) {
  std::vector<LiveFile> files = LiveFiles(db);
  std::sort(files.begin(), files.end(),
            [](const LiveFile& a, const LiveFile& b) {
              return a.smallest < b.smallest;
            });
  uint64_t total = 0;
  for (const LiveFile& file : files) total += file.size;

  std::vector<KeyRange> ranges(1);
  const uint64_t target = pieces > 0 ? total / pieces + 1 : total + 1;
  for (const LiveFile& file : files) {
    KeyRange& last = ranges.back();
    // A new range starts at a table's smallest key once the current one
    // holds its share; the first range always starts at the first key.
    if (last.stored_bytes >= target && !file.smallest.empty() &&
        (last.from_first || file.smallest > last.begin) &&
        static_cast<int>(ranges.size()) < pieces) {
      last.to_last = false;
      last.end = file.smallest;
      KeyRange next;
      next.from_first = false;
      next.begin = file.smallest;
      ranges.push_back(next);
    }
    ranges.back().stored_bytes += file.size;
  }
  return ranges;
}

double RangeBalance(const std::vector<KeyRange>& ranges, int threads) {
  uint64_t total = 0;
  for (const KeyRange& range : ranges) total += range.stored_bytes;
  if (threads <= 0 || total == 0) return 1.0;
  // Each thread's load, smallest first: the next range goes to whichever
  // thread finishes first.
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> loads;
  for (int t = 0; t < threads; ++t) loads.push(0);
  for (const KeyRange& range : ranges) {
    const uint64_t least = loads.top();
    loads.pop();
    loads.push(least + range.stored_bytes);
  }
  uint64_t busiest = 0;
  while (!loads.empty()) {
    busiest = std::max(busiest, loads.top());
    loads.pop();
  }
  return static_cast<double>(busiest) * threads / static_cast<double>(total);
}

int ScanThreads() {
#ifdef _WIN32
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
    int count = 0;
    for (; process != 0; process &= process - 1) ++count;
    if (count > 0) return count;
  }
#elif defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof(set), &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
#endif
  const unsigned int count = std::thread::hardware_concurrency();
  return count > 0 ? static_cast<int>(count) : 1;
}

}  // namespace quorvales
