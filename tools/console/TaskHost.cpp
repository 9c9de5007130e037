#include "tools/console/TaskHost.h"

#include <cstring>

#include "platform/text/CaseFold.h"

LONG CConsoleTaskHost::HandOver(LONG record, LONG frameWindow) {
  const TaskRecord* task = qv::TaskRecordHandles().Resolve(record);
  if (task == nullptr)
    return 0;
  HandOverRecord kept;
  std::memcpy(&kept.record, task, sizeof kept.record);
  kept.frameWindow = frameWindow;
  // The name field may lack its NUL in a record built elsewhere: the library refuses such a
  // name rather than read past the field.
  char name[sizeof task->name + 1] = {};
  std::memcpy(name, task->name, sizeof task->name);
  kept.taskId = qv::AddTask(name, task->configurationId);
  m_handedOver.push_back(kept);
  return kept.taskId > 0 ? kept.taskId : 0;
}

int CConsoleTaskHost::Unschedule(const std::string& name) {
  TaskRecord task;
  std::memset(&task, 0, sizeof task);
  LONG handle = FindFirstTask(&task);
  if (handle == -1)
    return qv::TaskLibraryProblem().empty() ? 0 : -1;
  std::vector<LONG> ids;
  do {
    if (qv::EqualsNoCase(name, std::string_view(task.name, strnlen(task.name, sizeof task.name))))
      ids.push_back(task.id);
  } while (FindNextTask(handle, &task));
  for (LONG id : ids) {
    if (!qv::DeleteTask(id))
      return -1;
  }
  return static_cast<int>(ids.size());
}

void* CConsoleTaskHost::FindInterface(REFIID iid) {
  if (iid == IID_IUnknown || iid == IID_IConsoleTaskHost)
    return static_cast<IConsoleTaskHost*>(this);
  return nullptr;
}
