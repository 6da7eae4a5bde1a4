// Standard output on Windows, one system call a line.  The C runtime
// writes to a console without a buffer, a piece or even a character at a
// time, which makes a run with many lines crawl in a real console.  So
// while a ConsoleLines lives, std::cout collects each line and writes it,
// with its line end (CR LF, as text mode gives), in one call when the line
// is flushed: WriteConsoleW with its UTF-16 text to a console, which shows
// every character whatever the code page, and one WriteFile of its UTF-8
// bytes to a file or a pipe.  The stream's format state stays the
// stream's.  Elsewhere it does nothing: the C library already writes a
// line to a terminal in one call.

#ifndef QUORVALES_PLATFORM_CONSOLE_LINES_H_
#define QUORVALES_PLATFORM_CONSOLE_LINES_H_

#include <streambuf>
#include <string>

namespace quorvales {

class ConsoleLines {
 public:
  ConsoleLines();
  ~ConsoleLines();
  ConsoleLines(const ConsoleLines&) = delete;
  ConsoleLines& operator=(const ConsoleLines&) = delete;

#ifdef _WIN32
 private:
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(void* handle);

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

   private:
    void* const handle_;
    const bool console_;
    std::string line_;
  };

  Buffer buffer_;
  std::streambuf* saved_;
#endif
};

}  // namespace quorvales

#endif  // QUORVALES_PLATFORM_CONSOLE_LINES_H_
