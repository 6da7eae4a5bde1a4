#include "tests/test_files.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/file_path.h"

namespace fs = std::filesystem;

namespace quorvales {

void CopyTree(const std::string& from, const std::string& to) {
  fs::create_directory(FilePath(to));
  std::error_code error;
  for (const std::string& name : FolderEntries(from, error)) {
    const std::string source = from + "/" + name;
    if (fs::is_directory(FilePath(source))) {
      CopyTree(source, to + "/" + name);
    } else {
      fs::copy_file(FilePath(source), FilePath(to + "/" + name));
      fs::permissions(FilePath(to + "/" + name), fs::perms::owner_write,
                      fs::perm_options::add);
    }
  }
  fs::permissions(FilePath(to), fs::perms::owner_write, fs::perm_options::add);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(FilePath(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace quorvales
