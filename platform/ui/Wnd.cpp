#include "platform/ui/Wnd.h"

#include <algorithm>
#include <unordered_map>

#include "platform/ui/Timers.h"

namespace {

std::unordered_map<int, CWnd*>& Windows() {
  static std::unordered_map<int, CWnd*> windows;
  return windows;
}
int g_nextHandle = 0;
CWnd* g_focus = nullptr;

qv::HelpRequest& Help() {
  static qv::HelpRequest help;
  return help;
}
std::string& HelpFile() {
  static std::string file = "QVCCFG.HLP";
  return file;
}

}  // namespace

namespace qv {
const HelpRequest& LastHelpRequest() {
  return Help();
}
void SetHelpFilePath(std::string path) {
  HelpFile() = std::move(path);
}
const std::string& HelpFilePath() {
  return HelpFile();
}
}  // namespace qv

namespace {
CPoint g_cursor;
}  // namespace

BOOL GetCursorPos(CPoint* point) {
  if (point == nullptr)
    return FALSE;
  *point = g_cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  g_cursor = CPoint{x, y};
  return TRUE;
}

CWnd::~CWnd() {
  dying_ = true;  // what derives from this object is gone: no message may reach it
  DestroyWindow();
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& /*cs*/) {
  return TRUE;
}

BOOL CWnd::Create(const std::string& className, const std::string& text, DWORD style,
                  const CRect& rect, CWnd* parent, int id) {
  DestroyWindow();
  CREATESTRUCT cs{className, text, style, rect, id};
  if (PreCreateWindow(cs) == FALSE) {
    PostNcDestroy();  // as after a window that was made and went: may delete this object
    return FALSE;
  }
  className_ = cs.className;
  text_ = cs.text;
  style_ = cs.style;
  rect_ = cs.rect;
  parent_ = parent;
  id_ = cs.id;
  enabled_ = (cs.style & WS_DISABLED) == 0;
  handle_ = ++g_nextHandle;
  Windows()[handle_] = this;
  if (parent_ != nullptr)
    parent_->children_.push_back(this);
  created_ = true;
  if (SendMessage(WM_CREATE) == -1) {
    DestroyWindow();
    return FALSE;
  }
  return TRUE;
}

void CWnd::DestroyWindow() {
  if (!created_)
    return;
  if (!dying_)
    SendMessage(WM_DESTROY);
  // Children first; they unlink themselves from this window.
  while (!children_.empty())
    children_.back()->DestroyWindow();
  qv::ui::KillTimersOf(this);
  Detach();
  if (!dying_)
    PostNcDestroy();  // may delete this object: nothing may follow
}

void CWnd::Detach() {
  if (g_focus == this)
    g_focus = nullptr;
  if (parent_ != nullptr) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  Windows().erase(handle_);
  parent_ = nullptr;
  handle_ = 0;
  created_ = false;
}

CWnd* CWnd::GetDescendantWindow(int id) const {
  for (CWnd* child : children_) {
    if (child->id_ == id)
      return child;
    if (CWnd* deeper = child->GetDescendantWindow(id))
      return deeper;
  }
  return nullptr;
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, bool deep) {
  // A copy: a handler may make or destroy windows.
  std::vector<int> handles;
  for (CWnd* child : children_)
    handles.push_back(child->handle_);
  for (int handle : handles) {
    CWnd* child = FromHandle(handle);
    if (child == nullptr)
      continue;
    child->SendMessage(message, wParam, lParam);
    if (deep && FromHandle(handle) == child)
      child->SendMessageToDescendants(message, wParam, lParam, true);
  }
}

void CWnd::MoveWindow(const CRect& rect, BOOL /*repaint*/) {
  rect_ = rect;
  if (created_)
    SendMessage(WM_SIZE, 0, MAKELPARAM(rect.Width(), rect.Height()));
}

void CWnd::GetClientRect(CRect* rect) const {
  *rect = CRect{0, 0, rect_.Width(), rect_.Height()};
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, void* /*proc*/) {
  return created_ ? qv::ui::StartTimer(this, id, elapse) : 0;
}

BOOL CWnd::KillTimer(UINT_PTR id) {
  return qv::ui::StopTimer(this, id) ? TRUE : FALSE;
}

CWnd* CWnd::FromHandle(int handle) {
  auto it = Windows().find(handle);
  return it == Windows().end() ? nullptr : it->second;
}

std::vector<CWnd*> CWnd::TopLevelWindows() {
  std::vector<CWnd*> tops;
  for (const auto& [handle, window] : Windows())
    if (window->parent_ == nullptr)
      tops.push_back(window);
  std::sort(tops.begin(), tops.end(),
            [](const CWnd* a, const CWnd* b) { return a->handle_ < b->handle_; });
  return tops;
}

CWnd* CWnd::GetDlgItem(int id) const {
  for (CWnd* child : children_)
    if (child->id_ == id)
      return child;
  return nullptr;
}

BOOL CWnd::EnableWindow(BOOL enable) {
  bool wasDisabled = !enabled_;
  enabled_ = enable != FALSE;
  if (!enabled_ && g_focus == this)
    g_focus = nullptr;  // a disabled window cannot keep the focus
  return wasDisabled ? TRUE : FALSE;
}

CWnd* CWnd::SetFocus() {
  CWnd* old = g_focus;
  if (old == this)
    return old;
  g_focus = this;
  if (old != nullptr && CWnd::FromHandle(old->handle_) == old)
    old->OnKillFocus();
  if (g_focus == this)
    OnSetFocus();
  return old;
}

CWnd* CWnd::GetFocus() {
  return g_focus;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return WindowProc(message, wParam, lParam);
}

void CWnd::WinHelp(DWORD data, UINT command) {
  qv::HelpRequest& help = Help();
  help.file = HelpFile();
  help.command = command;
  help.data = data;
  ++help.count;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    if (OnCmdMsg(LOWORD(wParam), static_cast<int>(HIWORD(wParam)), nullptr) != FALSE)
      return 0;
    return DefWindowProc(message, wParam, lParam);
  }
  if (message == WM_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    LRESULT result = 0;
    AFX_NOTIFY notify{&result, header};
    if (OnCmdMsg(static_cast<UINT>(header->idFrom), MAKELONG(header->code, WM_NOTIFY), &notify) !=
        FALSE)
      return result;
    return DefWindowProc(message, wParam, lParam);
  }
  if (message == OCM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (const MapEntry* entry = FindEntry(OCM_NOTIFY, header->code, 0)) {
      bool handled = true;
      return entry->handler(0, wParam, lParam, &handled);
    }
    return DefWindowProc(message, wParam, lParam);
  }
  if (const MapEntry* entry = FindEntry(message, 0, 0)) {
    bool handled = true;
    return entry->handler(0, wParam, lParam, &handled);
  }
  switch (message) {
    case WM_CREATE:
      return OnCreate();
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_SIZE:
      OnSize(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
      return 0;
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return 0;
    default:
      return DefWindowProc(message, wParam, lParam);
  }
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  return message == WM_VKEYTOITEM ? -1 : 0;
}

void CWnd::NotifyParent(UINT code) {
  if (parent_ != nullptr)
    parent_->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id_), code),
                         static_cast<LPARAM>(handle_));
}

LRESULT CWnd::SendNotify(NMHDR* header) {
  header->hwndFrom = handle_;
  header->idFrom = id_;
  auto l = reinterpret_cast<LPARAM>(header);
  if (FindEntry(OCM_NOTIFY, header->code, 0) != nullptr)
    return SendMessage(OCM_NOTIFY, static_cast<WPARAM>(id_), l);
  return parent_ != nullptr ? parent_->SendMessage(WM_NOTIFY, static_cast<WPARAM>(id_), l) : 0;
}

bool CWnd::OnUserInput(const UserInput& /*input*/, std::string* problem) {
  *problem = "the window " + className_ + " " + std::to_string(id_) + " takes no such input";
  return false;
}
