// The run: one straight pass from the opening lines to the exit code.

#include <cstdint>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_options.h"
#include "app/console.h"
#include "chunks/run_counters.h"
#include "chunks/run_stats.h"
#include "chunks/scan_purge.h"
#include "chunks/scan_ranges.h"
#include "map/quorvale_map.h"
#include "output/line_writer.h"
#include "output/run_log.h"
#include "platform/command_line.h"
#include "platform/console_lines.h"
#include "safety/open_world_guard.h"
#include "safety/world_backup.h"
#include "safety/world_owner.h"
#include "world/level_name.h"
#include "world/world_database.h"

using namespace quorvales;

namespace {

// The run, with the command line's arguments in UTF-8.
int Run(const std::vector<std::string>& args) {
  if (RunCommandOption(args, std::cout)) return 0;
  IgnoreFileSizeSignal();
  std::ofstream log;
  const RunLogNames names = OpenRunLog(LocalStartTime(), &log);
  Output out{std::cout, log};
  WriteConsole(out, "Quorvales...");
  WriteConsole(out, "Outputting Log to: ", names.file_name);
  WriteLog(out, "Quorvales Program Started - ", names.start_stamp);
  WriteBoth(out, "1. Starting Process...");

  std::string world_folder = "world";
  if (args.size() > 1) {
    world_folder = args[1];
    WriteBoth(out, "2. Using directory ", world_folder);
  } else {
    WriteBoth(out, "Usage: ", args.empty() ? "" : args[0],
              " <world_directory>");
    WriteBoth(out, "2. Using default directory <world/db>");
  }
  const std::string db_path = world_folder + "/db";
  const std::string level_name_path = world_folder + "/levelname.txt";

  const bool world_exists = FileExists(level_name_path);
  WriteBoth(out, "3. Checking world files...");
  if (!world_exists) {
    WriteBoth(out, "   |- ERROR: World Not Found");
    Pause(std::cin, std::cout, false);
    return 0;
  }
  WriteConsole(out, "   |- World Exists!");
  std::string world_name;
  if (ReadWorldName(level_name_path, &world_name)) {
    WriteBoth(out, "   |- World Name: ", world_name);
  }
  if (ReportWorldOpen(world_folder, out)) {
    Pause(std::cin, std::cout, false);
    return 1;
  }

  const std::string rule(85, '#');
  WriteConsole(out, "\n", rule);
  WriteConsole(out,
               "Please enter the value, in bytes(B), for the allowed "
               "Quorvale data per chunk.");
  WriteConsole(out,
               "The default amount is 1000 Bytes -> Chunks with any more "
               "than 1KB of Quorvale data will have the data deleted.");
  WriteConsole(out, "You can choose a 0 Bytes amount to remove all data.");
  WriteConsole(out, rule);
  WriteConsole(out, "Data Limit (B): ");
  const float data_limit = ReadDataLimit(std::cin);
  WriteBoth(out, "Data Limit set to: ", data_limit, " bytes");

  WriteConsole(out, "\nAre you sure you wish to delete all Quorvale data from ",
               world_name, " world? Y or N");
  const std::string answer = ReadAnswer(std::cin);
  if (answer != "Y" && answer != "y") {
    WriteBoth(out, "Process Aborted.");
    WriteConsole(out, "Done.");
    Pause(std::cin, std::cout, true);
    return 0;
  }
  WriteConsole(out, "Confirmed...");
  const int64_t clock_start = ProcessClockMs();
  // Again: the game may have started while the prompts waited.
  if (ReportWorldOpen(world_folder, out)) {
    Pause(std::cin, std::cout, true);
    return 1;
  }
  // Root works in another user's world as that user from here on.
  std::string files_folder;
  if (!WorkAsWorldOwner(world_folder, out, &files_folder)) return 1;
  WorldBackup backup(world_folder, names.file_stamp);
  backup.SetFilesFolder(files_folder);
  if (!backup.Make(out)) return 1;

  WorldDatabase world;
  if (!world.Open(db_path, out, files_folder + "/db")) {
    backup.Discard();
    return 1;
  }
  RunCounters counters;
  std::vector<std::string> marked_keys;
  std::vector<ScannedRecord> records;
  const bool purged = ScanMarkAndPurge(world, data_limit, out, &counters,
                                       &marked_keys, ScanThreads(), &records);
  WriteRunStats(out, counters);
  if (!records.empty()) {
    // The map goes beside the log, as the user who started the tool.
    const StartingIdentity as_started;
    WriteQuorvaleMap(names.file_stamp,
                     {world_name, data_limit, names.start_stamp, counters},
                     records, out);
  }
  // The backup is kept only when records were deleted.  Windows cannot
  // remove a link to a table that is still open, so it goes after closing.
  const bool keep_backup = counters.deleted > 0;
  if (keep_backup) backup.ReportKept(out);
  world.Close(out);
  if (!keep_backup) backup.Discard();

  const auto seconds =
      static_cast<float>((ProcessClockMs() - clock_start) / 1000);
  WriteBoth(out, "Time taken: ", std::dec, std::setprecision(2), seconds, "s");
  Pause(std::cin, std::cout, true);
  return purged ? 0 : 1;
}

}  // namespace

#ifdef _WIN32
// Windows gives the command line as UTF-16, which holds any name.
int wmain(int argc, wchar_t** argv) {
  const Utf8Console console;
  const ConsoleLines lines;
  return Run(Utf8Arguments(argc, argv));
}
#else
int main(int argc, char** argv) {
  return Run(std::vector<std::string>(argv, argv + argc));
}
#endif
