// The lines the scan and the purge write per record.  Their format changes
// (precision 1, fixed notation) stay on the streams for every later line.

#ifndef QUORVALES_CHUNKS_RECORD_LINES_H_
#define QUORVALES_CHUNKS_RECORD_LINES_H_

#include <cstdint>

#include "output/line_writer.h"

namespace quorvales {

// "   |- Chunk [X,Z] over Data Limit [..kB / ..KB] - Marked"; switches both
// streams to fixed notation for the rest of the run.
void WriteOverLimitLine(Output& out, int32_t x, int32_t z, float size_kb,
                        float limit_kb);

// "   |- Chunk [X,Z] within Data Limit [..kB / ..KB]", in whatever notation
// the streams hold.
void WriteWithinLimitLine(Output& out, int32_t x, int32_t z, float size_kb,
                          float limit_kb);

void WriteDeletionLine(Output& out, const char* dimension, int32_t x,
                       int32_t z);

}  // namespace quorvales

#endif  // QUORVALES_CHUNKS_RECORD_LINES_H_
