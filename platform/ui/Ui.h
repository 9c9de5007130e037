// The two faces of the framework that front ends use, the browser and tests alike:
//
// - a snapshot of the whole window tree: the top-level windows a host made (a control with
//   its frame, toolbar and list view), then the open modal windows in order, each with every
//   control's class, id, text, rectangle, style, enabled and checked state, lines, selection,
//   focus and default button, a toolbar's buttons and tip; the pop-up menu that is open; the
//   drag that runs (platform/ole/DragLoop.h); the status text the host last showed;
// - an input API that posts the user's actions (click, type, select, double-click, key,
//   drag, check, close, hover, menu pick, resize, the begin of a drag list box's drag, and a
//   running drag's moves, drop and cancel) to the one message queue, addressed to a control of the
//   topmost modal window, or by handle to any window of a top-level window while no modal one is
//   open. The event loops carry them out one by one.
//
// Between two inputs, and before they wait, the loops send WM_TIMER for the timers that are
// due (platform/ui/Timers.h). While the queue is empty a loop writes what the profile and
// registry layers hold back and then waits on the event source, which gives more input (a
// browser's request, a test's next step). With no event source, or one that has no more
// input, a modal loop ends its window with IDCANCEL, a menu loop dismisses its menu and a
// drag loop cancels its drag, so that nothing waits for ever (InputProblems() says so); the
// host's message loop returns.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Wnd.h"

class CDialog;

namespace qv::ui {

class EventSource {
 public:
  virtual ~EventSource() = default;
  // Waits until there is input to carry out; false when there will be none.
  virtual bool WaitForInput() = 0;
};

// Installs the source (null: none). While one is installed, message boxes are modal windows
// of the framework; without one they go to the console handler.
void SetEventSource(EventSource* source);

// The modal windows now open, bottom first.
const std::vector<CDialog*>& ModalWindows();

struct ToolButtonState {
  UINT id = 0;  // 0 for a separator
  std::string image;
  bool enabled = true;
  bool checked = false;
  std::string tip;        // the button's tip (its command's string after the newline)
  bool tipShown = false;  // the mouse rests on the button and its tip shows
};

struct WindowState {
  std::string className;
  int id = 0;
  int handle = 0;
  std::string text;
  CRect rect;
  DWORD style = 0;
  bool enabled = true;
  bool focused = false;
  bool isDefault = false;    // the button Enter presses
  bool takesReturn = false;  // takes Enter itself (a multi-line edit box that wants returns)
  int checked = 0;
  bool modified = false;           // edit boxes
  std::vector<std::string> lines;  // list boxes; a tab control's tabs
  std::vector<int> checks;         // check list boxes
  // List view controls: the header, the rows (column texts, column 0 first) and each row's
  // image, by name in the image list of the presentation.
  std::vector<std::string> columns;
  std::vector<int> columnWidths;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> images;
  int selection = -1, caret = -1, top = 0;
  bool dragList = false;  // a drag list box, whose lines the mouse drags
  int insertMark = -1;    // a drag list box's insertion mark: before this line; -1 none
  std::vector<ToolButtonState> buttons;  // toolbars
  bool pixels = false;  // the rectangle is in pixels (a host's window), not dialog units
  // A dialog's close box takes clicks (greyed when not).
  bool closeEnabled = true;
  std::vector<WindowState> children;

  // The child of an id (first found, depth first); null when none.
  const WindowState* Find(int id) const;
};

struct MenuState {
  bool open = false;
  int x = 0, y = 0;  // where it opened, in the owner's client pixels
  UINT flags = 0;
  int owner = 0;
  struct Item {
    std::string text;
    UINT id = 0;
    bool separator = false;
    bool popup = false;
  };
  std::vector<Item> items;
};

// The drag that runs now.
struct DragState {
  bool running = false;
  std::vector<std::string> formats;  // the offered formats by name ("#49153" for one without)
  DWORD allowedEffects = 0;          // the DROPEFFECT bits the source allows
  int over = 0;                      // the window under the drag (handle); 0: none yet
  int target = 0;    // the window whose drop target takes the drag there (handle); 0: none
  DWORD effect = 0;  // what a drop would do now: one DROPEFFECT bit, 0 when refused
};

struct Snapshot {
  std::vector<WindowState> windows;  // top-level windows that are not modal, in making order
  std::vector<WindowState> modals;   // bottom first
  MenuState menu;                    // the pop-up menu open now
  DragState drag;                    // the drag that runs now
  std::string status;                // the status text the host shows
  bool waitCursor = false;           // a CWaitCursor lives
  const WindowState* Top() const { return modals.empty() ? nullptr : &modals.back(); }
};
Snapshot TakeSnapshot();

// The status text a host shows (a console's status bar); the snapshot carries it.
void SetStatusText(const std::string& text);
// The text the status shows when idle ("Ready"): a toolbar's prompt gives way to it once the
// button's tip hides (the mouse leaves the button, or presses it). "" keeps the status as is.
void SetIdleStatusText(const std::string& text);
void ShowIdleStatus();

// Input, addressed to the control of `id` in the topmost modal window (0: the window itself
// for keys and close). Posting fails (false, with a problem recorded) when there is no such
// control; carrying it out fails when the control is disabled or the input does not apply.
bool Click(int id);
bool Type(int id, const std::string& text);
bool Select(int id, int line);
bool DoubleClick(int id, int line);
bool Key(int id, int key, int modifiers = 0);  // UserInput::kShift, kAlt
bool Drag(int id, int fromLine, int toLine);   // a whole drag, from the press to the release
// A drag list box's drag step by step: it begins at the line pressed (selected first when it
// is not), moves over a line (-1: over no line), and ends with Drop(), CancelDrag() or Escape.
bool BeginDrag(int id, int line);
bool DragOverLine(int id, int line);
bool Check(int id, int line);
bool RightClick(int id, int line);  // -1: where no line is
bool CloseWindow();
// Input by window handle, for windows that are not modal (and the browser's way).
bool ClickAt(int handle, int index = -1);  // a toolbar button by position, or a window
bool SelectAt(int handle, int line);
bool DoubleClickAt(int handle, int line);
bool KeyAt(int handle, int key, int modifiers = 0);
bool RightClickAt(int handle, int line);
bool Hover(int handle, int button);  // a toolbar button by position; -1 leaves the bar
bool PickMenuItem(UINT id);          // the open pop-up menu's command; 0 dismisses it
// The running drag: moves over the window of `handle` (at `point` in its client coordinates),
// is dropped where it is, or is cancelled (as Escape does). A drag list box's drag ends so too.
// DragOver fails to post for a handle that names no window; input for a drag when none runs is
// refused when carried out.
bool DragOver(int handle, CPoint point = {});
bool Drop();
bool CancelDrag();
bool Resize(int handle, int cx, int cy);
// A list view's header divider dragged: its column becomes `width` pixels wide.
bool DragColumnDivider(int handle, int column, int width);
// Raw input by window handle (the browser's way).
void Post(const UserInput& input);

// What could not be posted or carried out, in order; cleared by ClearInputProblems.
const std::vector<std::string>& InputProblems();
void ClearInputProblems();

// The modal loop of a dialog: carries out queued input, and waits for more, until the
// dialog has ended. CDialog::DoModal runs it between PushModal and PopModal.
void RunModalLoop(CDialog* dialog);
void PushModal(CDialog* dialog);
void PopModal(CDialog* dialog);
// The loop of a tracked pop-up menu (platform/ui/Menu.h): until it is picked or dismissed.
void RunMenuLoop();
// A drag that takes every input while it runs: OLE drag and drop (platform/ole/DragLoop.h),
// which lives above this framework, hands its drag to RunDragLoop.
class ModalDrag {
 public:
  // True while the drag takes input.
  virtual bool Running() const = 0;
  // Carries out one input. False, with *problem, for input the drag could not carry out.
  virtual bool CarryOutInput(const UserInput& input, std::string* problem) = 0;
  // There is no more input: the drag is cancelled.
  virtual void Cancel() = 0;
  // The drag as the snapshot shows it.
  virtual DragState State() const = 0;

 protected:
  ~ModalDrag() = default;
};
// The loop of a drag: until it is dropped or cancelled. While `drag` runs, every input goes to
// it.
void RunDragLoop(ModalDrag& drag);
// The host's loop: carries out input and timers until the event source has no more input.
void RunMessageLoop();

// A test's user: each step runs when the loop waits for input; it posts input and may read
// the snapshot. Installs itself as the event source while it lives.
class ScriptedUser : public EventSource {
 public:
  ScriptedUser();
  ~ScriptedUser() override;
  ScriptedUser& Then(std::function<void()> step);
  bool WaitForInput() override;
  // Steps not run yet, and how many times the loop waited with none left.
  std::size_t Pending() const { return steps_.size() - next_; }
  int RanOut() const { return ranOut_; }

 private:
  std::vector<std::function<void()>> steps_;
  std::size_t next_ = 0;
  int ranOut_ = 0;
};

}  // namespace qv::ui
