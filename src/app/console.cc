#include "app/console.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "platform/file_path.h"

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvales {

namespace {

// Opening a FIFO waits for a writer and a device such as /dev/zero never
// ends, so such a level-name file is never opened: it counts as present,
// without a name, like a folder.
bool IsSpecialFile(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  struct stat info;
  return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) &&
         !S_ISDIR(info.st_mode);
#endif
}

}  // namespace

bool FileExists(const std::string& path) {
  if (IsSpecialFile(path)) return true;
  std::ifstream file(FilePath(path));
  return file.good();
}

bool ReadWorldName(const std::string& path, std::string* name) {
  if (IsSpecialFile(path)) return false;
  std::ifstream file(FilePath(path));
  std::string line;
  if (!std::getline(file, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  *name = line;
  return true;
}

float ReadDataLimit(std::istream& in) {
  int32_t value = 0;
  if (in >> value) return static_cast<float>(value);
  in.clear();
  return 1000.0f;
}

std::string ReadAnswer(std::istream& in) {
  std::string answer;
  in >> answer;
  return answer;
}

int64_t ProcessClockMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch())
      .count();
}

void Pause(std::istream& in, std::ostream& console, bool answered) {
#ifdef _WIN32
  (void)in;
  (void)console;
  (void)answered;
  std::system("pause");
#else
  if (!isatty(STDIN_FILENO) || !in.good()) return;
  if (answered) in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  console << "Press Enter to continue . . ." << std::endl;
  in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
#endif
}

}  // namespace quorvales
