// Arbitrary bytes as a compressed block: the first byte picks the block
// type, the rest is the block.  Decoding must fail cleanly or succeed, and
// both codecs must agree with the table's dispatch and with zlib's own
// decoder on every stream zlib decodes.  libdeflate also decodes a few
// streams that zlib rejects and no encoder writes: ones that use the
// format's reserved symbols (length codes 286-287, distance codes 30-31).
// Blocks on disk are checksummed before they are decoded, so such a
// stream only comes from a faulty writer, and there the builds may differ.

#include <cstddef>
#include <cstdint>
#include <string>

#include "leveldb/decompress_allocator.h"
#include "leveldb/options.h"
#include "leveldb/zlib_compressor.h"
#include "leveldb_ext/inflate.h"
#include "table/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static leveldb::ZlibCompressorRaw raw;
  static leveldb::ZlibCompressor zlib;
  static leveldb::DecompressAllocator pool;
  if (size == 0) return 0;
  leveldb::Options options;
  options.compressors[0] = &raw;
  options.compressors[1] = &zlib;
  leveldb::ReadOptions read_options;
  read_options.decompress_allocator = &pool;

  const auto* block = reinterpret_cast<const char*>(data + 1);
  const size_t n = size - 1;
  leveldb::BlockContents contents;
  const leveldb::Status s = leveldb::DecompressBlock(
      options, read_options, data[0], block, n, &contents);
  std::string direct;
  const leveldb::Compressor* codec = nullptr;
  if (data[0] == raw.id()) codec = &raw;
  if (data[0] == zlib.id()) codec = &zlib;
  const bool direct_ok =
      codec != nullptr && codec->decompress(block, n, &direct);
  if (s.ok() != direct_ok) __builtin_trap();
  if (codec != nullptr) {
    std::string by_zlib;
    const bool zlib_ok =
        leveldb::InflateWithZlib(codec == &raw ? leveldb::DeflateFormat::kRaw
                                               : leveldb::DeflateFormat::kZlib,
                                 block, n, &by_zlib);
    if (zlib_ok && (!direct_ok || by_zlib != direct)) __builtin_trap();
  }
  if (s.ok()) {
    if (contents.data.ToString() != direct) __builtin_trap();
    delete[] contents.data.data();
  }
  return 0;
}
