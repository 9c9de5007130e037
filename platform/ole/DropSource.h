// COleDropSource: the framework's drop source, which decides while a drag runs whether it goes
// on, ends in a drop or is cancelled.
//
// The drag loop (platform/ole/DragLoop.h) asks QueryContinueDrag before it carries out each
// input of the drag, with the state that input means: a move over a window holds the left
// button down (MK_LBUTTON), a drop releases it (no button), Escape and a cancel press the
// escape key with the button still down.
#pragma once

#include "platform/ole/DragDrop.h"

class COleDropSource {
 public:
  // Whether the drag goes on: DRAGDROP_S_CANCEL when escape is pressed, DRAGDROP_S_DROP when
  // the left button is up, S_OK (go on) otherwise.
  SCODE QueryContinueDrag(BOOL escapePressed, DWORD keyState) const;
};
