// Where the system offers no way to see other processes' files, there is
// no check.

#include "safety/open_world_guard.h"

namespace quorvales {

std::vector<WorldHolder> FindWorldHolders(const std::string&,
                                          std::vector<WorldHolder>*) {
  return {};
}

}  // namespace quorvales
