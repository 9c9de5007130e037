// CConsoleTaskHost: the console's object behind the host class CLSID_ConsoleTaskHost, which the
// control asks for through its GetClassInterface event when it hands over the record of a task
// to schedule. The console schedules the task at once: it adds a task of the record's name that
// runs the record's configuration to the console database (qv::AddTask), so that the view finds
// the form or group scheduled from then on.
//
// A task whose script is not there (the name cannot name a file, no scripts directory, or the
// script could not be written) is scheduled all the same, as the view expects, and the user is
// told at once that it cannot run, and why.
//
// Every hand-over is kept, in order, with what the control passed and what came of it: tests and
// qvccfg read them.
#pragma once

#include <string>
#include <vector>

#include "host/HostInterfaces.h"
#include "platform/com/Unknown.h"
#include "platform/tasklib/TaskLib.h"

class CConsoleTaskHost final : public qv::com::Object<IConsoleTaskHost> {
 public:
  struct HandOverRecord {
    TaskRecord record;     // a copy of the record as it was handed over
    LONG frameWindow = 0;  // the window handle the control passed with it
    LONG taskId = -1;      // the task added; -1 when the database refused it
  };

  // Resolves `record` (a handle of qv::TaskRecordHandles()) and adds the task. Returns the new
  // task's id, or 0 when the handle names no record (nothing is kept then) or the database
  // refused the task.
  LONG HandOver(LONG record, LONG frameWindow) override;

  const std::vector<HandOverRecord>& HandedOver() const { return m_handedOver; }

  // The console's removal of a scheduled task: deletes every task of the console database
  // whose name equals `name` without regard to letter case (the view matches task names so).
  // Returns how many were deleted; -1 when the database could not be read, or a deletion could
  // not be written (the tasks before it are gone then).
  static int Unschedule(const std::string& name);

  // Why a task of configuration `configurationId` cannot run: the id of the console's string
  // that says so (its %1 the task's name), or 0 when the configuration's data names a script
  // that is in the scripts directory `scriptsDirectory` (FindScriptsDirectory's answer).
  static UINT WhyCannotRun(LONG configurationId, const std::string& scriptsDirectory);
  // The message box that says a task cannot run and why (`why` from WhyCannotRun).
  static void TellCannotRun(const std::string& taskName, UINT why);

  // The configuration of the snap-in "Execute Ini Script" whose id is `id`, in *config (its
  // data handle is valid until the next find call); false when there is none.
  static bool FindConfigurationById(LONG id, TaskConfigRecord* config);

 private:
  void* FindInterface(REFIID iid) override;

  std::vector<HandOverRecord> m_handedOver;
};
