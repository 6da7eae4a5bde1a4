// What a database folder may hold before LevelDB is let at it.

#ifndef QUORVALES_WORLD_DATABASE_FOLDER_H_
#define QUORVALES_WORLD_DATABASE_FOLDER_H_

#include <string>

namespace quorvales {

// True when db_path holds nothing but plain files and folders.  LevelDB
// reads files such as CURRENT whole and would wait on a FIFO, and it
// writes through a symbolic link and deletes it, so that a link planted
// among the database's files would make it overwrite whatever the link
// points at.  The game never writes one.  The folder itself may be a link.
// A folder that cannot be listed is left to LevelDB, which reports it.
bool HoldsOnlyPlainFiles(const std::string& db_path);

}  // namespace quorvales

#endif  // QUORVALES_WORLD_DATABASE_FOLDER_H_
