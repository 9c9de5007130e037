#include "tools/qvccfg/HostedControl.h"

#include "host/ConsolePlugIn.h"
#include "host/HostInterfaces.h"
#include "host/QVccfgCtrl.h"
#include "platform/com/Creation.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/Controls.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/Timers.h"
#include "resources/ResourceIds.h"
#include "tools/common/Json.h"
#include "tools/common/Programs.h"

namespace qv {

namespace {

// The Form Designer's plug-in, as the console's plug-in key names it.
constexpr char kFormDesignerPlugIn[] = "{A48C4D90-9281-11d1-8971-00A0C9323807}";
constexpr int kBoxText = 0xFFFF;  // the text of a message box
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
  if (top->Find(IDC_GROUP_FORMS) != nullptr) {
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

HostedControl::HostedControl() {
  ui::UseManualClock(true);
  ui::ClearInputProblems();
  // As the console: the plug-in names the control's class.
  CLSID plugInClass{};
  com::ParseGuid(kFormDesignerPlugIn, &plugInClass);
  com::ComPtr<IConsolePlugIn> plugIn;
  HRESULT result = CoCreateInstance(plugInClass, nullptr, CLSCTX_INPROC_SERVER, IID_IConsolePlugIn,
                                    reinterpret_cast<void**>(plugIn.Out()));
  if (FAILED(result)) {
    problem_ = "the Form Designer could not be made (" + Hex(result) +
               "): " + com::LastCreationProblem() + "; install it with: qvccfg install";
    return;
  }
  CLSID controlClass{};
  plugIn->GetControlClsid(0, &controlClass);
  site_ = std::make_unique<ControlSite>(controlClass, kControlRect);
  created_ = site_->Created();
  if (FAILED(site_->Result()))
    problem_ = "the Form Designer could not be made (" + Hex(site_->Result()) +
               "): " + site_->Problem() + "; install it with: qvccfg install";
  else if (!created_)
    problem_ = "the Form Designer " + site_->Problem().substr(4);
}

HostedControl::~HostedControl() {
  site_.reset();
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
  int handle = site_ != nullptr ? site_->Handle() : 0;
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
  if (site_ != nullptr)
    site_->Call(kDispOnCommand, {VARIANT::FromLong(static_cast<LONG>(id))});
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
