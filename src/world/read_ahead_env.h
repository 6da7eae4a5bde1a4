// LevelDB's environment, with tables read ahead: a scan reads each table
// from its start to its end one block at a time, and with small blocks the
// read calls cost as much as decoding.  Each thread reads a table in
// windows of 256 KiB and serves the blocks from there.

#ifndef QUORVALES_WORLD_READ_AHEAD_ENV_H_
#define QUORVALES_WORLD_READ_AHEAD_ENV_H_

#include "leveldb/env.h"

namespace quorvales {

class ReadAheadEnv : public leveldb::EnvWrapper {
 public:
  explicit ReadAheadEnv(leveldb::Env* base) : leveldb::EnvWrapper(base) {}

  leveldb::Status NewRandomAccessFile(
      const std::string& name, leveldb::RandomAccessFile** result) override;
};

}  // namespace quorvales

#endif  // QUORVALES_WORLD_READ_AHEAD_ENV_H_
