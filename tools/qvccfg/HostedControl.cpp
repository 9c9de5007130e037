#include "tools/qvccfg/HostedControl.h"

#include "host/ConsolePlugIn.h"
#include "host/HostInterfaces.h"
#include "host/QVccfgCtrl.h"
#include "platform/com/Creation.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/Controls.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/Timers.h"
#include "tools/qvccfg/Commands.h"
#include "tools/qvccfg/Json.h"

namespace qv {

namespace {

// The Form Designer's plug-in, as the console's plug-in key names it.
constexpr char kFormDesignerPlugIn[] = "{A48C4D90-9281-11d1-8971-00A0C9323807}";
constexpr int kBoxText = 0xFFFF;  // the text of a message box
constexpr int kFormList = 1022;   // the group dialog's list of forms
const CRect kControlRect{0, 0, 640, 420};

// The image each kind of row shows.
const char* ImageOf(RowKind kind) {
  switch (kind) {
    case RowKind::kForm:
      return "form";
    case RowKind::kGroup:
      return "group";
    case RowKind::kAddNewForm:
      return "add new form";
  }
  return "";
}

std::string Hex(HRESULT result) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
  return code;
}

}  // namespace

// The console's end of the control's events: the database handle, and the task host for its
// class id.
class ConsoleSink final : public com::Object<IDispatch> {
 public:
  LONG database = 0;
  IUnknown* host = nullptr;  // not owned

  HRESULT GetIDOfName(const char*, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, WORD, std::span<const VARIANT> args, VARIANT*) override {
    if (id == CQVccfgCtrl::kEventGetDatabasePointer && args.size() == 1 &&
        args[0].LongRef() != nullptr)
      *args[0].LongRef() = database;
    if (id == CQVccfgCtrl::kEventGetClassInterface && args.size() == 3 &&
        args[0].LongRef() != nullptr && args[1].UnknownRef() != nullptr && host != nullptr &&
        *reinterpret_cast<const CLSID*>(args[0].LongRef()) == CLSID_ConsoleTaskHost) {
      host->AddRef();
      *args[1].UnknownRef() = host;
    }
    return S_OK;
  }

 private:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == CQVccfgCtrl::kEventsIid)
      return static_cast<IDispatch*>(this);
    return nullptr;
  }
};

bool ConsoleUser::WaitForInput() {
  ui::Snapshot snapshot = ui::TakeSnapshot();
  // A drag: over the window that takes it, then the drop.
  if (snapshot.drag.running) {
    if (snapshot.drag.over != dropOn)
      ui::DragOver(dropOn);
    else
      ui::Drop();
    return true;
  }
  const ui::WindowState* top = snapshot.Top();
  if (top == nullptr)
    return false;
  if (top->Find(kFormList) != nullptr) {
    if (fillGroupDialog && !filled_) {
      filled_ = true;
      fillGroupDialog(*top);
    } else {
      ui::Click(IDCANCEL);
    }
    return true;
  }
  if (const ui::WindowState* text = top->Find(kBoxText)) {
    if (top->Find(IDYES) != nullptr) {
      questions.push_back(text->text);
      ui::Click(answerYes ? IDYES : IDNO);
    } else {
      messages.push_back(text->text);
      ui::Click(IDOK);
    }
    return true;
  }
  return false;  // a window nobody expected: its loop cancels it
}

HostedControl::HostedControl() : sink_(com::MakeObject<ConsoleSink>()) {
  ui::UseManualClock(true);
  ui::ClearInputProblems();
  sink_->database = DatabaseHandles().Register(&database_);
  sink_->host = host_.Get();

  // As the console: the plug-in names the control's class.
  CLSID plugInClass{};
  com::ParseGuid(kFormDesignerPlugIn, &plugInClass);
  com::ComPtr<IConsolePlugIn> plugIn;
  HRESULT result = CoCreateInstance(plugInClass, nullptr, CLSCTX_INPROC_SERVER, IID_IConsolePlugIn,
                                    reinterpret_cast<void**>(plugIn.Out()));
  CLSID controlClass{};
  if (SUCCEEDED(result))
    plugIn->GetControlClsid(0, &controlClass);
  if (SUCCEEDED(result))
    result = CoCreateInstance(controlClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(control_.Out()));
  if (FAILED(result)) {
    problem_ = "the Form Designer could not be made (" + Hex(result) +
               "): " + com::LastCreationProblem() + "; install it with: qvccfg install";
    return;
  }
  com::ComPtr<IConnectionPointContainer> points;
  if (control_->QueryInterface(IID_IConnectionPointContainer,
                               reinterpret_cast<void**>(points.Out())) == S_OK &&
      points->FindConnectionPoint(CQVccfgCtrl::kEventsIid, events_.Out()) == S_OK)
    events_->Advise(static_cast<IDispatch*>(sink_.Get()), &cookie_);
  if (control_->QueryInterface(IID_IControlWindow, reinterpret_cast<void**>(window_.Out())) !=
      S_OK) {
    problem_ = "the Form Designer control cannot be placed in a window";
    return;
  }
  created_ = window_->CreateControlWindow(0, kControlRect) == S_OK;
  if (!created_)
    problem_ = "the Form Designer control could not make its window";
}

HostedControl::~HostedControl() {
  if (window_.Get() != nullptr)
    window_->DestroyControlWindow();
  if (events_.Get() != nullptr)
    events_->Unadvise(cookie_);
  events_.Reset();
  window_.Reset();
  control_.Reset();
  CoFreeUnusedLibraries();
  DatabaseHandles().Unregister(sink_->database);
  ui::ClearInputProblems();
  ui::UseManualClock(false);
}

int HostedControl::Failure(std::string* err) {
  for (const std::string& message : user_.messages)
    *err += "qvccfg: " + Printable(json::Cp1252ToUtf8(message)) + "\n";
  std::string problem = TaskLibraryProblem();
  if (!problem.empty())
    *err += "qvccfg: " + Printable(problem) + "\n";
  if (err->empty())
    *err = "qvccfg: " + Printable(problem_) + "\n";
  return problem.empty() ? 1 : 2;
}

void HostedControl::Tick() {
  ui::AdvanceClock(CQVccfgCtrl::kTimerPeriod);
  Settle();
}

ui::WindowState HostedControl::Window() const {
  int handle = window_.Get() != nullptr ? window_->ControlWindowHandle() : 0;
  for (ui::WindowState& window : ui::TakeSnapshot().windows) {
    if (handle != 0 && window.handle == handle)
      return std::move(window);
  }
  return {};
}

ui::WindowState HostedControl::List() const {
  ui::WindowState window = Window();
  const ui::WindowState* list = window.Find(AFX_IDW_PANE_FIRST);
  return list != nullptr ? *list : ui::WindowState{};
}

int HostedControl::Row(const std::string& name, RowKind kind) const {
  ui::WindowState list = List();
  for (std::size_t row = 0; row < list.rows.size() && row < list.images.size(); ++row) {
    if (!list.rows[row].empty() && list.rows[row][0] == name && list.images[row] == ImageOf(kind))
      return static_cast<int>(row);
  }
  return -1;
}

bool HostedControl::Select(const std::string& name, RowKind kind) {
  int row = Row(name, kind);
  if (row < 0)
    return false;
  ui::SelectAt(ListHandle(), row);
  Settle();
  return List().selection == row;
}

void HostedControl::Command(UINT id) {
  VARIANT args[] = {VARIANT::FromLong(static_cast<LONG>(id))};
  control_->Invoke(CQVccfgCtrl::kOnCommand, DISPATCH_METHOD, args, nullptr);
  Settle();
}

bool HostedControl::ClickToolbar(UINT id) {
  ui::WindowState window = Window();
  const ui::WindowState* bar = window.Find(AFX_IDW_TOOLBAR);
  if (bar == nullptr)
    return false;
  for (std::size_t i = 0; i < bar->buttons.size(); ++i) {
    if (bar->buttons[i].id == id) {
      ui::ClickAt(bar->handle, static_cast<int>(i));
      Settle();
      return true;
    }
  }
  return false;
}

}  // namespace qv
