#include "find/world_list.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "output/run_log.h"
#include "platform/file_path.h"
#include "safety/open_world_guard.h"
#include "world/level_name.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "leveldb/windows_path.h"
#else
#include <sys/stat.h>
#endif

namespace quorvales {

namespace fs = std::filesystem;

namespace {

struct ListedWorld {
  std::string name;      // levelname.txt's first line
  std::string folder;    // the full path
  int64_t changed = -1;  // when level.dat last changed (seconds); -1: none
  uint64_t db_bytes = 0;
  std::string holders;  // "NAME (process PID)", ...; empty: none seen
};

#ifdef _WIN32
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

std::string Environment(const char* name) {
#ifdef _WIN32
  const wchar_t* value = _wgetenv(leveldb::WideFromUtf8(name).c_str());
  return value == nullptr ? "" : leveldb::Utf8FromWide(value);
#else
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
#endif
}

// The folder as a full path, without a separator at its end.
std::string FullPath(const std::string& folder) {
  std::error_code error;
  fs::path full = fs::absolute(FilePath(folder), error);
  if (error) return folder;
  std::string text = PathText(full.lexically_normal());
  while (text.size() > 1 && (text.back() == '/' || text.back() == '\\') &&
         text[text.size() - 2] != ':') {
    text.pop_back();
  }
  return text;
}

bool IsFolder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(FilePath(path), error);
}

bool IsFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(FilePath(path), error) || IsSpecialFile(path);
}

// Seconds since 1970 of the file's last change; -1 when it has none.
int64_t ChangedSeconds(const std::string& path) {
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(leveldb::WindowsPath(path).c_str(),
                            GetFileExInfoStandard, &data)) {
    return -1;
  }
  // 100 ns ticks since 1601.
  const uint64_t ticks =
      (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000) - 11644473600LL;
#else
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_mtime)
                                        : -1;
#endif
}

uint64_t FolderBytes(const std::string& folder) {
  uint64_t bytes = 0;
  std::error_code error;
  for (const std::string& name : FolderEntries(folder, error)) {
    const std::string file = folder + kSeparator + name;
    if (!IsPlainFile(file)) continue;
    std::error_code unreadable;
    const uintmax_t size = fs::file_size(FilePath(file), unreadable);
    if (!unreadable) bytes += size;
  }
  return bytes;
}

std::string LocalDate(int64_t seconds) {
  if (seconds < 0) return "unknown";
  const std::tm local = LocalTime(static_cast<std::time_t>(seconds));
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &local);
  return text;
}

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f MB",
                static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

// As the tool's argument: in double quotes where a space would split it.
std::string Pasteable(const std::string& path) {
  return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

// The worlds of one place, and the folders in it that cannot be read.
void CollectWorlds(const std::string& place, std::vector<ListedWorld>* worlds,
                   std::vector<std::string>* unreadable) {
  std::error_code error;
  std::vector<std::string> names = FolderEntries(place, error);
  if (error) {
    unreadable->push_back("Cannot read " + place + ": " + error.message());
    return;
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string folder = place + kSeparator + name;
    if (!IsFolder(folder)) continue;
    std::error_code denied;
    FolderEntries(folder, denied);
    if (denied) {
      unreadable->push_back("Cannot read " + folder + ": " + denied.message());
      continue;
    }
    const std::string level_name = folder + kSeparator + "levelname.txt";
    if (!IsFile(level_name)) continue;
    ListedWorld world;
    world.folder = folder;
    ReadWorldName(level_name, &world.name);
    world.changed = ChangedSeconds(folder + kSeparator + "level.dat");
    world.db_bytes = FolderBytes(folder + kSeparator + "db");
    std::vector<WorldHolder> unseen;
    const std::vector<WorldHolder> holders = FindWorldHolders(folder, &unseen);
    world.holders = DescribeHolders(holders);
    if (!holders.empty() && world.holders.empty()) {
      world.holders = "another program";
    }
    worlds->push_back(world);
  }
}

}  // namespace

std::vector<std::string> UsualWorldPlaces() {
  std::vector<std::string> places;
#ifdef _WIN32
  const std::string worlds = "\\games\\com.mojang\\minecraftWorlds";
  const std::string local = Environment("LOCALAPPDATA");
  if (!local.empty()) {
    for (const char* package :
         {"Microsoft.MinecraftUWP_8wekyb3d8bbwe",
          "Microsoft.MinecraftWindowsBeta_8wekyb3d8bbwe"}) {
      places.push_back(local + "\\Packages\\" + package + "\\LocalState" +
                       worlds);
    }
  }
  const std::string roaming = Environment("APPDATA");
  if (!roaming.empty()) {
    for (const char* edition :
         {"Minecraft Bedrock", "Minecraft Bedrock Preview"}) {
      const std::string users = roaming + "\\" + edition + "\\Users";
      std::error_code error;
      std::vector<std::string> names = FolderEntries(users, error);
      std::sort(names.begin(), names.end());
      for (const std::string& user : names) {
        places.push_back(users + "\\" + user + worlds);
      }
      if (names.empty()) places.push_back(users + "\\*" + worlds);
    }
  }
#else
  const std::string home = Environment("HOME");
  if (!home.empty()) {
    places.push_back(home +
                     "/.local/share/mcpelauncher/games/com.mojang/"
                     "minecraftWorlds");
  }
  places.push_back(FullPath("worlds"));
#endif
  return places;
}

void ListWorlds(const std::vector<std::string>& places, bool given,
                std::ostream& console) {
  std::vector<ListedWorld> worlds;
  std::vector<std::string> unreadable;
  for (const std::string& place : places) {
    const std::string full = FullPath(place);
    // The usual places that do not exist are not worth a line.
    if (given || IsFolder(full)) CollectWorlds(full, &worlds, &unreadable);
  }
  std::stable_sort(worlds.begin(), worlds.end(),
                   [](const ListedWorld& a, const ListedWorld& b) {
                     return a.changed > b.changed;
                   });
  if (worlds.empty() && unreadable.empty()) {
    if (given) {
      console << "No worlds in " << FullPath(places.front()) << std::endl;
    } else {
      console << "No worlds found. Looked in:" << std::endl;
      for (const std::string& place : places) {
        console << "   " << place << std::endl;
      }
    }
    return;
  }
  if (!worlds.empty()) {
    console << worlds.size() << (worlds.size() == 1 ? " world" : " worlds")
            << ", newest first:" << std::endl;
  }
  for (const ListedWorld& world : worlds) {
    console << std::endl
            << (world.name.empty() ? "(no name)" : world.name) << std::endl;
    console << "   |- Last changed: " << LocalDate(world.changed) << std::endl;
    console << "   |- Size of db: " << Megabytes(world.db_bytes) << std::endl;
    console << "   |- Folder: " << Pasteable(world.folder) << std::endl;
    if (!world.holders.empty()) {
      console << "   |- open in: " << world.holders << std::endl;
    }
  }
  if (!worlds.empty() && !unreadable.empty()) console << std::endl;
  for (const std::string& line : unreadable) console << line << std::endl;
}

}  // namespace quorvales
