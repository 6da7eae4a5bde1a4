// Linux: every other process's open files (/proc/PID/fd) and mapped files
// (/proc/PID/maps), compared with the world's files by device and inode, so
// that a server in another mount namespace is seen too.

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

#include "safety/open_world_guard.h"

namespace quorvales {

namespace {

using FileId = std::pair<dev_t, ino_t>;

// The entries of a folder, without "." and "..".  denied: set when this
// user may not list it.
std::vector<std::string> FolderEntries(const std::string& folder,
                                       bool* denied = nullptr) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    if (denied != nullptr) *denied = errno == EACCES || errno == EPERM;
    return names;
  }
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

void AddFile(const std::string& path, std::set<FileId>* files) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    files->insert({info.st_dev, info.st_ino});
  }
}

std::set<FileId> WorldFiles(const std::string& world_folder) {
  std::set<FileId> files;
  const std::string db = world_folder + "/db";
  for (const std::string& name : FolderEntries(db)) {
    AddFile(db + "/" + name, &files);
  }
  AddFile(world_folder + "/level.dat", &files);
  return files;
}

// unreadable: set when the process's open files may not be read by this
// user (another user's process, where the tool is not root).
bool HasOpenFile(const std::string& proc, const std::set<FileId>& files,
                 bool* unreadable) {
  const std::string fd_folder = proc + "/fd";
  for (const std::string& fd : FolderEntries(fd_folder, unreadable)) {
    struct stat info;
    if (stat((fd_folder + "/" + fd).c_str(), &info) == 0 &&
        files.count({info.st_dev, info.st_ino}) != 0) {
      return true;
    }
  }
  return false;
}

// A line of maps: address, permissions, offset, device as major:minor in
// hexadecimal, inode, and the path.
bool HasMappedFile(const std::string& proc, const std::set<FileId>& files) {
  std::ifstream maps(proc + "/maps");
  std::string line;
  while (std::getline(maps, line)) {
    unsigned int major_id = 0, minor_id = 0;
    unsigned long long inode = 0;
    if (std::sscanf(line.c_str(), "%*s %*s %*s %x:%x %llu", &major_id,
                    &minor_id, &inode) == 3 &&
        inode != 0 &&
        files.count({makedev(major_id, minor_id), static_cast<ino_t>(inode)}) !=
            0) {
      return true;
    }
  }
  return false;
}

std::string ProcessName(const std::string& proc) {
  std::ifstream comm(proc + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// The game's Linux launcher and Mojang's dedicated server, which the
// guard must not pass over unseen: /proc/PID/comm is readable for every
// process, even where its files are not.
bool IsGameOrServer(const std::string& name) {
  return name == "bedrock_server" || name.rfind("mcpelauncher", 0) == 0;
}

}  // namespace

std::vector<WorldHolder> FindWorldHolders(const std::string& world_folder,
                                          std::vector<WorldHolder>* unseen) {
  std::vector<WorldHolder> holders;
  const std::set<FileId> files = WorldFiles(world_folder);
  if (files.empty()) return holders;
  const long self = static_cast<long>(getpid());
  for (const std::string& entry : FolderEntries("/proc")) {
    if (entry.find_first_not_of("0123456789") != std::string::npos) continue;
    const long pid = std::strtol(entry.c_str(), nullptr, 10);
    if (pid == self) continue;
    // A process that ends meanwhile, or whose entries this user may not
    // read, is skipped.
    const std::string proc = "/proc/" + entry;
    bool unreadable = false;
    if (HasOpenFile(proc, files, &unreadable) || HasMappedFile(proc, files)) {
      holders.push_back({ProcessName(proc), pid});
    } else if (unreadable) {
      const std::string name = ProcessName(proc);
      if (IsGameOrServer(name)) unseen->push_back({name, pid});
    }
  }
  return holders;
}

}  // namespace quorvales
