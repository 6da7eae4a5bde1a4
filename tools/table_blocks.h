// Finds the blocks of a LevelDB table file held in memory, without LevelDB:
// the footer, the index block's handles and each block with its type.

#ifndef QUORVALES_TOOLS_TABLE_BLOCKS_H_
#define QUORVALES_TOOLS_TABLE_BLOCKS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvales {

// The last eight bytes of every table file.
constexpr uint64_t kTableMagic = 0xdb4775248b80fb57ull;

struct BlockHandle {
  uint64_t offset = 0;
  uint64_t size = 0;
};

// A block as stored: its bytes and the type byte of its trailer.
struct StoredBlock {
  uint8_t type = 0;
  const char* data = nullptr;
  size_t size = 0;
};

// A key and its value, as a decoded block holds them.
struct BlockEntry {
  std::string key;
  std::string value;
};

// The metaindex and index blocks' handles, from the footer.  False when the
// file is too short or lacks the table magic.
bool ReadFooter(const std::string& file, BlockHandle* metaindex,
                BlockHandle* index);

// The index block's handle, from the footer.
bool ReadIndexHandle(const std::string& file, BlockHandle* index);

// The stored block at handle.  False when it lies outside the file.
bool BlockAt(const std::string& file, const BlockHandle& handle,
             StoredBlock* block);

// The entries of a decoded block, in order, with their shared key prefixes
// restored.  False when the block is malformed.
bool BlockEntries(const std::string& block, std::vector<BlockEntry>* entries);

// The handle at the start of value.  False when it is not one.
bool DecodeHandle(const std::string& value, BlockHandle* handle);

// The data block handles that a decoded index block lists, in key order.
// False when the index block is malformed.
bool IndexEntries(const std::string& index, std::vector<BlockHandle>* blocks);

}  // namespace quorvales

#endif  // QUORVALES_TOOLS_TABLE_BLOCKS_H_
