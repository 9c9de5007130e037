// The default world that the programs make on first run: this console runs on ADMIN7, the
// core server is CORE1 (main path D:\Apps\Main, shares qvlogon and QVMAIN), with a few
// sample forms and one group of them in the forms share, and the form viewer QVCstm32.exe
// there when it was built beside the running program.
#pragma once

#include <string>

namespace qv {

// Makes the default world in `dir` (created when missing). Refuses, changing nothing, when
// `dir` already holds a world.ini. False and *why on failure.
bool MakeDefaultWorld(const std::string& dir, std::string* why);

// Opens the world in `dir`, making the default world first when it has none; sets it
// current. The returned world must outlive its use. Null and *why on failure.
class World;
World* OpenOrMakeWorld(const std::string& dir, std::string* why);

}  // namespace qv
