// Crafted database folders whose every checksum holds, each naming a size
// or a length that its files cannot hold.  The Linux and the Windows tests
// run the tool on the same ones.

#ifndef QUORVALES_TESTS_CRAFTED_WORLDS_H_
#define QUORVALES_TESTS_CRAFTED_WORLDS_H_

#include <string>
#include <vector>

#include "tools/world_surgery.h"

namespace quorvales {

struct CraftedWorld {
  enum Ending { kFine, kOpenFails, kReadFails };

  const char* name;
  // Changes the folder's files, with table the name of one table file.
  // False when the world lacks what the change needs.
  bool (*craft)(DatabaseFiles* files, const std::string& table);
  Ending ending;
  // For kReadFails, the status after "Corruption: ", up to the path of a
  // file where it names one.
  const char* error;
};

const std::vector<CraftedWorld>& CraftedWorlds();

// The name of the folder's largest table file; empty when it has none.
std::string LargestTable(const DatabaseFiles& files);

}  // namespace quorvales

#endif  // QUORVALES_TESTS_CRAFTED_WORLDS_H_
