#include "platform/ole/DropTarget.h"

#include <map>

namespace {

// Registered targets by the handle of their window. Window handles are not given again, so
// an entry for a window that is gone finds nothing.
std::map<int, COleDropTarget*>& Targets() {
  static std::map<int, COleDropTarget*> targets;
  return targets;
}

}  // namespace

COleDropTarget::~COleDropTarget() {
  Revoke();
}

BOOL COleDropTarget::Register(CWnd* window) {
  if (window == nullptr || !window->IsWindow())
    return FALSE;
  if (window_ != 0 && CWnd::FromHandle(window_) != nullptr)
    return FALSE;
  if (qv::ole::DropTargetOf(window->Handle()) != nullptr)
    return FALSE;
  Revoke();  // a registration for a window that is gone
  window_ = window->Handle();
  Targets()[window_] = this;
  return TRUE;
}

void COleDropTarget::Revoke() {
  if (window_ == 0)
    return;
  auto it = Targets().find(window_);
  if (it != Targets().end() && it->second == this)
    Targets().erase(it);
  window_ = 0;
}

DROPEFFECT COleDropTarget::OnDragEnter(CWnd* window, COleDataObject* data, DWORD keyState,
                                       CPoint point) {
  return OnDragOver(window, data, keyState, point);
}

DROPEFFECT COleDropTarget::OnDragOver(CWnd* /*window*/, COleDataObject* /*data*/,
                                      DWORD /*keyState*/, CPoint /*point*/) {
  return DROPEFFECT_NONE;
}

void COleDropTarget::OnDragLeave(CWnd* /*window*/) {}

BOOL COleDropTarget::OnDrop(CWnd* /*window*/, COleDataObject* /*data*/, DROPEFFECT /*effect*/,
                            CPoint /*point*/) {
  return FALSE;
}

namespace qv::ole {

COleDropTarget* DropTargetOf(int handle) {
  auto it = Targets().find(handle);
  if (it == Targets().end() || CWnd::FromHandle(handle) == nullptr)
    return nullptr;
  return it->second;
}

int DropTargetWindowAt(int handle) {
  for (CWnd* window = CWnd::FromHandle(handle); window != nullptr; window = window->GetParent())
    if (DropTargetOf(window->Handle()) != nullptr)
      return window->Handle();
  return 0;
}

}  // namespace qv::ole
