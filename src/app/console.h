// The driver's dealings with the user and the platform: the world check,
// the two console questions, the process clock and the final pause.

#ifndef QUORVALES_APP_CONSOLE_H_
#define QUORVALES_APP_CONSOLE_H_

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

namespace quorvales {

// True when the file opens for reading.
bool FileExists(const std::string& path);

// A signed 32-bit whole number; 1000 when none can be read.  What follows
// the number stays in the input for the next read.
float ReadDataLimit(std::istream& in);

// One word; empty at the end of input.
std::string ReadAnswer(std::istream& in);

// Milliseconds of a monotonic clock.
int64_t ProcessClockMs();

// Waits for the user before the process ends.  Where the input is not a
// terminal, or is at its end, it returns at once.  answered: the user has
// already typed an answer, whose line end is still to be consumed.
void Pause(std::istream& in, std::ostream& console, bool answered);

}  // namespace quorvales

#endif  // QUORVALES_APP_CONSOLE_H_
