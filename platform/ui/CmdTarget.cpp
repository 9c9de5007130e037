#include "platform/ui/CmdTarget.h"

#include "platform/ui/Wnd.h"

namespace {

// The map's own message value for update handlers.
constexpr UINT kUpdateEntry = 0xFFFF0001u;

}  // namespace

void CCmdUI::Enable(BOOL /*on*/) {
  m_bEnableChanged = true;
}
void CCmdUI::SetCheck(int /*check*/) {}
void CCmdUI::SetRadio(BOOL on) {
  SetCheck(on != FALSE ? 1 : 0);
}
void CCmdUI::SetText(const std::string& /*text*/) {}

bool CCmdUI::DoUpdate(CCmdTarget* target, bool disableIfNoHandler) {
  m_bEnableChanged = false;
  if (target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this))
    return true;
  bool handler = target->OnCmdMsg(m_nID, CN_COMMAND, nullptr, true) != FALSE;
  if (disableIfNoHandler && !m_bEnableChanged)
    Enable(handler ? TRUE : FALSE);
  return handler;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, int code, void* extra, bool probe) {
  const MapEntry* entry = nullptr;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  if (code == CN_UPDATE_COMMAND_UI) {
    entry = FindEntry(kUpdateEntry, 0, id);
    lParam = reinterpret_cast<LPARAM>(extra);
  } else if (HIWORD(static_cast<unsigned>(code)) == WM_NOTIFY) {
    auto* notify = static_cast<AFX_NOTIFY*>(extra);
    entry = FindEntry(WM_NOTIFY, LOWORD(static_cast<unsigned>(code)), id);
    wParam = id;
    lParam = reinterpret_cast<LPARAM>(notify);
  } else {
    entry = FindEntry(WM_COMMAND, static_cast<UINT>(code), id);
    wParam = MAKEWPARAM(id, static_cast<unsigned>(code));
  }
  if (entry == nullptr)
    return FALSE;
  if (probe)
    return TRUE;
  bool handled = true;
  entry->handler(id, wParam, lParam, &handled);
  return handled ? TRUE : FALSE;
}

const CCmdTarget::MapEntry* CCmdTarget::FindEntry(UINT message, UINT code, UINT id) const {
  // The newest entry first: a derived class's constructor adds its entries after its base's,
  // and they take precedence.
  for (auto it = map_.rbegin(); it != map_.rend(); ++it)
    if (it->message == message && it->code == code && id >= it->first && id <= it->last)
      return &*it;
  return nullptr;
}

void CCmdTarget::OnMessage(UINT message, std::function<LRESULT(WPARAM, LPARAM)> handler) {
  map_.push_back({message, 0, 0, 0,
                  [h = std::move(handler)](UINT, WPARAM w, LPARAM l, bool*) { return h(w, l); }});
}

void CCmdTarget::OnCommand(UINT code, int id, std::function<void()> handler) {
  auto uid = static_cast<UINT>(id);
  map_.push_back(
      {WM_COMMAND, code, uid, uid, [h = std::move(handler)](UINT, WPARAM, LPARAM, bool*) {
         h();
         return LRESULT{0};
       }});
}

void CCmdTarget::OnCommandId(UINT id, std::function<void()> handler) {
  OnCommand(CN_COMMAND, static_cast<int>(id), std::move(handler));
}

void CCmdTarget::OnCommandRange(UINT first, UINT last, std::function<void(UINT)> handler) {
  map_.push_back({WM_COMMAND, CN_COMMAND, first, last,
                  [h = std::move(handler)](UINT id, WPARAM, LPARAM, bool*) {
                    h(id);
                    return LRESULT{0};
                  }});
}

void CCmdTarget::OnUpdateCommandUI(UINT id, std::function<void(CCmdUI*)> handler) {
  OnUpdateCommandUIRange(id, id, std::move(handler));
}

void CCmdTarget::OnUpdateCommandUIRange(UINT first, UINT last,
                                        std::function<void(CCmdUI*)> handler) {
  map_.push_back(
      {kUpdateEntry, 0, first, last, [h = std::move(handler)](UINT, WPARAM, LPARAM l, bool*) {
         h(reinterpret_cast<CCmdUI*>(l));
         return LRESULT{0};
       }});
}

void CCmdTarget::OnNotify(UINT code, int id, std::function<LRESULT(NMHDR*)> handler) {
  auto uid = static_cast<UINT>(id);
  map_.push_back(
      {WM_NOTIFY, code & 0xFFFF, uid, uid, [h = std::move(handler)](UINT, WPARAM, LPARAM l, bool*) {
         auto* notify = reinterpret_cast<AFX_NOTIFY*>(l);
         *notify->pResult = h(notify->pNMHDR);
         return *notify->pResult;
       }});
}

void CCmdTarget::OnNotifyReflect(UINT code, std::function<LRESULT(NMHDR*)> handler) {
  map_.push_back({OCM_NOTIFY, code, 0, 0, [h = std::move(handler)](UINT, WPARAM, LPARAM l, bool*) {
                    return h(reinterpret_cast<NMHDR*>(l));
                  }});
}

void CCmdTarget::OnNotifyExRange(UINT code, UINT first, UINT last,
                                 std::function<BOOL(UINT, NMHDR*, LRESULT*)> handler) {
  map_.push_back({WM_NOTIFY, code & 0xFFFF, first, last,
                  [h = std::move(handler)](UINT id, WPARAM, LPARAM l, bool* handled) {
                    auto* notify = reinterpret_cast<AFX_NOTIFY*>(l);
                    *handled = h(id, notify->pNMHDR, notify->pResult) != FALSE;
                    return *notify->pResult;
                  }});
}

namespace qv::ui {
qv::com::HandleTable<CCmdUI>& CmdUIHandles() {
  static qv::com::HandleTable<CCmdUI> table;
  return table;
}
}  // namespace qv::ui
