#include "platform/ui/Ui.h"

#include <algorithm>
#include <deque>
#include <utility>

#include "platform/profile/Profile.h"
#include "platform/registry/Registry.h"
#include "platform/text/Language.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/FrameworkIds.h"
#include "platform/ui/ListCtrl.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Timers.h"
#include "platform/ui/ToolBar.h"
#include "platform/ui/WaitCursor.h"

namespace qv::ui {
namespace {

constexpr int kMessageTextId = 0xFFFF;  // the text of a message box
constexpr int kMessageIconId = 20;

std::deque<UserInput>& Queue() {
  static std::deque<UserInput> queue;
  return queue;
}
std::vector<CDialog*>& Modals() {
  static std::vector<CDialog*> modals;
  return modals;
}
std::vector<std::string>& Problems() {
  static std::vector<std::string> problems;
  return problems;
}
EventSource* g_source = nullptr;
std::string g_status;
std::string g_idleStatus;
ModalDrag* g_drag = nullptr;  // the drag whose loop runs

bool DragRunning() {
  return g_drag != nullptr && g_drag->Running();
}

// A message box as a modal window of the framework: its icon, its text and its buttons.
class CMessageBoxDlg : public CDialog {
 public:
  CMessageBoxDlg(std::string_view caption, std::string_view text, UINT type)
      : CDialog(Template(caption, text, type)), type_(type & MB_TYPEMASK) {
    for (int id : {IDYES, IDNO})
      OnCommand(BN_CLICKED, id, [this, id] { EndDialog(id); });
  }

 protected:
  // The close box likewise: greyed on a box with neither.
  bool CloseEnabled() const override {
    return type_ == MB_OK || type_ == MB_OKCANCEL || type_ == MB_YESNOCANCEL;
  }

  // Escape closes a box only when it has a Cancel button, or only an OK button.
  void OnCancel() override {
    if (type_ == MB_OK)
      EndDialog(IDOK);
    else if (type_ == MB_OKCANCEL || type_ == MB_YESNOCANCEL)
      EndDialog(IDCANCEL);
  }

 private:
  static DialogTemplate Template(std::string_view caption, std::string_view text, UINT type) {
    DialogTemplate t;
    t.caption = std::string(caption);
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    t.cx = 240;
    t.cy = 72;
    t.font = "MS Shell Dlg";
    const char* icon = nullptr;
    switch (type & MB_ICONMASK) {
      case MB_ICONSTOP:
        icon = "stop";
        break;
      case MB_ICONQUESTION:
        icon = "question";
        break;
      case MB_ICONEXCLAMATION:
        icon = "exclamation";
        break;
      case MB_ICONINFORMATION:
        icon = "information";
        break;
      default:
        break;
    }
    int left = 10;
    if (icon != nullptr) {
      t.items.push_back(
          {"Static", kMessageIconId, icon, WS_CHILD | WS_VISIBLE | SS_ICON, 10, 10, 20, 20});
      left = 40;
    }
    t.items.push_back({"Static", kMessageTextId, std::string(text), WS_CHILD | WS_VISIBLE, left, 10,
                       230 - left, 32});
    // The buttons speak the language of the current resource module.
    const std::string ok = LoadFrameworkString(AFX_IDS_OK);
    const std::string yes = LoadFrameworkString(AFX_IDS_YES);
    const std::string no = LoadFrameworkString(AFX_IDS_NO);
    const std::string cancel = LoadFrameworkString(AFX_IDS_CANCEL);
    std::vector<std::pair<int, std::string>> buttons;
    switch (type & MB_TYPEMASK) {
      case MB_YESNO:
        buttons = {{IDYES, yes}, {IDNO, no}};
        break;
      case MB_OKCANCEL:
        buttons = {{IDOK, ok}, {IDCANCEL, cancel}};
        break;
      case MB_YESNOCANCEL:
        buttons = {{IDYES, yes}, {IDNO, no}, {IDCANCEL, cancel}};
        break;
      default:
        buttons = {{IDOK, ok}};
        break;
    }
    int x = 240 - 55 * static_cast<int>(buttons.size());
    for (std::size_t i = 0; i < buttons.size(); ++i, x += 55)
      t.items.push_back(
          {"Button", buttons[i].first, buttons[i].second,
           WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), x, 50,
           50, 14});
    return t;
  }

  UINT type_;
};

class FrameworkBoxes : public MessageBoxHandler {
 public:
  int Show(std::string_view caption, std::string_view text, UINT type) override {
    CMessageBoxDlg box(caption, text, type);
    return static_cast<int>(box.DoModal());
  }
};
FrameworkBoxes g_boxes;

UserInput Input(UserInput::Kind kind) {
  UserInput input;
  input.kind = kind;
  return input;
}

void Problem(std::string text) {
  Problems().push_back(std::move(text));
}

CDialog* TopModal() {
  return Modals().empty() ? nullptr : Modals().back();
}

// The top-level window a window belongs to.
CWnd* TopLevel(CWnd* window) {
  while (window->GetParent() != nullptr)
    window = window->GetParent();
  return window;
}

bool EnabledAll(CWnd* window) {
  for (; window != nullptr; window = window->GetParent())
    if (window->IsWindowEnabled() == FALSE)
      return false;
  return true;
}

// A top-level window that takes input while no modal window is open: one a host made.
bool TakesInput(CWnd* top) {
  CDialog* modal = TopModal();
  if (modal != nullptr)
    return top == modal;
  return dynamic_cast<CDialog*>(top) == nullptr && (top->GetStyle() & WS_VISIBLE) != 0;
}

void Dispatch(const UserInput& input) {
  // An open pop-up menu takes the next input: a pick, or anything else, which dismisses it.
  if (OpenMenu().open) {
    std::string why;
    if (input.kind == UserInput::kMenuPick) {
      if (!PickOpenMenu(input.index < 0 ? 0 : static_cast<UINT>(input.index), &why))
        Problem(why);
    } else {
      PickOpenMenu(0, &why);
      if (!(input.kind == UserInput::kKey && input.key == VK_ESCAPE))
        Problem("the open menu was dismissed by other input, which was dropped");
    }
    return;
  }
  if (input.kind == UserInput::kMenuPick) {
    Problem("no menu is open");
    return;
  }
  // A running drag takes every input: its own, Escape, or anything else, which cancels it.
  if (DragRunning()) {
    std::string why;
    if (!g_drag->CarryOutInput(input, &why))
      Problem(why);
    return;
  }
  // A drag list box whose drag runs has the mouse: the drag's own input and Escape go to it;
  // anything else cancels the drag and is then carried out.
  if (CDragListBox* list = CDragListBox::RunningDrag()) {
    std::string why;
    bool taken = list->CarryOutDragInput(input, &why);
    if (!why.empty())
      Problem(why);
    if (taken)
      return;
  }
  if (input.kind == UserInput::kDragOver || input.kind == UserInput::kDrop ||
      input.kind == UserInput::kCancelDrag) {
    Problem("no drag is running");
    return;
  }
  CWnd* target = CWnd::FromHandle(input.target);
  if (target == nullptr || !TakesInput(TopLevel(target))) {
    Problem("input for a window that is gone or does not take input now");
    return;
  }
  CDialog* top = TopModal();
  if (input.kind == UserInput::kClose && top != nullptr) {
    if (!top->CloseEnabled())
      Problem("the close box of \"" + top->GetWindowText() + "\" is disabled");
    else
      top->SendMessage(WM_CLOSE);
    return;
  }
  if (input.kind == UserInput::kResize) {
    target->MoveWindow(CRect{0, 0, input.index, input.to});
    return;
  }
  if (input.kind == UserInput::kKey && top != nullptr &&
      top->HandleDialogKey(input.key, input.modifiers))
    return;
  if (!EnabledAll(target)) {
    Problem(target->ClassName() + " " + std::to_string(target->GetDlgCtrlID()) + " is disabled");
    return;
  }
  std::string why;
  if (!target->OnUserInput(input, &why))
    Problem(why);
}

bool PostTo(int id, UserInput input) {
  CDialog* top = TopModal();
  if (top == nullptr) {
    Problem("no window is open");
    return false;
  }
  CWnd* target = id == 0 ? top : top->GetDlgItem(id);
  if (target == nullptr) {
    Problem("the topmost window has no control " + std::to_string(id));
    return false;
  }
  input.target = target->Handle();
  Post(input);
  return true;
}

bool PostAt(int handle, UserInput input) {
  if (CWnd::FromHandle(handle) == nullptr) {
    Problem("no window has the handle " + std::to_string(handle));
    return false;
  }
  input.target = handle;
  Post(input);
  return true;
}

// Carries out input and due timers until `done`; when the queue is empty it idles and waits
// for the event source. With no more input, `noInput` decides (true: leave the loop).
void RunLoop(const std::function<bool()>& done, const std::function<bool(int)>& noInput) {
  int waitsWithoutInput = 0;
  while (!done()) {
    if (!Queue().empty()) {
      UserInput input = Queue().front();
      Queue().pop_front();
      Dispatch(input);
      continue;
    }
    if (DeliverDueTimers() > 0)
      continue;
    // Idle: what the file layers hold back reaches the disk before the user acts again.
    qv::FlushProfiles();
    qv::FlushRegistry();
    if (g_source != nullptr && g_source->WaitForInput()) {
      waitsWithoutInput = 0;
      continue;
    }
    if (noInput(++waitsWithoutInput))
      return;
  }
}

WindowState StateOf(CWnd* window) {
  WindowState s;
  s.className = window->ClassName();
  s.id = window->GetDlgCtrlID();
  s.handle = window->Handle();
  s.text = window->GetWindowText();
  s.rect = window->Rect();
  s.style = window->GetStyle();
  s.enabled = window->IsWindowEnabled() != FALSE;
  s.focused = CWnd::GetFocus() == window;
  s.takesReturn = CDialog::TakesReturn(window);
  s.pixels = dynamic_cast<CDialog*>(TopLevel(window)) == nullptr;
  if (auto* dialog = dynamic_cast<CDialog*>(window))
    s.closeEnabled = dialog->CloseEnabled();
  if (auto* bar = dynamic_cast<CToolBar*>(window)) {
    for (int i = 0; i < bar->GetCount(); ++i) {
      const CToolBar::Button& button = bar->GetButton(i);
      s.buttons.push_back(ToolButtonState{button.id, bar->ImageName(i), button.enabled,
                                          button.checked, bar->ButtonTip(i),
                                          bar->TipButton() == i});
    }
  }
  if (auto* edit = dynamic_cast<CEdit*>(window))
    s.modified = edit->GetModify() != FALSE;
  if (auto* button = dynamic_cast<CButton*>(window)) {
    s.checked = button->GetCheck();
    auto* dialog = dynamic_cast<CDialog*>(window->GetParent());
    s.isDefault = dialog != nullptr && button->IsPushButton() &&
                  dialog->DefaultButton() == button->GetDlgCtrlID();
  }
  if (auto* list = dynamic_cast<CListBox*>(window)) {
    for (int i = 0; i < list->GetCount(); ++i)
      s.lines.push_back(list->GetText(i));
    s.selection = list->GetCurSel();
    s.caret = list->GetCaretIndex();
    s.top = list->GetTopIndex();
  }
  if (auto* drag = dynamic_cast<CDragListBox*>(window)) {
    s.dragList = true;
    s.insertMark = drag->InsertMark();
  }
  if (auto* checks = dynamic_cast<CCheckListBox*>(window))
    for (int i = 0; i < checks->GetCount(); ++i)
      s.checks.push_back(checks->GetCheck(i));
  if (auto* tabs = dynamic_cast<CTabCtrl*>(window)) {
    for (int i = 0; i < tabs->GetItemCount(); ++i)
      s.lines.push_back(tabs->GetItemText(i));
    s.selection = tabs->GetCurSel();
  }
  if (auto* list = dynamic_cast<CListCtrl*>(window)) {
    for (int c = 0; c < list->GetColumnCount(); ++c) {
      s.columns.push_back(list->GetColumnHeading(c));
      s.columnWidths.push_back(list->GetColumnWidth(c));
    }
    const CImageList* images =
        list->GetImageList(list->ViewType() == LVS_ICON ? LVSIL_NORMAL : LVSIL_SMALL);
    for (int i = 0; i < list->GetItemCount(); ++i) {
      std::vector<std::string> row;
      for (int c = 0; c < std::max(1, list->GetColumnCount()); ++c)
        row.push_back(list->GetItemText(i, c));
      s.rows.push_back(std::move(row));
      s.lines.push_back(list->GetItemText(i, 0));
      s.images.push_back(images != nullptr ? images->ImageName(list->GetItemImage(i)) : "");
    }
    s.selection = list->GetNextItem(-1, LVNI_SELECTED);
    s.caret = list->GetNextItem(-1, LVNI_FOCUSED);
  }
  for (CWnd* child : window->Children())
    s.children.push_back(StateOf(child));
  return s;
}

}  // namespace

void SetEventSource(EventSource* source) {
  g_source = source;
  SetMessageBoxHandler(source != nullptr ? &g_boxes : nullptr);
}

const std::vector<CDialog*>& ModalWindows() {
  return Modals();
}

void PushModal(CDialog* dialog) {
  if (CDialog* below = TopModal())
    below->EnableWindow(FALSE);  // the owner waits while the new window is open
  Modals().push_back(dialog);
}

void PopModal(CDialog* dialog) {
  auto& modals = Modals();
  modals.erase(std::remove(modals.begin(), modals.end(), dialog), modals.end());
  if (CDialog* below = TopModal())
    below->EnableWindow(TRUE);
}

void RunModalLoop(CDialog* dialog) {
  RunLoop([dialog] { return dialog->Ended(); },
          [dialog](int waits) {
            // Nothing will come: cancel the window, and end it outright if it refuses to go.
            Problem("no more input: \"" + dialog->GetWindowText() + "\" was cancelled");
            if (waits > 1)
              dialog->EndDialog(IDCANCEL);
            else
              dialog->HandleDialogKey(VK_ESCAPE);
            return false;
          });
}

void RunMenuLoop() {
  RunLoop([] { return !OpenMenu().open; },
          [](int) {
            Problem("no more input: the open menu was dismissed");
            std::string why;
            PickOpenMenu(0, &why);
            return true;
          });
}

void RunDragLoop(ModalDrag& drag) {
  ModalDrag* outer = std::exchange(g_drag, &drag);
  RunLoop([] { return !DragRunning(); },
          [&drag](int) {
            Problem("no more input: the drag was cancelled");
            drag.Cancel();
            return true;
          });
  g_drag = outer;
}

void RunMessageLoop() {
  RunLoop([] { return false; }, [](int) { return true; });
}

const WindowState* WindowState::Find(int wanted) const {
  for (const WindowState& child : children) {
    if (child.id == wanted)
      return &child;
    if (const WindowState* deeper = child.Find(wanted))
      return deeper;
  }
  return nullptr;
}

Snapshot TakeSnapshot() {
  Snapshot snapshot;
  for (CWnd* window : CWnd::TopLevelWindows())
    if (dynamic_cast<CDialog*>(window) == nullptr && (window->GetStyle() & WS_VISIBLE) != 0)
      snapshot.windows.push_back(StateOf(window));
  for (CDialog* dialog : Modals())
    snapshot.modals.push_back(StateOf(dialog));
  const OpenMenuState& open = OpenMenu();
  if (open.open) {
    snapshot.menu.open = true;
    snapshot.menu.x = open.x;
    snapshot.menu.y = open.y;
    snapshot.menu.flags = open.flags;
    snapshot.menu.owner = open.owner;
    for (const MenuItemState& item : MenuItems(open.menu))
      snapshot.menu.items.push_back({item.text, item.id, item.separator, item.popup != 0});
    if (!open.hostItems.empty())
      snapshot.menu.items.push_back({"", 0, true, false});
    for (const MenuItemState& item : open.hostItems)
      snapshot.menu.items.push_back({item.text, item.id, false, false});
  }
  if (DragRunning())
    snapshot.drag = g_drag->State();
  snapshot.status = g_status;
  snapshot.waitCursor = qv::WaitCursorDepth() > 0;
  return snapshot;
}

void SetStatusText(const std::string& text) {
  g_status = text;
}

void SetIdleStatusText(const std::string& text) {
  g_idleStatus = text;
}

void ShowIdleStatus() {
  if (!g_idleStatus.empty())
    g_status = g_idleStatus;
}

bool Click(int id) {
  return PostTo(id, Input(UserInput::kClick));
}
bool Type(int id, const std::string& text) {
  UserInput input = Input(UserInput::kText);
  input.text = text;
  return PostTo(id, input);
}
bool Select(int id, int line) {
  UserInput input = Input(UserInput::kSelect);
  input.index = line;
  return PostTo(id, input);
}
bool DoubleClick(int id, int line) {
  UserInput input = Input(UserInput::kDoubleClick);
  input.index = line;
  return PostTo(id, input);
}
bool Key(int id, int key, int modifiers) {
  UserInput input = Input(UserInput::kKey);
  input.key = key;
  input.modifiers = modifiers;
  return PostTo(id, input);
}
bool Drag(int id, int fromLine, int toLine) {
  UserInput input = Input(UserInput::kDrag);
  input.index = fromLine;
  input.to = toLine;
  return PostTo(id, input);
}
bool BeginDrag(int id, int line) {
  UserInput input = Input(UserInput::kBeginDrag);
  input.index = line;
  return PostTo(id, input);
}
bool DragOverLine(int id, int line) {
  UserInput input = Input(UserInput::kDragOver);
  input.index = line;
  return PostTo(id, input);
}
bool Check(int id, int line) {
  UserInput input = Input(UserInput::kCheck);
  input.index = line;
  return PostTo(id, input);
}
bool CloseWindow() {
  return PostTo(0, Input(UserInput::kClose));
}

bool RightClick(int id, int line) {
  UserInput input = Input(UserInput::kRightClick);
  input.index = line;
  return PostTo(id, input);
}

bool ClickAt(int handle, int index) {
  UserInput input = Input(UserInput::kClick);
  input.index = index;
  return PostAt(handle, input);
}
bool SelectAt(int handle, int line) {
  UserInput input = Input(UserInput::kSelect);
  input.index = line;
  return PostAt(handle, input);
}
bool DoubleClickAt(int handle, int line) {
  UserInput input = Input(UserInput::kDoubleClick);
  input.index = line;
  return PostAt(handle, input);
}
bool KeyAt(int handle, int key, int modifiers) {
  UserInput input = Input(UserInput::kKey);
  input.key = key;
  input.modifiers = modifiers;
  return PostAt(handle, input);
}
bool RightClickAt(int handle, int line) {
  UserInput input = Input(UserInput::kRightClick);
  input.index = line;
  return PostAt(handle, input);
}
bool Hover(int handle, int button) {
  UserInput input = Input(UserInput::kHover);
  input.index = button;
  return PostAt(handle, input);
}
bool PickMenuItem(UINT id) {
  UserInput input = Input(UserInput::kMenuPick);
  input.index = id == 0 ? -1 : static_cast<int>(id);
  Post(input);
  return true;
}
bool DragOver(int handle, CPoint point) {
  UserInput input = Input(UserInput::kDragOver);
  input.point = point;
  return PostAt(handle, input);
}
bool Drop() {
  Post(Input(UserInput::kDrop));
  return true;
}
bool CancelDrag() {
  Post(Input(UserInput::kCancelDrag));
  return true;
}
bool Resize(int handle, int cx, int cy) {
  UserInput input = Input(UserInput::kResize);
  input.index = cx;
  input.to = cy;
  return PostAt(handle, input);
}
bool DragColumnDivider(int handle, int column, int width) {
  UserInput input = Input(UserInput::kColumnWidth);
  input.index = column;
  input.to = width;
  return PostAt(handle, input);
}

void Post(const UserInput& input) {
  Queue().push_back(input);
}

const std::vector<std::string>& InputProblems() {
  return Problems();
}
void ClearInputProblems() {
  Problems().clear();
}

ScriptedUser::ScriptedUser() {
  SetEventSource(this);
}

ScriptedUser::~ScriptedUser() {
  SetEventSource(nullptr);
  Queue().clear();
}

ScriptedUser& ScriptedUser::Then(std::function<void()> step) {
  steps_.push_back(std::move(step));
  return *this;
}

bool ScriptedUser::WaitForInput() {
  if (next_ >= steps_.size()) {
    ++ranOut_;
    return false;
  }
  // Take the step out first: it may open a window whose loop asks for the next one.
  std::function<void()> step = std::move(steps_[next_++]);
  step();
  return true;
}

}  // namespace qv::ui
