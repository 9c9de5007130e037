// CWnd: a window of our framework. It draws nothing: it is a node of the window tree with an
// id, a class name, a style, a text, a rectangle in dialog units, an enabled state and
// children, and it handles messages through a message map of its own. Front ends (the
// browser, tests) see the tree through platform/ui/Ui.h and talk to it by posting input.
//
// Messages are sent synchronously (SendMessage). A control tells its parent what happened
// with WM_COMMAND (notification code, control id) or WM_VKEYTOITEM, as the platform's
// controls do. A message map entry (platform/ui/CmdTarget.h) names a message, or a command's
// notification code and control id, and the member to run; WM_COMMAND and WM_NOTIFY go
// through OnCmdMsg, so windows that hold others can pass them on.
//
// Life: Create runs PreCreateWindow, links the window into the tree and sends WM_CREATE
// (OnCreate; -1 undoes the creation); DestroyWindow sends WM_DESTROY (OnDestroy), destroys
// the children, unlinks the window and calls PostNcDestroy, where frames and views delete
// themselves. A window whose object is destroyed first is only unlinked: no message reaches
// an object that is going.
//
// Rectangles are in the units of the top-level window: dialog units in dialogs, pixels in
// frames and the windows a host makes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/ui/CmdTarget.h"

inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_VKEYTOITEM = 0x002E;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_HELP = 0x0053;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
// A notification a control's parent reflects back to the control (its own map sees it
// first, as OCM_NOTIFY).
inline constexpr UINT OCM_NOTIFY = 0x204E;

inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT EN_SETFOCUS = 0x0100;
inline constexpr UINT EN_KILLFOCUS = 0x0200;
inline constexpr UINT EN_CHANGE = 0x0300;
inline constexpr UINT EN_UPDATE = 0x0400;
inline constexpr UINT LBN_SELCHANGE = 1;
inline constexpr UINT LBN_DBLCLK = 2;
inline constexpr UINT CLBN_CHKCHANGE = 40;

inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;

inline constexpr DWORD ES_MULTILINE = 0x0004;
inline constexpr DWORD ES_AUTOVSCROLL = 0x0040;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;
inline constexpr DWORD ES_WANTRETURN = 0x1000;
inline constexpr DWORD LBS_NOTIFY = 0x0001;
inline constexpr DWORD LBS_SORT = 0x0002;
inline constexpr DWORD LBS_HASSTRINGS = 0x0040;
inline constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x0100;
inline constexpr DWORD LBS_WANTKEYBOARDINPUT = 0x0400;
inline constexpr DWORD LBS_OWNERDRAWFIXED = 0x0010;
inline constexpr DWORD BS_PUSHBUTTON = 0x0000;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
inline constexpr DWORD BS_CHECKBOX = 0x0002;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
inline constexpr DWORD BS_RADIOBUTTON = 0x0004;
inline constexpr DWORD BS_3STATE = 0x0005;
inline constexpr DWORD BS_AUTO3STATE = 0x0006;
inline constexpr DWORD BS_GROUPBOX = 0x0007;
inline constexpr DWORD BS_AUTORADIOBUTTON = 0x0009;
inline constexpr DWORD BS_TYPEMASK = 0x000F;
inline constexpr DWORD SS_LEFT = 0x0000;
inline constexpr DWORD SS_CENTER = 0x0001;
inline constexpr DWORD SS_RIGHT = 0x0002;
inline constexpr DWORD SS_TYPEMASK = 0x001F;
inline constexpr DWORD SS_ICON = 0x0003;
inline constexpr DWORD SS_ETCHEDHORZ = 0x0010;
inline constexpr DWORD DS_MODALFRAME = 0x0080;
inline constexpr DWORD DS_SETFONT = 0x0040;

inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_APPS = 0x5D;
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_F5 = 0x74;
inline constexpr int VK_F10 = 0x79;
inline constexpr int VK_SHIFT = 0x10;

inline constexpr UINT HELP_CONTEXT = 0x0001;

inline WPARAM MAKEWPARAM(unsigned low, unsigned high) {
  return static_cast<WPARAM>((low & 0xFFFF) | ((high & 0xFFFF) << 16));
}
inline int MAKELONG(unsigned low, unsigned high) {
  return static_cast<int>((low & 0xFFFF) | ((high & 0xFFFF) << 16));
}
inline unsigned LOWORD(WPARAM w) {
  return static_cast<unsigned>(w & 0xFFFF);
}
inline unsigned HIWORD(WPARAM w) {
  return static_cast<unsigned>((w >> 16) & 0xFFFF);
}
// A point packed into an LPARAM as WM_CONTEXTMENU carries it: two signed 16-bit halves.
inline LPARAM MAKELPARAM(int x, int y) {
  return static_cast<LPARAM>((static_cast<unsigned>(x) & 0xFFFF) |
                             ((static_cast<unsigned>(y) & 0xFFFF) << 16));
}
inline int GET_X_LPARAM(LPARAM l) {
  return static_cast<std::int16_t>(l & 0xFFFF);
}
inline int GET_Y_LPARAM(LPARAM l) {
  return static_cast<std::int16_t>((l >> 16) & 0xFFFF);
}

struct CRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const CRect&) const = default;
};

struct CPoint {
  int x = 0, y = 0;
};

// What PreCreateWindow may change before a window is made.
struct CREATESTRUCT {
  std::string className;
  std::string text;
  DWORD style = 0;
  CRect rect;
  int id = 0;
};

// A message as a filter sees it: the window, the message, its parameters and where the
// cursor was.
struct MSG {
  int hwnd = 0;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  CPoint pt;
};

// The head of every WM_NOTIFY: the sending window's handle and id, and the code.
struct NMHDR {
  int hwndFrom = 0;
  int idFrom = 0;
  UINT code = 0;
};

// One action of the user, as a front end posts it (platform/ui/Ui.h).
struct UserInput {
  enum Kind {
    kClick,
    kText,
    kSelect,
    kDoubleClick,
    kKey,
    kDrag,
    kCheck,
    kClose,
    kRightClick,
    kHover,       // the mouse rests over a toolbar button (index) or leaves it (-1)
    kMenuPick,    // the open pop-up menu: pick the item of command `index`, or dismiss (-1)
    kResize,      // a top-level window's new size: `index` wide, `to` high (pixels)
    kDragOver,    // the running drag moves over the target window, at `point`
    kDrop,        // the running drag is dropped where it is
    kCancelDrag,  // the running drag is cancelled
    // A report's header divider dragged: column `index` becomes `to` pixels wide.
    kColumnWidth,
    kBeginDrag,  // a drag list box's drag begins at line `index` (the press there has moved)
  };
  Kind kind = kClick;
  int target = 0;  // window handle
  std::string text;
  // A line (select, double-click, check, right-click; drag and begin drag: from; a drag list
  // box's drag over: the line under the mouse, -1 none).
  int index = -1;
  int to = -1;  // drag: the line dropped onto
  int key = 0;
  // Keys: the modifier keys held with `key`.
  enum Modifier { kShift = 1, kAlt = 2 };
  int modifiers = 0;
  CPoint point;  // drag over: where, in the client coordinates of the target window
};

class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // Makes this object a child window of `parent` (null: a top-level window). The parent
  // does not own it; a dialog owns the controls made from its template. FALSE when the
  // window refused to be made (PreCreateWindow gave FALSE or OnCreate -1); it then does not
  // exist, and PostNcDestroy has run (a frame or view has deleted itself).
  BOOL Create(const std::string& className, const std::string& text, DWORD style, const CRect& rect,
              CWnd* parent, int id);
  void DestroyWindow();
  bool IsWindow() const { return created_; }

  int GetDlgCtrlID() const { return id_; }
  CWnd* GetParent() const { return parent_; }
  CWnd* GetDlgItem(int id) const;
  // The first window of that id below this one, at any depth; null when none.
  CWnd* GetDescendantWindow(int id) const;
  // Sends the message to every child (and, when `deep`, to theirs), parents first.
  void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                                bool deep = true);

  // Moves and sizes the window (sends WM_SIZE with the new size).
  void MoveWindow(const CRect& rect, BOOL repaint = TRUE);
  void GetClientRect(CRect* rect) const;

  // A timer that sends this window WM_TIMER with `id` every `elapse` milliseconds of the
  // framework's clock (platform/ui/Ui.h); returns `id`, 0 when it cannot be made (no window,
  // id 0). KillTimer: FALSE when there was no such timer.
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse, void* proc = nullptr);
  BOOL KillTimer(UINT_PTR id);
  const std::vector<CWnd*>& Children() const { return children_; }
  const std::string& ClassName() const { return className_; }
  DWORD GetStyle() const { return style_; }
  void ModifyStyle(DWORD remove, DWORD add) { style_ = (style_ & ~remove) | add; }
  const CRect& Rect() const { return rect_; }
  // A number that names this window while it exists; windows are never found by address.
  int Handle() const { return handle_; }
  static CWnd* FromHandle(int handle);
  // The windows that have no parent, in the order they were made.
  static std::vector<CWnd*> TopLevelWindows();

  virtual void SetWindowText(const std::string& text) { text_ = text; }
  std::string GetWindowText() const { return text_; }
  int GetWindowTextLength() const { return static_cast<int>(text_.size()); }

  BOOL EnableWindow(BOOL enable = TRUE);  // returns TRUE when it was disabled before
  BOOL IsWindowEnabled() const { return enabled_ ? TRUE : FALSE; }

  // Moves the keyboard focus here; the window that had it is told first (EN_KILLFOCUS for an
  // edit). Returns the window that had it.
  CWnd* SetFocus();
  static CWnd* GetFocus();

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // Runs the window procedure now; the framework has one thread and no queue for messages.
  LRESULT PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessage(message, wParam, lParam);
  }
  // Opens the help file at a context (records it for the console to show).
  void WinHelp(DWORD data, UINT command = HELP_CONTEXT);

  // Carries out one action of the user on this window. False when it does not apply here
  // (why in *problem).
  virtual bool OnUserInput(const UserInput& input, std::string* problem);

 protected:
  // The message handling of the window: the message map first, then the handlers below,
  // then DefWindowProc.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // May change the style and the rest before the window is made; FALSE refuses it.
  virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
  virtual int OnCreate() { return 0; }
  virtual void OnDestroy() {}
  // After the window is gone (frames and views delete themselves here).
  virtual void PostNcDestroy() {}
  virtual void OnSize(int /*cx*/, int /*cy*/) {}
  virtual void OnTimer(UINT_PTR /*id*/) {}
  // Called when the focus arrives or leaves.
  virtual void OnSetFocus() {}
  virtual void OnKillFocus() {}
  // Tells the parent: WM_COMMAND with this window's id and `code`.
  void NotifyParent(UINT code);
  // Sends a WM_NOTIFY whose head this fills in. The window's own reflected entry for the code
  // takes it first; only when there is none does the parent get it.
  LRESULT SendNotify(NMHDR* header);

  std::string text_;

 private:
  void Detach();

  std::string className_;
  DWORD style_ = 0;
  CRect rect_;
  CWnd* parent_ = nullptr;
  std::vector<CWnd*> children_;
  int id_ = 0;
  int handle_ = 0;
  bool enabled_ = true;
  bool created_ = false;
  bool dying_ = false;  // the object is being destroyed: no more messages
};

// Where the mouse is: in the client coordinates of the window it was last moved over.
BOOL GetCursorPos(CPoint* point);
BOOL SetCursorPos(int x, int y);

// WinHelp as the console will show it: the help file and context of the last request.
namespace qv {
struct HelpRequest {
  std::string file;
  UINT command = 0;
  DWORD data = 0;
  int count = 0;  // requests so far
};
const HelpRequest& LastHelpRequest();
void SetHelpFilePath(std::string path);
const std::string& HelpFilePath();
}  // namespace qv
