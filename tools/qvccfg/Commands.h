// qvccfg, the command-line companion of the Form Designer: makes the default world, maps
// Windows paths, shows, checks, imports and exports form files, and schedules, deletes and
// groups forms through the console view's own commands.
// Exit status: 0 done, 1 the form, the system or the save reported a problem, 2 bad input
// (nothing written).
#pragma once

#include <string>
#include <vector>

namespace qv {

int RunQvccfg(const std::vector<std::string>& args, std::string* out, std::string* err);

}  // namespace qv
