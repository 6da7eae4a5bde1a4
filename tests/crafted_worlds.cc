#include "tests/crafted_worlds.h"

#include <cstdint>
#include <cstdlib>

namespace quorvales {

namespace {

// Changes the table's blocks and writes it back with valid checksums.
template <typename Change>
bool InTable(DatabaseFiles* files, const std::string& table, Change change) {
  TableImage image;
  if (!ParseTable((*files)[table], &image) || image.data.empty() ||
      image.meta.empty() || !change(&image)) {
    return false;
  }
  return ReplaceTable(files, table, BuildTable(image));
}

bool HugeDataHandle(DatabaseFiles* files, const std::string& table) {
  return InTable(files, table, [](TableImage* image) {
    image->data[0].forced = true;
    image->data[0].forced_handle = {0, uint64_t{1} << 40};
    return true;
  });
}

bool HugeMetaindexHandle(DatabaseFiles* files, const std::string& table) {
  return InTable(files, table, [](TableImage* image) {
    image->metaindex.forced = true;
    image->metaindex.forced_handle = {0, uint64_t{1} << 30};
    return true;
  });
}

bool HugeFilterHandle(DatabaseFiles* files, const std::string& table) {
  return InTable(files, table, [](TableImage* image) {
    image->meta[0].forced = true;
    image->meta[0].forced_handle = {16, uint64_t{4} << 30};
    return true;
  });
}

bool RestartCountBeyondBlock(DatabaseFiles* files, const std::string& table) {
  return InTable(files, table, [](TableImage* image) {
    std::string& block = image->data[0].contents;
    if (block.size() < 4) return false;
    block.replace(block.size() - 4, 4, "\xff\xff\xff\x7f", 4);
    return true;
  });
}

bool KeyLengthBeyondBlock(DatabaseFiles* files, const std::string& table) {
  return InTable(files, table, [](TableImage* image) {
    // The first entry: no shared bytes, then the key's length in one byte.
    std::string& block = image->data[0].contents;
    if (block.size() < 2 || (static_cast<uint8_t>(block[1]) & 0x80) != 0) {
      return false;
    }
    block.replace(1, 1, "\x80\x80\x80\x80\x01", 5);
    return true;
  });
}

bool MissingTable(DatabaseFiles* files, const std::string& table) {
  return files->erase(table) == 1;
}

bool WrongTableSize(DatabaseFiles* files, const std::string& table) {
  const std::string manifest = CurrentManifest(*files);
  std::vector<std::string> records;
  if (manifest.empty() || !ParseLog((*files)[manifest], &records) ||
      !SetTableSize(&records, std::strtoull(table.c_str(), nullptr, 10),
                    (*files)[table].size() + 100)) {
    return false;
  }
  (*files)[manifest] = BuildLog(records);
  return true;
}

bool LogRecordShortOfItsCount(DatabaseFiles* files, const std::string&) {
  // A write batch: its sequence number, a count of 5, then one put.
  std::string batch("\x00\x10\x00\x00\x00\x00\x00\x00", 8);
  batch += std::string("\x05\x00\x00\x00", 4);
  batch += std::string("\x01\x01k\x01v", 5);
  bool found = false;
  for (auto& [name, contents] : *files) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".log") == 0) {
      contents = BuildLog({batch});
      found = true;
    }
  }
  return found;
}

}  // namespace

const std::vector<CraftedWorld>& CraftedWorlds() {
  static const std::vector<CraftedWorld> worlds = {
      {"huge data block handle in the index", HugeDataHandle,
       CraftedWorld::kReadFails, "block handle beyond the end of the table"},
      // The metaindex and the filter only speed up reads, so LevelDB does
      // without them when they cannot be read.
      {"huge metaindex handle", HugeMetaindexHandle, CraftedWorld::kFine, ""},
      {"huge filter handle", HugeFilterHandle, CraftedWorld::kFine, ""},
      {"restart count beyond the block", RestartCountBeyondBlock,
       CraftedWorld::kReadFails, "bad block contents"},
      {"key length beyond the block", KeyLengthBeyondBlock,
       CraftedWorld::kReadFails, "bad entry in block"},
      {"MANIFEST names a missing table", MissingTable, CraftedWorld::kOpenFails,
       ""},
      {"MANIFEST states a wrong table size", WrongTableSize,
       CraftedWorld::kReadFails, "table size differs from the MANIFEST: "},
      {"log record claims more entries than it holds", LogRecordShortOfItsCount,
       CraftedWorld::kOpenFails, ""},
  };
  return worlds;
}

std::string LargestTable(const DatabaseFiles& files) {
  std::string largest;
  for (const auto& [name, contents] : files) {
    const bool table =
        name.size() > 4 && name.compare(name.size() - 4, 4, ".ldb") == 0;
    if (table &&
        (largest.empty() || contents.size() > files.at(largest).size())) {
      largest = name;
    }
  }
  return largest;
}

}  // namespace quorvales
