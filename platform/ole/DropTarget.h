// COleDropTarget: the framework's drop target, which a window registers to take drops.
//
// While a drag runs over a window, its drop target is the one registered for that window or
// for the nearest window above it. The drag loop (platform/ole/DragLoop.h) calls the target
// as the drag arrives over it (OnDragEnter), moves on over it (OnDragOver), leaves it or is
// cancelled there (OnDragLeave), and is dropped on it (OnDrop). Each call gets the window the
// target is registered for and a COleDataObject attached to the dragged data, from which the
// target may take data, as often as it likes, while the drag runs.
#pragma once

#include "platform/ole/DataObject.h"
#include "platform/ole/DragDrop.h"
#include "platform/ui/Wnd.h"

class COleDropTarget {
 public:
  COleDropTarget() = default;
  // Revokes the registration.
  virtual ~COleDropTarget();
  COleDropTarget(const COleDropTarget&) = delete;
  COleDropTarget& operator=(const COleDropTarget&) = delete;

  // Makes this the drop target of `window`. TRUE on success. FALSE, and nothing changes, for
  // a null window or one that does not exist, when the window has another target, and when
  // this target is registered for a window that still exists.
  BOOL Register(CWnd* window);
  // Ends the registration; the window takes no drops from here on. Nothing when not
  // registered.
  void Revoke();

  // The drag arrives over the window: the effect a drop would have (one DROPEFFECT bit), or
  // DROPEFFECT_NONE to refuse it. `keyState` holds the buttons and keys down (MK_*); `point`
  // is where the drag is, in the client coordinates of the window under it. The framework's
  // answer is OnDragOver's.
  virtual DROPEFFECT OnDragEnter(CWnd* window, COleDataObject* data, DWORD keyState, CPoint point);
  // The drag moves on over the window: as OnDragEnter. The framework's answer: DROPEFFECT_NONE.
  virtual DROPEFFECT OnDragOver(CWnd* window, COleDataObject* data, DWORD keyState, CPoint point);
  // The drag leaves the window, is cancelled over it, or is dropped where it was refused.
  virtual void OnDragLeave(CWnd* window);
  // The drop, with the effect the last OnDragEnter or OnDragOver answered (limited to what the
  // source allows). TRUE when the target took the data; the drag then ends with that effect.
  // The framework's answer: FALSE.
  virtual BOOL OnDrop(CWnd* window, COleDataObject* data, DROPEFFECT effect, CPoint point);

 private:
  int window_ = 0;  // the handle of the registered window; 0 when not registered
};

namespace qv::ole {

// The target registered for the window of `handle` itself; null when none, or when the window
// no longer exists.
COleDropTarget* DropTargetOf(int handle);
// The handle of the window whose target takes a drag over the window of `handle`: that window
// or the nearest above it with a registered target; 0 when there is none.
int DropTargetWindowAt(int handle);

}  // namespace qv::ole
