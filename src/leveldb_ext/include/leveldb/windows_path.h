// Paths on Windows.  The program keeps paths as UTF-8 text; every file call
// on Windows takes them as UTF-16, so that any name works whatever the
// ANSI code page, and with the \\?\ prefix once the full path reaches 248
// characters, so that paths past MAX_PATH work where Windows allows them.

#ifndef QUORVALES_LEVELDB_WINDOWS_PATH_H_
#define QUORVALES_LEVELDB_WINDOWS_PATH_H_

#ifdef _WIN32

#include <string>

namespace leveldb {

// The UTF-8 path as the wide file calls take it.
std::wstring WindowsPath(const std::string& utf8);

// UTF-16 text as UTF-8, and back.
std::string Utf8FromWide(const std::wstring& wide);
std::wstring WideFromUtf8(const std::string& utf8);

}  // namespace leveldb

#endif  // _WIN32

#endif  // QUORVALES_LEVELDB_WINDOWS_PATH_H_
