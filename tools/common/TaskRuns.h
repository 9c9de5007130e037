// The record of what FrmTask.exe did on each client, which the console reads back.
//
// All runs of a world go to one file, <world>/tasks/runs.log: one line per client run,
// appended when that client's run ends (the lines of several runs may go in one write), each
// line one JSON object (UTF-8, no line break inside) ended by "\n":
//
//   {"time":904737600,"task":"Office survey","script":"Office survey.ini","client":"PC-ANNA",
//    "ok":true,"lines":[{"key":"REMDEL0","value":"\\QVCLIENT\\*.FRM","result":"ok"},...]}
//
// (shown on two lines here). "time" is seconds since 1970-01-01 00:00 UTC; "result" is "ok" or
// why the line was refused or failed; "ok" is true when every line's result is "ok". The texts
// are the system's Windows-1252 texts converted to UTF-8. A client that the run could not reach
// (a remote client whose machine did not answer) has "reached":false and "reason" besides.
//
// A line is written with one write() under an exclusive lock, after a line end is put behind
// anything a crash cut short; a write that fails halfway is cut off again. A reader takes only
// lines that end in "\n" and parse as a record, so neither a line still being written nor one a
// crash cut short is ever taken for a run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct RunLine {
  std::string key;     // "REMDEL0", "REMCOPY0", ...
  std::string value;   // the line's value as the script holds it
  std::string result;  // "ok", or why the line was refused or failed
};

struct ClientRun {
  std::int64_t time = 0;  // when the client's run ended, seconds since 1970-01-01 UTC
  std::string task;
  std::string script;
  std::string client;
  bool ok = false;
  bool reached = true;  // false: the client's machine was not reached (see `reason`)
  std::string reason;
  std::vector<RunLine> lines;
};

inline constexpr char kTaskRunsFile[] = "tasks/runs.log";

// The host path of the record file of the world in `worldDir`.
std::string TaskRunsPath(const std::string& worldDir);

// Appends one record. False with *why when the folder or the file cannot be made or written (or
// lies outside the world); the file then holds what it held before.
bool AppendTaskRun(const std::string& worldDir, const ClientRun& run, std::string* why);
// Appends the records of several runs, in their order, with one write under the lock: each
// is a line of its own, and none is written when the write fails.
bool AppendTaskRuns(const std::string& worldDir, const std::vector<ClientRun>& runs,
                    std::string* why);

// The runs of the task named `task` (letter case ignored, as configuration names are), or of
// every task when `task` is empty, in the order they were written. No file: no runs.
std::vector<ClientRun> ReadTaskRuns(const std::string& worldDir, const std::string& task);

// One record as its line (without the "\n"), and back; false for a line that is no record.
std::string TaskRunLine(const ClientRun& run);
bool ParseTaskRunLine(const std::string& line, ClientRun* run);

}  // namespace qv
