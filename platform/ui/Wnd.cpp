#include "platform/ui/Wnd.h"

#include <algorithm>
#include <unordered_map>

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
}  // namespace qv

CWnd::~CWnd() {
  DestroyWindow();
}

void CWnd::Create(const std::string& className, const std::string& text, DWORD style,
                  const CRect& rect, CWnd* parent, int id) {
  DestroyWindow();
  className_ = className;
  text_ = text;
  style_ = style;
  rect_ = rect;
  parent_ = parent;
  id_ = id;
  enabled_ = (style & WS_DISABLED) == 0;
  handle_ = ++g_nextHandle;
  Windows()[handle_] = this;
  if (parent_ != nullptr)
    parent_->children_.push_back(this);
  created_ = true;
}

void CWnd::DestroyWindow() {
  if (!created_)
    return;
  // Children first; they unlink themselves from this window.
  while (!children_.empty())
    children_.back()->DestroyWindow();
  Detach();
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

CWnd* CWnd::FromHandle(int handle) {
  auto it = Windows().find(handle);
  return it == Windows().end() ? nullptr : it->second;
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
  const MapEntry* entry = nullptr;
  if (message == WM_COMMAND) {
    entry = Find(message, HIWORD(wParam), static_cast<int>(LOWORD(wParam)));
  } else if (message == WM_NOTIFY || message == OCM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    entry = Find(message, header->code, message == WM_NOTIFY ? header->idFrom : 0);
  } else {
    entry = Find(message, 0, 0);
  }
  return entry != nullptr ? entry->handler(wParam, lParam) : DefWindowProc(message, wParam, lParam);
}

const CWnd::MapEntry* CWnd::Find(UINT message, UINT code, int id) const {
  for (const MapEntry& entry : map_)
    if (entry.message == message && entry.code == code && entry.id == id)
      return &entry;
  return nullptr;
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
  if (Find(OCM_NOTIFY, header->code, 0) != nullptr)
    return SendMessage(OCM_NOTIFY, static_cast<WPARAM>(id_), l);
  return parent_ != nullptr ? parent_->SendMessage(WM_NOTIFY, static_cast<WPARAM>(id_), l) : 0;
}

void CWnd::OnMessage(UINT message, std::function<LRESULT(WPARAM, LPARAM)> handler) {
  map_.push_back({message, 0, 0, std::move(handler)});
}

void CWnd::OnCommand(UINT code, int id, std::function<void()> handler) {
  map_.push_back({WM_COMMAND, code, id, [h = std::move(handler)](WPARAM, LPARAM) {
                    h();
                    return LRESULT{0};
                  }});
}

void CWnd::OnNotify(UINT code, int id, std::function<LRESULT(NMHDR*)> handler) {
  map_.push_back({WM_NOTIFY, code, id, [h = std::move(handler)](WPARAM, LPARAM l) {
                    return h(reinterpret_cast<NMHDR*>(l));
                  }});
}

void CWnd::OnNotifyReflect(UINT code, std::function<LRESULT(NMHDR*)> handler) {
  map_.push_back({OCM_NOTIFY, code, 0, [h = std::move(handler)](WPARAM, LPARAM l) {
                    return h(reinterpret_cast<NMHDR*>(l));
                  }});
}

bool CWnd::OnUserInput(const UserInput& /*input*/, std::string* problem) {
  *problem = "the window " + className_ + " " + std::to_string(id_) + " takes no such input";
  return false;
}
