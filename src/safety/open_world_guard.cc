#include "safety/open_world_guard.h"

#include <algorithm>

namespace quorvales {

bool ReportWorldOpen(const std::string& world_folder, Output& out) {
  std::vector<WorldHolder> holders = FindWorldHolders(world_folder);
  if (holders.empty()) return false;
  std::sort(
      holders.begin(), holders.end(),
      [](const WorldHolder& a, const WorldHolder& b) { return a.pid < b.pid; });
  std::string names;
  for (const WorldHolder& holder : holders) {
    if (holder.name.empty()) continue;
    if (!names.empty()) names += ", ";
    names += holder.name + " (process " + std::to_string(holder.pid) + ")";
  }
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
