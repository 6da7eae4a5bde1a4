#include "platform/console_lines.h"

#ifdef _WIN32

#include <windows.h>

#include <iostream>

#include "leveldb/windows_path.h"

namespace quorvales {

ConsoleLines::Buffer::Buffer(void* handle)
    : handle_(handle), console_([handle] {
        DWORD mode = 0;
        return GetConsoleMode(handle, &mode) != 0;
      }()) {}

ConsoleLines::Buffer::int_type ConsoleLines::Buffer::overflow(int_type c) {
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    const char ch = traits_type::to_char_type(c);
    if (ch == '\n') line_ += '\r';
    line_ += ch;
  }
  return traits_type::not_eof(c);
}

std::streamsize ConsoleLines::Buffer::xsputn(const char* s, std::streamsize n) {
  for (std::streamsize i = 0; i < n; ++i)
    overflow(traits_type::to_int_type(s[i]));
  return n;
}

int ConsoleLines::Buffer::sync() {
  if (line_.empty()) return 0;
  bool written;
  if (console_) {
    const std::wstring wide = leveldb::WideFromUtf8(line_);
    DWORD done = 0;
    written =
        WriteConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()),
                      &done, nullptr) != 0;
  } else {
    DWORD done = 0;
    written = WriteFile(handle_, line_.data(), static_cast<DWORD>(line_.size()),
                        &done, nullptr) != 0 &&
              done == line_.size();
  }
  line_.clear();
  return written ? 0 : -1;
}

ConsoleLines::ConsoleLines()
    : buffer_(GetStdHandle(STD_OUTPUT_HANDLE)),
      saved_(std::cout.rdbuf(&buffer_)) {}

ConsoleLines::~ConsoleLines() {
  std::cout.flush();
  std::cout.rdbuf(saved_);
}

}  // namespace quorvales

#else

namespace quorvales {

ConsoleLines::ConsoleLines() = default;
ConsoleLines::~ConsoleLines() = default;

}  // namespace quorvales

#endif
