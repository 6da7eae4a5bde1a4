// A world's level-name file: levelname.txt, whose first line is the name
// the game shows.

#ifndef QUORVALES_WORLD_LEVEL_NAME_H_
#define QUORVALES_WORLD_LEVEL_NAME_H_

#include <string>

namespace quorvales {

// True when path names something other than a file or a folder: a FIFO,
// whose open waits for a writer, or a device such as /dev/zero, which
// never ends.  Such a level-name file is never opened.
bool IsSpecialFile(const std::string& path);

// The first line of the file, without its line end (a carriage return
// before the line feed included, since world folders move between
// systems).  False when nothing can be read.
bool ReadWorldName(const std::string& path, std::string* name);

}  // namespace quorvales

#endif  // QUORVALES_WORLD_LEVEL_NAME_H_
