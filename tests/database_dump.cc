#include "tests/database_dump.h"

#include <memory>

#include "leveldb/db.h"
#include "world/world_database.h"

namespace quorvales {

leveldb::Status DumpDatabase(const std::string& db_path,
                             std::map<std::string, std::string>* out) {
  WorldOptions world;
  leveldb::DB* db = nullptr;
  leveldb::Status s = leveldb::DB::Open(world.options, db_path, &db);
  if (!s.ok()) return s;
  world.read_options.verify_checksums = true;
  std::unique_ptr<leveldb::Iterator> it(db->NewIterator(world.read_options));
  for (it->SeekToFirst(); it->Valid(); it->Next()) {
    (*out)[it->key().ToString()] = it->value().ToString();
  }
  s = it->status();
  it.reset();
  delete db;
  return s;
}

}  // namespace quorvales
