// The Windows build's end-to-end checks, run under Wine by CTest:
// windows_run_test CASE TOOL_EXE FIXTURE_WORLDS GOLDEN_DIR.  Each case runs
// the real exe through the command processor with piped input and compares
// the whole console transcript and log file with the golden files that the
// Linux build is held to, apart from the line ends and the pause's text.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "leveldb/windows_path.h"
#include "platform/file_path.h"
#include "tests/crafted_worlds.h"
#include "tests/database_dump.h"
#include "tests/golden.h"
#include "tests/test_files.h"

namespace fs = std::filesystem;

namespace {

// What Wine's command processor prints for "pause", before a space and
// whatever line end the key brings.
const char kWinePause[] = "Press any key to continue...";

// The exit code that CTest reports as a skipped test.
constexpr int kSkipped = 77;

int failures = 0;

void Check(bool ok, const std::string& what) {
  if (!ok) {
    std::cout << "FAILED: " << what << std::endl;
    ++failures;
  }
}

// CR LF to LF; false when a line ends in a bare LF.
bool FromTextMode(const std::string& text, std::string* lines) {
  lines->clear();
  bool crlf = true;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;
    }
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) crlf = false;
    lines->push_back(text[i]);
  }
  return crlf;
}

struct Run {
  int exit_code = -1;
  std::string console;  // LF line ends, the pause text removed
  std::string log;
  std::string map;  // as written, byte for byte
  bool console_crlf = false;
  bool log_crlf = false;
  bool paused = false;
};

// The command line's arguments as typed, quotes included, in UTF-8; the
// command processor gets them as UTF-16, as a user's command line would.
Run RunCommand(const fs::path& cwd, const std::string& exe,
               const std::string& typed, const std::string& input) {
  std::ofstream(cwd / "input.txt", std::ios::binary) << input;
  const fs::path home = fs::current_path();
  fs::current_path(cwd);
  // The outer quotes are the command processor's own and are dropped.
  const std::string command =
      "\"\"" + exe + "\" " + typed + " <input.txt >console.txt\"";
  Run run;
  run.exit_code = _wsystem(leveldb::WideFromUtf8(command).c_str());
  run.console_crlf = FromTextMode(
      quorvales::ReadFile(quorvales::PathText(cwd / "console.txt")),
      &run.console);
  const size_t pause = run.console.rfind(kWinePause);
  if (pause != std::string::npos &&
      run.console.find_first_not_of(" \n", pause + sizeof(kWinePause) - 1) ==
          std::string::npos) {
    run.paused = true;
    run.console.erase(pause);
  }
  for (const auto& entry : fs::directory_iterator(cwd)) {
    const std::string name = quorvales::PathText(entry.path().filename());
    if (name.rfind("quorvaleLog ", 0) == 0) {
      run.log_crlf = FromTextMode(
          quorvales::ReadFile(quorvales::PathText(entry.path())), &run.log);
    }
    if (name.rfind("quorvaleMap ", 0) == 0) {
      run.map = quorvales::ReadFile(quorvales::PathText(entry.path()));
    }
  }
  // Windows cannot remove a folder that is some process's current one.
  fs::current_path(home);
  return run;
}

// The world folder (or other one argument) in quotes.
Run RunTool(const fs::path& cwd, const std::string& exe,
            const std::string& args, const std::string& input) {
  return RunCommand(cwd, exe, "\"" + args + "\"", input);
}

// The text with each appearance of typed written as plain; an empty typed
// leaves it as it is.
std::string Replaced(std::string text, const std::string& typed,
                     const std::string& plain) {
  if (typed.empty()) return text;
  for (size_t at = text.find(typed); at != std::string::npos;
       at = text.find(typed, at + plain.size())) {
    text.replace(at, typed.size(), plain);
  }
  return text;
}

// The crafted worlds of the Linux tests, made from the fixture world: each
// run ends with its exit code and its line, and none crashes.
void RunCraftedWorlds(const fs::path& cwd, const std::string& exe,
                      const fs::path& example2) {
  const fs::path world = cwd / "w";
  for (const quorvales::CraftedWorld& c : quorvales::CraftedWorlds()) {
    const std::string name = c.name;
    std::error_code ignored;
    fs::remove_all(world, ignored);
    quorvales::CopyTree(example2.string(), world.string());
    quorvales::DatabaseFiles files =
        quorvales::ReadDatabaseFiles((world / "db").string());
    const std::string table = quorvales::LargestTable(files);
    if (!c.craft(&files, table)) {
      Check(false, name + ": the fixture world can be crafted");
      continue;
    }
    fs::remove_all(world / "db");
    Check(quorvales::WriteDatabaseFiles((world / "db").string(), files),
          name + ": the crafted world is written");
    const Run run = RunTool(cwd, exe, "w", "1000\ny\n");
    const bool fine = c.ending == quorvales::CraftedWorld::kFine;
    Check(run.exit_code == (fine ? 0 : 1),
          name + ": exit code " + std::to_string(run.exit_code));
    const std::string line =
        fine ? "10. Quorvale Data Deleted"
        : c.ending == quorvales::CraftedWorld::kOpenFails
            ? "Opening w/db failed."
            : std::string(
                  "   |- ERROR: World database read failed: "
                  "Corruption: ") +
                  c.error;
    Check(run.console.find("\n" + line) != std::string::npos,
          name + ": \"" + line + "\" in\n" + run.console);
  }
}

// A helper program holds the world's MANIFEST open for writing, as the
// game does: the guard refuses the world before anything is asked, and the
// world is unchanged.  Wine's Restart Manager names no program, so the
// line may have no names.
void RunWorldOpen(const fs::path& cwd, const std::string& exe,
                  const fs::path& example2) {
  const fs::path world = cwd / "w";
  quorvales::CopyTree(example2.string(), world.string());
  std::map<std::string, std::string> before, after;
  Check(quorvales::DumpDatabase((world / "db").string(), &before).ok(),
        "the fixture world reads before the run");
  const quorvales::DatabaseFiles files =
      quorvales::ReadDatabaseFiles((world / "db").string());
  const std::string manifest = quorvales::CurrentManifest(files);
  const fs::path ready = cwd / "held";
  std::string command =
      "\"" + (fs::path(exe).parent_path() / "hold_file.exe").string() +
      "\" \"" + (world / "db" / manifest).string() + "\" \"" + ready.string() +
      "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION holder = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &holder)) {
    Check(false, "the holder starts");
    return;
  }
  // Up to 60 s, far above Wine's start of a program even on a loaded
  // machine: only a guard against a holder that never gets there.
  for (int i = 0; i < 6000 && !fs::exists(ready); ++i) Sleep(10);
  Check(fs::exists(ready), "the holder has the MANIFEST open");

  const Run run = RunTool(cwd, exe, "w", "1000\ny\n");
  TerminateProcess(holder.hProcess, 0);
  WaitForSingleObject(holder.hProcess, INFINITE);
  CloseHandle(holder.hProcess);
  CloseHandle(holder.hThread);

  Check(run.exit_code == 1, "exit code " + std::to_string(run.exit_code));
  Check(run.paused, "the pause at the end");
  const std::string refused =
      "   |- World Name: Example 2\n"
      "   |- ERROR: World is open in another program";
  const size_t at = run.console.find(refused);
  const size_t end = run.console.find('\n', at + refused.size() - 1);
  Check(at != std::string::npos &&
            run.console.substr(end) ==
                "\n   |- Close the world in the game, or stop the server, then "
                "run again.\n",
        "the guard's lines end the run:\n" + run.console);
  Check(quorvales::DumpDatabase((world / "db").string(), &after).ok() &&
            before == after,
        "the world is unchanged");
}

// The exe's options: each writes to the console alone, makes no file and
// does not pause; --list finds worlds in a given folder and under
// LOCALAPPDATA and APPDATA, with names and paths in any language.
void RunOptions(const fs::path& cwd, const std::string& exe,
                const fs::path& example2) {
  const auto option = [&](const std::string& typed) {
    const Run run = RunCommand(cwd, exe, typed, "1000\ny\n");
    Check(run.exit_code == 0, typed + ": exit code 0");
    Check(!run.paused, typed + ": no pause");
    Check(run.console_crlf, typed + ": CR LF line ends");
    for (const auto& entry : fs::directory_iterator(cwd)) {
      const std::string name = quorvales::PathText(entry.path().filename());
      Check(name == "input.txt" || name == "console.txt",
            typed + ": no file made, but " + name);
    }
    return run.console;
  };
  Check(option("--version") == "quorvales " QUORVALES_VERSION "\n",
        "the version");
  const std::string help = option("--help");
  Check(help.find("(also -h and /?)") != std::string::npos, "help:\n" + help);
  Check(option("-h") == help && option("/?") == help, "-h and /? help too");

  // Two worlds copied from the fixture world, one named in CJK and emoji,
  // one with a space in its folder's name, changed an hour apart.
  const std::time_t now = std::time(nullptr);
  const auto make_world = [&](const fs::path& folder, const std::string& name,
                              std::time_t changed) {
    fs::create_directories(folder.parent_path());
    quorvales::CopyTree(example2.string(), quorvales::PathText(folder));
    std::ofstream(folder / "levelname.txt", std::ios::binary) << name;
    // 100 ns ticks since 1601.
    const uint64_t ticks =
        (static_cast<uint64_t>(changed) + 11644473600ULL) * 10000000ULL;
    FILETIME time = {static_cast<DWORD>(ticks),
                     static_cast<DWORD>(ticks >> 32)};
    HANDLE file = CreateFileW((folder / "level.dat").wstring().c_str(),
                              FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    Check(file != INVALID_HANDLE_VALUE &&
              SetFileTime(file, nullptr, nullptr, &time),
          "level.dat's time is set");
    CloseHandle(file);
  };
  const auto entry = [](const fs::path& folder, const std::string& name,
                        std::time_t changed) {
    std::tm local = {};
    localtime_s(&local, &changed);
    char date[32];
    std::strftime(date, sizeof(date), "%Y-%m-%d %H:%M", &local);
    uintmax_t bytes = 0;
    for (const auto& file : fs::directory_iterator(folder / "db")) {
      bytes += file.file_size();
    }
    char size[32];
    std::snprintf(size, sizeof(size), "%.1f MB",
                  static_cast<double>(bytes) / (1024.0 * 1024.0));
    const std::string path = quorvales::PathText(folder);
    return "\n" + name + "\n   |- Last changed: " + date +
           "\n   |- Size of db: " + size + "\n   |- Folder: " +
           (path.find(' ') == std::string::npos ? path : "\"" + path + "\"") +
           "\n";
  };
  const fs::path worlds = cwd.parent_path() / fs::u8path(u8"мир worlds");
  const fs::path unicode = worlds / "Abc1DEfgH2I=";
  const fs::path spaced = worlds / "with space";
  make_world(unicode, u8"Мир 世界 🌍", now - 3600);
  make_world(spaced, "Spaced", now - 7200);
  fs::create_directories(worlds / "not a world" / "db");
  const std::string listed = "2 worlds, newest first:\n" +
                             entry(unicode, u8"Мир 世界 🌍", now - 3600) +
                             entry(spaced, "Spaced", now - 7200);
  const std::string got =
      option("--list \"" + quorvales::PathText(worlds) + "\"");
  Check(got == listed, "--list FOLDER:\n" + got + "\nnot\n" + listed);
  for (const auto& [folder, name] :
       {std::pair{unicode, u8"Мир 世界 🌍"}, std::pair{spaced, "Spaced"}}) {
    const Run run = RunTool(cwd, exe, quorvales::PathText(folder), "1000\nn\n");
    Check(run.console.find("\n   |- World Name: " + std::string(name) + "\n") !=
              std::string::npos,
          "the listed path opens its world:\n" + run.console);
    for (const auto& file : fs::directory_iterator(cwd)) {
      if (quorvales::PathText(file.path().filename()).rfind("quorvaleLog", 0) ==
          0) {
        fs::remove(file.path());
      }
    }
  }

  // The usual places: the Store edition's under LOCALAPPDATA, and each
  // user's of the launcher edition under APPDATA.
  const fs::path local = cwd.parent_path() / "local";
  const fs::path roaming = cwd.parent_path() / "roaming";
  const std::string games = "\\games\\com.mojang\\minecraftWorlds";
  _wputenv_s(L"LOCALAPPDATA", local.wstring().c_str());
  _wputenv_s(L"APPDATA", roaming.wstring().c_str());
  const std::string nothing = option("--list");
  const std::string l = quorvales::PathText(local),
                    r = quorvales::PathText(roaming);
  const std::string looked =
      "No worlds found. Looked in:\n"
      "   " +
      l + "\\Packages\\Microsoft.MinecraftUWP_8wekyb3d8bbwe\\LocalState" +
      games + "\n   " + l +
      "\\Packages\\Microsoft.MinecraftWindowsBeta_8wekyb3d8bbwe\\LocalState" +
      games + "\n   " + r + "\\Minecraft Bedrock\\Users\\*" + games + "\n   " +
      r + "\\Minecraft Bedrock Preview\\Users\\*" + games + "\n";
  Check(nothing == looked, "--list with no worlds:\n" + nothing);
  const fs::path store = local / "Packages" /
                         "Microsoft.MinecraftUWP_8wekyb3d8bbwe" / "LocalState" /
                         "games" / "com.mojang" / "minecraftWorlds" / "Store=";
  const fs::path launcher = roaming / "Minecraft Bedrock" / "Users" / "12345" /
                            "games" / "com.mojang" / "minecraftWorlds" /
                            "Launcher=";
  make_world(store, "Store", now - 60);
  make_world(launcher, "Launcher", now);
  const std::string found = option("--list");
  Check(found == "2 worlds, newest first:\n" +
                     entry(launcher, "Launcher", now) +
                     entry(store, "Store", now - 60),
        "--list of the usual places:\n" + found);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cout << "usage: windows_run_test CASE TOOL_EXE FIXTURE_WORLDS "
                 "GOLDEN_DIR"
              << std::endl;
    return 2;
  }
  const std::string test = argv[1], exe = argv[2], fixtures = argv[3],
                    golden = argv[4];
  const fs::path work =
      fs::temp_directory_path() /
      ("quorvales-" + test + "-" +
       std::to_string(
           std::chrono::system_clock::now().time_since_epoch().count()));
  fs::create_directories(work / "cwd");
  const fs::path cwd = work / "cwd";
  const fs::path example2 = fs::path(fixtures) / "game-1.21.72-example2";

  // Each case: the world it makes, the command line, the input, the exit
  // code, and whether it ends with the pause.
  // A world typed with '/' separators must print as typed and still open,
  // which the golden files check after the path is put back to "w".
  std::string golden_name = test, args = "w", input;
  int exit_code = 0;
  bool pauses = true;
  std::map<std::string, std::string> before, original;
  std::string typed_world, level_name;
  fs::path run_in = cwd;
  if (test == "completed_in_subfolder") {
    golden_name = "completed";
    args = typed_world = "worlds/w";
  } else if (test == "unicode_world") {
    // Characters that no ANSI code page holds, in the path and the name;
    // the transcript must hold them in UTF-8, as the Linux build's does.
    golden_name = "completed";
    args = typed_world = u8"世界 Ñ 🌍/w";
    level_name = u8"Mundo Ñ 世界 🌍";
  } else if (test == "unicode_cwd") {
    // The log goes into a working folder with such a name.
    golden_name = "completed";
    run_in = cwd / fs::u8path(u8"日志 Ñ 🌍");
  } else if (test == "long_path") {
    // A world path past MAX_PATH, typed in full.
    golden_name = "completed";
    const fs::path deep =
        cwd / std::string(100, 'a') / std::string(100, 'b') / "w";
    args = typed_world = quorvales::PathText(deep);
  }
  fs::create_directories(run_in);
  const fs::path world = run_in / fs::u8path(args);
  if (golden_name == "completed" || test == "not_confirmed") {
    if (!fs::exists(example2)) {
      std::cout << "skipped: no fixture worlds at " << fixtures << std::endl;
      return kSkipped;
    }
    fs::create_directories(
        quorvales::FilePath(quorvales::PathText(world.parent_path())));
    quorvales::CopyTree(example2.string(), quorvales::PathText(world));
    if (!level_name.empty()) {
      std::ofstream(
          quorvales::FilePath(quorvales::PathText(world) + "/levelname.txt"),
          std::ios::binary)
          << level_name;
    }
    Check(quorvales::DumpDatabase(quorvales::PathText(world / "db"), &before)
              .ok(),
          "the fixture world reads before the run");
    original = before;
    input = golden_name == "completed" ? "1000\ny\n" : "1000\nn\n";
  } else if (test == "world_not_found") {
    args = "missing";
  } else if (test == "crafted_worlds" || test == "world_open" ||
             test == "options") {
    if (!fs::exists(example2)) {
      std::cout << "skipped: no fixture worlds at " << fixtures << std::endl;
      return kSkipped;
    }
    if (test == "crafted_worlds") {
      RunCraftedWorlds(cwd, exe, example2);
    } else if (test == "options") {
      RunOptions(cwd, exe, example2);
    } else {
      RunWorldOpen(cwd, exe, example2);
    }
    quorvales::RemoveTree(quorvales::PathText(work));
    std::cout << test << ": " << (failures == 0 ? "passed" : "failed")
              << std::endl;
    return failures == 0 ? 0 : 1;
  } else if (test == "open_failed") {
    fs::create_directories(cwd / "w");
    std::ofstream(cwd / "w" / "levelname.txt") << "No Database\n";
    input = "1000\ny\n";
    exit_code = 1;
    pauses = false;
  } else {
    std::cout << "no such case: " << test << std::endl;
    return 2;
  }

  const Run run = RunTool(run_in, exe, args, input);
  Check(run.exit_code == exit_code,
        "exit code " + std::to_string(run.exit_code));
  Check(run.paused == pauses, "the pause at the end");
  Check(run.console_crlf, "CR LF line ends on the console");
  Check(run.log_crlf, "CR LF line ends in the log file");
  const std::string console = quorvales::MaskRunDetails(Replaced(
      Replaced(run.console, typed_world, "w"), level_name, "Example 2"));
  const std::string log = quorvales::MaskRunDetails(
      Replaced(Replaced(run.log, typed_world, "w"), level_name, "Example 2"));
  if (!level_name.empty()) {
    Check(run.console.find("\n2. Using directory " + typed_world + "\n") !=
                  std::string::npos &&
              run.console.find("\n   |- World Name: " + level_name + "\n") !=
                  std::string::npos &&
              run.log.find("\n   |- World Name: " + level_name + "\n") !=
                  std::string::npos,
          "the path and the name in UTF-8, as typed");
  }
  Check(console == quorvales::ReadGolden(golden, golden_name + ".console"),
        "console transcript:\n" + console);
  Check(log == quorvales::ReadGolden(golden, golden_name + ".log"),
        "log file:\n" + log);
  // The map, byte for byte the Linux build's, the date aside; the world of
  // the Unicode case has another name.
  if (level_name.empty()) {
    Check(quorvales::MaskMapDate(run.map) ==
              (golden_name == "completed"
                   ? quorvales::ReadGolden(golden, "completed.map.html")
                   : ""),
          "the map");
  }

  if (!before.empty()) {
    std::map<std::string, std::string> after;
    Check(
        quorvales::DumpDatabase(quorvales::PathText(world / "db"), &after).ok(),
        "the world reads after the run");
    if (golden_name == "completed") {
      // The two tick records over 1000 bytes, at (-2, 3) and (5, 2).
      const std::string deleted[] = {
          std::string("\xfe\xff\xff\xff\x03\x00\x00\x00\x33", 9),
          std::string("\x05\x00\x00\x00\x02\x00\x00\x00\x33", 9)};
      for (const std::string& key : deleted) {
        Check(before.erase(key) == 1, "a marked record was in the world");
      }
    }
    Check(before == after, "every other record is unchanged");
  }
  if (golden_name == "completed") {
    // The backup, made with hard links, holds the world as it was.
    std::map<std::string, std::string> saved;
    std::error_code error;
    const std::string folder = quorvales::PathText(world);
    for (const std::string& name : quorvales::FolderEntries(folder, error)) {
      if (name.rfind("quorvaleBackup ", 0) == 0) {
        Check(quorvales::DumpDatabase(folder + "/" + name + "/db", &saved).ok(),
              "the backup reads");
      }
    }
    Check(saved == original, "the backup holds the world before the run");
  }
  // A leftover temporary folder fails nothing.
  quorvales::RemoveTree(quorvales::PathText(work));
  std::cout << test << ": " << (failures == 0 ? "passed" : "failed")
            << std::endl;
  return failures == 0 ? 0 : 1;
}
