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

__attribute__((target("sse4.2"))) uint32_t Extend(uint32_t crc, const char* buf,
                                                  size_t size) {
  const auto* p = reinterpret_cast<const unsigned char*>(buf);
  uint64_t l = crc ^ kXor;
  for (; size > 0 && (reinterpret_cast<uintptr_t>(p) & 7) != 0; --size) {
    l = __builtin_ia32_crc32qi(static_cast<uint32_t>(l), *p++);
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
