#include "safety/world_backup.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/file_path.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvales {

namespace fs = std::filesystem;

namespace {

bool IsTable(const std::string& name) {
  const auto ends_with = [&](const char* tail) {
    return name.size() >= 4 && name.compare(name.size() - 4, 4, tail) == 0;
  };
  return ends_with(".ldb") || ends_with(".sst");
}

bool Taken(const std::string& folder) {
  std::error_code ignored;
  return fs::exists(FilePath(folder), ignored) ||
         fs::exists(FilePath(folder + ".partial"), ignored);
}

// Copies from to to, a new file, with the system's own error where it
// fails.  (libstdc++'s copy_file reports a copy cut short by a full disk or
// a file-size limit as an I/O error.)  The copy reaches the disk before
// the backup is named complete.
void CopyFile(const std::string& from, const std::string& to,
              std::error_code& error) {
#ifdef _WIN32
  fs::copy_file(FilePath(from), FilePath(to), error);
#else
  error.clear();
  // A link that took a file's place since it was listed is not followed.
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (in < 0) {
    error.assign(errno, std::generic_category());
    return;
  }
  struct stat info;
  const int out =
      fstat(in, &info) != 0
          ? -1
          : open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                 info.st_mode & 0777);
  if (out < 0) error.assign(errno, std::generic_category());
  std::vector<char> buffer(1 << 20);
  while (!error) {
    const ssize_t n = read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error.assign(errno, std::generic_category());
    if (n <= 0) break;
    for (ssize_t done = 0; !error && done < n;) {
      const ssize_t written = write(out, buffer.data() + done, n - done);
      if (written > 0) {
        done += written;
      } else if (written == 0 || errno != EINTR) {
        error.assign(written == 0 ? EIO : errno, std::generic_category());
      }
    }
  }
  if (!error && fsync(out) != 0) error.assign(errno, std::generic_category());
  if (out >= 0 && close(out) != 0 && !error) {
    error.assign(errno, std::generic_category());
  }
  close(in);
#endif
}

}  // namespace

void HardLink(const std::string& from, const std::string& to,
              std::error_code& error) {
  fs::create_hard_link(FilePath(from), FilePath(to), error);
}

void IgnoreFileSizeSignal() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

WorldBackup::WorldBackup(std::string world_folder, std::string file_stamp,
                         LinkFunction link)
    : world_folder_(std::move(world_folder)),
      files_folder_(world_folder_),
      file_stamp_(std::move(file_stamp)),
      link_(link) {}

void WorldBackup::SetFilesFolder(std::string files_folder) {
  files_folder_ = std::move(files_folder);
}

bool WorldBackup::Make(Output& out) {
  const std::string db = files_folder_ + "/db";
  std::error_code error;
  if (!IsPlainFile(db + "/CURRENT")) return true;

  // Names within the world folder, reached through files_folder_.
  const std::string base = "/quorvaleBackup " + file_stamp_;
  std::string name = base;
  for (int n = 2; Taken(files_folder_ + name); ++n) {
    name = base + " " + std::to_string(n);
  }
  partial_ = name + ".partial";
  if (!fs::create_directory(FilePath(files_folder_ + partial_), error)) {
    if (!error) error = std::make_error_code(std::errc::file_exists);
    const std::string path = partial_;
    partial_.clear();  // not ours to remove
    return Fail(out, path, error);
  }
  if (!fs::create_directory(FilePath(files_folder_ + partial_ + "/db"),
                            error)) {
    return Fail(out, partial_ + "/db", error);
  }

  // The names first, so that no file the copy makes is listed.
  const std::vector<std::string> names = FolderEntries(db, error);
  if (error) return Fail(out, "/db", error);
  for (const std::string& file : names) {
    const std::string from = db + "/" + file;
    const std::string to = files_folder_ + partial_ + "/db/" + file;
    // A link is neither copied nor followed: the open refuses such a
    // database, and the backup is removed with it.
    if (file == "LOCK" || !IsPlainFile(from)) continue;
    if (IsTable(file)) {
      link_(from, to, error);
      if (!error) continue;
      // A file system without hard links (FAT32, exFAT): copy the table.
      error.clear();
    }
    CopyFile(from, to, error);
    if (error) return Fail(out, "/db/" + file, error);
  }

  fs::rename(FilePath(files_folder_ + partial_), FilePath(files_folder_ + name),
             error);
  if (error) return Fail(out, partial_, error);
  partial_.clear();
  folder_ = name;
  return true;
}

bool WorldBackup::Fail(Output& out, const std::string& path,
                       const std::error_code& error) {
  if (!partial_.empty()) {
    RemoveTree(files_folder_ + partial_);
    partial_.clear();
  }
  WriteBoth(out, "   |- ERROR: Backup failed: ", world_folder_, path, ": ",
            error.message());
  WriteBoth(out, "   |- Nothing was changed.");
  return false;
}

void WorldBackup::ReportKept(Output& out) const {
  if (folder_.empty()) return;
  WriteBoth(out, "Backup of the database before the deletes: ", folder());
}

void WorldBackup::Discard() {
  if (folder_.empty()) return;
  RemoveTree(files_folder_ + folder_);
  folder_.clear();
}

}  // namespace quorvales
