// A test seam: the tool without its refusal of links among the database's
// files, so that a test can show that working as the world's owner alone
// keeps root's files safe from such links.

#include "world/database_folder.h"

namespace quorvales {

bool HoldsOnlyPlainFiles(const std::string&) { return true; }

}  // namespace quorvales
