// A block codec for LevelDB tables.  Each codec carries the one-byte type
// that a table block's trailer records, so that readers can pick the codec
// that wrote a block.

#ifndef QUORVALES_LEVELDB_COMPRESSOR_H_
#define QUORVALES_LEVELDB_COMPRESSOR_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "leveldb/export.h"

namespace leveldb {

// No block decodes to more than this; a larger result means the block is
// damaged, and is reported as corruption instead of exhausting memory.
constexpr size_t kMaxDecompressedBlockSize = size_t{1} << 30;

class LEVELDB_EXPORT Compressor {
 public:
  explicit Compressor(uint8_t id) : id_(id) {}

  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  virtual ~Compressor();

  // The block type written into the trailer of blocks this codec made.
  uint8_t id() const { return id_; }

  // Replaces *output with the compressed form of input[0, length).
  virtual void compressImpl(const char* input, size_t length,
                            std::string* output) const = 0;

  // Replaces *output with the decoded form of input[0, length).  Returns
  // false when the input is not one complete, valid stream, or when it
  // would decode to more than kMaxDecompressedBlockSize bytes.  The
  // capacity that *output already has is reused.
  virtual bool decompress(const char* input, size_t length,
                          std::string* output) const = 0;

  // Decodes input[0, length) into memory that the block then keeps, with
  // the same results as decompress(): on success *data is a new char[] of
  // at least *size bytes, for the caller to delete[].  The default decodes
  // into scratch through decompress() and copies; a codec that can decode
  // into fresh memory saves the copy and the zero fill of a buffer.
  virtual bool decompressBlock(const char* input, size_t length,
                               std::string* scratch, char** data,
                               size_t* size) const;

 private:
  const uint8_t id_;
};

}  // namespace leveldb

#endif  // QUORVALES_LEVELDB_COMPRESSOR_H_
