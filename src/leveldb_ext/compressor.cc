// Decoding of compressed table blocks through the compressor table of
// Options.  LevelDB's ReadBlock hands every block whose type is not
// kNoCompression to DecompressBlock.

#include "leveldb/compressor.h"

#include <cstring>
#include <string>

#include "leveldb/decompress_allocator.h"
#include "leveldb/options.h"
#include "table/format.h"

namespace leveldb {

Compressor::~Compressor() = default;

namespace {

const Compressor* FindCompressor(const Options& options, unsigned char type) {
  for (const Compressor* compressor : options.compressors) {
    if (compressor != nullptr && compressor->id() == type) return compressor;
  }
  return nullptr;
}

// Decoded blocks come and go through the block cache in the thousands,
// each of a slightly different size.  Allocating them in steps of 16 KiB
// lets a new block fit exactly where an evicted one was, so that the heap
// does not fragment and grow over a long scan.
size_t AllocationSize(size_t size) {
  constexpr size_t kStep = 16 << 10;
  return size < kStep ? size : (size + kStep - 1) / kStep * kStep;
}

std::string BlockType(unsigned char type) {
  return "block type " + std::to_string(static_cast<int>(type));
}

}  // namespace

Status DecompressBlock(const Options& table_options, const ReadOptions& options,
                       unsigned char type, const char* data, size_t n,
                       BlockContents* result) {
  const Compressor* compressor = FindCompressor(table_options, type);
  if (compressor == nullptr) {
    return Status::Corruption("no compressor for block", BlockType(type));
  }

  DecompressAllocator* pool = options.decompress_allocator;
  std::string buffer = pool != nullptr ? pool->get() : std::string();
  Status s;
  if (compressor->decompress(data, n, &buffer)) {
    // The block keeps an exact-size copy; the buffer, with its capacity,
    // goes back to the pool for the next block.
    char* contents = new char[AllocationSize(buffer.size())];
    std::memcpy(contents, buffer.data(), buffer.size());
    result->data = Slice(contents, buffer.size());
    result->heap_allocated = true;
    result->cachable = true;
  } else {
    s = Status::Corruption("corrupted compressed block contents",
                           BlockType(type));
  }
  if (pool != nullptr) pool->release(std::move(buffer));
  return s;
}

}  // namespace leveldb
