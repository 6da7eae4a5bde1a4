// Every live record of a world database, for checking that a run lost and
// changed nothing it should not have.

#ifndef QUORVALES_TESTS_DATABASE_DUMP_H_
#define QUORVALES_TESTS_DATABASE_DUMP_H_

#include <map>
#include <string>

#include "leveldb/status.h"

namespace quorvales {

// Every live key and its value, read with the tool's open options.
leveldb::Status DumpDatabase(const std::string& db_path,
                             std::map<std::string, std::string>* out);

}  // namespace quorvales

#endif  // QUORVALES_TESTS_DATABASE_DUMP_H_
