#include <libdeflate.h>

#include <algorithm>
#include <memory>

#include "inflate.h"
#include "leveldb/compressor.h"

namespace leveldb {

namespace {

struct DecompressorDeleter {
  void operator()(libdeflate_decompressor* d) const {
    libdeflate_free_decompressor(d);
  }
};

// A libdeflate decompressor may serve one thread at a time; LevelDB reads
// tables from the caller's thread and from its compaction thread.
libdeflate_decompressor* ThreadDecompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter>
      decompressor(libdeflate_alloc_decompressor());
  return decompressor.get();
}

// One whole stream into out[0..capacity); true only when it fits and the
// input holds nothing after it.
bool Decode(libdeflate_decompressor* decompressor, DeflateFormat format,
            const char* input, size_t length, char* out, size_t capacity,
            size_t* produced, bool* too_small) {
  size_t consumed = 0;
  const libdeflate_result rc =
      format == DeflateFormat::kRaw
          ? libdeflate_deflate_decompress_ex(decompressor, input, length, out,
                                             capacity, &consumed, produced)
          : libdeflate_zlib_decompress_ex(decompressor, input, length, out,
                                          capacity, &consumed, produced);
  *too_small = rc == LIBDEFLATE_INSUFFICIENT_SPACE;
  return rc == LIBDEFLATE_SUCCESS && consumed == length;
}

constexpr size_t kShrinkAbove = 64 << 10;

}  // namespace

bool InflateWithLibdeflate(DeflateFormat format, const char* input,
                           size_t length, std::string* output) {
  libdeflate_decompressor* decompressor = ThreadDecompressor();
  if (decompressor == nullptr)
    return InflateWithZlib(format, input, length, output);

  // libdeflate decodes in one call into a buffer that must be large
  // enough, so a short buffer means starting over at twice the size.  The
  // pooled buffer's capacity is usually right after the first block.
  size_t size =
      std::max(output->capacity(), std::max<size_t>(8 * length, 4096));
  size = std::min(size, kMaxDecompressedBlockSize);
  for (;;) {
    output->resize(size);
    size_t produced = 0;
    bool too_small = false;
    if (Decode(decompressor, format, input, length, &(*output)[0], size,
               &produced, &too_small)) {
      output->resize(produced);
      return true;
    }
    if (!too_small || size >= kMaxDecompressedBlockSize) {
      output->clear();
      return false;
    }
    size = std::min(size * 2, kMaxDecompressedBlockSize);
  }
}

bool InflateWithLibdeflateToBlock(DeflateFormat format, const char* input,
                                  size_t length, char** data, size_t* size) {
  libdeflate_decompressor* decompressor = ThreadDecompressor();
  if (decompressor == nullptr) {
    std::string buffer;
    if (!InflateWithZlib(format, input, length, &buffer)) return false;
    *data = CopyToBlock(buffer.data(), buffer.size());
    *size = buffer.size();
    return true;
  }
  // A short buffer means decoding the block again, so start from the
  // largest of the thread's recent blocks with a quarter to spare: blocks
  // of 4 KiB tables vary by a factor of three, and starting from the last
  // one's size decoded a third of them twice.  The largest decays slowly,
  // so that one huge block does not oversize the ones after it for long.
  thread_local size_t recent_largest = 0;
  size_t capacity = BlockAllocationSize(std::max(
      recent_largest + recent_largest / 4, std::max<size_t>(4 * length, 4096)));
  capacity = std::min(capacity, kMaxDecompressedBlockSize);
  for (;;) {
    std::unique_ptr<char[]> buffer(new char[capacity]);
    size_t produced = 0;
    bool too_small = false;
    if (Decode(decompressor, format, input, length, buffer.get(), capacity,
               &produced, &too_small)) {
      recent_largest = std::max(produced, recent_largest - recent_largest / 64);
      // A table's index and filter blocks stay in memory while the table
      // is open, and are often much smaller than its data blocks: they get
      // memory of their own size, not the room kept for a data block.
      if (capacity - produced > std::max<size_t>(kShrinkAbove, produced)) {
        buffer.reset(CopyToBlock(buffer.get(), produced));
      }
      *data = buffer.release();
      *size = produced;
      return true;
    }
    if (!too_small || capacity >= kMaxDecompressedBlockSize) return false;
    capacity = std::min(capacity * 2, kMaxDecompressedBlockSize);
  }
}

}  // namespace leveldb
