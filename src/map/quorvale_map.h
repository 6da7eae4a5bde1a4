// A map of where a world's Quorvale records are: one self-contained HTML
// page beside the run log, with a panel per dimension, the records drawn
// at their chunks and coloured by size, and a table of the largest, so
// that a player can go there and find what keeps scheduling ticks.

#ifndef QUORVALES_MAP_QUORVALE_MAP_H_
#define QUORVALES_MAP_QUORVALE_MAP_H_

#include <string>
#include <vector>

#include "chunks/run_counters.h"
#include "chunks/scan_purge.h"
#include "output/line_writer.h"

namespace quorvales {

// What the page's heading tells.
struct MapHeading {
  std::string world_name;
  float data_limit = 1000.0f;
  std::string date;  // the run's start stamp
  RunCounters counters;
};

// The page.  Records over the limit are "deleted" when the run deleted
// records, "over the limit" otherwise.
std::string QuorvaleMapPage(const MapHeading& heading,
                            const std::vector<ScannedRecord>& records);

// Writes "quorvaleMap <file stamp>.html" into the current folder and its
// line.  A page that cannot be written is left out without a line.
void WriteQuorvaleMap(const std::string& file_stamp, const MapHeading& heading,
                      const std::vector<ScannedRecord>& records, Output& out);

}  // namespace quorvales

#endif  // QUORVALES_MAP_QUORVALE_MAP_H_
