#include "world/level_name.h"

#include <fstream>

#include "platform/file_path.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quorvales {

bool IsSpecialFile(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  struct stat info;
  return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) &&
         !S_ISDIR(info.st_mode);
#endif
}

bool ReadWorldName(const std::string& path, std::string* name) {
  if (IsSpecialFile(path)) return false;
  std::ifstream file(FilePath(path));
  std::string line;
  if (!std::getline(file, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  *name = line;
  return true;
}

}  // namespace quorvales
