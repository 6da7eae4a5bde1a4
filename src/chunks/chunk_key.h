// The layout of chunk record keys: X and Z as little-endian 32-bit
// integers, then a record tag.  Short keys (9 or 10 bytes) belong to the
// Overworld; long keys (13 or 14 bytes) carry a 4-byte dimension id before
// the tag.

#ifndef QUORVALES_CHUNKS_CHUNK_KEY_H_
#define QUORVALES_CHUNKS_CHUNK_KEY_H_

#include <cstdint>
#include <string>

#include "leveldb/slice.h"

namespace quorvales {

// The record tag of a chunk's scheduled-tick (Quorvale) record.
constexpr uint8_t kQuorvaleTag = 51;

// True for keys of exactly 9, 10, 13 or 14 bytes, whatever their bytes.
bool IsChunkRecordKey(const leveldb::Slice& key);

// True for a chunk record key whose record tag is 51 and whose X and Z lie
// inside the range of real chunks.  Named records such as "map_12343" have
// chunk-key lengths, but their text bytes decode to coordinates far outside
// any world, so they are never taken for Quorvale records.
bool IsQuorvaleRecordKey(const leveldb::Slice& key);

// X when axis is exactly "x", Z for any other axis.  The key must hold at
// least 8 bytes.
int32_t ChunkCoordinate(const leveldb::Slice& key, const std::string& axis);

// "Other" for keys longer than 12 bytes, "Overworld" otherwise.
const char* DimensionLabel(const leveldb::Slice& key);

// The dimension id: 0 (the Overworld) for keys of up to 12 bytes, else
// the id in bytes 8 to 11 (1 the Nether, 2 the End).
int32_t DimensionId(const leveldb::Slice& key);

// Orders keys by X, then Z, both signed; nothing else is compared.
bool ChunkKeyLess(const leveldb::Slice& a, const leveldb::Slice& b);

}  // namespace quorvales

#endif  // QUORVALES_CHUNKS_CHUNK_KEY_H_
