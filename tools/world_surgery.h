// Takes the files of a world's database apart and puts them back together
// with every handle, length and checksum valid, so that tests and the
// fuzzer can change what lies behind the checksums: tables into their
// decoded blocks, MANIFESTs and logs into their records.

#ifndef QUORVALES_TOOLS_WORLD_SURGERY_H_
#define QUORVALES_TOOLS_WORLD_SURGERY_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/table_blocks.h"

namespace quorvales {

// One block of a table, decoded.
struct TableBlock {
  std::string name;      // its key in the index or the metaindex block
  uint8_t type = 0;      // trailer type: 0 stored, 2 zlib, 4 raw deflate
  std::string contents;  // decoded
  // When set, the block that points to this one names this handle instead
  // of the real one.
  bool forced = false;
  BlockHandle forced_handle;
};

// A table file as its blocks.  The index and metaindex contents are made
// anew from the blocks they point to when the table is built.
struct TableImage {
  std::vector<TableBlock> data;  // in index order
  std::vector<TableBlock> meta;  // in metaindex order: the filter block
  TableBlock index;
  TableBlock metaindex;
};

// False when the file is not a table whose every block decodes.
bool ParseTable(const std::string& file, TableImage* image);

// The table file, with blocks encoded by their types.
std::string BuildTable(const TableImage& image);

// A decoded block holding the entries, each one a restart point.
std::string EncodeBlock(const std::vector<BlockEntry>& entries);

// A handle as a block's value holds it.
std::string EncodeHandle(const BlockHandle& handle);

// The records of a LevelDB log file (a MANIFEST or a write-ahead log),
// reassembled from their fragments.  False when a record is damaged.
bool ParseLog(const std::string& file, std::vector<std::string>* records);

// The log file holding the records, fragmented and checksummed.
std::string BuildLog(const std::vector<std::string>& records);

// Changes, in a MANIFEST's records, the size stated for table number.
// False when a record does not parse as a version edit.
bool SetTableSize(std::vector<std::string>* manifest_records, uint64_t number,
                  uint64_t size);

// The files of a database folder, by name.
using DatabaseFiles = std::map<std::string, std::string>;

DatabaseFiles ReadDatabaseFiles(const std::string& db);
bool WriteDatabaseFiles(const std::string& db, const DatabaseFiles& files);

// The name of the MANIFEST that CURRENT names; empty when there is none.
std::string CurrentManifest(const DatabaseFiles& files);

// Replaces a table file of the folder and states its new size in the
// current MANIFEST.  False when the MANIFEST does not parse.
bool ReplaceTable(DatabaseFiles* files, const std::string& table_name,
                  const std::string& table);

// A database folder as one byte string and back: the fuzzer's input.
std::string PackFiles(const DatabaseFiles& files);
bool UnpackFiles(const std::string& packed, DatabaseFiles* files);

}  // namespace quorvales

#endif  // QUORVALES_TOOLS_WORLD_SURGERY_H_
