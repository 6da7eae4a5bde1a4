#include "chunks/record_lines.h"

#include <iomanip>

namespace quorvales {

void WriteOverLimitLine(Output& out, int32_t x, int32_t z, float size_kb,
                        float limit_kb) {
  WriteBoth(out, "   |- Chunk [", x, ",", z, "] over Data Limit [", std::dec,
            std::setprecision(1), std::fixed, size_kb, "kB / ", std::dec,
            limit_kb, "KB] - Marked");
}

void WriteWithinLimitLine(Output& out, int32_t x, int32_t z, float size_kb,
                          float limit_kb) {
  WriteBoth(out, "   |- Chunk [", x, ",", z, "] within Data Limit [", std::dec,
            std::setprecision(1), size_kb, "kB / ", std::dec, limit_kb, "KB]");
}

void WriteDeletionLine(Output& out, const char* dimension, int32_t x,
                       int32_t z) {
  WriteBoth(out, "   |- Deleting Quorvale data from ", dimension,
            " chunk >> X: ", x, " Z: ", z);
}

}  // namespace quorvales
