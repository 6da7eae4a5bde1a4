// Writes Bedrock-like world folders: levelname.txt and a LevelDB database
// whose tables are compressed as the game compresses them.  Used by the
// sample-world program and by the tests.

#ifndef QUORVALES_TOOLS_WORLD_WRITER_H_
#define QUORVALES_TOOLS_WORLD_WRITER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "leveldb/compressor.h"
#include "leveldb/status.h"

namespace quorvales {

struct WorldRecord {
  std::string key;
  std::string value;
};

// Record tags of chunk records the game writes.
enum ChunkTag : uint8_t {
  kData3D = 43,
  kVersion = 44,
  kData2D = 45,
  kSubChunk = 47,
  kBlockEntity = 49,
  kEntity = 50,
  kPendingTicks = 51,
  kFinalized = 54,
  kBiomeState = 58,
};

// A chunk record key: X, Z, the dimension id for the Nether (1) and the End
// (2), the tag, and the subchunk index for tag 47.
std::string ChunkKey(int32_t x, int32_t z, int32_t dimension, uint8_t tag,
                     int subchunk = -1);

// How the database is laid out: the game's 160 KiB blocks, compacted; or
// other tools' small blocks; or left as the writes made it, in overlapping
// level-0 tables of at most write_buffer_size each.
struct WorldShape {
  size_t block_size = 163840;
  size_t write_buffer_size = 4 << 20;
  bool compact = true;
};

// Writes the records into folder/db (created) through codec, with a Bloom
// filter, in the given shape; writes levelname.txt holding level_name
// exactly.  A null codec stores blocks uncompressed.
leveldb::Status WriteWorld(const std::string& folder,
                           const std::string& level_name,
                           const std::vector<WorldRecord>& records,
                           leveldb::Compressor* codec,
                           const WorldShape& shape = WorldShape());

// Records of a world with chunks in all three dimensions, the usual tags,
// Quorvale records below, at and above 1000 bytes, and named records.  The
// same seed gives the same records; chunks sets the world's size.
std::vector<WorldRecord> SampleWorldRecords(uint64_t seed, int chunks);

}  // namespace quorvales

#endif  // QUORVALES_TOOLS_WORLD_WRITER_H_
