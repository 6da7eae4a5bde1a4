#ifndef QUORVALES_CHUNKS_RUN_STATS_H_
#define QUORVALES_CHUNKS_RUN_STATS_H_

#include "chunks/run_counters.h"
#include "output/line_writer.h"

namespace quorvales {

// The STATS block: the four counters, the percentages that apply and the
// notes on what did not happen.  Numbers keep the notation the scan left.
void WriteRunStats(Output& out, const RunCounters& counters);

}  // namespace quorvales

#endif  // QUORVALES_CHUNKS_RUN_STATS_H_
