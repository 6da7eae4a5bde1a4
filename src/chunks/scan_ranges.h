// The key space of a world split into ranges of about equal stored size,
// so that several threads can scan it at once, and how evenly a number of
// threads would share them.

#ifndef QUORVALES_CHUNKS_SCAN_RANGES_H_
#define QUORVALES_CHUNKS_SCAN_RANGES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "leveldb/db.h"

namespace quorvales {

// Keys from begin (or the first key) up to, not including, end (or to the
// last key).  Keys may be empty, so the open ends are flags.
struct KeyRange {
  bool from_first = true;
  std::string begin;
  bool to_last = true;
  std::string end;
  uint64_t stored_bytes = 0;  // of the tables that start in the range
};

// How many ranges a scan plans for each of its threads: the threads take
// them in turn, so the finer they are, the closer together the threads
// finish.
constexpr int kRangesPerThread = 32;

// At most pieces ranges in key order, together covering every key, split
// at the smallest keys of the live tables.  One range when the world has
// too few tables to split.
std::vector<KeyRange> PlanRanges(leveldb::DB* db, int pieces);

// With threads that each take the next range in key order when they are
// free: the stored bytes of the busiest thread over the mean.  1 is even.
double RangeBalance(const std::vector<KeyRange>& ranges, int threads);

// The number of CPUs that this process may run on.
int ScanThreads();

}  // namespace quorvales

#endif  // QUORVALES_CHUNKS_SCAN_RANGES_H_
