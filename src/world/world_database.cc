#include "world/world_database.h"

#include "world/database_folder.h"
#include "world/scan_tuning.h"

namespace quorvales {

namespace {

// The path as LevelDB's environment takes it.  On Windows the separators
// become '\': Windows accepts '/', but file calls such as ReplaceFile under
// Wine do not.  The UTF-8 text is otherwise passed on as typed; LevelDB's
// Windows file calls take it as UTF-16.
std::string NativePath(std::string path) {
#ifdef _WIN32
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
#endif
  return path;
}

}  // namespace

WorldOptions::WorldOptions()
    : filter_policy(leveldb::NewBloomFilterPolicy(10)),
      block_cache(leveldb::NewLRUCache(41943040)),
      info_log(new NullLogger),
      raw_compressor(new leveldb::ZlibCompressorRaw(-1)),
      zlib_compressor(new leveldb::ZlibCompressor(-1)),
      decompress_allocator(new leveldb::DecompressAllocator),
      env(new ReadAheadEnv(leveldb::Env::Default())) {
  options.create_if_missing = false;
  options.filter_policy = filter_policy.get();
  options.block_cache = block_cache.get();
  options.write_buffer_size = 4194304;
  options.info_log = info_log.get();
  options.compressors[0] = raw_compressor.get();
  options.compressors[1] = zlib_compressor.get();
  // Verify block checksums in compaction too, so that a damaged block is
  // reported instead of being dropped or rewritten with a valid checksum.
  options.paranoid_checks = true;
  // The game writes blocks of about 160 KiB; smaller ones would make every
  // table the tool rewrites grow.
  options.block_size = 163840;
  options.env = env.get();
  read_options.decompress_allocator = decompress_allocator.get();
}

WorldDatabase::~WorldDatabase() {
  delete iterator_;
  delete db_;
}

bool WorldDatabase::Open(const std::string& db_path, Output& out,
                         const std::string& files_path) {
  WriteBoth(out, "4. Setting LevelDB options...");
  TuneForOneScan();
  options_ = std::make_unique<WorldOptions>();
  WriteBoth(out, "5. Loading ", db_path, "...");
  const std::string path = files_path.empty() ? db_path : files_path;
  const bool plain = HoldsOnlyPlainFiles(path);
  leveldb::Status status =
      plain ? leveldb::DB::Open(options_->options, NativePath(path), &db_)
            : leveldb::Status::Corruption("not a plain file", path);
  if (!status.ok()) {
    WriteBoth(out, "Opening ", db_path, " failed.");
    return false;
  }
  WriteBoth(out, "6. World database opened succesfully");
  options_->read_options.verify_checksums = true;
  // One pass never reads a data block twice: the scan's blocks stay out of
  // the cache, which keeps index and filter blocks, and so are neither
  // charged nor evicted block by block.
  options_->read_options.fill_cache = false;
  iterator_ = db_->NewIterator(options_->read_options);
  return true;
}

leveldb::Status WorldDatabase::Write(leveldb::WriteBatch* batch) {
  return db_->Write(leveldb::WriteOptions(), batch);
}

void WorldDatabase::Close(Output& out) {
  delete iterator_;
  iterator_ = nullptr;
  WriteBoth(out, "Closing Database...");
  delete db_;
  db_ = nullptr;
  WriteBoth(out, "Done");
}

}  // namespace quorvales
