#include "tools/table_blocks.h"

namespace quorvales {

namespace {

constexpr size_t kFooterSize = 48;
constexpr size_t kTrailerSize = 5;
constexpr uint64_t kTableMagic = 0xdb4775248b80fb57ull;

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

bool ReadIndexHandle(const std::string& file, BlockHandle* index) {
  if (file.size() < kFooterSize) return false;
  const char* footer = file.data() + file.size() - kFooterSize;
  if (DecodeFixed(footer + kFooterSize - 8, 8) != kTableMagic) return false;
  BlockHandle metaindex;
  const char* p = footer;
  const char* limit = footer + kFooterSize - 8;
  return GetHandle(&p, limit, &metaindex) && GetHandle(&p, limit, index);
}

bool BlockAt(const std::string& file, const BlockHandle& handle,
             StoredBlock* block) {
  if (handle.offset > file.size() ||
      handle.size + kTrailerSize > file.size() - handle.offset) {
    return false;
  }
  block->data = file.data() + handle.offset;
  block->size = static_cast<size_t>(handle.size);
  block->type = static_cast<uint8_t>(block->data[block->size]);
  return true;
}

bool IndexEntries(const std::string& index, std::vector<BlockHandle>* blocks) {
  blocks->clear();
  if (index.size() < 4) return false;
  const uint64_t restarts = DecodeFixed(index.data() + index.size() - 4, 4);
  if (restarts > (index.size() - 4) / 4) return false;
  // Entries end where the restart array begins.
  const char* p = index.data();
  const char* limit = index.data() + index.size() - 4 - 4 * restarts;
  while (p < limit) {
    uint64_t shared, unshared, value_size;
    if (!GetVarint(&p, limit, &shared) || !GetVarint(&p, limit, &unshared) ||
        !GetVarint(&p, limit, &value_size) ||
        unshared + value_size > static_cast<uint64_t>(limit - p)) {
      return false;
    }
    p += unshared;
    const char* value_end = p + value_size;
    BlockHandle handle;
    if (!GetHandle(&p, value_end, &handle)) return false;
    blocks->push_back(handle);
    p = value_end;
  }
  return true;
}

}  // namespace quorvales
