// LevelDB's progress and error messages are not for the user of this tool:
// this logger drops them.

#ifndef QUORVALES_WORLD_NULL_LOGGER_H_
#define QUORVALES_WORLD_NULL_LOGGER_H_

#include <cstdarg>

#include "leveldb/env.h"

namespace quorvales {

class NullLogger : public leveldb::Logger {
 public:
  void Logv(const char* /*format*/, std::va_list /*ap*/) override {}
};

}  // namespace quorvales

#endif  // QUORVALES_WORLD_NULL_LOGGER_H_
