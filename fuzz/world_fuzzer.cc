// A whole database folder as input, opened, scanned and purged the way a
// run does it.  The input is the folder's files packed into one string
// (tools/world_surgery.h).  The mutator knows the formats: it changes the
// decoded contents of table blocks, the handles that point to them, block
// types, and the records of MANIFESTs and logs, and then writes every
// checksum, handle and stated size anew, so that the changes reach the
// parsers behind the checksums.  No input may crash the tool, make it
// allocate more than libFuzzer's -malloc_limit_mb or run past -timeout.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "chunks/run_counters.h"
#include "chunks/scan_purge.h"
#include "output/line_writer.h"
#include "tools/world_surgery.h"
#include "util/coding.h"
#include "world/world_database.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

namespace {

namespace fs = std::filesystem;
using quorvales::BlockHandle;
using quorvales::DatabaseFiles;
using quorvales::TableBlock;
using quorvales::TableImage;

using Random = std::mt19937_64;

size_t Pick(Random& rng, size_t n) {
  return std::uniform_int_distribution<size_t>(0, n - 1)(rng);
}

// libFuzzer's own byte-level mutations of one piece, which may grow.
void MutateBytes(std::string* bytes) {
  const size_t room = bytes->size() + 64;
  std::string buffer = *bytes;
  buffer.resize(room);
  const size_t n = LLVMFuzzerMutate(reinterpret_cast<uint8_t*>(&buffer[0]),
                                    bytes->size(), room);
  buffer.resize(n);
  *bytes = buffer;
}

// Sizes and offsets that break things: huge, at the edges, past the end.
uint64_t InterestingNumber(Random& rng) {
  static const uint64_t kNumbers[] = {0,
                                      1,
                                      5,
                                      4096,
                                      163840,
                                      uint64_t{1} << 20,
                                      uint64_t{1} << 30,
                                      uint64_t{1} << 32,
                                      uint64_t{1} << 40,
                                      ~uint64_t{0} - 4,
                                      ~uint64_t{0}};
  return kNumbers[Pick(rng, sizeof(kNumbers) / sizeof(kNumbers[0]))];
}

// Rewrites one varint inside the bytes with an interesting number.
void MutateVarint(std::string* bytes, Random& rng) {
  if (bytes->empty()) return;
  const size_t at = Pick(rng, bytes->size());
  size_t end = at;
  while (end < bytes->size() && (static_cast<uint8_t>((*bytes)[end]) & 0x80)) {
    ++end;
  }
  end = std::min(end + 1, bytes->size());
  std::string number;
  leveldb::PutVarint64(&number, InterestingNumber(rng));
  bytes->replace(at, end - at, number);
}

TableBlock* PickBlock(TableImage* image, Random& rng) {
  std::vector<TableBlock*> blocks = {&image->index, &image->metaindex};
  for (TableBlock& block : image->data) blocks.push_back(&block);
  for (TableBlock& block : image->meta) blocks.push_back(&block);
  return blocks[Pick(rng, blocks.size())];
}

bool MutateTable(DatabaseFiles* files, const std::string& name, Random& rng) {
  TableImage image;
  if (!quorvales::ParseTable((*files)[name], &image)) return false;
  TableBlock* block = PickBlock(&image, rng);
  switch (Pick(rng, 5)) {
    case 0:  // what the block holds; index and metaindex are made anew
      if (block != &image.index && block != &image.metaindex) {
        MutateBytes(&block->contents);
      } else if (!image.data.empty()) {
        MutateBytes(&image.data[Pick(rng, image.data.size())].contents);
      }
      break;
    case 1:  // a varint inside the block: lengths, shared prefixes
      MutateVarint(&block->contents, rng);
      break;
    case 2:  // the handle that points to the block
      block->forced = true;
      block->forced_handle =
          BlockHandle{Pick(rng, 2) == 0 ? InterestingNumber(rng)
                                        : Pick(rng, (*files)[name].size() + 1),
                      InterestingNumber(rng)};
      break;
    case 3:  // the block's type
      block->type = static_cast<uint8_t>(
          Pick(rng, 2) == 0 ? static_cast<int>(Pick(rng, 3)) * 2
                            : Pick(rng, 256));
      break;
    default:  // its key in the index or metaindex
      MutateBytes(&block->name);
      break;
  }
  return quorvales::ReplaceTable(files, name, quorvales::BuildTable(image));
}

bool MutateLog(std::string* file, Random& rng) {
  std::vector<std::string> records;
  if (!quorvales::ParseLog(*file, &records) || records.empty()) return false;
  std::string& record = records[Pick(rng, records.size())];
  switch (Pick(rng, 4)) {
    case 0:
      MutateBytes(&record);
      break;
    case 1:
      MutateVarint(&record, rng);
      break;
    case 2:
      records.push_back(record);
      break;
    default:
      records.erase(records.begin() +
                    static_cast<std::ptrdiff_t>(Pick(rng, records.size())));
      break;
  }
  *file = quorvales::BuildLog(records);
  return true;
}

void MutateFiles(DatabaseFiles* files, Random& rng) {
  auto it = files->begin();
  std::advance(it, static_cast<std::ptrdiff_t>(Pick(rng, files->size())));
  const std::string name = it->first;
  if (Pick(rng, 32) == 0) {
    files->erase(it);
    return;
  }
  const fs::path path(name);
  bool done = false;
  if (path.extension() == ".ldb" || path.extension() == ".sst") {
    done = MutateTable(files, name, rng);
  } else if (path.extension() == ".log" || name.rfind("MANIFEST-", 0) == 0) {
    done = MutateLog(&(*files)[name], rng);
  }
  if (!done) MutateBytes(&(*files)[name]);
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size,
                                          size_t max_size, unsigned int seed) {
  Random rng(seed);
  DatabaseFiles files;
  if (!quorvales::UnpackFiles(
          std::string(reinterpret_cast<const char*>(data), size), &files) ||
      files.empty()) {
    return LLVMFuzzerMutate(data, size, max_size);
  }
  MutateFiles(&files, rng);
  const std::string packed = quorvales::PackFiles(files);
  if (packed.size() > max_size) return LLVMFuzzerMutate(data, size, max_size);
  std::memcpy(data, packed.data(), packed.size());
  return packed.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string db = [] {
    std::string pattern =
        (fs::temp_directory_path() / "world-fuzzer-XXXXXX").string();
    return std::string(mkdtemp(&pattern[0])) + "/db";
  }();
  DatabaseFiles files;
  if (!quorvales::UnpackFiles(
          std::string(reinterpret_cast<const char*>(data), size), &files)) {
    return 0;
  }
  std::error_code ignored;
  fs::remove_all(db, ignored);
  if (!quorvales::WriteDatabaseFiles(db, files)) return 0;

  std::ostringstream console, log;
  quorvales::Output out{console, log};
  quorvales::WorldDatabase world;
  if (world.Open(db, out)) {
    quorvales::RunCounters counters;
    std::vector<std::string> marked_keys;
    quorvales::ScanMarkAndPurge(world, 1000.0f, out, &counters, &marked_keys,
                                2);
    world.Close(out);
  }
  return 0;
}
