// Root on a world folder of another user works in it as that user.  The
// owner (a server's user, driven by players over the network) can write
// everything in the folder, and so could make root write through a link to
// any file; as the owner, the tool can do in the world only what the owner
// could do anyway.

#ifndef QUORVALES_SAFETY_WORLD_OWNER_H_
#define QUORVALES_SAFETY_WORLD_OWNER_H_

#include <string>

#include "output/line_writer.h"

namespace quorvales {

// On Linux, when the tool runs as root and world_folder belongs to another
// user: takes that user's user and group id for every file access of this
// thread and of every thread it makes afterwards, with no supplementary
// groups (and so none of root's file capabilities), and writes its line.
// The caller is the process's only thread.  files_folder gets the path to
// reach the world's files by from then on: the folder's full path, since a
// path relative to a working folder that the owner may not enter would not
// resolve; world_folder itself where nothing changed.  Returns false, after
// the error lines, when the identity could not be taken.  Elsewhere, and
// for root's own worlds, it does nothing.
bool WorkAsWorldOwner(const std::string& world_folder, Output& out,
                      std::string* files_folder);

// While it lives, this thread accesses files with the identity the tool
// was started with: for the files it writes outside the world.
class StartingIdentity {
 public:
  StartingIdentity();
  ~StartingIdentity();
  StartingIdentity(const StartingIdentity&) = delete;
  StartingIdentity& operator=(const StartingIdentity&) = delete;
};

}  // namespace quorvales

#endif  // QUORVALES_SAFETY_WORLD_OWNER_H_
