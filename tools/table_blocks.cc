#include "tools/table_blocks.h"

namespace quorvales {

namespace {

constexpr size_t kFooterSize = 48;
constexpr size_t kTrailerSize = 5;

// Reads a varint from [*p, limit); false when it runs past limit or is
// longer than 64 bits allow.
bool GetVarint(const char** p, const char* limit, uint64_t* value) {
  *value = 0;
  for (int shift = 0; shift <= 63 && *p < limit; shift += 7) {
    const auto byte = static_cast<uint8_t>(*(*p)++);
    *value |= static_cast<uint64_t>(byte & 0x7f) << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

uint64_t DecodeFixed(const char* p, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<uint8_t>(p[i]);
  }
  return value;
}

bool GetHandle(const char** p, const char* limit, BlockHandle* handle) {
  return GetVarint(p, limit, &handle->offset) &&
         GetVarint(p, limit, &handle->size);
}

}  // namespace

bool ReadFooter(const std::string& file, BlockHandle* metaindex,
                BlockHandle* index) {
  if (file.size() < kFooterSize) return false;
  const char* footer = file.data() + file.size() - kFooterSize;
  if (DecodeFixed(footer + kFooterSize - 8, 8) != kTableMagic) return false;
  const char* p = footer;
  const char* limit = footer + kFooterSize - 8;
  return GetHandle(&p, limit, metaindex) && GetHandle(&p, limit, index);
}

bool ReadIndexHandle(const std::string& file, BlockHandle* index) {
  BlockHandle metaindex;
  return ReadFooter(file, &metaindex, index);
}

bool BlockAt(const std::string& file, const BlockHandle& handle,
             StoredBlock* block) {
  // Handles are read from the file: any value, so no sum of them is safe.
  if (file.size() < kTrailerSize ||
      handle.offset > file.size() - kTrailerSize ||
      handle.size > file.size() - kTrailerSize - handle.offset) {
    return false;
  }
  block->data = file.data() + handle.offset;
  block->size = static_cast<size_t>(handle.size);
  block->type = static_cast<uint8_t>(block->data[block->size]);
  return true;
}

bool BlockEntries(const std::string& block, std::vector<BlockEntry>* entries) {
  entries->clear();
  if (block.size() < 4) return false;
  const uint64_t restarts = DecodeFixed(block.data() + block.size() - 4, 4);
  if (restarts > (block.size() - 4) / 4) return false;
  // Entries end where the restart array begins.
  const char* p = block.data();
  const char* limit = block.data() + block.size() - 4 - 4 * restarts;
  std::string key;
  while (p < limit) {
    uint64_t shared, unshared, value_size;
    if (!GetVarint(&p, limit, &shared) || !GetVarint(&p, limit, &unshared) ||
        !GetVarint(&p, limit, &value_size) || shared > key.size() ||
        unshared > static_cast<uint64_t>(limit - p) ||
        value_size > static_cast<uint64_t>(limit - p) - unshared) {
      return false;
    }
    key.resize(static_cast<size_t>(shared));
    key.append(p, static_cast<size_t>(unshared));
    p += unshared;
    entries->push_back({key, std::string(p, static_cast<size_t>(value_size))});
    p += value_size;
  }
  return true;
}

bool DecodeHandle(const std::string& value, BlockHandle* handle) {
  const char* p = value.data();
  return GetHandle(&p, value.data() + value.size(), handle);
}

bool IndexEntries(const std::string& index, std::vector<BlockHandle>* blocks) {
  blocks->clear();
  std::vector<BlockEntry> entries;
  if (!BlockEntries(index, &entries)) return false;
  for (const BlockEntry& entry : entries) {
    BlockHandle handle;
    if (!DecodeHandle(entry.value, &handle)) return false;
    blocks->push_back(handle);
  }
  return true;
}

}  // namespace quorvales
