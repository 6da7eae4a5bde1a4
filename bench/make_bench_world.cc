// Writes a benchmark world of about the given size in table files:
// make_bench_world FOLDER MEGABYTES [SEED [BLOCK_SIZE [TICKS_PER_1000]]].
// Values compress about 5.5 times in 160 KiB blocks, as the game's do, and
// about one chunk in two carries a tick record (TICKS_PER_1000 changes
// that share), two in five of them over 1000 bytes.  Records are written in key
// order, so that LevelDB stores each one once, without rewriting it in
// compactions.

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "leveldb/db.h"
#include "leveldb/filter_policy.h"
#include "leveldb/write_batch.h"
#include "leveldb/zlib_compressor.h"
#include "tools/world_writer.h"

namespace {

// Bytes of values per chunk on average, and how much the codec shrinks them.
constexpr double kChunkBytes = 36000;
constexpr double kRatio = 5.5;

// Material shaped like subchunk data: packed palette indices that repeat,
// palette entries as tagged names, and noise.  Values are slices of it.
std::string MakeMaterial(std::mt19937_64& rng, size_t size) {
  static const char* const kNames[] = {
      "minecraft:stone",     "minecraft:dirt",     "minecraft:grass_block",
      "minecraft:deepslate", "minecraft:water",    "minecraft:air",
      "minecraft:oak_log",   "minecraft:andesite", "minecraft:gravel",
      "minecraft:coal_ore",  "minecraft:iron_ore", "minecraft:sand",
      "minecraft:granite",   "minecraft:diorite",  "minecraft:tuff",
      "minecraft:lava"};
  static const char* const kKeys[] = {
      "name",        "states",       "version",    "stone_type",
      "pillar_axis", "liquid_depth", "deprecated", "direction"};
  std::string material;
  material.reserve(size + 64);
  while (material.size() < size) {
    const uint64_t pick = rng() % 1000;
    if (pick < 500) {
      for (uint64_t n = 1 + rng() % 3; n > 0; --n) {
        material.push_back(static_cast<char>(rng()));
      }
    } else if (pick < 700) {
      const auto word = static_cast<uint32_t>(rng() % 6) * 0x11111111u ^
                        static_cast<uint32_t>(rng() % 4);
      for (uint64_t n = 1 + rng() % 6; n > 0; --n) {
        material.append(reinterpret_cast<const char*>(&word), 4);
      }
    } else {
      const char* key = kKeys[rng() % 8];
      const char* name = kNames[rng() % 16];
      material += '\x08';
      material += static_cast<char>(std::strlen(key));
      material += '\0';
      material += key;
      material += static_cast<char>(std::strlen(name));
      material += '\0';
      material += name;
      const auto version = static_cast<uint32_t>(17959425 + rng() % 3);
      material += '\x03';
      material.append(reinterpret_cast<const char*>(&version), 4);
    }
  }
  return material;
}

struct PlannedRecord {
  std::string key;
  uint32_t offset;  // into the material
  uint32_t size;
};

void Plan(std::vector<PlannedRecord>* plan, std::mt19937_64& rng,
          size_t material_size, std::string key, uint32_t size) {
  const auto offset = static_cast<uint32_t>(rng() % (material_size - size));
  plan->push_back({std::move(key), offset, size});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf(
        "usage: %s FOLDER MEGABYTES [SEED [BLOCK_SIZE [TICKS_PER_1000]]]\n",
        argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const double megabytes = std::atof(argv[2]);
  const uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
  // The game writes blocks of 160 KiB; other tools write 4 KiB ones.
  const size_t block_size =
      argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 163840;
  // Half the chunks by default, drawn as the worlds have always been.
  const uint64_t ticks_per_1000 =
      argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 500;
  std::mt19937_64 rng(seed);
  const std::string material = MakeMaterial(rng, 16 << 20);

  // A square of chunks around the origin; one in ten also in the Nether.
  const auto chunks = static_cast<int>(megabytes * 1e6 * kRatio / kChunkBytes);
  const int side = static_cast<int>(std::ceil(std::sqrt(chunks)));
  std::vector<PlannedRecord> plan;
  for (int i = 0; i < chunks; ++i) {
    const int32_t x = i % side - side / 2;
    const int32_t z = i / side - side / 2;
    const int32_t dimension = i % 10 == 9 ? 1 : 0;
    using quorvales::ChunkKey;
    Plan(&plan, rng, material.size(),
         ChunkKey(x, z, dimension, quorvales::kVersion), 1);
    Plan(&plan, rng, material.size(),
         ChunkKey(x, z, dimension, quorvales::kData2D), 768);
    for (int sub = 0; sub < 4; ++sub) {
      Plan(&plan, rng, material.size(),
           ChunkKey(x, z, dimension, quorvales::kSubChunk, sub),
           static_cast<uint32_t>(4096 + rng() % 8192));
    }
    Plan(&plan, rng, material.size(),
         ChunkKey(x, z, dimension, quorvales::kBlockEntity),
         static_cast<uint32_t>(100 + rng() % 1000));
    Plan(&plan, rng, material.size(),
         ChunkKey(x, z, dimension, quorvales::kFinalized), 4);
    Plan(&plan, rng, material.size(),
         ChunkKey(x, z, dimension, quorvales::kBiomeState), 300);
    if (ticks_per_1000 == 500 ? rng() % 2 == 0
                              : rng() % 1000 < ticks_per_1000) {
      // Ticks: within the limit in three cases of five, far over it in two.
      const uint32_t size = rng() % 5 < 3
                                ? static_cast<uint32_t>(50 + rng() % 950)
                                : static_cast<uint32_t>(1001 + rng() % 11000);
      Plan(&plan, rng, material.size(),
           ChunkKey(x, z, dimension, quorvales::kPendingTicks), size);
    }
  }
  std::sort(plan.begin(), plan.end(),
            [](const PlannedRecord& a, const PlannedRecord& b) {
              return a.key < b.key;
            });

  mkdir(folder.c_str(), 0755);
  std::ofstream(folder + "/levelname.txt", std::ios::binary)
      << "Benchmark World";
  std::unique_ptr<const leveldb::FilterPolicy> filter(
      leveldb::NewBloomFilterPolicy(10));
  leveldb::ZlibCompressorRaw codec;
  leveldb::Options options;
  options.create_if_missing = true;
  options.error_if_exists = true;
  options.block_size = block_size;
  options.write_buffer_size = 16 << 20;
  options.filter_policy = filter.get();
  options.compressors[0] = &codec;
  leveldb::DB* db = nullptr;
  leveldb::Status s = leveldb::DB::Open(options, folder + "/db", &db);
  leveldb::WriteBatch batch;
  for (size_t i = 0; s.ok() && i < plan.size(); ++i) {
    const PlannedRecord& r = plan[i];
    batch.Put(r.key, leveldb::Slice(material.data() + r.offset, r.size));
    if (batch.ApproximateSize() > (4 << 20) || i + 1 == plan.size()) {
      s = db->Write(leveldb::WriteOptions(), &batch);
      batch.Clear();
    }
  }
  if (s.ok() && !plan.empty()) {
    // Moves the last records from the write-ahead log into a table, so
    // that opening the world replays nothing; only the tables at the very
    // end are touched.
    const leveldb::Slice last(plan.back().key);
    db->CompactRange(&last, &last);
  }
  delete db;
  if (!s.ok()) {
    std::printf("make_bench_world: %s\n", s.ToString().c_str());
    return 1;
  }
  return 0;
}
