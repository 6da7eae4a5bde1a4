#include "chunks/chunk_key.h"

namespace quorvales {

namespace {

// Real chunks lie within about 1.9 million of the origin; every key made of
// text decodes to 2^24 or more in magnitude.
constexpr int32_t kCoordinateBound = int32_t{1} << 24;

int32_t DecodeInt32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  const uint32_t value = uint32_t{b[0]} | (uint32_t{b[1]} << 8) |
                         (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
  return static_cast<int32_t>(value);
}

int32_t ChunkX(const leveldb::Slice& key) { return DecodeInt32(key.data()); }
int32_t ChunkZ(const leveldb::Slice& key) {
  return DecodeInt32(key.data() + 4);
}

bool InsideWorld(int32_t v) {
  return -kCoordinateBound < v && v < kCoordinateBound;
}

}  // namespace

bool IsChunkRecordKey(const leveldb::Slice& key) {
  const size_t n = key.size();
  return n == 9 || n == 10 || n == 13 || n == 14;
}

bool IsQuorvaleRecordKey(const leveldb::Slice& key) {
  if (!IsChunkRecordKey(key)) return false;
  // Long keys hold the dimension id in bytes 8 to 11; the tag follows it.
  const size_t tag_offset = key.size() > 12 ? 12 : 8;
  return static_cast<uint8_t>(key[tag_offset]) == kQuorvaleTag &&
         InsideWorld(ChunkX(key)) && InsideWorld(ChunkZ(key));
}

int32_t ChunkCoordinate(const leveldb::Slice& key, const std::string& axis) {
  return axis == "x" ? ChunkX(key) : ChunkZ(key);
}

int32_t DimensionId(const leveldb::Slice& key) {
  return key.size() > 12 ? DecodeInt32(key.data() + 8) : 0;
}

const char* DimensionLabel(const leveldb::Slice& key) {
  return key.size() > 12 ? "Other" : "Overworld";
}

bool ChunkKeyLess(const leveldb::Slice& a, const leveldb::Slice& b) {
  const int32_t ax = ChunkX(a), bx = ChunkX(b);
  if (ax != bx) return ax < bx;
  return ChunkZ(a) < ChunkZ(b);
}

}  // namespace quorvales
