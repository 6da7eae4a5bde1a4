#include "safety/open_world_guard.h"

#include <algorithm>

namespace quorvales {

std::string DescribeHolders(std::vector<WorldHolder> holders) {
  std::sort(
      holders.begin(), holders.end(),
      [](const WorldHolder& a, const WorldHolder& b) { return a.pid < b.pid; });
  std::string names;
  for (const WorldHolder& holder : holders) {
    if (holder.name.empty()) continue;
    if (!names.empty()) names += ", ";
    names += holder.name + " (process " + std::to_string(holder.pid) + ")";
  }
  return names;
}

bool ReportWorldOpen(const std::string& world_folder, Output& out) {
  std::vector<WorldHolder> unseen;
  const std::vector<WorldHolder> holders =
      FindWorldHolders(world_folder, &unseen);
  if (holders.empty() && !unseen.empty()) {
    WriteBoth(out, "   |- ERROR: Cannot check whether the world is open in: ",
              DescribeHolders(unseen));
    WriteBoth(out,
              "   |- Run the tool as root or as that program's user, or stop "
              "the program, then run again.");
    return true;
  }
  if (holders.empty()) return false;
  const std::string names = DescribeHolders(holders);
  if (names.empty()) {
    WriteBoth(out, "   |- ERROR: World is open in another program");
  } else {
    WriteBoth(out, "   |- ERROR: World is open in another program: ", names);
  }
  WriteBoth(out,
            "   |- Close the world in the game, or stop the server, then run "
            "again.");
  return true;
}

}  // namespace quorvales
