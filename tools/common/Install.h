// Installing the Form Designer into a world, as the console's set-up does: the module
// QVCCFG.OCX, its language libraries (languages/) and its help (help/) are copied from beside
// the running program into the console's program folder on the console computer, and the
// module registers itself there.
#pragma once

#include <string>

#include "platform/com/HResult.h"

namespace qv {

// The console's program folder, on the console computer of the world.
inline constexpr char kConsoleProgramFolder[] = "C:\\Program Files\\Arvex\\QVNX\\Console";
inline constexpr char kModuleName[] = "QVCCFG.OCX";

// The module file beside the running program; "" when there is none.
std::string BuiltModulePath();

// Copies the module and its folders into the current world (each file replaced in one step,
// so a process that has the old one loaded keeps it) and calls the copy's DllRegisterServer.
// False with *why when a file could not be copied or the registration failed (*result holds
// its answer; S_OK otherwise).
bool InstallModule(std::string* why, HRESULT* result);

}  // namespace qv
