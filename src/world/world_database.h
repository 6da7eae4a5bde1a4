// Access to a world's LevelDB database: the open options that Bedrock
// worlds need, one iterator over every key, one batch write, and closing
// in a fixed order.

#ifndef QUORVALES_WORLD_WORLD_DATABASE_H_
#define QUORVALES_WORLD_WORLD_DATABASE_H_

#include <memory>
#include <string>

#include "leveldb/cache.h"
#include "leveldb/db.h"
#include "leveldb/decompress_allocator.h"
#include "leveldb/filter_policy.h"
#include "leveldb/options.h"
#include "leveldb/write_batch.h"
#include "leveldb/zlib_compressor.h"
#include "output/line_writer.h"
#include "world/null_logger.h"
#include "world/read_ahead_env.h"

namespace quorvales {

// The open options of a world database, with the objects they point to.
// Those objects outlive the database handle.
struct WorldOptions {
  WorldOptions();

  std::unique_ptr<const leveldb::FilterPolicy> filter_policy;
  std::unique_ptr<leveldb::Cache> block_cache;
  std::unique_ptr<NullLogger> info_log;
  std::unique_ptr<leveldb::ZlibCompressorRaw> raw_compressor;
  std::unique_ptr<leveldb::ZlibCompressor> zlib_compressor;
  std::unique_ptr<leveldb::DecompressAllocator> decompress_allocator;
  std::unique_ptr<ReadAheadEnv> env;
  leveldb::Options options;
  leveldb::ReadOptions read_options;
};

class WorldDatabase {
 public:
  WorldDatabase() = default;
  WorldDatabase(const WorldDatabase&) = delete;
  WorldDatabase& operator=(const WorldDatabase&) = delete;
  ~WorldDatabase();

  // Writes the steps "4." to "6." (or the failure line) and, on success,
  // makes the scan iterator.  Returns false when the database did not open.
  // files_path: where the database is reached, when not by db_path, which
  // the lines keep as typed.
  bool Open(const std::string& db_path, Output& out,
            const std::string& files_path = "");

  leveldb::Iterator* iterator() const { return iterator_; }

  // For scans with iterators of their own, on other threads.
  leveldb::DB* db() const { return db_; }
  const leveldb::ReadOptions& read_options() const {
    return options_->read_options;
  }

  // Applies every delete of the batch in one write.
  leveldb::Status Write(leveldb::WriteBatch* batch);

  // Deletes the iterator, then the handle, with the closing lines.
  void Close(Output& out);

 private:
  // Outlives the handle: the destructor deletes the handle first.
  std::unique_ptr<WorldOptions> options_;
  leveldb::DB* db_ = nullptr;
  leveldb::Iterator* iterator_ = nullptr;
};

}  // namespace quorvales

#endif  // QUORVALES_WORLD_WORLD_DATABASE_H_
