// A user who does anything at all to the Form Designer as the console hosts it: each input is
// read as a run of actions on whatever is on top. While no dialog is open that is the control:
// rows of the list are clicked, double-clicked and right-clicked, keys pressed and released
// (F5, Delete, Enter, the menu key, arrows), toolbar buttons clicked and hovered, the pop-up
// menu picked or dismissed, the console's commands routed by id, the control resized and its
// timer ticked. While a dialog or message box is open (the form editor, the question and item
// list dialogs, the group dialog, the about box) the actions are its clicks, typing of raw
// bytes, selections, double-clicks, keys, drags, checks and the close box. When the input
// ends the windows are cancelled as for a user who walks away, and the console closes the
// control.
//
// Rows are also dragged onto a pane of the console that takes task data and asks for it once
// or twice, dragged elsewhere, or the drag is cancelled; the view's deletion question is
// answered Yes or No.
//
// While it runs: a deletion answered No, or refused, changes no form, group, script or task.
// Afterwards no window may be left open and no menu or drag either. Every form file left must
// be stable: loaded and saved once more, it loads and saves again to the same bytes (the dates
// aside); so must the group list file; the console database and the user's hive must read.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "distribution/TaskDataSource.h"
#include "forms/CustomForm.h"
#include "fuzz/FuzzWorld.h"
#include "groups/FormGroupList.h"
#include "host/QVccfgCtrl.h"
#include "platform/file/FileApi.h"
#include "platform/ole/DropTarget.h"
#include "platform/ole/GlobalMemory.h"
#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"
#include "platform/registry/AppProfile.h"
#include "platform/registry/Registry.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Timers.h"
#include "platform/ui/Ui.h"
#include "resources/Dialogs.h"
#include "resources/ResourceIds.h"
#include "tools/hosting/TaskHost.h"
#include "view/CustomFrame.h"
#include "view/CustomView.h"

namespace fs = std::filesystem;
namespace ui = qv::ui;

namespace {

const char kShare[] = "\\\\CORE1\\qvlogon\\";
constexpr int kListKeys[] = {VK_F5, VK_DELETE, VK_RETURN, VK_APPS, VK_UP, VK_DOWN, VK_HOME, VK_END};
constexpr int kDialogKeys[] = {VK_RETURN, VK_ESCAPE, VK_DELETE, VK_INSERT, VK_UP,
                               VK_DOWN,   VK_HOME,   VK_END,    VK_F1,     'A'};
// The commands a console sends, and one that the control ignores.
constexpr LONG kCommands[] = {ID_FORMS_MODIFY,     ID_FORMS_NEWFORM,
                              ID_FORMS_SCHEDULE,   ID_FORMS_DELETE,
                              ID_FORMS_PROPERTIES, ID_VIEW_LARGEICONS,
                              ID_VIEW_DETAILS,     ID_TOOLBAR_MULTIPLEFORMS,
                              ID_TOOLBAR_REFRESH,  1};
// Now and then the console removes a name's tasks, as its task pane can.
constexpr int kUnscheduleChance = 16;
constexpr int kMaxActions = 300;

// The world's files as it made them, by host path: what each run starts from.
std::map<std::string, std::string> g_original;
std::vector<std::string> g_folders;  // the folders a run may add files to
int g_database = 0;                  // the console's database object

// One world for the whole run, without the viewer, so that Preview starts nothing.
void SetUp() {
  static bool done = [] {
    qv::fuzz::MakeWorld();
    qv::World& world = *qv::World::Current();
    std::string viewer = qv::fuzz::HostPath(std::string(kShare) + "QVCstm32.exe");
    fs::remove(viewer);
    g_folders = {fs::path(viewer).parent_path().string(),
                 qv::fuzz::HostPath("\\\\CORE1\\QVMAIN\\SCRIPTS"), world.RegistryDir("ADMIN7"),
                 world.Dir()};
    for (const std::string& folder : g_folders)
      for (const fs::directory_entry& file : fs::directory_iterator(folder))
        if (file.is_regular_file()) {
          std::string bytes;
          if (!qv::ReadHostFile(file.path().string(), &bytes))
            __builtin_trap();
          g_original[file.path().string()] = bytes;
        }
    qv::SetResourceModule(&qv::OwnResources());
    qv::TheAppProfile().SetRegistryKey("Arvex\\Quovant\\QVNX\\QVccfg");
    ui::UseManualClock(true);
    return true;
  }();
  (void)done;
}

// Puts the world's files back as they were: a run edits, deletes and adds forms, groups,
// scripts, configurations and settings.
void Restore() {
  qv::FlushProfiles();
  qv::FlushRegistry();
  for (const std::string& folder : g_folders)
    for (const fs::directory_entry& file : fs::directory_iterator(folder))
      if (file.is_regular_file() && g_original.count(file.path().string()) == 0)
        fs::remove(file.path());
  for (const auto& [path, bytes] : g_original)
    if (!qv::WriteHostFileAtomic(path, bytes))
      __builtin_trap();
  qv::ResetProfiles();
  qv::ResetRegistry();
}

// The console's end of the control's events: it gives its database, and its task host, which
// schedules what Schedule hands over.
class Sink final : public qv::com::Object<IDispatch> {
 public:
  HRESULT GetIDOfName(const char*, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, WORD, std::span<const VARIANT> args, VARIANT*) override {
    if (id == CQVccfgCtrl::kEventGetDatabasePointer && args.size() == 1 && args[0].LongRef())
      *args[0].LongRef() = database;
    if (id == CQVccfgCtrl::kEventGetClassInterface && args.size() == 3 &&
        args[1].UnknownRef() != nullptr) {
      host->AddRef();
      *args[1].UnknownRef() = host.Get();
    }
    return S_OK;
  }
  LONG database = 0;
  qv::com::ComPtr<CConsoleTaskHost> host = qv::com::MakeObject<CConsoleTaskHost>();

 private:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == CQVccfgCtrl::kEventsIid)
      return static_cast<IDispatch*>(this);
    return nullptr;
  }
};

// A pane of the console that takes task data, asking for it `asks` times at a drop.
class TaskPane : public COleDropTarget {
 public:
  TaskPane() {
    window_.Create("TaskPane", "", WS_VISIBLE, CRect{0, 0, 100, 100}, nullptr, 0);
    Register(&window_);
  }
  DROPEFFECT OnDragOver(CWnd*, COleDataObject* data, DWORD, CPoint) override {
    return data->IsDataAvailable(Format()) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  }
  BOOL OnDrop(CWnd*, COleDataObject* data, DROPEFFECT, CPoint) override {
    for (int i = 0; i < asks; ++i) {
      HGLOBAL block = data->GetGlobalData(Format());
      if (block == 0 || GlobalSize(block) < sizeof(TaskConfigRecord))
        __builtin_trap();
      GlobalFree(block);
    }
    return TRUE;
  }
  int Handle() const { return window_.Handle(); }
  int asks = 1;

 private:
  static CLIPFORMAT Format() {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatA(kTaskDataFormatName));
  }
  CWnd window_;
};

// What a deletion may change: the share's files, the scripts and the console database.
std::map<std::string, std::string> StoredState() {
  qv::FlushProfiles();
  std::map<std::string, std::string> state;
  for (const std::string& folder : {g_folders[0], g_folders[1], g_folders[3]})
    for (const fs::directory_entry& file : fs::directory_iterator(folder))
      if (file.is_regular_file() && file.path().filename() != "world.ini") {
        std::string bytes;
        qv::ReadHostFile(file.path().string(), &bytes);
        state[file.path().string()] = bytes;
      }
  return state;
}

class FuzzUser : public ui::EventSource {
 public:
  FuzzUser(const std::uint8_t* data, std::size_t size, CQVccfgCtrl* control, TaskPane* pane)
      : data_(data), size_(size), control_(control), pane_(pane) {}

  bool WaitForInput() override {
    if (pos_ >= size_ || ++actions_ > kMaxActions)
      return false;
    ui::Snapshot snapshot = ui::TakeSnapshot();
    CheckDeletion(snapshot);
    if (snapshot.drag.running) {
      switch (Next() % 4) {
        case 0:
          ui::DragOver(pane_->Handle());
          break;
        case 1:
          ui::DragOver(control_->GetView() != nullptr ? control_->GetView()->Handle()
                                                      : pane_->Handle());
          break;
        case 2:
          pane_->asks = 1 + Next() % 2;
          ui::Drop();
          break;
        default:
          ui::CancelDrag();
          break;
      }
      return true;
    }
    if (IsDeleteQuestion(snapshot)) {
      answeredNo_ = Next() % 2 == 0;
      ui::Click(answeredNo_ ? IDNO : IDYES);
      return true;
    }
    if (snapshot.menu.open) {
      const auto& items = snapshot.menu.items;
      std::size_t pick = Next() % (items.size() + 1);
      ui::PickMenuItem(pick < items.size() ? items[pick].id : 0);
      return true;
    }
    if (const ui::WindowState* top = snapshot.Top())
      ActOnDialog(*top);
    else
      ActOnControl();
    return true;
  }

 private:
  void ActOnControl() {
    CCustomView* view = control_->GetView();
    if (view == nullptr)
      return;
    int list = view->Handle();
    int rows = view->GetItemCount();
    int row = static_cast<int>(Next() % (rows + 1)) - 1;  // -1: where no row is
    CToolBar* bar = control_->GetFrame()->GetToolBar();
    switch (Next() % 10) {
      case 0:
        ui::SelectAt(list, row);
        break;
      case 8: {
        UserInput drag;
        drag.kind = UserInput::kDrag;
        drag.target = list;
        drag.index = row < 0 ? 0 : row;
        ui::Post(drag);
        break;
      }
      case 1:
        ui::DoubleClickAt(list, row);
        break;
      case 2:
        ui::RightClickAt(list, row);
        break;
      case 3:
        ui::KeyAt(list, kListKeys[Next() % std::size(kListKeys)]);
        break;
      case 4:
        ui::ClickAt(bar->Handle(), static_cast<int>(Next() % bar->GetCount()));
        break;
      case 5:
        ui::Hover(bar->Handle(), static_cast<int>(Next() % (bar->GetCount() + 1)) - 1);
        break;
      case 6: {
        VARIANT args[] = {VARIANT::FromLong(kCommands[Next() % std::size(kCommands)])};
        control_->Invoke(CQVccfgCtrl::kOnCommand, DISPATCH_METHOD, args, nullptr);
        break;
      }
      case 7:
        if (Next() % kUnscheduleChance == 0 && row >= 0)
          CConsoleTaskHost::Unschedule(view->GetItemText(row, 0));
        else
          ui::Resize(control_->Handle(), Next() * 4, Next() * 3);
        break;
      default:
        ui::AdvanceClock(CQVccfgCtrl::kTimerPeriod);
        break;
    }
  }

  void ActOnDialog(const ui::WindowState& top) {
    int kind = Next() % 8;
    const ui::WindowState& target =
        top.children.empty() ? top : top.children[Next() % top.children.size()];
    int id = target.id;
    int lines = static_cast<int>(target.lines.size());
    int line = static_cast<int>(Next() % (lines + 2)) - 1;  // -1 and one past the end too
    switch (kind) {
      case 0:
        ui::Click(id);
        break;
      case 1:
        ui::Type(id, Text());
        break;
      case 2:
        ui::Select(id, line);
        break;
      case 3:
        ui::DoubleClick(id, line);
        break;
      case 4:
        ui::Key(Next() % 2 == 0 ? 0 : id, kDialogKeys[Next() % std::size(kDialogKeys)]);
        break;
      case 5:
        ui::Drag(id, line, static_cast<int>(Next() % (lines + 2)) - 1);
        break;
      case 6:
        ui::Check(id, line);
        break;
      default:
        ui::CloseWindow();
        break;
    }
  }

  // The view's question before a deletion ("Custom Data Forms" caption; the editor asks its
  // own questions under "Form Designer").
  static bool IsDeleteQuestion(const ui::Snapshot& snapshot) {
    const ui::WindowState* top = snapshot.Top();
    const ui::WindowState* text = top != nullptr ? top->Find(0xFFFF) : nullptr;
    return top != nullptr && text != nullptr && top->text == "Custom Data Forms" &&
           text->text.rfind("Delete '", 0) == 0;
  }
  static bool IsRefusal(const ui::Snapshot& snapshot) {
    const ui::WindowState* top = snapshot.Top();
    const ui::WindowState* text = top != nullptr ? top->Find(0xFFFF) : nullptr;
    return text != nullptr && text->text.rfind("Unable to delete ", 0) == 0;
  }

  // A deletion answered No, or refused, has changed nothing that is stored.
  void CheckDeletion(const ui::Snapshot& snapshot) {
    if (IsDeleteQuestion(snapshot)) {
      if (!asked_)
        before_ = StoredState();
      asked_ = true;
      return;
    }
    if (!asked_)
      return;
    asked_ = false;
    if ((answeredNo_ || IsRefusal(snapshot)) && StoredState() != before_)
      __builtin_trap();
  }

  std::uint8_t Next() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string Text() {
    std::string text;
    for (int n = Next() % 24; n > 0 && pos_ < size_; --n)
      text += static_cast<char>(Next());
    return text;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  CQVccfgCtrl* control_;
  TaskPane* pane_;
  std::size_t pos_ = 0;
  int actions_ = 0;
  bool asked_ = false;  // the deletion question was seen
  bool answeredNo_ = false;
  std::map<std::string, std::string> before_;
};

std::string WithoutDates(const std::string& bytes) {
  std::string kept;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t end = bytes.find('\n', at);
    end = end == std::string::npos ? bytes.size() : end + 1;
    std::string line = bytes.substr(at, end - at);
    if (line.rfind("CreationDate=", 0) != 0 && line.rfind("LastModifiedDate=", 0) != 0)
      kept += line;
    at = end;
  }
  return kept;
}

std::string HostBytes(const std::string& winPath) {
  qv::FlushProfiles();
  std::string bytes;
  if (!qv::ReadHostFile(qv::fuzz::HostPath(winPath), &bytes))
    __builtin_trap();
  return bytes;
}

// Loads a form file and saves it to `to`; the bytes written.
std::string ResaveForm(const std::string& from, const std::string& to) {
  {
    CCustomForm form;
    form.SetFilePath(from);
    form.Load();
    form.SetFilePath(to);
    form.SetSaveFlags(false, false);
    if (form.Save() != 1)
      __builtin_trap();
  }
  return HostBytes(to);
}

// Loads a group list file and writes its groups anew to `to`; the bytes written.
std::string ResaveGroups(const std::string& from, const std::string& to) {
  WinRemove(to.c_str());
  qv::FlushProfiles();
  {
    CFormGroupList groups(from);
    CFormGroupList target(to);
    for (CFormGroup* group = groups.GetFirstGroup(); group != nullptr;
         group = groups.GetNextGroup()) {
      std::vector<std::string> forms;
      for (CGroupFormEntry* entry = group->GetFirstForm(); entry != nullptr;
           entry = group->GetNextForm())
        forms.push_back(entry->GetFormName());
      target.AddGroup(group->GetGroupName(), forms);
    }
    target.Save();
  }
  return HostBytes(to);
}

void CheckWhatWasLeft() {
  qv::FlushProfiles();
  std::string shareDir = g_folders[0];
  std::vector<std::string> formFiles;
  bool groupList = false;
  for (const fs::directory_entry& file : fs::directory_iterator(shareDir)) {
    std::string name = file.path().filename().string();
    if (qv::EqualsNoCase(file.path().extension().string(), ".FRM"))
      formFiles.push_back(name);
    groupList = groupList || name == "FDGRPLST.GPS";
  }
  for (const std::string& fileName : formFiles) {
    std::string once = ResaveForm(kShare + fileName, std::string(kShare) + "SCRATCH1.FRM");
    std::string twice =
        ResaveForm(std::string(kShare) + "SCRATCH1.FRM", std::string(kShare) + "SCRATCH2.FRM");
    if (WithoutDates(once) != WithoutDates(twice))
      __builtin_trap();
  }
  if (groupList) {
    std::string once =
        ResaveGroups(std::string(kShare) + "FDGRPLST.GPS", std::string(kShare) + "SCRATCH1.GPS");
    std::string twice =
        ResaveGroups(std::string(kShare) + "SCRATCH1.GPS", std::string(kShare) + "SCRATCH2.GPS");
    if (once != twice)
      __builtin_trap();
  }
  SetDatabasePtr(&g_database);
  TaskRecord task{};
  FindFirstTask(&task);
  if (!qv::TaskLibraryProblem().empty())
    __builtin_trap();
  FreeDatabasePtr();
  if (!qv::TakeRegistryProblems().empty())
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SetUp();
  if (size == 0)
    return 0;
  qv::com::ComPtr<Sink> sink = qv::com::MakeObject<Sink>();
  sink->database = data[0] % 4 == 0 ? 0 : qv::DatabaseHandles().Register(&g_database);
  auto* control = new CQVccfgCtrl();
  {
    qv::com::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    if (control->FindConnectionPoint(CQVccfgCtrl::kEventsIid, point.Out()) != S_OK ||
        point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie) != S_OK)
      __builtin_trap();
  }
  if (control->CreateControlWindow(0, CRect{0, 0, 640, 420}) != S_OK)
    __builtin_trap();
  {
    TaskPane pane;
    FuzzUser user(data + 1, size - 1, control, &pane);
    ui::SetEventSource(&user);
    ui::RunMessageLoop();
    ui::SetEventSource(nullptr);
  }
  control->DestroyControlWindow();
  control->Release();
  qv::DatabaseHandles().Unregister(sink->database);
  ui::ClearInputProblems();
  if (!ui::ModalWindows().empty() || ui::OpenMenu().open || ui::TakeSnapshot().drag.running ||
      !CWnd::TopLevelWindows().empty())
    __builtin_trap();
  CheckWhatWasLeft();
  Restore();
  return 0;
}
