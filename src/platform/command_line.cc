#include "platform/command_line.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "leveldb/windows_path.h"
#endif

namespace quorvales {

#ifdef _WIN32
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    arguments.push_back(leveldb::Utf8FromWide(argv[i]));
  }
  return arguments;
}

Utf8Console::Utf8Console() : saved_code_page_(GetConsoleOutputCP()) {
  SetConsoleOutputCP(CP_UTF8);
}

Utf8Console::~Utf8Console() {
  if (saved_code_page_ != 0) SetConsoleOutputCP(saved_code_page_);
}
#else
Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;
#endif

}  // namespace quorvales
