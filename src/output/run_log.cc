#include "output/run_log.h"

#include "platform/file_path.h"

namespace quorvales {

namespace {

std::string Stamp(const std::tm& time, const char* format) {
  char buffer[100];
  const size_t length = std::strftime(buffer, sizeof(buffer), format, &time);
  return std::string(buffer, length);
}

}  // namespace

std::tm LocalTime(std::time_t time) {
  std::tm local = {};
#ifdef _WIN32
  localtime_s(&local, &time);
#else
  localtime_r(&time, &local);
#endif
  return local;
}

std::tm LocalStartTime() { return LocalTime(std::time(nullptr)); }

RunLogNames OpenRunLog(const std::tm& start, std::ofstream* log) {
  RunLogNames names;
  names.start_stamp = Stamp(start, "%Y-%m-%d-%H:%M:%S");
  names.file_stamp = Stamp(start, "%Y-%m-%d %H-%M-%S");
  if (!names.file_stamp.empty()) {
    names.file_name = "quorvaleLog " + names.file_stamp + ".txt";
    log->open(FilePath(names.file_name), std::ios::out | std::ios::trunc);
  } else {
    log->setstate(std::ios::failbit);
  }
  return names;
}

}  // namespace quorvales
