#include "leveldb/zlib_compressor.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

#include "inflate.h"

namespace leveldb {

ZlibCompressorBase::ZlibCompressorBase(uint8_t id, int level, bool raw)
    : Compressor(id), level_(level), raw_(raw) {}

ZlibCompressorBase::~ZlibCompressorBase() = default;

void ZlibCompressorBase::compressImpl(const char* input, size_t length,
                                      std::string* output) const {
  output->clear();
  z_stream stream = {};
  if (deflateInit2(&stream, level_, Z_DEFLATED, WindowBits(), 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    return;
  }
  // Blocks are far below 4 GiB, so one call with a bound-sized buffer
  // always finishes the stream.
  output->resize(deflateBound(&stream, static_cast<uLong>(length)));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
  stream.avail_in = static_cast<uInt>(length);
  stream.next_out = reinterpret_cast<Bytef*>(&(*output)[0]);
  stream.avail_out = static_cast<uInt>(output->size());
  const int rc = deflate(&stream, Z_FINISH);
  output->resize(rc == Z_STREAM_END ? stream.total_out : 0);
  deflateEnd(&stream);
}

bool InflateWithZlib(DeflateFormat format, const char* input, size_t length,
                     std::string* output) {
  z_stream stream = {};
  if (length > UINT_MAX ||
      inflateInit2(&stream, format == DeflateFormat::kRaw ? -15 : 15) != Z_OK) {
    output->clear();
    return false;
  }
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
  stream.avail_in = static_cast<uInt>(length);

  // Raw deflate records no decoded size: start from a guess, reuse what
  // the buffer already has, and double until the stream ends.
  size_t size =
      std::max(output->capacity(), std::max<size_t>(4 * length, 4096));
  output->resize(std::min(size, kMaxDecompressedBlockSize));
  size_t produced = 0;
  bool ok = false;
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(&(*output)[produced]);
    stream.avail_out = static_cast<uInt>(output->size() - produced);
    const int rc = inflate(&stream, Z_NO_FLUSH);
    produced = output->size() - stream.avail_out;
    if (rc == Z_STREAM_END) {
      // Bytes after the end of the stream mean the block is damaged.
      ok = stream.avail_in == 0;
      break;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) break;
    // Room was left but no progress was made: the stream is truncated.
    if (stream.avail_out != 0) break;
    if (output->size() >= kMaxDecompressedBlockSize) break;
    output->resize(std::min(output->size() * 2, kMaxDecompressedBlockSize));
  }
  inflateEnd(&stream);
  output->resize(ok ? produced : 0);
  return ok;
}

bool ZlibCompressorBase::decompress(const char* input, size_t length,
                                    std::string* output) const {
  const DeflateFormat format =
      raw_ ? DeflateFormat::kRaw : DeflateFormat::kZlib;
#if QUORVALES_HAVE_LIBDEFLATE
  return InflateWithLibdeflate(format, input, length, output);
#else
  return InflateWithZlib(format, input, length, output);
#endif
}

#if QUORVALES_HAVE_LIBDEFLATE
bool ZlibCompressorBase::decompressBlock(const char* input, size_t length,
                                         std::string*, char** data,
                                         size_t* size) const {
  return InflateWithLibdeflateToBlock(
      raw_ ? DeflateFormat::kRaw : DeflateFormat::kZlib, input, length, data,
      size);
}
#endif

}  // namespace leveldb
