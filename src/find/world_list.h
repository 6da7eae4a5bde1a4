// Finding a world: the game names each world's folder with a short random
// text, deep in the user's profile, so the tool lists the worlds it finds
// with their names, newest first, each with a path that can be pasted as
// the tool's argument.

#ifndef QUORVALES_FIND_WORLD_LIST_H_
#define QUORVALES_FIND_WORLD_LIST_H_

#include <ostream>
#include <string>
#include <vector>

namespace quorvales {

// The places where the game keeps its worlds on this system, whether they
// exist or not: on Windows under LOCALAPPDATA and APPDATA, on Linux the
// launcher's folder under HOME and a dedicated server's "worlds" in the
// current folder.
std::vector<std::string> UsualWorldPlaces();

// Writes the worlds in each folder of places (folders of world folders)
// to the console, newest first; a folder that cannot be read is named
// with the system's reason.  given: places is the user's one folder, not
// the usual places, whose names it writes only where none holds a world.
void ListWorlds(const std::vector<std::string>& places, bool given,
                std::ostream& console);

}  // namespace quorvales

#endif  // QUORVALES_FIND_WORLD_LIST_H_
