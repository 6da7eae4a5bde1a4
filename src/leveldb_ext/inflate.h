// The decoders behind the deflate-family codecs.  Each replaces *output
// with the decoded form of one complete stream and returns false on any
// damage, on bytes after the end of the stream, and on results larger than
// kMaxDecompressedBlockSize.  All of them give the same answer for every
// input; libdeflate's is the faster and is used where the build has it.

#ifndef QUORVALES_LEVELDB_INFLATE_H_
#define QUORVALES_LEVELDB_INFLATE_H_

#include <cstddef>
#include <string>

namespace leveldb {

enum class DeflateFormat { kZlib, kRaw };

bool InflateWithZlib(DeflateFormat format, const char* input, size_t length,
                     std::string* output);

#if QUORVALES_HAVE_LIBDEFLATE
bool InflateWithLibdeflate(DeflateFormat format, const char* input,
                           size_t length, std::string* output);

// Decodes into a new char[] (*data, at least *size bytes), sized from the
// blocks this thread decoded before, so that a block is decoded once and
// neither zero-filled nor copied.
bool InflateWithLibdeflateToBlock(DeflateFormat format, const char* input,
                                  size_t length, char** data, size_t* size);
#endif

// The size to allocate for a decoded block of size bytes.
size_t BlockAllocationSize(size_t size);

// A new char[] of BlockAllocationSize(size) holding a copy of data.
char* CopyToBlock(const char* data, size_t size);

}  // namespace leveldb

#endif  // QUORVALES_LEVELDB_INFLATE_H_
