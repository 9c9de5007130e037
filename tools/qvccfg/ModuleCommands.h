// The qvccfg commands that work with the module as the console's set-up and the console do:
// registering a module file, and listing the plug-ins the console would find.
//
// Each returns the exit status: 0 done, 1 the module or the registry refused (a line on
// stderr), 2 bad input (nothing was changed).
#pragma once

#include <string>

namespace qv {

class World;

// Loads the module FILE (a Windows path, or a host path inside the world) and calls its
// DllRegisterServer (DllUnregisterServer with `unregister`); prints the result as 0x%08X.
int RegServerCommand(const World& world, const std::string& file, bool unregister, std::string* out,
                     std::string* err);

// Makes each plug-in named under the console's plug-in key by its class id and prints, as
// JSON, its class id (the key's name), display name, the control's class id and the answers
// of QueryFlagA and QueryFlagB.
int PlugInsCommand(std::string* out, std::string* err);

}  // namespace qv
