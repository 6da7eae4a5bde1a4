// The work of a run: walk every key once, report every Quorvale record
// against the data limit, collect the keys over it, and delete them all in
// one batch write in chunk order.

#ifndef QUORVALES_CHUNKS_SCAN_PURGE_H_
#define QUORVALES_CHUNKS_SCAN_PURGE_H_

#include <string>
#include <vector>

#include "chunks/run_counters.h"
#include "output/line_writer.h"
#include "world/world_database.h"

namespace quorvales {

// A Quorvale record as the scan met it.
struct ScannedRecord {
  int32_t dimension = 0;
  int32_t x = 0;
  int32_t z = 0;
  uint32_t size = 0;
  bool over = false;  // over the data limit
};

// Writes the steps "7." to "10." and fills the counters and the marked
// keys, scanning on threads threads; the transcript is the same for every
// count.  With records given, every Quorvale record of a complete scan goes
// there, in key order; after a scan error it is left empty.  Returns false when
// the scan or the batch write failed; the error line is written then, and
// nothing is deleted.
bool ScanMarkAndPurge(WorldDatabase& world, float data_limit, Output& out,
                      RunCounters* counters,
                      std::vector<std::string>* marked_keys, int threads,
                      std::vector<ScannedRecord>* records = nullptr);

}  // namespace quorvales

#endif  // QUORVALES_CHUNKS_SCAN_PURGE_H_
