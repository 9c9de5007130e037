#include "tools/qvccfg/ConsoleCommands.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <span>

#include "distribution/Configurations.h"
#include "distribution/RemoteRegistry.h"
#include "distribution/TaskDataSource.h"
#include "forms/CustomDoc.h"
#include "groups/FormGroupDlg.h"
#include "groups/FormGroupList.h"
#include "platform/ole/DropTarget.h"
#include "platform/ole/GlobalMemory.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Controls.h"
#include "platform/ui/ListCtrl.h"
#include "platform/ui/Ui.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "tools/common/Json.h"
#include "tools/common/Programs.h"
#include "tools/hosting/TaskHost.h"
#include "tools/qvccfg/HostedControl.h"
#include "tools/qvccfg/Listings.h"
#include "view/Catalogue.h"

namespace qv {
namespace {

// "\\<core server>\qvlogon\", as the console view builds it.
std::string FormsSharePath() {
  char core[256] = {};
  GetCoreServerName(core, sizeof core);
  return std::string("\\\\") + core + "\\qvlogon\\";
}

std::string Quoted(const std::string& cp1252) {
  return "\"" + Printable(json::Cp1252ToUtf8(cp1252)) + "\"";
}

// The console's pane that takes task configuration data: a drop asks for it `asks` times and
// keeps every block.
class TaskDataPane : public COleDropTarget {
 public:
  explicit TaskDataPane(int asks) : asks_(asks) {
    window_.Create("TaskPane", "", WS_VISIBLE, CRect{0, 0, 200, 100}, nullptr, 0);
    Register(&window_);
  }
  DROPEFFECT OnDragOver(CWnd*, COleDataObject* data, DWORD, CPoint) override {
    return data->IsDataAvailable(Format()) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  }
  BOOL OnDrop(CWnd*, COleDataObject* data, DROPEFFECT, CPoint) override {
    for (int i = 0; i < asks_; ++i) {
      HGLOBAL block = data->GetGlobalData(Format());
      if (block == 0)
        return FALSE;
      const auto* bytes = static_cast<const char*>(GlobalLock(block));
      blocks.emplace_back(bytes, GlobalSize(block));
      GlobalUnlock(block);
      GlobalFree(block);
    }
    return TRUE;
  }
  int Handle() const { return window_.Handle(); }
  std::vector<std::string> blocks;

 private:
  static CLIPFORMAT Format() {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatA(kTaskDataFormatName));
  }
  int asks_;
  CWnd window_;
};

// The kind of row of an item's data.
RowKind Kind(DWORD_PTR data) {
  return data == kItemGroup ? RowKind::kGroup
                            : (data == kItemForm ? RowKind::kForm : RowKind::kAddNewForm);
}

// A rendered block as JSON: the record's fields and the data after it.
json::Value BlockJson(const std::string& block) {
  json::Value item = json::Object{};
  item["size"] = static_cast<std::int64_t>(block.size());
  if (block.size() < sizeof(TaskConfigRecord))
    return item;
  TaskConfigRecord record;
  std::memcpy(&record, block.data(), sizeof record);
  json::Value fields = json::Object{};
  fields["id"] = record.id;
  fields["snapinId"] = record.snapinId;
  fields["name"] =
      json::Cp1252ToUtf8(std::string_view(record.name, strnlen(record.name, sizeof record.name)));
  fields["data"] = static_cast<std::int64_t>(record.data);
  fields["dataLength"] = static_cast<std::int64_t>(record.dataLength);
  item["record"] = fields;
  item["data"] = json::Cp1252ToUtf8(block.substr(sizeof record));
  return item;
}

// The name as typed, in Windows-1252; false with the error line.
bool ToWindows(const std::string& utf8, std::string* name, std::string* err) {
  if (json::Utf8ToCp1252(utf8, name))
    return true;
  *err = "qvccfg: \"" + Printable(utf8) +
         "\" cannot be written in the Windows-1252 character set; nothing was changed\n";
  return false;
}

// The catalogue as the view fills it, for checking names before the control is made (filling
// only reads).
struct Catalogue {
  CCustomDoc document;
  CListCtrl list;
  Catalogue() { CFormCatalogue(list, document, FormsSharePath()).FillCatalogue(); }
  bool Lists(const std::string& name, DWORD_PTR data) const {
    for (int row = 0; row < list.GetItemCount(); ++row) {
      if (list.GetItemText(row, 0) == name && list.GetItemData(row) == data)
        return true;
    }
    return false;
  }
};

// 0 when the catalogue lists the form's (or group's) row; else the exit status with the
// error line: 1 when the forms share could not be listed, 2 when the row is not there.
int Listed(const Catalogue& catalogue, const std::string& name, DWORD_PTR data, std::string* err) {
  if (std::string problem = ShareListingProblem(catalogue.document); !problem.empty()) {
    *err = "qvccfg: " + problem + "; nothing was changed\n";
    return 1;
  }
  if (catalogue.Lists(name, data))
    return 0;
  const bool group = data == kItemGroup;
  if (catalogue.Lists(name, kItemAddNewForm)) {
    *err = "qvccfg: " + Quoted(name) + " is the row that adds a new form; nothing was changed\n";
  } else {
    std::string hint;
    if (catalogue.Lists(name, group ? kItemForm : kItemGroup))
      hint = group ? " (a form of that name is: leave out --group)"
                   : " (a group of that name is: add --group)";
    *err = std::string("qvccfg: no ") + (group ? "group " : "form ") + Quoted(name) + " is listed" +
           hint + "; nothing was changed\n";
  }
  return 2;
}

// The messages the user was shown, one line each, and status 1; 0 when there were none.
int Told(const ConsoleUser& user, std::string* err) {
  for (const std::string& message : user.messages)
    *err += "qvccfg: " + Printable(json::Cp1252ToUtf8(message)) + "\n";
  return user.messages.empty() ? 0 : 1;
}

std::string FieldText(const char* field, std::size_t size) {
  return json::Cp1252ToUtf8(std::string_view(field, strnlen(field, size)));
}

// The configuration of that id as `qvccfg tasks` prints it; null when there is none.
json::Value ConfigurationOf(LONG id) {
  TaskConfigRecord config;
  if (!CConsoleTaskHost::FindConfigurationById(id, &config))
    return {};
  json::Value item = json::Object{};
  item["id"] = config.id;
  item["snapinId"] = config.snapinId;
  item["name"] = FieldText(config.name, sizeof config.name);
  const char* data = static_cast<const char*>(TaskDataAddress(config.data));
  item["data"] = data == nullptr ? std::string() : FieldText(data, config.dataLength);
  return item;
}

// The user clicks the row in the control: 0; else the exit status with the lines for the user
// (1 or 2 for a control that was not made, 2 for a row that could not be selected).
int SelectRow(HostedControl& console, const std::string& name, DWORD_PTR data, std::string* err) {
  if (!console.Created())
    return console.Failure(err);
  if (!console.Select(name, Kind(data))) {
    *err = "qvccfg: " + Quoted(name) + " could not be selected; nothing was changed\n";
    return 2;
  }
  return 0;
}

}  // namespace

int ScheduleCommand(const std::string& utf8Name, bool group, std::string* out, std::string* err) {
  std::string name;
  DWORD_PTR data = group ? kItemGroup : kItemForm;
  if (!ToWindows(utf8Name, &name, err))
    return 2;
  if (int status = Listed(Catalogue(), name, data, err); status != 0)
    return status;
  HostedControl console;
  if (int status = SelectRow(console, name, data, err); status != 0)
    return status;
  console.Command(ID_FORMS_SCHEDULE);
  if (int status = Told(console.User(), err); status != 0)
    return status;
  if (console.Host().HandedOver().empty()) {
    *err = "qvccfg: no task was handed over to the console\n";
    return 1;
  }
  const CConsoleTaskHost::HandOverRecord& handed = console.Host().HandedOver().back();
  json::Value configuration = ConfigurationOf(handed.record.configurationId);
  if (handed.taskId <= 0 || configuration.is_null()) {
    std::string problem = TaskLibraryProblem();
    *err = "qvccfg: the console database took no task for " + Quoted(name) +
           (problem.empty() ? "" : ": " + Printable(problem)) + "\n";
    return 1;
  }
  json::Value task = json::Object{};
  task["id"] = handed.taskId;
  task["name"] = FieldText(handed.record.name, sizeof handed.record.name);
  task["configurationId"] = handed.record.configurationId;
  json::Value all = json::Object{};
  all["configuration"] = configuration;
  all["task"] = task;
  *out += json::Write(all, true) + "\n";
  // The view writes no script, and says nothing, when the scripts directory is not found.
  if (FindScriptsDirectory().empty()) {
    *err += "qvccfg: no script was written: the core server's scripts directory was not found\n";
    return 1;
  }
  return 0;
}

int DragCommand(const std::string& utf8Name, bool group, int renders, std::string* out,
                std::string* err) {
  std::string name;
  DWORD_PTR data = group ? kItemGroup : kItemForm;
  if (!ToWindows(utf8Name, &name, err))
    return 2;
  if (int status = Listed(Catalogue(), name, data, err); status != 0)
    return status;
  HostedControl console;
  if (int status = SelectRow(console, name, data, err); status != 0)
    return status;
  TaskDataPane pane(renders);
  console.User().dropOn = pane.Handle();
  UserInput drag;
  drag.kind = UserInput::kDrag;
  drag.target = console.ListHandle();
  drag.index = console.Row(name, Kind(data));
  ui::Post(drag);
  HostedControl::Settle();
  if (int status = Told(console.User(), err); status != 0)
    return status;
  if (static_cast<int>(pane.blocks.size()) != renders) {
    *err = "qvccfg: the drop received " + std::to_string(pane.blocks.size()) + " of " +
           std::to_string(renders) + " renderings\n";
    return 1;
  }
  json::Value blocks = json::Array{};
  for (const std::string& block : pane.blocks)
    blocks.push_back(BlockJson(block));
  // The rendering writes the script, or says nothing when it cannot: whether the task can
  // run is told here, as the console's pane would tell it.
  std::string directory = FindScriptsDirectory();
  UINT why = 0;
  if (renders > 0) {
    TaskConfigRecord record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, pane.blocks[0].data(), std::min(sizeof record, pane.blocks[0].size()));
    why = CConsoleTaskHost::WhyCannotRun(record.id, directory);
  }
  json::Value all = json::Object{};
  all["blocks"] = blocks;
  all["script"] =
      renders > 0 && why == 0 ? json::Cp1252ToUtf8(directory + name + ".ini") : std::string();
  *out += json::Write(all, true) + "\n";
  if (why != 0) {
    *err += "qvccfg: no script was written: " +
            Printable(json::Cp1252ToUtf8(AfxFormatString1(why, name))) + "\n";
    return 1;
  }
  return 0;
}

int UnscheduleCommand(const std::string& utf8Name, std::string* /*out*/, std::string* err) {
  std::string name;
  if (!ToWindows(utf8Name, &name, err))
    return 2;
  int removed = CConsoleTaskHost::Unschedule(name);
  std::string problem = TaskLibraryProblem();
  if (removed < 0) {
    *err = "qvccfg: the tasks of " + Quoted(name) + " could not be removed" +
           (problem.empty() ? "" : ": " + Printable(problem)) + "\n";
    return problem.empty() ? 1 : 2;
  }
  if (removed == 0) {
    *err = "qvccfg: no task " + Quoted(name) + " is scheduled; nothing was changed\n";
    return 2;
  }
  return 0;
}

int DeleteCommand(const std::string& utf8Name, bool group, std::string* /*out*/, std::string* err) {
  std::string name;
  DWORD_PTR data = group ? kItemGroup : kItemForm;
  if (!ToWindows(utf8Name, &name, err))
    return 2;
  if (int status = Listed(Catalogue(), name, data, err); status != 0)
    return status;
  HostedControl console;
  if (int status = SelectRow(console, name, data, err); status != 0)
    return status;
  console.User().answerYes = true;
  console.Command(ID_FORMS_DELETE);
  if (int status = Told(console.User(), err); status != 0)
    return status;
  if (console.User().questions.empty()) {
    *err = "qvccfg: nothing was asked, and nothing was deleted\n";
    return 1;
  }
  // A form file that could not be deleted comes back with the refresh.
  if (console.Row(name, Kind(data)) >= 0) {
    *err = "qvccfg: " + Quoted(name) + " is still listed: its file could not be deleted\n";
    return 1;
  }
  return 0;
}

int GroupCommand(const std::string& utf8Name, const std::vector<std::string>& utf8Forms,
                 bool change, std::string* out, std::string* err) {
  std::string name;
  if (!ToWindows(utf8Name, &name, err))
    return 2;
  std::vector<std::string> forms;
  {
    Catalogue catalogue;
    if (std::string problem = ShareListingProblem(catalogue.document); !problem.empty()) {
      *err = "qvccfg: " + problem + "; nothing was changed\n";
      return 1;
    }
    if (int status = change ? Listed(catalogue, name, kItemGroup, err) : 0; status != 0)
      return status;
    for (const std::string& utf8 : utf8Forms) {
      std::string form, path;
      if (!ToWindows(utf8, &form, err))
        return 2;
      if (!catalogue.document.GetFormMap()->Lookup(form, path)) {
        *err = "qvccfg: no form " + Quoted(form) + " is in the share; nothing was changed\n";
        return 2;
      }
      forms.push_back(form);
    }
  }

  HostedControl console;
  if (!console.Created())
    return console.Failure(err);
  TakeProfileProblems();  // what went before is not this command's
  // The user names a new group, then sets each form's check mark and presses OK.
  console.User().fillGroupDialog = [&](const ui::WindowState& dialog) {
    if (!change)
      ui::Type(IDC_GROUP_NAME, name);
    const ui::WindowState* list = dialog.Find(IDC_GROUP_FORMS);
    for (std::size_t line = 0; line < list->lines.size(); ++line) {
      bool wanted = std::find(forms.begin(), forms.end(), list->lines[line]) != forms.end();
      bool checked = line < list->checks.size() && list->checks[line] == BST_CHECKED;
      if (wanted != checked)
        ui::Check(IDC_GROUP_FORMS, static_cast<int>(line));
    }
    ui::Click(IDOK);
  };
  if (change) {
    if (!console.Select(name, RowKind::kGroup)) {
      *err = "qvccfg: " + Quoted(name) + " could not be selected; nothing was changed\n";
      return 2;
    }
    console.Command(ID_FORMS_MODIFY);
  } else {
    HostedControl::Tick();
    console.ClickToolbar(ID_TOOLBAR_MULTIPLEFORMS);
  }
  std::vector<std::string> problems = ui::InputProblems();
  int status = Told(console.User(), err);
  // The dialog says nothing when the group list could not be written; we do.
  FlushProfiles();
  std::string listHost;
  World::Current()->MapPath(FormsSharePath() + CFormGroupList::kFileName, &listHost, nullptr);
  for (const std::string& problem : TakeProfileProblems()) {
    if (!listHost.empty() && problem.find(listHost + " ") != std::string::npos)
      problems.push_back(problem);
  }
  for (const std::string& problem : problems) {
    *err += "qvccfg: " + Printable(problem) + "\n";
    status = 1;
  }
  if (status != 0)
    return status;

  // A new group is saved under the name the dialog makes of the text typed.
  if (!change)
    name = CFormGroupDlg::GroupNameOf(name);
  CFormGroupList groups(FormsSharePath() + CFormGroupList::kFileName);
  for (CFormGroup* g = groups.GetFirstGroup(); g != nullptr; g = groups.GetNextGroup()) {
    if (g->GetGroupName() != name)
      continue;
    json::Value members = json::Array{};
    for (CGroupFormEntry* entry = g->GetFirstForm(); entry != nullptr; entry = g->GetNextForm())
      members.push_back(json::Cp1252ToUtf8(entry->GetFormName()));
    TaskConfigRecord record;
    std::memset(&record, 0, sizeof record);
    json::Value item = json::Object{};
    item["name"] = json::Cp1252ToUtf8(name);
    item["forms"] = members;
    item["scheduled"] = IsScheduled(&record, name.c_str()) == 1;
    *out += json::Write(item, true) + "\n";
    return 0;
  }
  *err = "qvccfg: the group " + Quoted(name) + " was not saved\n";
  return 1;
}

}  // namespace qv
