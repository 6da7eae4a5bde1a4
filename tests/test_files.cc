#include "tests/test_files.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace quorvales {

void CopyTree(const std::string& from, const std::string& to) {
  fs::copy(from, to, fs::copy_options::recursive);
  for (const auto& entry : fs::recursive_directory_iterator(to)) {
    fs::permissions(entry.path(), fs::perms::owner_write,
                    fs::perm_options::add);
  }
  fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace quorvales
