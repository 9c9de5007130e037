#include "console/TaskPane.h"

#include <cstring>
#include <vector>

#include "distribution/RemoteRegistry.h"
#include "platform/ole/DataObject.h"
#include "platform/ole/GlobalMemory.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/Clipboard.h"
#include "tools/common/Cp1252.h"
#include "tools/hosting/TaskHost.h"

namespace qv::console {
namespace {

constexpr char kTaskDataFormat[] = "QVNX_TASK_CFG_DATA";
constexpr char kSnapin[] = "Execute Ini Script";

CLIPFORMAT TaskDataFormat() {
  return static_cast<CLIPFORMAT>(RegisterClipboardFormatA(kTaskDataFormat));
}

std::string Field(const char* field, std::size_t room) {
  return text::Cp1252ToUtf8(std::string_view(field, strnlen(field, room)));
}

}  // namespace

TaskPane::TaskPane() {
  window_.Create("TaskPane", "", WS_VISIBLE, CRect{0, 0, 240, 440}, nullptr, 0);
  Register(&window_);
}

DROPEFFECT TaskPane::OnDragEnter(CWnd* window, COleDataObject* data, DWORD keys, CPoint point) {
  return OnDragOver(window, data, keys, point);
}

DROPEFFECT TaskPane::OnDragOver(CWnd*, COleDataObject* data, DWORD, CPoint) {
  return data->IsDataAvailable(TaskDataFormat()) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

BOOL TaskPane::OnDrop(CWnd*, COleDataObject* data, DROPEFFECT, CPoint) {
  HGLOBAL block = data->GetGlobalData(TaskDataFormat());
  if (block == 0)
    return FALSE;
  TaskConfigRecord record;
  bool whole = GlobalSize(block) >= sizeof record;
  if (whole)
    std::memcpy(&record, GlobalLock(block), sizeof record);
  GlobalUnlock(block);
  GlobalFree(block);
  if (!whole)
    return FALSE;
  // The name field may lack its NUL in a block made elsewhere.
  char name[sizeof record.name + 1] = {};
  std::memcpy(name, record.name, sizeof record.name);
  return qv::AddTask(name, record.id) > 0 ? TRUE : FALSE;
}

nlohmann::json TaskPane::Tasks() {
  nlohmann::json tasks = nlohmann::json::array();
  TaskRecord task;
  std::memset(&task, 0, sizeof task);
  LONG handle = FindFirstTask(&task);
  if (handle == -1)
    return tasks;
  // The library's searches share a few slots: the tasks are taken before the configurations
  // are searched for each.
  std::vector<TaskRecord> found;
  do {
    found.push_back(task);
  } while (FindNextTask(handle, &task));
  const std::string scripts = FindScriptsDirectory();
  for (const TaskRecord& each : found) {
    tasks.push_back(
        {{"id", each.id},
         {"name", Field(each.name, sizeof each.name)},
         {"configurationId", each.configurationId},
         {"runnable", CConsoleTaskHost::WhyCannotRun(each.configurationId, scripts) == 0}});
  }
  return tasks;
}

nlohmann::json TaskPane::Configurations() {
  nlohmann::json configurations = nlohmann::json::array();
  TaskConfigRecord record;
  std::memset(&record, 0, sizeof record);
  LONG handle = FindFirstTaskConfiguration(kSnapin, &record);
  if (handle == -1)
    return configurations;
  do {
    const char* data = static_cast<const char*>(TaskDataAddress(record.data));
    configurations.push_back(
        {{"id", record.id},
         {"name", Field(record.name, sizeof record.name)},
         {"data", data != nullptr ? text::Cp1252ToUtf8(std::string_view(data, record.dataLength))
                                  : std::string()}});
  } while (FindNextTaskConfiguration(handle, &record));
  return configurations;
}

}  // namespace qv::console
