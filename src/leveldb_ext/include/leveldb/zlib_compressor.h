// Codecs for the deflate family: zlib streams (block type 2) and raw
// deflate streams (block type 4), the two kinds of block that Bedrock
// worlds hold.

#ifndef QUORVALES_LEVELDB_ZLIB_COMPRESSOR_H_
#define QUORVALES_LEVELDB_ZLIB_COMPRESSOR_H_

#include "leveldb/compressor.h"

namespace leveldb {

class LEVELDB_EXPORT ZlibCompressorBase : public Compressor {
 public:
  // level is a zlib compression level; -1 selects zlib's default.
  ZlibCompressorBase(uint8_t id, int level, bool raw);
  ~ZlibCompressorBase() override;

  void compressImpl(const char* input, size_t length,
                    std::string* output) const override;
  bool decompress(const char* input, size_t length,
                  std::string* output) const override;
#if QUORVALES_HAVE_LIBDEFLATE
  bool decompressBlock(const char* input, size_t length, std::string* scratch,
                       char** data, size_t* size) const override;
#endif

 private:
  // zlib's windowBits: negative selects a raw stream without header.
  int WindowBits() const { return raw_ ? -15 : 15; }

  const int level_;
  const bool raw_;
};

// zlib stream (RFC 1950), block type 2.
class LEVELDB_EXPORT ZlibCompressor : public ZlibCompressorBase {
 public:
  static constexpr uint8_t kId = 2;
  explicit ZlibCompressor(int level = -1)
      : ZlibCompressorBase(kId, level, false) {}
};

// Raw deflate stream (RFC 1951), block type 4.
class LEVELDB_EXPORT ZlibCompressorRaw : public ZlibCompressorBase {
 public:
  static constexpr uint8_t kId = 4;
  explicit ZlibCompressorRaw(int level = -1)
      : ZlibCompressorBase(kId, level, true) {}
};

}  // namespace leveldb

#endif  // QUORVALES_LEVELDB_ZLIB_COMPRESSOR_H_
