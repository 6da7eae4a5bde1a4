// Decoding of compressed table blocks through the compressor table of
// Options.  LevelDB's ReadBlock hands every block whose type is not
// kNoCompression to DecompressBlock.

#include "leveldb/compressor.h"

#include <cstring>
#include <string>

#include "inflate.h"
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

std::string BlockType(unsigned char type) {
  return "block type " + std::to_string(static_cast<int>(type));
}

}  // namespace

// Decoded blocks come and go in the thousands, each of a slightly
// different size.  Allocating them in steps of 16 KiB lets a new block fit
// exactly where a freed one was, so that the heap does not fragment and
// grow over a long scan.
size_t BlockAllocationSize(size_t size) {
  constexpr size_t kStep = 16 << 10;
  return size < kStep ? size : (size + kStep - 1) / kStep * kStep;
}

char* CopyToBlock(const char* data, size_t size) {
  char* block = new char[BlockAllocationSize(size)];
  std::memcpy(block, data, size);
  return block;
}

bool Compressor::decompressBlock(const char* input, size_t length,
                                 std::string* scratch, char** data,
                                 size_t* size) const {
  if (!decompress(input, length, scratch)) return false;
  *data = CopyToBlock(scratch->data(), scratch->size());
  *size = scratch->size();
  return true;
}

Status DecompressBlock(const Options& table_options, const ReadOptions& options,
                       unsigned char type, const char* data, size_t n,
                       BlockContents* result) {
  const Compressor* compressor = FindCompressor(table_options, type);
  if (compressor == nullptr) {
    return Status::Corruption("no compressor for block", BlockType(type));
  }

  // The pooled buffer, with its capacity, serves the codecs that decode
  // into a buffer first, and goes back to the pool for the next block.
  DecompressAllocator* pool = options.decompress_allocator;
  std::string buffer = pool != nullptr ? pool->get() : std::string();
  Status s;
  char* contents = nullptr;
  size_t size = 0;
  if (compressor->decompressBlock(data, n, &buffer, &contents, &size)) {
    result->data = Slice(contents, size);
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
