#include "tools/qvccfg/Listings.h"

#include <cstdint>
#include <cstring>

#include "distribution/Configurations.h"
#include "distribution/DistributionTask.h"
#include "distribution/RemoteRegistry.h"
#include "forms/CustomDoc.h"
#include "groups/FormGroupList.h"
#include "platform/file/FileApi.h"
#include "platform/profile/Profile.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/ListCtrl.h"
#include "tools/common/Json.h"
#include "tools/common/Programs.h"
#include "tools/qvccfg/HostedControl.h"
#include "view/Catalogue.h"

namespace qv {
namespace {

// "\\<core server>\qvlogon\", as the console view builds it.
std::string FormsSharePath() {
  char core[256] = {};
  GetCoreServerName(core, sizeof core);
  return std::string("\\\\") + core + "\\qvlogon\\";
}

std::string Text(const char* field, std::size_t size) {
  return json::Cp1252ToUtf8(std::string_view(field, strnlen(field, size)));
}

}  // namespace

int ListCatalogue(std::string* out, std::string* err) {
  // The control fills its list when it is made, and saves the order of the rows.
  HostedControl console;
  if (!console.Created())
    return console.Failure(err);
  ui::WindowState list = console.List();
  json::Value rows = json::Array{};
  for (std::size_t row = 0; row < list.rows.size(); ++row) {
    const std::vector<std::string>& texts = list.rows[row];
    json::Value item = json::Object{};
    item["text"] = json::Cp1252ToUtf8(texts.empty() ? "" : texts[0]);
    item["description"] = json::Cp1252ToUtf8(texts.size() > 1 ? texts[1] : "");
    item["image"] = row < list.images.size() ? list.images[row] : "";
    rows.push_back(item);
  }
  *out += json::Write(rows, true) + "\n";
  return 0;
}

int ListGroups(std::string* out, std::string* /*err*/) {
  CFormGroupList groups(FormsSharePath() + "FDGRPLST.GPS");
  json::Value list = json::Array{};
  for (CFormGroup* group = groups.GetFirstGroup(); group != nullptr;
       group = groups.GetNextGroup()) {
    json::Value forms = json::Array{};
    for (CGroupFormEntry* entry = group->GetFirstForm(); entry != nullptr;
         entry = group->GetNextForm())
      forms.push_back(json::Cp1252ToUtf8(entry->GetFormName()));
    json::Value item = json::Object{};
    item["name"] = json::Cp1252ToUtf8(group->GetGroupName());
    item["forms"] = forms;
    list.push_back(item);
  }
  *out += json::Write(list, true) + "\n";
  return 0;
}

int ListTasks(std::string* out, std::string* err) {
  json::Value configurations = json::Array{};
  TaskConfigRecord config;
  std::memset(&config, 0, sizeof config);
  LONG handle = FindFirstTaskConfiguration(kSnapinName, &config);
  // A damaged database finds nothing, as an empty one does; only the library can tell them
  // apart.
  if (std::string problem = TaskLibraryProblem(); !problem.empty()) {
    *err = "qvccfg: " + Printable(problem) + "\n";
    return 2;
  }
  for (BOOL more = handle != -1; more; more = FindNextTaskConfiguration(handle, &config)) {
    json::Value item = json::Object{};
    item["id"] = config.id;
    item["snapinId"] = config.snapinId;
    item["name"] = Text(config.name, sizeof config.name);
    const char* data = static_cast<const char*>(TaskDataAddress(config.data));
    item["data"] = data == nullptr ? std::string() : Text(data, config.dataLength);
    configurations.push_back(item);
  }
  json::Value tasks = json::Array{};
  TaskRecord task;
  std::memset(&task, 0, sizeof task);
  handle = FindFirstTask(&task);
  for (BOOL more = handle != -1; more; more = FindNextTask(handle, &task)) {
    json::Value item = json::Object{};
    item["id"] = task.id;
    item["name"] = Text(task.name, sizeof task.name);
    item["configurationId"] = task.configurationId;
    tasks.push_back(item);
  }
  json::Value all = json::Object{};
  all["configurations"] = configurations;
  all["tasks"] = tasks;
  *out += json::Write(all, true) + "\n";
  return 0;
}

int WriteScriptOf(const std::string& utf8Name, bool group, std::string* out, std::string* err) {
  std::string name;
  if (!json::Utf8ToCp1252(utf8Name, &name)) {
    *err = "qvccfg: the name cannot be written in the Windows-1252 character set\n";
    return 2;
  }
  if (!CDistributionTask::IsScriptName(name)) {
    *err = "qvccfg: no script was written: \"" + Printable(utf8Name) +
           "\" cannot name a file in the scripts directory\n";
    return 2;
  }
  // The view fills its catalogue, and so the form map, before anything can be sent.
  CCustomDoc document;
  CListCtrl list;
  CFormCatalogue catalogue(list, document, FormsSharePath());
  catalogue.FillCatalogue();
  if (std::string problem = ShareListingProblem(document); !problem.empty()) {
    *err = "qvccfg: no script was written: " + problem + "\n";
    return 1;
  }

  std::string directory = FindScriptsDirectory();
  if (directory.empty()) {
    *err = "qvccfg: no script was written: the core server's scripts directory was not found\n";
    return 1;
  }
  CDistributionTask task;
  task.SetDocument(&document);
  task.SetGroup(group ? 1 : 0);
  task.SetName(name);
  task.WriteScript();
  std::string script = directory + task.GetScriptFileName();
  if (!task.ScriptWritten()) {
    *err =
        "qvccfg: no script was written: the script, or the group list it is made from, could not "
        "be read\n";
    return 1;
  }
  // The script is held in memory until flushed: whether it was written is decided here.
  if (!FlushProfile(script.c_str())) {
    *err =
        "qvccfg: the script " + Printable(json::Cp1252ToUtf8(script)) + " could not be written\n";
    return 1;
  }
  *out += json::Cp1252ToUtf8(script) + "\n";
  return 0;
}

std::string ShareListingProblem(const CCustomDoc& document) {
  DWORD error = document.GetFormMapListingError();
  if (error == 0)
    return "";
  const char* why = error == static_cast<DWORD>(ERROR_PATH_NOT_FOUND)  ? "the folder was not found"
                    : error == static_cast<DWORD>(ERROR_ACCESS_DENIED) ? "access was denied"
                                                                       : "a read error";
  return "the forms share " + Printable(json::Cp1252ToUtf8(FormsSharePath())) +
         " could not be listed (" + why + "); it is not taken for an empty one";
}

}  // namespace qv
