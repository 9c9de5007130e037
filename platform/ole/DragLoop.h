// The drag loop: a drag runs as a modal loop on the user-interface thread, as a tracked pop-up
// menu does (platform/ui/Menu.h). COleDataSource::DoDragDrop starts it and gets the effect
// when it ends. While it runs, the snapshot shows it (platform/ui/Ui.h) and it takes every
// input:
//
// - DragOver(window, point): the drag moves over a window. Leaving a drop target calls its
//   OnDragLeave, arriving over one its OnDragEnter, moving on over the same one its OnDragOver
//   (platform/ole/DropTarget.h). The effect the target answers, limited to the effects the
//   source allows, is what a drop would do now; over a window without a target it is
//   DROPEFFECT_NONE.
// - Drop(): over a target whose effect is not DROPEFFECT_NONE, the target's OnDrop runs, and
//   the drag ends with that effect when it returns TRUE, with DROPEFFECT_NONE otherwise. A
//   target that refused the drag gets OnDragLeave instead; the drag ends with DROPEFFECT_NONE.
// - CancelDrag() or the Escape key: the drag is cancelled; the target under it gets
//   OnDragLeave; DROPEFFECT_NONE.
// - Any other input cancels the drag and is dropped; an input problem says so. Running out
//   of input cancels it too.
//
// Before it carries out a move, a drop or a cancel, the loop asks the drop source
// (QueryContinueDrag) with the buttons and keys that input means (platform/ole/DropSource.h),
// and the answer decides: DRAGDROP_S_DROP drops where the drag is, DRAGDROP_S_CANCEL cancels,
// S_OK carries out a move and otherwise lets the drag go on.
//
// The drag stops taking input before OnDrop and the last OnDragLeave run, so that they may
// open windows of their own. One drag runs at a time.
#pragma once

#include <string>
#include <vector>

#include "platform/ole/DataObject.h"
#include "platform/ole/DropSource.h"
#include "platform/ui/Wnd.h"

namespace qv::ole {

// Runs a drag of `data`, whose offered formats are `formats`, steered by `source`, and
// returns its effect (above). DROPEFFECT_NONE at once when another drag is running or an
// argument is null.
DROPEFFECT RunDrag(IDataObject* data, COleDropSource* source, DWORD allowedEffects,
                   const std::vector<CLIPFORMAT>& formats);

// The drag as the snapshot shows it.
struct RunningDragState {
  bool running = false;  // a drag takes input now
  std::vector<CLIPFORMAT> formats;
  DWORD allowedEffects = 0;
  int over = 0;    // the handle of the window under the drag; 0 before it moved over one
  int target = 0;  // the handle of the window whose drop target is there; 0 when none
  DROPEFFECT effect = DROPEFFECT_NONE;  // what a drop would do now
};
const RunningDragState& RunningDrag();

// Carries out one input while a drag runs (the framework's dispatch hands every input here
// then). False, with *problem, for input that is no drag input (it cancelled the drag) and for
// a move over a window that is gone (the drag is then over no window).
bool CarryOutDragInput(const UserInput& input, std::string* problem);
// Cancels the running drag without asking its source (there will be no more input).
void CancelRunningDrag();

}  // namespace qv::ole
