// The CPU's CRC32C against LevelDB's portable code, on random data of
// every length and alignment.

#include "util/crc32c.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace leveldb {
namespace port {
// Declared for LevelDB in port_stdcxx.h, which needs the platform's
// definitions that only LevelDB's own build has.
uint32_t HardwareCRC32C(uint32_t crc, const char* buf, size_t size);
}  // namespace port

namespace {

TEST(Crc32cTest, HardwareMatchesPortableCode) {
  // The known value LevelDB checks before it relies on the hardware.
  if (port::HardwareCRC32C(0, "TestCRCBuffer", 13) != 0xdcbc59fa) {
    GTEST_SKIP() << "this CPU has no CRC32C instruction";
  }
  std::mt19937_64 rng(51);
  std::string data(4096 + 64, '\0');
  for (char& c : data) c = static_cast<char>(rng());
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t length = 0; length <= 1100; ++length) {
      const auto seed = static_cast<uint32_t>(rng());
      const char* p = data.data() + offset;
      ASSERT_EQ(crc32c::ExtendPortable(seed, p, length),
                port::HardwareCRC32C(seed, p, length))
          << "offset " << offset << ", length " << length;
    }
    // Lengths of several rounds of the three interleaved runs.
    const char* p = data.data() + offset;
    for (size_t length : {1535, 1536, 2304, 2311, 4096}) {
      EXPECT_EQ(crc32c::ExtendPortable(7, p, length),
                port::HardwareCRC32C(7, p, length))
          << "offset " << offset << ", length " << length;
    }
  }
  // And the checksums LevelDB computes go through it.
  EXPECT_EQ(crc32c::ExtendPortable(0, data.data(), data.size()),
            crc32c::Value(data.data(), data.size()));
}

}  // namespace
}  // namespace leveldb
