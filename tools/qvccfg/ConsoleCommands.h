// The qvccfg commands that distribute forms: each runs the console view's own command on the
// named row, inside the control, with qvccfg as the console around it (it makes the control,
// answers its database and task-host events, schedules handed-over tasks) and as the user in
// front of it (it selects the row, answers the questions, fills the group dialog).
//
// Names are UTF-8 text as typed; inside they are Windows-1252. Each returns the exit status:
// 0 done, 1 the system refused or reported a problem (its message on stderr), 2 bad input
// (one line on stderr; nothing was changed).
#pragma once

#include <string>
#include <vector>

namespace qv {

// Schedule on the form's (or group's) row; prints the configuration and the task as JSON.
int ScheduleCommand(const std::string& name, bool group, std::string* out, std::string* err);
// The console's removal of every task of that name (letter case ignored).
// Drags the form's (or group's) row onto a pane of the console that asks for the data
// `renders` times; prints each rendered block as JSON and the script written.
int DragCommand(const std::string& name, bool group, int renders, std::string* out,
                std::string* err);
int UnscheduleCommand(const std::string& name, std::string* out, std::string* err);
// Delete on the form's (or group's) row, answering the question with Yes.
int DeleteCommand(const std::string& name, bool group, std::string* out, std::string* err);
// Makes the group (change: changes the forms of the group) in the group dialog, with exactly
// `forms` checked; prints the group as JSON.
int GroupCommand(const std::string& name, const std::vector<std::string>& forms, bool change,
                 std::string* out, std::string* err);

}  // namespace qv
