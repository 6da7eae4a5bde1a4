#include "app/console.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "platform/file_path.h"
#include "world/level_name.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quorvales {

// A FIFO or a device counts as present, without a name, like a folder.
bool FileExists(const std::string& path) {
  if (IsSpecialFile(path)) return true;
  std::ifstream file(FilePath(path));
  return file.good();
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
