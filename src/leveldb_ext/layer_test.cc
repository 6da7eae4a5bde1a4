#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <map>
#include <memory>
#include <random>

#include "leveldb/db.h"
#include "leveldb/decompress_allocator.h"
#include "leveldb/zlib_compressor.h"
#include "table/format.h"
#include "tests/test_support.h"

namespace leveldb {
namespace {

std::string RandomBytes(size_t n, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

TEST(CompressorTest, RoundTrips) {
  ZlibCompressorRaw raw;
  ZlibCompressor zlib;
  const std::string inputs[] = {
      "", "a small block of text, a small block of text",
      std::string(6 << 20, 'v') + "end",  // one value of several MiB
      RandomBytes(100000, 1),             // incompressible
  };
  for (const Compressor* c :
       {static_cast<Compressor*>(&raw), static_cast<Compressor*>(&zlib)}) {
    for (const std::string& input : inputs) {
      std::string compressed, decoded = "left over";
      c->compressImpl(input.data(), input.size(), &compressed);
      ASSERT_TRUE(
          c->decompress(compressed.data(), compressed.size(), &decoded));
      EXPECT_TRUE(decoded == input) << int(c->id()) << " " << input.size();
    }
  }
  EXPECT_EQ(4, raw.id());
  EXPECT_EQ(2, zlib.id());
}

TEST(CompressorTest, RejectsDamagedStreams) {
  ZlibCompressorRaw raw;
  ZlibCompressor zlib;
  const std::string input = RandomBytes(5000, 2) + std::string(5000, 'x');
  for (const Compressor* c :
       {static_cast<Compressor*>(&raw), static_cast<Compressor*>(&zlib)}) {
    std::string compressed, out;
    c->compressImpl(input.data(), input.size(), &compressed);
    const std::string truncated = compressed.substr(0, compressed.size() / 2);
    const std::string trailing = compressed + "junk";
    std::string garbage = compressed;
    garbage[0] = static_cast<char>(0xff);
    for (const std::string& bad : {truncated, trailing, garbage}) {
      EXPECT_FALSE(c->decompress(bad.data(), bad.size(), &out));
    }
  }
  // A zlib stream is no raw stream and the other way round.
  std::string compressed, out;
  zlib.compressImpl(input.data(), input.size(), &compressed);
  EXPECT_FALSE(raw.decompress(compressed.data(), compressed.size(), &out));
}

TEST(CompressorTest, RefusesBlocksOverOneGiB) {
  // A stream of zeros just over the bound, made piecewise.
  z_stream stream = {};
  ASSERT_EQ(Z_OK,
            deflateInit2(&stream, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY));
  const std::string zeros(1 << 20, '\0');
  std::string compressed;
  char out[1 << 16];
  const size_t pieces = (kMaxDecompressedBlockSize >> 20) + 1;
  for (size_t i = 0; i < pieces; ++i) {
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    stream.avail_in = static_cast<uInt>(zeros.size());
    const int flush = i + 1 == pieces ? Z_FINISH : Z_NO_FLUSH;
    do {
      stream.next_out = reinterpret_cast<Bytef*>(out);
      stream.avail_out = sizeof(out);
      deflate(&stream, flush);
      compressed.append(out, sizeof(out) - stream.avail_out);
    } while (stream.avail_out == 0);
  }
  deflateEnd(&stream);
  ZlibCompressorRaw raw;
  std::string decoded;
  EXPECT_FALSE(raw.decompress(compressed.data(), compressed.size(), &decoded));
}

TEST(DecompressAllocatorTest, HandsBuffersBackForReuse) {
  DecompressAllocator pool;
  std::string buffer = pool.get();
  buffer.reserve(1 << 20);
  const char* storage = buffer.data();
  pool.release(std::move(buffer));
  EXPECT_EQ(1u, pool.pooled());
  std::string again = pool.get();
  EXPECT_EQ(storage, again.data());
  EXPECT_GE(again.capacity(), size_t{1} << 20);
  pool.release(std::move(again));
  pool.prune();
  EXPECT_EQ(0u, pool.pooled());
}

TEST(DecompressBlockTest, DecodesThroughTheTableAndReportsCorruption) {
  ZlibCompressorRaw raw;
  ZlibCompressor zlib;
  Options options;
  options.compressors[0] = &raw;
  options.compressors[1] = &zlib;
  DecompressAllocator pool;
  ReadOptions read_options;
  read_options.decompress_allocator = &pool;

  const std::string block = "block contents " + std::string(3000, 'q');
  std::string compressed;
  zlib.compressImpl(block.data(), block.size(), &compressed);
  BlockContents contents;
  ASSERT_TRUE(DecompressBlock(options, read_options, 2, compressed.data(),
                              compressed.size(), &contents)
                  .ok());
  EXPECT_EQ(block, contents.data.ToString());
  EXPECT_TRUE(contents.heap_allocated);
  delete[] contents.data.data();
  EXPECT_EQ(1u, pool.pooled());

  Status unknown = DecompressBlock(options, read_options, 9, compressed.data(),
                                   compressed.size(), &contents);
  EXPECT_TRUE(unknown.IsCorruption());
  EXPECT_NE(std::string::npos, unknown.ToString().find("block type 9"));

  Status damaged =
      DecompressBlock(options, read_options, 4, "\xff\xfe", 2, &contents);
  EXPECT_TRUE(damaged.IsCorruption());
  EXPECT_NE(std::string::npos, damaged.ToString().find("block type 4"));
}

// Writes keys with one codec (none when null) into tables of their own.
void AddTable(const std::string& path, Compressor* codec, char prefix) {
  Options options;
  options.create_if_missing = true;
  options.compressors[0] = codec;
  if (codec == nullptr) options.compression = kNoCompression;
  DB* db = nullptr;
  ASSERT_TRUE(DB::Open(options, path, &db).ok());
  for (int i = 0; i < 2000; ++i) {
    ASSERT_TRUE(db->Put(WriteOptions(),
                        std::string(1, prefix) + std::to_string(i),
                        std::string(200, prefix))
                    .ok());
  }
  const std::string begin(1, prefix), end(1, prefix + 1);
  Slice b(begin), e(end);
  db->CompactRange(&b, &e);
  delete db;
}

Status ReadAll(const std::string& path, std::vector<Compressor*> codecs,
               size_t* count) {
  Options options;
  for (size_t i = 0; i < codecs.size(); ++i) options.compressors[i] = codecs[i];
  DB* db = nullptr;
  Status s = DB::Open(options, path, &db);
  if (!s.ok()) return s;
  ReadOptions read_options;
  read_options.verify_checksums = true;
  std::unique_ptr<Iterator> it(db->NewIterator(read_options));
  *count = 0;
  for (it->SeekToFirst(); it->Valid(); it->Next()) ++*count;
  s = it->status();
  it.reset();
  delete db;
  return s;
}

TEST(MixedTablesTest, BlocksOfEveryTypeReadBack) {
  quorvales::TempDir dir;
  const std::string path = dir.path() + "/db";
  ZlibCompressor zlib;
  ZlibCompressorRaw raw;
  AddTable(path, &zlib, 'a');
  AddTable(path, &raw, 'b');
  AddTable(path, nullptr, 'c');

  size_t count = 0;
  ASSERT_TRUE(ReadAll(path, {&raw, &zlib}, &count).ok());
  EXPECT_EQ(6000u, count);

  // Each missing codec shows that its block type is really there.
  Status s = ReadAll(path, {&zlib}, &count);
  EXPECT_TRUE(s.IsCorruption()) << s.ToString();
  EXPECT_NE(std::string::npos, s.ToString().find("block type 4"));
  s = ReadAll(path, {&raw}, &count);
  EXPECT_TRUE(s.IsCorruption()) << s.ToString();
  EXPECT_NE(std::string::npos, s.ToString().find("block type 2"));
}

TEST(FixtureWorldsTest, GameWorldsReadCompletely) {
  const std::string fixtures = quorvales::FixtureWorldsDir();
  if (fixtures.empty()) GTEST_SKIP() << "no shared fixture worlds here";
  struct Case {
    const char* world;
    size_t live_keys;
    std::map<std::string, size_t> tag51_sizes;  // "X,Z" -> value size
  };
  const Case cases[] = {
      {"game-1.21.72-example2",
       1141,
       {{"-2,3", 8342},
        {"5,2", 2438},
        {"-6,0", 764},
        {"5,1", 638},
        {"0,0", 348}}},
      {"game-1.19.70-example3", 376, {{"-3,-5", 806}, {"-5,-1", 550}}},
      {"game-1.18.30-no-ticks", 10597, {}},
  };
  for (const Case& c : cases) {
    quorvales::TempDir dir;
    quorvales::CopyTree(fixtures + "/" + c.world, dir.path() + "/w");
    std::map<std::string, std::string> records;
    ASSERT_TRUE(quorvales::DumpDatabase(dir.path() + "/w/db", &records).ok())
        << c.world;
    EXPECT_EQ(c.live_keys, records.size()) << c.world;
    std::map<std::string, size_t> tag51;
    for (const auto& [key, value] : records) {
      if (key.size() == 9 && key[8] == 51) {
        int32_t x, z;
        memcpy(&x, key.data(), 4);
        memcpy(&z, key.data() + 4, 4);
        tag51[std::to_string(x) + "," + std::to_string(z)] = value.size();
      }
    }
    EXPECT_EQ(c.tag51_sizes, tag51) << c.world;
  }
}

}  // namespace
}  // namespace leveldb
