#include "tools/world_surgery.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "leveldb/slice.h"
#include "leveldb/zlib_compressor.h"
#include "leveldb_ext/inflate.h"
#include "platform/file_path.h"
#include "util/coding.h"
#include "util/crc32c.h"

namespace quorvales {

namespace fs = std::filesystem;

namespace {

constexpr size_t kLogBlockSize = 32768;
constexpr size_t kLogHeaderSize = 7;

// The masked CRC32C that trailers and log headers carry: of the bytes,
// then of the type byte (trailers) or of the type byte, then the bytes
// (log headers).
uint32_t TrailerCrc(const std::string& bytes, uint8_t type) {
  const char t = static_cast<char>(type);
  return leveldb::crc32c::Mask(leveldb::crc32c::Extend(
      leveldb::crc32c::Value(bytes.data(), bytes.size()), &t, 1));
}

uint32_t LogCrc(uint8_t type, const char* data, size_t size) {
  const char t = static_cast<char>(type);
  return leveldb::crc32c::Mask(
      leveldb::crc32c::Extend(leveldb::crc32c::Value(&t, 1), data, size));
}

bool DecodeStored(const std::string& file, const BlockHandle& handle,
                  TableBlock* block) {
  StoredBlock stored;
  if (!BlockAt(file, handle, &stored)) return false;
  block->type = stored.type;
  switch (stored.type) {
    case 0:
      block->contents.assign(stored.data, stored.size);
      return true;
    case 2:
      return leveldb::InflateWithZlib(leveldb::DeflateFormat::kZlib,
                                      stored.data, stored.size,
                                      &block->contents);
    case 4:
      return leveldb::InflateWithZlib(leveldb::DeflateFormat::kRaw, stored.data,
                                      stored.size, &block->contents);
    default:
      return false;
  }
}

// The blocks that a decoded index or metaindex block points to.
bool DecodePointed(const std::string& file, const std::string& contents,
                   std::vector<TableBlock>* blocks) {
  std::vector<BlockEntry> entries;
  if (!BlockEntries(contents, &entries)) return false;
  for (const BlockEntry& entry : entries) {
    BlockHandle handle;
    TableBlock block;
    block.name = entry.key;
    if (!DecodeHandle(entry.value, &handle) ||
        !DecodeStored(file, handle, &block)) {
      return false;
    }
    blocks->push_back(std::move(block));
  }
  return true;
}

// Appends the block, encoded by its type, with its trailer; returns the
// handle that points to it.
BlockHandle AppendBlock(const TableBlock& block, std::string* file) {
  std::string stored;
  if (block.type == 2) {
    leveldb::ZlibCompressor(-1).compressImpl(block.contents.data(),
                                             block.contents.size(), &stored);
  } else if (block.type == 4) {
    leveldb::ZlibCompressorRaw(-1).compressImpl(block.contents.data(),
                                                block.contents.size(), &stored);
  } else {
    stored = block.contents;
  }
  BlockHandle handle{file->size(), stored.size()};
  file->append(stored);
  file->push_back(static_cast<char>(block.type));
  leveldb::PutFixed32(file, TrailerCrc(stored, block.type));
  return handle;
}

BlockHandle PointedHandle(const TableBlock& block, const BlockHandle& real) {
  return block.forced ? block.forced_handle : real;
}

// Appends the blocks and then the block that points to them.
BlockHandle AppendWithPointer(const std::vector<TableBlock>& blocks,
                              TableBlock pointer, std::string* file) {
  std::vector<BlockEntry> entries;
  for (const TableBlock& block : blocks) {
    entries.push_back({block.name, EncodeHandle(PointedHandle(
                                       block, AppendBlock(block, file)))});
  }
  pointer.contents = EncodeBlock(entries);
  return PointedHandle(pointer, AppendBlock(pointer, file));
}

}  // namespace

bool ParseTable(const std::string& file, TableImage* image) {
  *image = TableImage();
  BlockHandle metaindex, index;
  return ReadFooter(file, &metaindex, &index) &&
         DecodeStored(file, index, &image->index) &&
         DecodeStored(file, metaindex, &image->metaindex) &&
         DecodePointed(file, image->index.contents, &image->data) &&
         DecodePointed(file, image->metaindex.contents, &image->meta);
}

std::string BuildTable(const TableImage& image) {
  std::string file;
  // Data blocks and their index come first, then the filter and the
  // metaindex, unlike LevelDB's order; handles make the order free.
  const BlockHandle index = AppendWithPointer(image.data, image.index, &file);
  const BlockHandle metaindex =
      AppendWithPointer(image.meta, image.metaindex, &file);
  std::string footer = EncodeHandle(metaindex) + EncodeHandle(index);
  footer.resize(40, '\0');
  leveldb::PutFixed64(&footer, kTableMagic);
  return file + footer;
}

std::string EncodeBlock(const std::vector<BlockEntry>& entries) {
  std::string block;
  std::vector<uint32_t> restarts;
  for (const BlockEntry& entry : entries) {
    restarts.push_back(static_cast<uint32_t>(block.size()));
    leveldb::PutVarint32(&block, 0);
    leveldb::PutVarint32(&block, static_cast<uint32_t>(entry.key.size()));
    leveldb::PutVarint32(&block, static_cast<uint32_t>(entry.value.size()));
    block += entry.key;
    block += entry.value;
  }
  if (restarts.empty()) restarts.push_back(0);
  for (uint32_t restart : restarts) leveldb::PutFixed32(&block, restart);
  leveldb::PutFixed32(&block, static_cast<uint32_t>(restarts.size()));
  return block;
}

std::string EncodeHandle(const BlockHandle& handle) {
  std::string value;
  leveldb::PutVarint64(&value, handle.offset);
  leveldb::PutVarint64(&value, handle.size);
  return value;
}

bool ParseLog(const std::string& file, std::vector<std::string>* records) {
  records->clear();
  std::string pending;
  bool in_record = false;
  size_t pos = 0;
  while (pos < file.size()) {
    const size_t block_left = kLogBlockSize - pos % kLogBlockSize;
    // A block's last few bytes, too short for a header, are padding; so is
    // a zeroed rest of a block.
    if (block_left < kLogHeaderSize) {
      pos += block_left;
      continue;
    }
    if (file.size() - pos < kLogHeaderSize) break;  // cut short: the end
    const char* header = file.data() + pos;
    const size_t length = static_cast<uint8_t>(header[4]) |
                          static_cast<size_t>(static_cast<uint8_t>(header[5]))
                              << 8;
    const auto type = static_cast<uint8_t>(header[6]);
    if (type == 0 && length == 0) {
      pos += block_left;
      continue;
    }
    if (kLogHeaderSize + length > block_left ||
        kLogHeaderSize + length > file.size() - pos) {
      return false;
    }
    const char* data = header + kLogHeaderSize;
    if (leveldb::DecodeFixed32(header) != LogCrc(type, data, length)) {
      return false;
    }
    pos += kLogHeaderSize + length;
    switch (type) {
      case 1:  // full
        if (in_record) return false;
        records->emplace_back(data, length);
        break;
      case 2:  // first
        if (in_record) return false;
        pending.assign(data, length);
        in_record = true;
        break;
      case 3:  // middle
      case 4:  // last
        if (!in_record) return false;
        pending.append(data, length);
        if (type == 4) {
          records->push_back(pending);
          in_record = false;
        }
        break;
      default:
        return false;
    }
  }
  return true;
}

std::string BuildLog(const std::vector<std::string>& records) {
  std::string file;
  for (const std::string& record : records) {
    size_t done = 0;
    bool begin = true;
    do {
      size_t left_in_block = kLogBlockSize - file.size() % kLogBlockSize;
      if (left_in_block < kLogHeaderSize) {
        file.append(left_in_block, '\0');
        left_in_block = kLogBlockSize;
      }
      const size_t fragment =
          std::min(record.size() - done, left_in_block - kLogHeaderSize);
      const bool end = done + fragment == record.size();
      const uint8_t type = begin && end ? 1 : begin ? 2 : end ? 4 : 3;
      leveldb::PutFixed32(&file, LogCrc(type, record.data() + done, fragment));
      file.push_back(static_cast<char>(fragment & 0xff));
      file.push_back(static_cast<char>(fragment >> 8));
      file.push_back(static_cast<char>(type));
      file.append(record, done, fragment);
      done += fragment;
      begin = false;
    } while (done < record.size());
  }
  return file;
}

bool SetTableSize(std::vector<std::string>* manifest_records, uint64_t number,
                  uint64_t size) {
  for (std::string& record : *manifest_records) {
    leveldb::Slice input(record);
    std::string edited;
    while (!input.empty()) {
      const char* start = input.data();
      uint32_t tag = 0, level = 0;
      uint64_t value = 0;
      leveldb::Slice text;
      bool ok = leveldb::GetVarint32(&input, &tag);
      switch (tag) {
        case 1:  // comparator
          ok = ok && leveldb::GetLengthPrefixedSlice(&input, &text);
          break;
        case 2:  // log number
        case 3:  // next file number
        case 4:  // last sequence
        case 9:  // previous log number
          ok = ok && leveldb::GetVarint64(&input, &value);
          break;
        case 5:  // compaction pointer
          ok = ok && leveldb::GetVarint32(&input, &level) &&
               leveldb::GetLengthPrefixedSlice(&input, &text);
          break;
        case 6:  // deleted file
          ok = ok && leveldb::GetVarint32(&input, &level) &&
               leveldb::GetVarint64(&input, &value);
          break;
        case 7: {  // new file: level, number, size, smallest, largest
          uint64_t file_number = 0, file_size = 0;
          ok = ok && leveldb::GetVarint32(&input, &level) &&
               leveldb::GetVarint64(&input, &file_number);
          const char* size_at = input.data();
          ok = ok && leveldb::GetVarint64(&input, &file_size);
          if (ok && file_number == number) {
            edited.append(start, size_at - start);
            leveldb::PutVarint64(&edited, size);
            start = input.data();
          }
          ok = ok && leveldb::GetLengthPrefixedSlice(&input, &text) &&
               leveldb::GetLengthPrefixedSlice(&input, &text);
          break;
        }
        default:
          ok = false;
      }
      if (!ok) return false;
      edited.append(start, input.data() - start);
    }
    record = edited;
  }
  return true;
}

DatabaseFiles ReadDatabaseFiles(const std::string& db) {
  DatabaseFiles files;
  std::error_code error;
  for (const std::string& name : FolderEntries(db, error)) {
    const fs::path path = FilePath(db + "/" + name);
    if (!fs::is_regular_file(path, error)) continue;
    std::ifstream in(path, std::ios::binary);
    files[name].assign(std::istreambuf_iterator<char>(in),
                       std::istreambuf_iterator<char>());
  }
  return files;
}

bool WriteDatabaseFiles(const std::string& db, const DatabaseFiles& files) {
  std::error_code error;
  fs::create_directories(FilePath(db), error);
  for (const auto& [name, contents] : files) {
    std::ofstream out(FilePath(db + "/" + name),
                      std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out.good()) return false;
  }
  return true;
}

std::string CurrentManifest(const DatabaseFiles& files) {
  const auto current = files.find("CURRENT");
  if (current == files.end()) return "";
  std::string name = current->second;
  if (!name.empty() && name.back() == '\n') name.pop_back();
  return files.count(name) != 0 ? name : "";
}

bool ReplaceTable(DatabaseFiles* files, const std::string& table_name,
                  const std::string& table) {
  const std::string manifest = CurrentManifest(*files);
  std::vector<std::string> records;
  if (manifest.empty() || !ParseLog((*files)[manifest], &records)) {
    return false;
  }
  const uint64_t number = std::strtoull(table_name.c_str(), nullptr, 10);
  if (!SetTableSize(&records, number, table.size())) return false;
  (*files)[table_name] = table;
  (*files)[manifest] = BuildLog(records);
  return true;
}

std::string PackFiles(const DatabaseFiles& files) {
  std::string packed = "QVDB";
  for (const auto& [name, contents] : files) {
    leveldb::PutLengthPrefixedSlice(&packed, name);
    leveldb::PutLengthPrefixedSlice(&packed, contents);
  }
  return packed;
}

bool UnpackFiles(const std::string& packed, DatabaseFiles* files) {
  files->clear();
  leveldb::Slice input(packed);
  if (!input.starts_with("QVDB")) return false;
  input.remove_prefix(4);
  while (!input.empty()) {
    leveldb::Slice name, contents;
    if (!leveldb::GetLengthPrefixedSlice(&input, &name) ||
        !leveldb::GetLengthPrefixedSlice(&input, &contents)) {
      return false;
    }
    // Plain names only: the files are written into a folder.
    const std::string plain = name.ToString();
    if (plain.empty() || plain == "." || plain == ".." ||
        plain.find_first_of(std::string("/\\\0", 3)) != std::string::npos) {
      return false;
    }
    (*files)[plain] = contents.ToString();
  }
  return true;
}

}  // namespace quorvales
