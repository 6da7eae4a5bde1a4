#include "app/command_options.h"

#include "find/world_list.h"

namespace quorvales {

namespace {

void WriteHelp(std::ostream& console) {
  console
      << "quorvales " QUORVALES_VERSION
         ": deletes oversized Quorvale (scheduled tick) records from a\n"
         "Minecraft: Bedrock Edition world.\n"
         "\n"
         "Usage:\n"
         "  quorvales WORLD_FOLDER     run on the world in WORLD_FOLDER, the "
         "folder that\n"
         "                             holds levelname.txt and db\n"
         "  quorvales                  run on the folder \"world\" in the "
         "current folder\n"
         "  quorvales --list [FOLDER]  list the worlds in FOLDER, a folder of "
         "world\n"
         "                             folders, or in the game's usual "
         "places\n"
#ifdef _WIN32
         "  quorvales --help           show this help (also -h and /?)\n"
#else
         "  quorvales --help           show this help (also -h)\n"
#endif
         "  quorvales --version        show the version\n"
         "A world folder named like an option is given as ./--list.\n"
         "\n"
         "A run asks for the data limit in bytes and for a confirmation, "
         "then writes:\n"
         "  quorvaleLog DATE TIME.txt   the run's log, in the current folder\n"
         "  quorvaleMap DATE TIME.html  a map of the records, beside the "
         "log\n"
         "  quorvaleBackup DATE TIME    a backup of db, in the world folder, "
         "kept when\n"
         "                              records were deleted\n"
         "\n"
         "Exit codes:\n"
         "  0  the run completed, was not confirmed or found no world; an "
         "option ran\n"
         "  1  the world is open in another program, the backup or the "
         "open failed,\n"
         "     or reading or deleting failed; nothing was deleted\n";
  console.flush();
}

}  // namespace

bool RunCommandOption(const std::vector<std::string>& args,
                      std::ostream& console) {
  if (args.size() < 2) return false;
  const std::string& option = args[1];
#ifdef _WIN32
  const bool help = option == "--help" || option == "-h" || option == "/?";
#else
  const bool help = option == "--help" || option == "-h";
#endif
  if (help) {
    WriteHelp(console);
  } else if (option == "--version") {
    console << "quorvales " QUORVALES_VERSION << std::endl;
  } else if (option == "--list") {
    if (args.size() > 2) {
      ListWorlds({args[2]}, true, console);
    } else {
      ListWorlds(UsualWorldPlaces(), false, console);
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace quorvales
