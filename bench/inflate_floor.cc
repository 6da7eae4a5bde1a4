// The decompression floor of a world scan: reads every table file of a
// database folder and inflates every data block, with zlib or libdeflate,
// and nothing else.  inflate_floor DB_FOLDER [zlib|libdeflate] prints what
// it decoded.

#include <dirent.h>
#include <zlib.h>
#if QUORVALES_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <cstdio>
#include <string>
#include <vector>

#include "tools/table_blocks.h"

namespace {

struct Totals {
  uint64_t tables = 0;
  uint64_t blocks = 0;
  uint64_t stored_bytes = 0;
  uint64_t decoded_bytes = 0;
};

bool ReadWholeFile(const std::string& path, std::string* contents) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  contents->clear();
  char chunk[1 << 16];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
    contents->append(chunk, n);
  }
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

// One stream per format, reset between blocks, as cheap as zlib allows.
class Inflater {
 public:
  explicit Inflater(int window_bits) { inflateInit2(&stream_, window_bits); }
  ~Inflater() { inflateEnd(&stream_); }

  bool Decode(const char* data, size_t size, std::vector<char>* out,
              size_t* produced) {
    inflateReset(&stream_);
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream_.avail_in = static_cast<uInt>(size);
    *produced = 0;
    for (;;) {
      stream_.next_out = reinterpret_cast<Bytef*>(out->data() + *produced);
      stream_.avail_out = static_cast<uInt>(out->size() - *produced);
      const int rc = inflate(&stream_, Z_FINISH);
      *produced = out->size() - stream_.avail_out;
      if (rc == Z_STREAM_END) return true;
      if (rc != Z_BUF_ERROR || stream_.avail_out != 0) return false;
      out->resize(out->size() * 2);
    }
  }

 private:
  z_stream stream_ = {};
};

#if QUORVALES_HAVE_LIBDEFLATE
// One decompressor, decoding each block in one call into a buffer that
// keeps the largest size seen.
class Libdeflate {
 public:
  Libdeflate() : decompressor_(libdeflate_alloc_decompressor()) {}
  ~Libdeflate() { libdeflate_free_decompressor(decompressor_); }

  bool Decode(bool raw, const char* data, size_t size, std::vector<char>* out,
              size_t* produced) {
    for (;;) {
      const libdeflate_result rc =
          raw ? libdeflate_deflate_decompress(decompressor_, data, size,
                                              out->data(), out->size(),
                                              produced)
              : libdeflate_zlib_decompress(decompressor_, data, size,
                                           out->data(), out->size(), produced);
      if (rc == LIBDEFLATE_SUCCESS) return true;
      if (rc != LIBDEFLATE_INSUFFICIENT_SPACE) return false;
      out->resize(out->size() * 2);
    }
  }

 private:
  libdeflate_decompressor* decompressor_;
};
#endif

class Floor {
 public:
  explicit Floor(bool libdeflate) : libdeflate_(libdeflate) {}

  bool DecodeBlock(const quorvales::StoredBlock& block, std::string* copy) {
    size_t produced = 0;
    bool ok = true;
    switch (block.type) {
      case 0:
        produced = block.size;
        if (copy != nullptr) copy->assign(block.data, block.size);
        break;
      case 2:
      case 4:
#if QUORVALES_HAVE_LIBDEFLATE
        if (libdeflate_) {
          ok = deflate_.Decode(block.type == 4, block.data, block.size, &out_,
                               &produced);
          break;
        }
#endif
        ok = (block.type == 2 ? zlib_ : raw_)
                 .Decode(block.data, block.size, &out_, &produced);
        break;
      default:
        ok = false;
    }
    if (!ok) return false;
    if (copy != nullptr && block.type != 0) copy->assign(out_.data(), produced);
    totals_.stored_bytes += block.size;
    totals_.decoded_bytes += produced;
    return true;
  }

  bool DecodeTable(const std::string& path) {
    if (!ReadWholeFile(path, &file_)) return false;
    quorvales::BlockHandle index_handle;
    quorvales::StoredBlock block;
    if (!quorvales::ReadIndexHandle(file_, &index_handle) ||
        !quorvales::BlockAt(file_, index_handle, &block) ||
        !DecodeBlock(block, &index_) ||
        !quorvales::IndexEntries(index_, &handles_)) {
      return false;
    }
    for (const quorvales::BlockHandle& handle : handles_) {
      if (!quorvales::BlockAt(file_, handle, &block) ||
          !DecodeBlock(block, nullptr)) {
        return false;
      }
      ++totals_.blocks;
    }
    ++totals_.tables;
    return true;
  }

  const Totals& totals() const { return totals_; }

 private:
  const bool libdeflate_;
  Inflater zlib_{15};
  Inflater raw_{-15};
#if QUORVALES_HAVE_LIBDEFLATE
  Libdeflate deflate_;
#endif
  std::vector<char> out_ = std::vector<char>(1 << 20);
  std::string file_;
  std::string index_;
  std::vector<quorvales::BlockHandle> handles_;
  Totals totals_;
};

bool IsTableFile(const std::string& name) {
  auto ends_with = [&](const char* suffix) {
    const std::string s = suffix;
    return name.size() > s.size() &&
           name.compare(name.size() - s.size(), s.size(), s) == 0;
  };
  return ends_with(".ldb") || ends_with(".sst");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string codec = argc > 2 ? argv[2] : "zlib";
  if (argc < 2 || argc > 3 || (codec != "zlib" && codec != "libdeflate")) {
    std::printf("usage: %s DB_FOLDER [zlib|libdeflate]\n", argv[0]);
    return 2;
  }
#if !QUORVALES_HAVE_LIBDEFLATE
  if (codec == "libdeflate") {
    std::printf("inflate_floor: built without libdeflate\n");
    return 2;
  }
#endif
  const std::string folder = argv[1];
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    std::printf("inflate_floor: cannot open %s\n", folder.c_str());
    return 1;
  }
  std::vector<std::string> tables;
  while (dirent* entry = readdir(dir)) {
    if (IsTableFile(entry->d_name)) tables.push_back(entry->d_name);
  }
  closedir(dir);

  Floor floor(codec == "libdeflate");
  for (const std::string& name : tables) {
    if (!floor.DecodeTable(folder + "/" + name)) {
      std::printf("inflate_floor: cannot decode %s\n", name.c_str());
      return 1;
    }
  }
  const Totals& t = floor.totals();
  std::printf("tables %llu blocks %llu stored_bytes %llu decoded_bytes %llu\n",
              static_cast<unsigned long long>(t.tables),
              static_cast<unsigned long long>(t.blocks),
              static_cast<unsigned long long>(t.stored_bytes),
              static_cast<unsigned long long>(t.decoded_bytes));
  return 0;
}
