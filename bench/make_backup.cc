// make_backup WORLD_FOLDER: makes the backup that a run makes before it
// deletes, then removes it again, so that its cost can be timed alone.

#include <iostream>

#include "safety/world_backup.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cout << "usage: make_backup WORLD_FOLDER" << std::endl;
    return 2;
  }
  quorvales::Output out{std::cout, std::cout};
  quorvales::WorldBackup backup(argv[1], "bench");
  if (!backup.Make(out) || backup.folder().empty()) return 1;
  backup.Discard();
  return 0;
}
