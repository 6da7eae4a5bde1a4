// The three ways a line of the run is written: to the console and the run
// log alike, to the console only, or to the log only.  A line is any
// sequence of pieces that a stream accepts: texts, numbers, and format
// changes such as std::setprecision and std::fixed, which stay on the
// stream for later lines.  Every line ends with std::endl, so it reaches
// its stream at once.

#ifndef QUORVALES_OUTPUT_LINE_WRITER_H_
#define QUORVALES_OUTPUT_LINE_WRITER_H_

#include <ostream>

namespace quorvales {

struct Output {
  std::ostream& console;
  std::ostream& log;
};

template <typename... Pieces>
void WriteLine(std::ostream& stream, const Pieces&... pieces) {
  (stream << ... << pieces) << std::endl;
}

template <typename... Pieces>
void WriteConsole(Output& out, const Pieces&... pieces) {
  WriteLine(out.console, pieces...);
}

template <typename... Pieces>
void WriteLog(Output& out, const Pieces&... pieces) {
  WriteLine(out.log, pieces...);
}

// The console copy first, then the log copy, with the same pieces, so both
// streams receive the same format changes at the same points.
template <typename... Pieces>
void WriteBoth(Output& out, const Pieces&... pieces) {
  WriteConsole(out, pieces...);
  WriteLog(out, pieces...);
}

}  // namespace quorvales

#endif  // QUORVALES_OUTPUT_LINE_WRITER_H_
