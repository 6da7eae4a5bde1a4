// Child processes for the tests of the open-world guard: ones that hold a
// file open or mapped, as a game or a server holds its world.

#ifndef QUORVALES_TESTS_PROCESS_HOLDER_H_
#define QUORVALES_TESTS_PROCESS_HOLDER_H_

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace quorvales {

// What the link of an open file descriptor points to.
inline std::string FdTarget(pid_t pid, int fd) {
  char target[4096];
  const std::string link =
      "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
  const ssize_t n = readlink(link.c_str(), target, sizeof(target));
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : "";
}

inline std::string Comm(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// Waits for ready() to hold, up to 60 s: only a guard against a child that
// never gets there, far above the milliseconds it takes even under load.
inline bool WaitFor(const std::function<bool()>& ready) {
  for (int i = 0; i < 6000; ++i) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// A process that has a file open or mapped until it is released.
class Holder {
 public:
  // sleep, with the file as its standard input.
  static Holder Open(const std::string& path) {
    const pid_t pid = fork();
    if (pid == 0) {
      const int fd = open(path.c_str(), O_RDONLY);
      if (fd < 0 || dup2(fd, 0) < 0) _exit(126);
      execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
      _exit(127);
    }
    const std::string target = std::filesystem::canonical(path).string();
    EXPECT_TRUE(WaitFor(
        [&] { return Comm(pid) == "sleep" && FdTarget(pid, 0) == target; }));
    return Holder(pid);
  }

  // A child of this process that maps the file and closes it.
  static Holder Mapped(const std::string& path) {
    int ready[2];
    EXPECT_EQ(0, pipe(ready));
    const pid_t pid = fork();
    if (pid == 0) {
      const int fd = open(path.c_str(), O_RDONLY);
      if (fd < 0 ||
          mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0) == MAP_FAILED) {
        _exit(126);
      }
      close(fd);
      if (write(ready[1], "r", 1) != 1) _exit(126);
      for (;;) pause();
    }
    close(ready[1]);
    char byte = 0;
    EXPECT_EQ(1, read(ready[0], &byte, 1));
    close(ready[0]);
    return Holder(pid);
  }

  // A child that this holder ends.
  static Holder Adopt(pid_t pid) { return Holder(pid); }

  Holder(Holder&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
  ~Holder() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_t pid() const { return pid_; }

 private:
  explicit Holder(pid_t pid) : pid_(pid) {}
  pid_t pid_;
};

}  // namespace quorvales

#endif  // QUORVALES_TESTS_PROCESS_HOLDER_H_
