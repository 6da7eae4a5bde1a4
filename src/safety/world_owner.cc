#include "safety/world_owner.h"

#include <string>

#ifdef __linux__
#include <grp.h>
#include <stdlib.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvales {

#ifdef __linux__

namespace {

// The owner's identity once taken; the file identity the tool was started
// with is root's.
bool taken = false;
uid_t owner_uid = 0;
gid_t owner_gid = 0;

// The file-system user and group ids are the thread's own, inherited by
// the threads it makes.  While the user id is not 0, the kernel takes the
// capabilities that bypass file permissions from the thread, and gives
// them back when it is 0 again.  The group goes first, while the thread
// may still change it.
bool SetFileIdentity(uid_t uid, gid_t gid) {
  setfsgid(gid);
  setfsuid(uid);
  // Each call answers with the id before it, so asking for an invalid one
  // reads the current one.
  return static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1))) == uid &&
         static_cast<gid_t>(setfsgid(static_cast<gid_t>(-1))) == gid;
}

bool Refuse(Output& out) {
  WriteBoth(out, "   |- ERROR: Cannot work as the owner of the world folder");
  WriteBoth(out, "   |- Nothing was changed.");
  return false;
}

}  // namespace

bool WorkAsWorldOwner(const std::string& world_folder, Output& out,
                      std::string* files_folder) {
  *files_folder = world_folder;
  struct stat info;
  if (geteuid() != 0 || stat(world_folder.c_str(), &info) != 0 ||
      info.st_uid == 0) {
    return true;
  }
  char* full = realpath(world_folder.c_str(), nullptr);
  if (full == nullptr) return Refuse(out);
  *files_folder = full;
  free(full);
  // Root's supplementary groups would still grant access as a group
  // member.  setgroups changes every thread of the process, and this one
  // is the only thread yet.
  if (setgroups(0, nullptr) != 0 ||
      !SetFileIdentity(info.st_uid, info.st_gid)) {
    SetFileIdentity(0, 0);
    return Refuse(out);
  }
  taken = true;
  owner_uid = info.st_uid;
  owner_gid = info.st_gid;
  WriteBoth(out, "   |- Working as the owner of the world folder: user ",
            std::to_string(owner_uid), ", group ", std::to_string(owner_gid));
  return true;
}

StartingIdentity::StartingIdentity() {
  if (taken) SetFileIdentity(0, 0);
}

StartingIdentity::~StartingIdentity() {
  if (taken) SetFileIdentity(owner_uid, owner_gid);
}

#else

bool WorkAsWorldOwner(const std::string& world_folder, Output&,
                      std::string* files_folder) {
  *files_folder = world_folder;
  return true;
}
StartingIdentity::StartingIdentity() {}
StartingIdentity::~StartingIdentity() {}

#endif

}  // namespace quorvales
