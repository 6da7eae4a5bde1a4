#include "leveldb/decompress_allocator.h"

#include <utility>

namespace leveldb {

DecompressAllocator::~DecompressAllocator() = default;

std::string DecompressAllocator::get() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pool_.empty()) return std::string();
  std::string buffer = std::move(pool_.back());
  pool_.pop_back();
  return buffer;
}

void DecompressAllocator::release(std::string&& buffer) {
  // The buffer keeps its size: the next decoder overwrites the bytes, and
  // growing it back to that size would zero them all again first.
  std::lock_guard<std::mutex> lock(mutex_);
  if (pool_.size() < kMaxPooled) pool_.push_back(std::move(buffer));
}

void DecompressAllocator::prune() {
  std::vector<std::string> freed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    freed.swap(pool_);
  }
}

size_t DecompressAllocator::pooled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pool_.size();
}

}  // namespace leveldb
