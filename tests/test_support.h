// Helpers shared by the tests: temporary folders, copies of the game's
// fixture worlds, database dumps and runs of the real binary.

#ifndef QUORVALES_TESTS_TEST_SUPPORT_H_
#define QUORVALES_TESTS_TEST_SUPPORT_H_

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "leveldb/status.h"
#include "tests/database_dump.h"
#include "tests/test_files.h"

namespace quorvales {

// A fresh folder under the system's temporary folder, removed with it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The folder of the game-written worlds; empty when the checkout has none.
std::string FixtureWorldsDir();

// What two listings of one database differ in; empty when after is before
// without exactly the deleted keys, every other value unchanged.
std::string ListingDifference(const std::map<std::string, std::string>& before,
                              const std::map<std::string, std::string>& after,
                              const std::vector<std::string>& deleted);

struct ToolRun {
  int exit_code = -1;
  std::string console;
  std::string log;       // empty when no log file was written
  std::string log_name;  // the log file's name, if any
  std::string map;       // the map page, empty when none was written
  std::string map_name;
  long log_owner = -1;  // the user ids that own the log and the map
  long map_owner = -1;
  long input_read = -1;  // bytes of the standard input file that it read
};

struct RunSettings {
  // Remove the working folder right after entering it, so that no log file
  // can be created.
  bool remove_cwd = false;
  // A file-size limit in bytes for the process (0: none), with SIGXFSZ
  // ignored, so that writes beyond it fail.
  long file_size_limit = 0;
  // An address-space limit in bytes for the process (0: none), under which
  // an allocation that the world cannot justify fails and crashes the run.
  long address_space_limit = 0;
  // Run as this user through runuser (the caller must be root).
  std::string as_user;
  // The caller holds UserRunLock exclusively (see there).
  bool holds_user_run_lock = false;
  // Another build of the tool to run (empty: the tool).
  std::string binary;
  // Variables set in the tool's environment, as NAME=VALUE.
  std::vector<std::string> environment;
  // Kill the process with SIGKILL after this many microseconds (0: never).
  long kill_after_us = 0;
  // Called once the data limit's prompt is out; the input reaches the tool
  // only after it returns.
  std::function<void()> at_first_prompt;
};

// A run as another user than root sees every process of the machine and
// refuses a world while a game or server runs whose files it cannot read.
// CTest runs tests side by side, so a test that starts such a process
// holds this lock exclusively while it lives, and every run as another
// user holds it shared.
class UserRunLock {
 public:
  explicit UserRunLock(bool exclusive);
  ~UserRunLock();
  UserRunLock(const UserRunLock&) = delete;
  UserRunLock& operator=(const UserRunLock&) = delete;

 private:
  int fd_;
};

// Runs the real binary in working folder cwd with the given arguments and
// standard input, capturing standard output; anything on standard error is
// appended to the console text, so that comparisons catch it.  The log file
// and the map it leaves in cwd are read and removed.
ToolRun RunTool(const std::string& cwd, const std::vector<std::string>& args,
                const std::string& input, const RunSettings& settings = {});

// An expected transcript, line by line, with each line's route.
class Transcript {
 public:
  Transcript& Console(const std::string& line);
  Transcript& Log(const std::string& line);
  Transcript& Both(const std::string& line);
  // The line whose console and log copies differ.
  Transcript& Split(const std::string& console, const std::string& log);

  const std::string& console() const { return console_; }
  const std::string& log() const { return log_; }

 private:
  std::string console_;
  std::string log_;
};

}  // namespace quorvales

#endif  // QUORVALES_TESTS_TEST_SUPPORT_H_
