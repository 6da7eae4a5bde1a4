// The run log: a text file in the current folder named after the moment
// the run started.

#ifndef QUORVALES_OUTPUT_RUN_LOG_H_
#define QUORVALES_OUTPUT_RUN_LOG_H_

#include <ctime>
#include <fstream>
#include <string>

namespace quorvales {

struct RunLogNames {
  std::string file_name;    // "quorvaleLog YYYY-MM-DD HH-MM-SS.txt"
  std::string start_stamp;  // "YYYY-MM-DD-HH:MM:SS"
  std::string file_stamp;   // "YYYY-MM-DD HH-MM-SS", as in the file name
};

// The time in local calendar time.
std::tm LocalTime(std::time_t time);

// Reads the wall clock once and converts it to local calendar time.
std::tm LocalStartTime();

// Forms both stamps from the start time and opens (creating or truncating)
// the log file.  A log that cannot be opened is left in its failed state:
// later writes to it are dropped, and the run goes on.
RunLogNames OpenRunLog(const std::tm& start, std::ofstream* log);

}  // namespace quorvales

#endif  // QUORVALES_OUTPUT_RUN_LOG_H_
