#include "chunks/chunk_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tools/world_writer.h"

namespace quorvales {
namespace {

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

TEST(ChunkKeyTest, LengthAloneMakesAChunkRecordKey) {
  for (size_t n = 0; n <= 20; ++n) {
    const bool expected = n == 9 || n == 10 || n == 13 || n == 14;
    EXPECT_EQ(expected, IsChunkRecordKey(std::string(n, '\xff'))) << n;
  }
}

TEST(ChunkKeyTest, CoordinatesAreSignedLittleEndian) {
  struct Case {
    std::string bytes;
    int32_t value;
  };
  const Case cases[] = {
      {Bytes({0xff, 0xff, 0xff, 0xff}), -1},
      {Bytes({0xc8, 0x00, 0x00, 0x00}), 200},
      {Bytes({0x38, 0xff, 0xff, 0xff}), -200},
      {Bytes({0x00, 0x00, 0x00, 0x80}), INT32_MIN},
      {Bytes({0x80, 0x00, 0x00, 0x00}), 128},
  };
  for (const Case& c : cases) {
    const std::string as_x = c.bytes + std::string(4, '\0') + "\x33";
    const std::string as_z = std::string(4, '\0') + c.bytes + "\x33";
    EXPECT_EQ(c.value, ChunkCoordinate(as_x, "x"));
    EXPECT_EQ(c.value, ChunkCoordinate(as_z, "z"));
  }
  const std::string key = ChunkKey(7, -3, 0, kPendingTicks);
  for (const char* axis : {"z", "X", "xx", ""}) {
    EXPECT_EQ(-3, ChunkCoordinate(key, axis)) << axis;
  }
}

TEST(ChunkKeyTest, QuorvaleRecordKeys) {
  struct Case {
    std::string key;
    bool quorvale;
  };
  const Case cases[] = {
      {ChunkKey(5, -2, 0, 51), true},
      {ChunkKey(5, -2, 0, 51, 0x7f), true},  // 10 bytes, any trailing byte
      {ChunkKey(5, -2, 0, 179), false},
      {ChunkKey(5, -2, 0, 50), false},
      // Nether and End: the tag follows the 4-byte dimension id.
      {ChunkKey(-40, 12, 1, 51), true},
      {ChunkKey(-40, 12, 2, 51), true},
      {ChunkKey(-40, 12, 2, 51) + "\x01", true},
      {ChunkKey(-40, 12, 51, 47), false},  // dimension 51 is no tag
      {ChunkKey(-40, 12, 1, 47, 51), false},
      // Text keys of chunk-key length lie far outside any world.
      {"map_12343", false},
      {"map_-12343", false},
      {ChunkKey((1 << 24) - 1, 0, 0, 51), true},
      {ChunkKey(1 << 24, 0, 0, 51), false},
      {ChunkKey(0, -(1 << 24), 0, 51), false},
      {ChunkKey(0, -(1 << 24) + 1, 0, 51), true},
      {Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 51}), false},  // 12 bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.quorvale, IsQuorvaleRecordKey(c.key))
        << ::testing::PrintToString(c.key);
  }
}

TEST(ChunkKeyTest, DimensionLabelByLength) {
  EXPECT_STREQ("Overworld", DimensionLabel(ChunkKey(1, 1, 0, 51)));
  EXPECT_STREQ("Overworld", DimensionLabel(ChunkKey(1, 1, 0, 47, 3)));
  EXPECT_STREQ("Other", DimensionLabel(ChunkKey(1, 1, 1, 51)));
  EXPECT_STREQ("Other", DimensionLabel(ChunkKey(1, 1, 2, 47, 3)));
}

TEST(ChunkKeyTest, OrderByXThenZSigned) {
  EXPECT_TRUE(ChunkKeyLess(ChunkKey(-1, 5, 0, 51), ChunkKey(0, -9, 0, 51)));
  EXPECT_TRUE(ChunkKeyLess(ChunkKey(3, -2, 0, 51), ChunkKey(3, 1, 0, 51)));
  EXPECT_FALSE(ChunkKeyLess(ChunkKey(3, 1, 0, 51), ChunkKey(3, -2, 0, 51)));
  EXPECT_FALSE(ChunkKeyLess(ChunkKey(2, 2, 0, 51), ChunkKey(2, 2, 1, 51)));
  EXPECT_FALSE(ChunkKeyLess(ChunkKey(2, 2, 1, 51), ChunkKey(2, 2, 0, 51)));

  // Bytewise order of the database, sorted into chunk order.
  std::vector<std::string> keys = {
      ChunkKey(5, 0, 0, 51), ChunkKey(5, -1, 0, 51), ChunkKey(-2, 7, 0, 51)};
  std::sort(keys.begin(), keys.end(),
            [](const std::string& a, const std::string& b) {
              return ChunkKeyLess(a, b);
            });
  EXPECT_EQ(ChunkKey(-2, 7, 0, 51), keys[0]);
  EXPECT_EQ(ChunkKey(5, -1, 0, 51), keys[1]);
  EXPECT_EQ(ChunkKey(5, 0, 0, 51), keys[2]);
}

}  // namespace
}  // namespace quorvales
