// The program keeps paths as UTF-8 text, as typed.  This is the one place
// that turns such a text into the path that the system's file calls take.

#ifndef QUORVALES_PLATFORM_FILE_PATH_H_
#define QUORVALES_PLATFORM_FILE_PATH_H_

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace quorvales {

// On Windows the UTF-16 path, with the long-path prefix where it needs
// one; elsewhere the bytes as they are.
std::filesystem::path FilePath(const std::string& utf8);

// A path that the system gave, as UTF-8 text.
std::string PathText(const std::filesystem::path& path);

// The names of a folder's entries, without "." and "..".  (On Windows,
// std::filesystem's folder iterator cannot take long-path prefixes.)
std::vector<std::string> FolderEntries(const std::string& folder,
                                       std::error_code& error);

// True when path is a regular file, not a link to one.
bool IsPlainFile(const std::string& path);

// Removes a file or a folder with all it holds, as far as it can.
void RemoveTree(const std::string& path);

}  // namespace quorvales

#endif  // QUORVALES_PLATFORM_FILE_PATH_H_
