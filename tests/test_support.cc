#include "tests/test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "leveldb/db.h"
#include "world/world_database.h"

namespace quorvales {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "quorvales-XXXXXX");
  path_ = mkdtemp(&pattern[0]);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string FixtureWorldsDir() {
  const std::string dir = QUORVALES_FIXTURE_WORLDS;
  return fs::is_directory(dir) ? dir : std::string();
}

std::string ListingDifference(const std::map<std::string, std::string>& before,
                              const std::map<std::string, std::string>& after,
                              const std::vector<std::string>& deleted) {
  auto expected = before;
  for (const std::string& key : deleted) expected.erase(key);
  std::ostringstream report;
  for (const auto& [key, value] : expected) {
    auto it = after.find(key);
    if (it == after.end()) {
      report << "lost " << ::testing::PrintToString(key) << "\n";
    } else if (it->second != value) {
      report << "changed " << ::testing::PrintToString(key) << "\n";
    }
  }
  for (const auto& [key, value] : after) {
    if (expected.count(key) == 0) {
      report << "unexpected " << ::testing::PrintToString(key) << "\n";
    }
  }
  return report.str();
}

namespace {

#ifdef __SANITIZE_ADDRESS__
// AddressSanitizer reserves terabytes of shadow memory, so its build cannot
// start under an address-space limit; the plain build's runs check them.
constexpr bool kAddressSpaceLimits = false;
#else
constexpr bool kAddressSpaceLimits = true;
#endif

// Reads fd to its end.  Once what it has read holds the text "when", it
// calls then, once.
std::string ReadAll(int fd, const std::string& when = "",
                    const std::function<void()>& then = nullptr) {
  std::string data;
  char buffer[65536];
  ssize_t n;
  bool done = !then;
  while ((n = read(fd, buffer, sizeof(buffer))) > 0) {
    data.append(buffer, n);
    if (!done && data.find(when) != std::string::npos) {
      then();
      done = true;
    }
  }
  return data;
}

void WriteAll(int fd, const std::string& data) {
  for (size_t done = 0; done < data.size();) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

UserRunLock::UserRunLock(bool exclusive) {
  const std::string path =
      (fs::temp_directory_path() / "quorvales-tests-user-runs.lock").string();
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ >= 0) {
    while (flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
    }
  }
}

UserRunLock::~UserRunLock() {
  if (fd_ >= 0) close(fd_);
}

ToolRun RunTool(const std::string& cwd, const std::vector<std::string>& args,
                const std::string& input, const RunSettings& settings) {
  std::unique_ptr<UserRunLock> user_run_lock;
  if (!settings.as_user.empty() && !settings.holds_user_run_lock) {
    user_run_lock = std::make_unique<UserRunLock>(false);
  }
  TempDir io;
  const std::string in_path = io.path() + "/stdin";
  const std::string err_path = io.path() + "/stderr";
  std::ofstream(in_path, std::ios::binary) << input;

  // Another user may not be able to reach the build folder (a checkout in
  // a private home folder), so that user runs a copy that anyone can run.
  const std::string built =
      settings.binary.empty() ? QUORVALES_BINARY : settings.binary;
  std::string binary = built;
  if (!settings.as_user.empty()) {
    binary = io.path() + "/quorvales";
    fs::copy_file(built, binary);
    fs::permissions(binary, fs::perms::owner_all | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    fs::permissions(io.path(), fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
  }

  ToolRun run;
  // Standard output goes through a pipe, which no file-size limit touches.
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return run;
  // With a hook, standard input is a pipe that gets the input only after
  // the hook has run.
  int in_fds[2] = {-1, -1};
  if (settings.at_first_prompt) {
    signal(SIGPIPE, SIG_IGN);  // the tool may end before it reads
    if (pipe(in_fds) != 0) return run;
  }
  // Opened here, so that the file's offset, shared with the child, tells
  // how much it read.
  const int in_file = in_fds[0] >= 0 ? -1 : open(in_path.c_str(), O_RDONLY);
  const pid_t pid = fork();
  if (pid == 0) {
    int in = in_fds[0] >= 0 ? in_fds[0] : in_file;
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    if (in_fds[1] >= 0) close(in_fds[1]);
    dup2(pipe_fds[1], 1);
    dup2(err, 2);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    if (settings.remove_cwd && rmdir(cwd.c_str()) != 0) _exit(126);
    if (settings.file_size_limit > 0) {
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit;
      limit.rlim_cur = limit.rlim_max = settings.file_size_limit;
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (kAddressSpaceLimits && settings.address_space_limit > 0) {
      struct rlimit limit;
      limit.rlim_cur = limit.rlim_max = settings.address_space_limit;
      setrlimit(RLIMIT_AS, &limit);
    }
    for (const std::string& variable : settings.environment) {
      putenv(strdup(variable.c_str()));
    }
    std::vector<std::string> words;
    if (!settings.as_user.empty()) {
      words = {"/usr/sbin/runuser", "-u", settings.as_user, "--"};
    }
    words.push_back(binary);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  if (in_fds[0] >= 0) close(in_fds[0]);
  std::thread killer;
  if (settings.kill_after_us > 0) {
    killer = std::thread([pid, &settings] {
      std::this_thread::sleep_for(
          std::chrono::microseconds(settings.kill_after_us));
      kill(pid, SIGKILL);
    });
  }
  if (in_fds[1] >= 0) {
    run.console = ReadAll(pipe_fds[0], "Data Limit (B): \n", [&] {
      settings.at_first_prompt();
      WriteAll(in_fds[1], input);
      close(in_fds[1]);
      in_fds[1] = -1;
    });
    if (in_fds[1] >= 0) close(in_fds[1]);
  } else {
    run.console = ReadAll(pipe_fds[0]);
  }
  if (killer.joinable()) killer.join();
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (in_file >= 0) {
    run.input_read = static_cast<long>(lseek(in_file, 0, SEEK_CUR));
    close(in_file);
  }
  const std::string err = ReadFile(err_path);
  if (!err.empty()) run.console += "\n[stderr]" + err;

  std::error_code ignored;
  if (fs::is_directory(cwd, ignored)) {
    for (const auto& entry : fs::directory_iterator(cwd)) {
      const std::string name = entry.path().filename().string();
      struct stat info;
      const long owner = stat(entry.path().c_str(), &info) == 0
                             ? static_cast<long>(info.st_uid)
                             : -1;
      if (name.rfind("quorvaleLog ", 0) == 0) {
        run.log_owner = owner;
        run.log_name = name;
        run.log = ReadFile(entry.path().string());
        fs::remove(entry.path());
      }
      if (name.rfind("quorvaleMap ", 0) == 0) {
        run.map_owner = owner;
        run.map_name = name;
        run.map = ReadFile(entry.path().string());
        fs::remove(entry.path());
      }
    }
  }
  return run;
}

Transcript& Transcript::Console(const std::string& line) {
  console_ += line + "\n";
  return *this;
}

Transcript& Transcript::Log(const std::string& line) {
  log_ += line + "\n";
  return *this;
}

Transcript& Transcript::Both(const std::string& line) {
  return Console(line).Log(line);
}

Transcript& Transcript::Split(const std::string& console,
                              const std::string& log) {
  return Console(console).Log(log);
}

}  // namespace quorvales
