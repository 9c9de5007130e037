// Task configurations of forms and groups. A configuration of the snap-in
// "Execute Ini Script" belongs to the form or group whose name it carries (letter case
// ignored); a task uses it when the task carries the same name and the configuration's id.
// Only the first configuration of a name counts.
#pragma once

#include "platform/tasklib/TaskLib.h"

inline constexpr const char* kSnapinName = "Execute Ini Script";
inline constexpr const char* kSnapinProgram = "FrmTask.exe";

// 1 when a configuration of that name exists (record then holds it), else 0. A name longer
// than the record's name field holds (255 characters) is refused with 0: no configuration
// can carry it.
int FindConfiguration(TaskConfigRecord* record, const char* name);
// 1 when the configuration of that name exists and a task uses it, else 0; record holds the
// configuration found, if any, also when no task uses it.
int IsScheduled(TaskConfigRecord* record, const char* name);
