// The command line and the console in UTF-8 on every system.  Windows gives
// the command line as UTF-16 and shows the console in an OEM code page;
// elsewhere both are already bytes as typed.

#ifndef QUORVALES_PLATFORM_COMMAND_LINE_H_
#define QUORVALES_PLATFORM_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace quorvales {

#ifdef _WIN32
// The arguments of wmain as UTF-8.
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv);
#endif

// While it lives, the console shows UTF-8; it puts the console's code page
// back as it was.  Output to a pipe or a file is the same bytes either way.
class Utf8Console {
 public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
#ifdef _WIN32
  unsigned int saved_code_page_ = 0;
#endif
};

}  // namespace quorvales

#endif  // QUORVALES_PLATFORM_COMMAND_LINE_H_
