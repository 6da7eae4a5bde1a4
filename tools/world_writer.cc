#include "tools/world_writer.h"

#include <fstream>
#include <memory>
#include <random>

#include "leveldb/db.h"
#include "leveldb/filter_policy.h"
#include "leveldb/options.h"
#include "leveldb/write_batch.h"

namespace quorvales {

namespace {

void PutInt32(std::string* out, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int shift = 0; shift < 32; shift += 8) {
    out->push_back(static_cast<char>((u >> shift) & 0xff));
  }
}

// Values shaped like block data: runs of a few repeated ids with some noise,
// so that they compress about as well as the game's.
std::string ChunkValue(std::mt19937_64& rng, size_t size) {
  std::string value;
  value.reserve(size);
  while (value.size() < size) {
    const auto id = static_cast<char>(rng() % 12);
    size_t run = 1 + rng() % 24;
    while (run-- > 0 && value.size() < size) value.push_back(id);
    if (rng() % 4 == 0 && value.size() < size) {
      value.push_back(static_cast<char>(rng()));
    }
  }
  return value;
}

}  // namespace

std::string ChunkKey(int32_t x, int32_t z, int32_t dimension, uint8_t tag,
                     int subchunk) {
  std::string key;
  PutInt32(&key, x);
  PutInt32(&key, z);
  if (dimension != 0) PutInt32(&key, dimension);
  key.push_back(static_cast<char>(tag));
  if (subchunk >= 0) key.push_back(static_cast<char>(subchunk));
  return key;
}

leveldb::Status WriteWorld(const std::string& folder,
                           const std::string& level_name,
                           const std::vector<WorldRecord>& records,
                           leveldb::Compressor* codec,
                           const WorldShape& shape) {
  std::ofstream(folder + "/levelname.txt", std::ios::binary) << level_name;
  std::unique_ptr<const leveldb::FilterPolicy> filter(
      leveldb::NewBloomFilterPolicy(10));
  leveldb::Options options;
  options.create_if_missing = true;
  options.error_if_exists = true;
  options.block_size = shape.block_size;
  options.write_buffer_size = shape.write_buffer_size;
  options.filter_policy = filter.get();
  options.compressors[0] = codec;
  if (codec == nullptr) options.compression = leveldb::kNoCompression;
  leveldb::DB* db = nullptr;
  leveldb::Status s = leveldb::DB::Open(options, folder + "/db", &db);
  if (!s.ok()) return s;
  leveldb::WriteBatch batch;
  for (const WorldRecord& r : records) {
    batch.Put(r.key, r.value);
    if (batch.ApproximateSize() > (1 << 20)) {
      s = db->Write(leveldb::WriteOptions(), &batch);
      batch.Clear();
      if (!s.ok()) break;
    }
  }
  if (s.ok()) s = db->Write(leveldb::WriteOptions(), &batch);
  if (s.ok() && shape.compact) db->CompactRange(nullptr, nullptr);
  delete db;
  return s;
}

std::vector<WorldRecord> SampleWorldRecords(uint64_t seed, int chunks) {
  std::mt19937_64 rng(seed);
  std::vector<WorldRecord> records;
  for (int i = 0; i < chunks; ++i) {
    // Most chunks in the Overworld, some in the Nether and the End.
    const int32_t dimension = i % 10 == 8 ? 1 : (i % 10 == 9 ? 2 : 0);
    const auto x = static_cast<int32_t>(rng() % 256) - 128;
    const auto z = static_cast<int32_t>(rng() % 256) - 128;
    records.push_back({ChunkKey(x, z, dimension, kVersion), "\x28"});
    records.push_back(
        {ChunkKey(x, z, dimension, kData2D), ChunkValue(rng, 768)});
    for (int sub = 0; sub < 4; ++sub) {
      records.push_back({ChunkKey(x, z, dimension, kSubChunk, sub),
                         ChunkValue(rng, 4096 + rng() % 4096)});
    }
    records.push_back(
        {ChunkKey(x, z, dimension, kBlockEntity), ChunkValue(rng, 200)});
    records.push_back({ChunkKey(x, z, dimension, kFinalized),
                       std::string("\x02\x00\x00\x00", 4)});
    records.push_back(
        {ChunkKey(x, z, dimension, kBiomeState), ChunkValue(rng, 300)});
    if (i % 3 == 0) {
      // Scheduled ticks: mostly small, a few exactly at the default limit,
      // and some far over it.
      const uint64_t pick = rng() % 10;
      const size_t size = pick < 6   ? 100 + rng() % 800
                          : pick < 7 ? 1000
                                     : 1001 + rng() % 20000;
      records.push_back(
          {ChunkKey(x, z, dimension, kPendingTicks), ChunkValue(rng, size)});
    }
  }
  for (const char* name : {"~local_player", "mobevents", "scoreboard",
                           "BiomeData", "AutonomousEntities", "map_12343"}) {
    records.push_back({name, ChunkValue(rng, 500)});
  }
  return records;
}

}  // namespace quorvales
