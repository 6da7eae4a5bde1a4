#ifndef QUORVALES_CHUNKS_RUN_COUNTERS_H_
#define QUORVALES_CHUNKS_RUN_COUNTERS_H_

#include <cstdint>

namespace quorvales {

// What the scan and the purge counted; the statistics report prints them.
struct RunCounters {
  int32_t records_seen = 0;   // chunk record keys of any tag
  int32_t quorvale_seen = 0;  // Quorvale record keys
  int32_t marked = 0;         // Quorvale records over the data limit
  int32_t deleted = 0;        // marked keys deleted by the batch write
};

}  // namespace quorvales

#endif  // QUORVALES_CHUNKS_RUN_COUNTERS_H_
