// A pool of decompression buffers.  Block reads take a buffer, decode into
// it and hand it back, so that steady reading does not allocate a fresh
// buffer for every block.  Safe for concurrent use: LevelDB's compaction
// thread reads blocks while the client's thread does.

#ifndef QUORVALES_LEVELDB_DECOMPRESS_ALLOCATOR_H_
#define QUORVALES_LEVELDB_DECOMPRESS_ALLOCATOR_H_

#include <mutex>
#include <string>
#include <vector>

#include "leveldb/export.h"

namespace leveldb {

class LEVELDB_EXPORT DecompressAllocator {
 public:
  DecompressAllocator() = default;

  DecompressAllocator(const DecompressAllocator&) = delete;
  DecompressAllocator& operator=(const DecompressAllocator&) = delete;

  virtual ~DecompressAllocator();

  // A buffer to decode into: an earlier one, with its capacity, its size
  // and stale bytes, where the pool holds one, else an empty one.
  virtual std::string get();

  // Returns a buffer to the pool.  Buffers beyond the pool's bound are
  // freed.
  virtual void release(std::string&& buffer);

  // Frees every pooled buffer.
  virtual void prune();

  // Buffers held right now; for tests and diagnostics.
  size_t pooled() const;

 private:
  // Enough for the reading thread and the compaction thread several times
  // over, while bounding the memory that idle buffers hold.
  static constexpr size_t kMaxPooled = 8;

  mutable std::mutex mutex_;
  std::vector<std::string> pool_;
};

}  // namespace leveldb

#endif  // QUORVALES_LEVELDB_DECOMPRESS_ALLOCATOR_H_
