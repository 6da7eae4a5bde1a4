#include "world/database_folder.h"

#include <filesystem>
#include <system_error>

namespace quorvales {

bool HoldsOnlyPlainFiles(const std::string& db_path) {
#ifndef _WIN32
  namespace fs = std::filesystem;
  std::error_code error;
  for (fs::directory_iterator it(db_path, error), end; !error && it != end;
       it.increment(error)) {
    std::error_code unreadable;
    const fs::file_type type = it->symlink_status(unreadable).type();
    if (!unreadable && type != fs::file_type::regular &&
        type != fs::file_type::directory && type != fs::file_type::not_found) {
      return false;
    }
  }
#else
  (void)db_path;
#endif
  return true;
}

}  // namespace quorvales
