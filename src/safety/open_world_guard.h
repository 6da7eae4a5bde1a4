// Finds the programs that have a world open: the game and servers do not
// take LevelDB's lock, so the lock alone cannot tell that a world is in
// use.

#ifndef QUORVALES_SAFETY_OPEN_WORLD_GUARD_H_
#define QUORVALES_SAFETY_OPEN_WORLD_GUARD_H_

#include <string>
#include <vector>

#include "output/line_writer.h"

namespace quorvales {

struct WorldHolder {
  std::string name;  // empty when the system does not say
  long pid = 0;
};

// The other processes that have a file of world_folder/db, or
// world_folder/level.dat, open or mapped, in order of PID.  Empty where the
// platform has no such check.  On Windows the names may be unknown; then
// one holder with no name and PID 0 stands for them all.  unseen gets the
// game's and servers' processes whose files this user may not read, so
// that whether they hold the world cannot be told.
std::vector<WorldHolder> FindWorldHolders(const std::string& world_folder,
                                          std::vector<WorldHolder>* unseen);

// "NAME (process PID)" for each named holder, in order of PID, joined by
// ", ".
std::string DescribeHolders(std::vector<WorldHolder> holders);

// Writes the guard's error lines when the world is open elsewhere, or may
// be open in a game or server that cannot be checked, and returns true;
// returns false, writing nothing, when it is not.
bool ReportWorldOpen(const std::string& world_folder, Output& out);

}  // namespace quorvales

#endif  // QUORVALES_SAFETY_OPEN_WORLD_GUARD_H_
