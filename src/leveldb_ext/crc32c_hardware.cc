// CRC32C with the CPU's own instruction.  Every block read is checksummed,
// and the portable table code costs a few percent of a scan.  The
// instruction set is checked once at run time, so one binary runs on every
// CPU of its architecture; LevelDB checks the result against a known value
// before it relies on it.

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__aarch64__) && defined(__linux__)
#include <sys/auxv.h>
#endif

namespace leveldb {
namespace port {

namespace {

constexpr uint32_t kXor = 0xffffffffu;

#if defined(__x86_64__)

// One crc32 instruction waits for the one before it, but the CPU can run
// three at once: the data go in rounds of three runs of kRun bytes, each
// run checksummed from zero alongside the others, and the three are then
// joined.  The CRC's state is linear, so the state after a run followed by
// another is the first one's state carried over kRun zero bytes, XORed
// with the second one's: the carry is looked up byte by byte in tables
// made once.
constexpr size_t kRun = 256;

__attribute__((target("sse4.2"))) uint32_t OverZeros(uint32_t state) {
  uint64_t l = state;
  for (size_t i = 0; i < kRun / 8; ++i) l = __builtin_ia32_crc32di(l, 0);
  return static_cast<uint32_t>(l);
}

struct CarryTables {
  uint32_t byte[4][256];
};

const CarryTables& Carry() {
  static const CarryTables tables = [] {
    CarryTables t;
    for (int k = 0; k < 4; ++k) {
      for (uint32_t b = 0; b < 256; ++b) t.byte[k][b] = OverZeros(b << (8 * k));
    }
    return t;
  }();
  return tables;
}

uint32_t CarryOverRun(const CarryTables& t, uint32_t state) {
  return t.byte[0][state & 0xff] ^ t.byte[1][(state >> 8) & 0xff] ^
         t.byte[2][(state >> 16) & 0xff] ^ t.byte[3][state >> 24];
}

__attribute__((target("sse4.2"))) uint32_t Extend(uint32_t crc, const char* buf,
                                                  size_t size) {
  const auto* p = reinterpret_cast<const unsigned char*>(buf);
  uint64_t l = crc ^ kXor;
  for (; size > 0 && (reinterpret_cast<uintptr_t>(p) & 7) != 0; --size) {
    l = __builtin_ia32_crc32qi(static_cast<uint32_t>(l), *p++);
  }
  if (size >= 3 * kRun) {
    const CarryTables& carry = Carry();
    for (; size >= 3 * kRun; size -= 3 * kRun, p += 3 * kRun) {
      uint64_t a = l, b = 0, c = 0;
      for (size_t i = 0; i < kRun; i += 8) {
        uint64_t wa, wb, wc;
        std::memcpy(&wa, p + i, 8);
        std::memcpy(&wb, p + kRun + i, 8);
        std::memcpy(&wc, p + 2 * kRun + i, 8);
        a = __builtin_ia32_crc32di(a, wa);
        b = __builtin_ia32_crc32di(b, wb);
        c = __builtin_ia32_crc32di(c, wc);
      }
      const uint32_t ab = CarryOverRun(carry, static_cast<uint32_t>(a)) ^
                          static_cast<uint32_t>(b);
      l = CarryOverRun(carry, ab) ^ static_cast<uint32_t>(c);
    }
  }
  for (; size >= 8; size -= 8, p += 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    l = __builtin_ia32_crc32di(l, word);
  }
  for (; size > 0; --size) {
    l = __builtin_ia32_crc32qi(static_cast<uint32_t>(l), *p++);
  }
  return static_cast<uint32_t>(l) ^ kXor;
}

bool Supported() { return __builtin_cpu_supports("sse4.2"); }

#elif defined(__aarch64__) && defined(__linux__) && defined(HWCAP_CRC32)

__attribute__((target("+crc"))) uint32_t Extend(uint32_t crc, const char* buf,
                                                size_t size) {
  const auto* p = reinterpret_cast<const unsigned char*>(buf);
  uint32_t l = crc ^ kXor;
  for (; size > 0 && (reinterpret_cast<uintptr_t>(p) & 7) != 0; --size) {
    l = __builtin_aarch64_crc32cb(l, *p++);
  }
  for (; size >= 8; size -= 8, p += 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    l = __builtin_aarch64_crc32cx(l, word);
  }
  for (; size > 0; --size) l = __builtin_aarch64_crc32cb(l, *p++);
  return l ^ kXor;
}

bool Supported() { return (getauxval(AT_HWCAP) & HWCAP_CRC32) != 0; }

#else

uint32_t Extend(uint32_t, const char*, size_t) { return 0; }
bool Supported() { return false; }

#endif

}  // namespace

uint32_t HardwareCRC32C(uint32_t crc, const char* buf, size_t size) {
  static const bool supported = Supported();
  return supported ? Extend(crc, buf, size) : 0;
}

}  // namespace port
}  // namespace leveldb
