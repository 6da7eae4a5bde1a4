#include "platform/file_path.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "leveldb/windows_path.h"
#endif

namespace quorvales {

std::filesystem::path FilePath(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(leveldb::WindowsPath(utf8));
#else
  return std::filesystem::path(utf8);
#endif
}

std::string PathText(const std::filesystem::path& path) {
#ifdef _WIN32
  return leveldb::Utf8FromWide(path.wstring());
#else
  return path.string();
#endif
}

bool IsPlainFile(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::symlink_status(FilePath(path), ignored).type() ==
         std::filesystem::file_type::regular;
}

#ifdef _WIN32
std::vector<std::string> FolderEntries(const std::string& folder,
                                       std::error_code& error) {
  std::vector<std::string> names;
  error.clear();
  WIN32_FIND_DATAW found;
  HANDLE search =
      FindFirstFileW(leveldb::WindowsPath(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    error.assign(static_cast<int>(GetLastError()), std::system_category());
    return names;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") {
      names.push_back(leveldb::Utf8FromWide(name));
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

void RemoveTree(const std::string& path) {
  const std::wstring wide = leveldb::WindowsPath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    std::error_code ignored;
    for (const std::string& name : FolderEntries(path, ignored)) {
      RemoveTree(path + "\\" + name);
    }
    RemoveDirectoryW(wide.c_str());
  } else {
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide.c_str());
  }
}
#else
std::vector<std::string> FolderEntries(const std::string& folder,
                                       std::error_code& error) {
  std::vector<std::string> names;
  for (std::filesystem::directory_iterator it(folder, error), end;
       !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  return names;
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}
#endif

}  // namespace quorvales
