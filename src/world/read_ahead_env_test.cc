// Reads through the read-ahead windows give what the file itself gives, at
// any offset and length, at the end of the file and across files.

#include "world/read_ahead_env.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "tests/test_support.h"

namespace quorvales {
namespace {

TEST(ReadAheadEnvTest, ReadsAreTheFilesOwn) {
  TempDir dir;
  std::mt19937_64 rng(7);
  ReadAheadEnv env(leveldb::Env::Default());
  std::string contents[2];
  std::unique_ptr<leveldb::RandomAccessFile> files[2], plain[2];
  for (int f = 0; f < 2; ++f) {
    contents[f].resize(700000 + 1000 * f);
    for (char& c : contents[f]) c = static_cast<char>(rng());
    const std::string name = dir.path() + "/" + std::to_string(f);
    ASSERT_TRUE(
        leveldb::WriteStringToFile(leveldb::Env::Default(), contents[f], name)
            .ok());
    leveldb::RandomAccessFile* file = nullptr;
    ASSERT_TRUE(env.NewRandomAccessFile(name, &file).ok());
    files[f].reset(file);
    ASSERT_TRUE(leveldb::Env::Default()->NewRandomAccessFile(name, &file).ok());
    plain[f].reset(file);
  }
  std::string scratch(400000, '\0'), plain_scratch(400000, '\0');
  uint64_t next[2] = {0, 0};
  for (int i = 0; i < 3000; ++i) {
    const int f = static_cast<int>(rng() % 2);
    const size_t size = contents[f].size();
    // Mostly forward in small steps, as a scan reads; sometimes anywhere,
    // large, or past the end.
    const bool jump = rng() % 8 == 0;
    const uint64_t offset = jump ? rng() % (size + 10) : next[f];
    const size_t n = jump ? rng() % 300000 : rng() % 9000;
    next[f] = (offset + n) % size;
    leveldb::Slice got, want;
    const bool ok = files[f]->Read(offset, n, &got, &scratch[0]).ok();
    ASSERT_EQ(plain[f]->Read(offset, n, &want, &plain_scratch[0]).ok(), ok)
        << f << " " << offset << " " << n;
    if (!ok) continue;
    ASSERT_EQ(want.ToString(), got.ToString())
        << f << " " << offset << " " << n;
    if (offset + n <= size) {
      ASSERT_EQ(contents[f].substr(offset, n), got.ToString());
    }
  }
}

}  // namespace
}  // namespace quorvales
