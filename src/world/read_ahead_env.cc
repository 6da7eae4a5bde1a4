#include "world/read_ahead_env.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

namespace quorvales {

namespace {

constexpr size_t kWindow = 256 << 10;

// This thread's window: which file it holds, from where, how much.  Files
// are told apart by a number that no other file of the process gets, so a
// window never serves a file that took a freed one's place.
struct Window {
  uint64_t file = 0;
  uint64_t start = 0;
  size_t size = 0;
  std::unique_ptr<char[]> data;
};

class ReadAheadFile : public leveldb::RandomAccessFile {
 public:
  ReadAheadFile(leveldb::RandomAccessFile* base, uint64_t size)
      : base_(base), size_(size), id_(next_id_.fetch_add(1) + 1) {}

  leveldb::Status Read(uint64_t offset, size_t n, leveldb::Slice* result,
                       char* scratch) const override {
    // Large blocks gain nothing from a window, and a read that reaches past
    // the end gets the file's own answer (a mapped file refuses it).
    if (n > kWindow / 2 || offset + n > size_) {
      return base_->Read(offset, n, result, scratch);
    }
    thread_local Window window;
    if (window.file != id_ || offset < window.start ||
        offset + n > window.start + window.size) {
      if (window.data == nullptr) window.data.reset(new char[kWindow]);
      leveldb::Slice got;
      const leveldb::Status s = base_->Read(
          offset,
          static_cast<size_t>(std::min<uint64_t>(kWindow, size_ - offset)),
          &got, window.data.get());
      if (!s.ok()) {
        window.file = 0;
        return s;
      }
      if (got.data() != window.data.get()) {
        std::memmove(window.data.get(), got.data(), got.size());
      }
      window.file = id_;
      window.start = offset;
      window.size = got.size();
    }
    // A file that shrank since it was opened gives less: a short read.
    const uint64_t end = window.start + window.size;
    const size_t available =
        offset >= end
            ? 0
            : static_cast<size_t>(std::min<uint64_t>(n, end - offset));
    std::memcpy(scratch, window.data.get() + (offset - window.start),
                available);
    *result = leveldb::Slice(scratch, available);
    return leveldb::Status::OK();
  }

 private:
  static std::atomic<uint64_t> next_id_;
  const std::unique_ptr<leveldb::RandomAccessFile> base_;
  const uint64_t size_;
  const uint64_t id_;
};

std::atomic<uint64_t> ReadAheadFile::next_id_{0};

}  // namespace

leveldb::Status ReadAheadEnv::NewRandomAccessFile(
    const std::string& name, leveldb::RandomAccessFile** result) {
  *result = nullptr;
  uint64_t size = 0;
  leveldb::Status s = target()->GetFileSize(name, &size);
  leveldb::RandomAccessFile* base = nullptr;
  if (s.ok()) s = target()->NewRandomAccessFile(name, &base);
  if (s.ok()) *result = new ReadAheadFile(base, size);
  return s;
}

}  // namespace quorvales
