// The libdeflate decoder must be a drop-in for zlib's: the same bytes for
// every block, and failure on exactly the same damaged blocks.

#include "leveldb_ext/inflate.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "leveldb/zlib_compressor.h"
#include "tests/test_files.h"
#include "tools/table_blocks.h"

namespace leveldb {
namespace {

#if QUORVALES_HAVE_LIBDEFLATE

struct Block {
  std::string label;
  DeflateFormat format;
  std::string data;
};

// Both decoders, each into a buffer that holds stale bytes, must agree.
void ExpectSameResult(const Block& block, bool must_succeed, bool must_fail) {
  std::string by_zlib = "stale", by_libdeflate(300000, 's');
  const bool zlib_ok = InflateWithZlib(block.format, block.data.data(),
                                       block.data.size(), &by_zlib);
  const bool libdeflate_ok = InflateWithLibdeflate(
      block.format, block.data.data(), block.data.size(), &by_libdeflate);
  EXPECT_EQ(zlib_ok, libdeflate_ok) << block.label;
  if (zlib_ok && libdeflate_ok) {
    EXPECT_TRUE(by_zlib == by_libdeflate) << block.label;
  } else {
    EXPECT_TRUE(by_zlib.empty() && by_libdeflate.empty()) << block.label;
  }
  if (must_succeed) {
    EXPECT_TRUE(zlib_ok) << block.label;
  }
  if (must_fail) {
    EXPECT_FALSE(zlib_ok || libdeflate_ok) << block.label;
  }
}

// Each block, then damaged copies of it: cut short, with bytes after the
// stream, and with bytes changed (raw deflate has no checksum, so a change
// may still decode; both decoders must then give the same bytes).
void ExpectAgreementIncludingDamage(const Block& block) {
  ExpectSameResult(block, true, false);
  const size_t n = block.data.size();
  const struct {
    const char* what;
    std::string data;
    bool must_fail;
  } damaged[] = {
      {"cut by one byte", block.data.substr(0, n - 1), true},
      {"cut in half", block.data.substr(0, n / 2), true},
      {"one byte after the end", block.data + "x", true},
      {"first byte changed",
       std::string(1, static_cast<char>(block.data[0] ^ 0x5a)) +
           block.data.substr(1),
       false},
      {"middle byte changed",
       block.data.substr(0, n / 2) +
           std::string(1, static_cast<char>(block.data[n / 2] ^ 0x01)) +
           block.data.substr(n / 2 + 1),
       false},
  };
  for (const auto& d : damaged) {
    ExpectSameResult({block.label + ", " + d.what, block.format, d.data}, false,
                     d.must_fail);
  }
}

// The game-written worlds; empty where the checkout has none.  Also built
// for Windows, where the folder is the Wine path of the same one.
std::string FixtureWorlds() {
  const std::string dir = QUORVALES_FIXTURE_WORLDS;
  std::error_code error;
  return std::filesystem::is_directory(dir, error) ? dir : "";
}

std::vector<std::string> TableFiles(const std::string& folder) {
  std::vector<std::string> files;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ldb") == 0) {
        files.push_back(folder + "/" + name);
      }
    }
    closedir(dir);
  }
  return files;
}

TEST(InflateTest, GameWorldBlocksDecodeTheSameOnBothPaths) {
  const std::string fixtures = FixtureWorlds();
  if (fixtures.empty()) GTEST_SKIP() << "no shared fixture worlds here";
  int blocks = 0;
  for (const char* world : {"game-1.21.72-example2", "game-1.19.70-example3",
                            "game-1.18.30-no-ticks"}) {
    for (const std::string& path : TableFiles(fixtures + "/" + world + "/db")) {
      const std::string file = quorvales::ReadFile(path);
      quorvales::BlockHandle index_handle;
      quorvales::StoredBlock stored;
      ASSERT_TRUE(quorvales::ReadIndexHandle(file, &index_handle)) << path;
      ASSERT_TRUE(quorvales::BlockAt(file, index_handle, &stored)) << path;
      ASSERT_EQ(ZlibCompressorRaw::kId, stored.type) << path;
      std::string index;
      ASSERT_TRUE(InflateWithZlib(DeflateFormat::kRaw, stored.data, stored.size,
                                  &index));
      std::vector<quorvales::BlockHandle> handles;
      ASSERT_TRUE(quorvales::IndexEntries(index, &handles)) << path;
      handles.push_back(index_handle);
      for (const quorvales::BlockHandle& handle : handles) {
        ASSERT_TRUE(quorvales::BlockAt(file, handle, &stored));
        ASSERT_EQ(ZlibCompressorRaw::kId, stored.type);
        ExpectAgreementIncludingDamage(
            {path + " @" + std::to_string(handle.offset), DeflateFormat::kRaw,
             std::string(stored.data, stored.size)});
        ++blocks;
      }
    }
  }
  EXPECT_EQ(117 + 5 + 15 + 4, blocks);  // data blocks plus one index a table
}

TEST(InflateTest, MadeBlocksDecodeTheSameOnBothPaths) {
  std::mt19937_64 rng(7);
  std::string random(200000, '\0');
  for (char& c : random) c = static_cast<char>(rng());
  const std::string inputs[] = {
      "",
      "tick tick tick tick",
      std::string(3 << 20, 't') + "grows the buffer many times",
      random,
      random.substr(0, 50000) + std::string(150000, '\0'),
      "small after large",
  };
  ZlibCompressorRaw raw;
  ZlibCompressor zlib;
  for (const std::string& input : inputs) {
    for (const ZlibCompressorBase* codec :
         {static_cast<ZlibCompressorBase*>(&raw),
          static_cast<ZlibCompressorBase*>(&zlib)}) {
      std::string compressed;
      codec->compressImpl(input.data(), input.size(), &compressed);
      const DeflateFormat format = codec->id() == ZlibCompressorRaw::kId
                                       ? DeflateFormat::kRaw
                                       : DeflateFormat::kZlib;
      const Block block = {"id " + std::to_string(codec->id()) + ", " +
                               std::to_string(input.size()) + " bytes",
                           format, compressed};
      ExpectAgreementIncludingDamage(block);
      std::string decoded;
      ASSERT_TRUE(InflateWithLibdeflate(format, compressed.data(),
                                        compressed.size(), &decoded));
      EXPECT_TRUE(decoded == input) << block.label;
      // Straight into a block's memory, sized from the blocks before: the
      // inputs in this order grow past the guess and shrink far below it.
      char* data = nullptr;
      size_t size = 0;
      ASSERT_TRUE(InflateWithLibdeflateToBlock(format, compressed.data(),
                                               compressed.size(), &data, &size))
          << block.label;
      EXPECT_TRUE(std::string(data, size) == input) << block.label;
      delete[] data;
    }
  }
}

TEST(InflateTest, GarbageFailsOnBothPaths) {
  for (const DeflateFormat format :
       {DeflateFormat::kRaw, DeflateFormat::kZlib}) {
    for (const std::string& bad :
         {std::string(), std::string("\xff\xff\xff\xff", 4),
          std::string(1000, '\x07')}) {
      ExpectSameResult(
          {"garbage of " + std::to_string(bad.size()), format, bad}, false,
          true);
    }
  }
}

#else

TEST(InflateTest, GameWorldBlocksDecodeTheSameOnBothPaths) {
  GTEST_SKIP() << "built without libdeflate";
}

#endif

}  // namespace
}  // namespace leveldb
