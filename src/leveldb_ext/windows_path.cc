#include "leveldb/windows_path.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace leveldb {

namespace {

// Below this length a path needs no prefix, even with a file name of 12
// characters appended (CreateDirectory's own limit).
constexpr size_t kLongPath = 248;

}  // namespace

std::wstring WindowsPath(const std::string& utf8) {
  std::wstring path = WideFromUtf8(utf8);
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
  // A relative path counts with the folder it is relative to.
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0 || needed < kLongPath) return path;
  std::wstring full(needed, L'\0');
  const DWORD length =
      GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  // The prefix turns off the parsing that made "/" and ".." work, so it
  // goes on the full path, which GetFullPathNameW has made plain.
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring WideFromUtf8(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                      &wide[0], n);
  return wide;
}

std::string Utf8FromWide(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(),
                                    static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                      &utf8[0], n, nullptr, nullptr);
  return utf8;
}

}  // namespace leveldb
