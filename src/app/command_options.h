// The options that can stand in the world folder's place: --help (-h, and
// /? on Windows), --version and --list [FOLDER].  Each writes to the
// console only, makes no file, does not wait and exits with 0.  Any other
// first argument is a world folder; one named like an option is given as
// ./--list.

#ifndef QUORVALES_APP_COMMAND_OPTIONS_H_
#define QUORVALES_APP_COMMAND_OPTIONS_H_

#include <ostream>
#include <string>
#include <vector>

namespace quorvales {

// True when args[1] is an option; it has run then.
bool RunCommandOption(const std::vector<std::string>& args,
                      std::ostream& console);

}  // namespace quorvales

#endif  // QUORVALES_APP_COMMAND_OPTIONS_H_
