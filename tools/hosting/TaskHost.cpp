#include "tools/hosting/TaskHost.h"

#include <cstring>

#include "distribution/Configurations.h"
#include "distribution/DistributionTask.h"
#include "distribution/RemoteRegistry.h"
#include "platform/file/FileApi.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/MessageBox.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

namespace {

// The script file name that configuration `id` holds as its data; "" when it holds none, or
// there is no such configuration.
std::string ScriptOf(LONG id) {
  TaskConfigRecord config;
  if (!CConsoleTaskHost::FindConfigurationById(id, &config))
    return "";
  const char* data = static_cast<const char*>(qv::TaskDataAddress(config.data));
  return data != nullptr ? std::string(data, config.dataLength) : std::string();
}

}  // namespace

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
  // A configuration that names no script at all was not made by a view; only a script that a
  // view would have written is looked for.
  if (kept.taskId > 0 && !ScriptOf(task->configurationId).empty()) {
    if (UINT why = WhyCannotRun(task->configurationId, FindScriptsDirectory()); why != 0)
      TellCannotRun(name, why);
  }
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

UINT CConsoleTaskHost::WhyCannotRun(LONG configurationId, const std::string& scriptsDirectory) {
  const std::string file = ScriptOf(configurationId);
  if (file.empty())
    return IDS_TASK_SCRIPT_NOT_WRITTEN;
  // The script writer names a script "<name>.ini" and writes no other file.
  constexpr std::string_view kExtension = ".ini";
  std::string name = file;
  if (name.size() > kExtension.size() &&
      qv::EqualsNoCase(std::string_view(name).substr(name.size() - kExtension.size()), kExtension))
    name.resize(name.size() - kExtension.size());
  if (!CDistributionTask::IsScriptName(name))
    return IDS_TASK_NAME_BAD_CHARACTER;
  if (scriptsDirectory.empty())
    return IDS_TASK_NO_SCRIPTS_DIRECTORY;
  return qv::WinFileExists((scriptsDirectory + file).c_str()) ? 0 : IDS_TASK_SCRIPT_NOT_WRITTEN;
}

void CConsoleTaskHost::TellCannotRun(const std::string& taskName, UINT why) {
  MessageBoxA(nullptr, AfxFormatString1(why, taskName).c_str(), LoadResString(IDS_CAPTION).c_str(),
              MB_OK | MB_ICONEXCLAMATION);
}

bool CConsoleTaskHost::FindConfigurationById(LONG id, TaskConfigRecord* config) {
  std::memset(config, 0, sizeof *config);
  LONG handle = FindFirstTaskConfiguration(kSnapinName, config);
  for (BOOL more = handle != -1; more; more = FindNextTaskConfiguration(handle, config)) {
    if (config->id == id)
      return true;
  }
  return false;
}

void* CConsoleTaskHost::FindInterface(REFIID iid) {
  if (iid == IID_IUnknown || iid == IID_IConsoleTaskHost)
    return static_cast<IConsoleTaskHost*>(this);
  return nullptr;
}
