// qvccfg run NAME: runs a task the way the console's task system does. The task configuration
// of the snap-in "Execute Ini Script" named NAME (letter case ignored, as the view matches
// names) is looked up in the console database, and FrmTask.exe, beside the running program,
// is run with the world, the configuration's name as the task's and its data, the script's
// file name. Its output is passed on; its exit status is the command's.
#pragma once

#include <string>

namespace qv {

class World;

// name is UTF-8 text, as typed. 2 when there is no such configuration or FrmTask.exe cannot
// be started; else FrmTask's status.
int RunTaskCommand(const World& world, const std::string& name, std::string* out, std::string* err);

}  // namespace qv
