// FrmTask.exe, the task executor that a task of the snap-in "Execute Ini Script" runs with its
// configuration's data, the file name of a distribution script:
//
//   FrmTask.exe [--world DIR] [--task NAME] SCRIPT [CLIENT...]
//
// SCRIPT is a file name, looked up in the core server's scripts directory found as the
// console finds it (distribution/RemoteRegistry.h), or a Windows path of the world. Without a
// CLIENT it runs on every client of the world ([World] Clients), else on the named ones,
// which must be clients of the world. NAME is the task's name in the records; without one,
// SCRIPT's file name without ".ini".
//
// On each client it carries out the script's [MACHINES] section: REMDEL0 ("\QVCLIENT\*.FRM")
// deletes the matching files of that folder of the client's drive C:; then REMCOPY0,
// REMCOPY1, ... up to the first missing number ("source, destination, TOREMOTE") each copy a
// file of the world, named as this console names it, to a path on the client's drive C:.
// Each copy lands in one step (a hidden file beside it, renamed over the name), so a client
// never sees half a form; the hidden files a killed run left behind (untouched for 15 minutes)
// are removed by the next run's first copy into that folder. A read-only file is neither
// deleted nor replaced (that line fails). A line that would reach beyond the client's drive
// or the world (another drive, a network path, "..", a name the file system refuses, a source
// that is no Windows path of the world, wildcards before the last name) is refused on its
// own, with the reason, and the lines after it still run.
//
// Local clients are served a batch at a time, a few batches at once (one per core): a
// batch's copies are written beside their files, flushed together, renamed into place and
// the renames flushed; then each of its clients has one record in the world's record file
// (tools/common/TaskRuns.h), the batch's records in one write, so records follow the order
// in which batches end. Each client has one line "CLIENT: ok" or "CLIENT: N of M lines
// failed" on standard output, in the clients' order; the reasons go to standard error. The
// world is --world DIR, else $QVCCFG_WORLD, else $HOME/.qvccfg/world; it is never made here.
// Exit status: 0 every line on every client was carried out, 1 some line was refused or
// failed or a record could not be written, 2 bad arguments, no world or no script (nothing
// was done).
#pragma once

#include <string>
#include <vector>

#include "tools/common/TaskRuns.h"

namespace qv {

class World;

// One script as FrmTask reads it: the REMDEL0 line, if any, and the REMCOPY lines in order.
struct TaskScript {
  std::vector<RunLine> lines;  // results empty
};

// Carries the script out on one client of the world and says what became of each line; the
// record's time, task and script are left for the caller.
ClientRun RunScriptOnClient(const World& world, const TaskScript& script,
                            const std::string& client);

// The whole program; the world that was current before is current again afterwards.
int RunFrmTask(const std::vector<std::string>& args, std::string* out, std::string* err);

}  // namespace qv
