// Makes a sample world for a first run: make_sample_world FOLDER [CHUNKS]
// [SEED].  The folder must not hold a database yet.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "leveldb/zlib_compressor.h"
#include "tools/world_writer.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: %s FOLDER [CHUNKS] [SEED]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const int chunks = argc > 2 ? std::atoi(argv[2]) : 2000;
  const uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
  mkdir(folder.c_str(), 0755);
  leveldb::ZlibCompressorRaw codec;
  const leveldb::Status s = quorvales::WriteWorld(
      folder, "Sample World", quorvales::SampleWorldRecords(seed, chunks),
      &codec);
  if (!s.ok()) {
    std::printf("make_sample_world: %s\n", s.ToString().c_str());
    return 1;
  }
  return 0;
}
