// The default world that `qvccfg init` makes: this console runs on ADMIN7, the
// core server is CORE1 (main path D:\Apps\Main, shares qvlogon and QVMAIN), with a few
// sample forms and one group of them in the forms share, and the form viewer QVCstm32.exe
// there when it was built beside the running program. The client computers PC-ANNA and PC-BEN
// each have a drive C: with an empty C:\QVCLIENT\ folder, where sent forms arrive.
#pragma once

#include <string>

namespace qv {

// Makes the default world in `dir` (created when missing). Refuses, changing nothing, an empty
// name and a folder that already holds any of the names a world puts at its top (world.ini,
// CORE1, ADMIN7, PC-ANNA, PC-BEN, console.db; in any letter case). False and *why on failure.
bool MakeDefaultWorld(const std::string& dir, std::string* why);

// Opens the world in `dir` and makes it current; never makes one. The returned world lives
// until the next call. Null and *why on failure.
class World;
World* OpenWorld(const std::string& dir, std::string* why);

}  // namespace qv
