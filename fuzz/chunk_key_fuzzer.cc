// Arbitrary bytes as a database key: the key functions must never read out
// of bounds, and their answers must hang together.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "chunks/chunk_key.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const leveldb::Slice key(reinterpret_cast<const char*>(data), size);
  const bool chunk = quorvales::IsChunkRecordKey(key);
  const bool quorvale = quorvales::IsQuorvaleRecordKey(key);
  if (quorvale && !chunk) __builtin_trap();
  if (!chunk) return 0;
  const int32_t x = quorvales::ChunkCoordinate(key, "x");
  const int32_t z = quorvales::ChunkCoordinate(key, "z");
  int32_t raw_x;
  std::memcpy(&raw_x, data, 4);
  if (x != raw_x) __builtin_trap();
  if (quorvale && (x >= (1 << 24) || x <= -(1 << 24) || z >= (1 << 24) ||
                   z <= -(1 << 24))) {
    __builtin_trap();
  }
  const char* label = quorvales::DimensionLabel(key);
  if ((size > 12) != (std::strcmp(label, "Other") == 0)) __builtin_trap();
  if (quorvales::ChunkKeyLess(key, key)) __builtin_trap();
  return 0;
}
