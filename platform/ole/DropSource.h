// COleDropSource: the framework's drop source, which decides while a drag runs whether it goes
// on, ends in a drop or is cancelled, and is told what a drop would do now.
//
// The drag loop (platform/ole/DragLoop.h) asks QueryContinueDrag before it carries out each
// input of the drag, with the state that input means: a move over a window holds the left
// button down (MK_LBUTTON), a drop releases it (no button), Escape and a cancel press the
// escape key with the button still down.
#pragma once

#include "platform/ole/DragDrop.h"

class COleDropSource {
 public:
  COleDropSource() = default;
  virtual ~COleDropSource() = default;
  COleDropSource(const COleDropSource&) = delete;
  COleDropSource& operator=(const COleDropSource&) = delete;

  // Whether the drag goes on. The framework's answer: DRAGDROP_S_CANCEL when escape is pressed
  // or the right button is down; DRAGDROP_S_DROP when the left button is up; S_OK (go on)
  // otherwise.
  virtual SCODE QueryContinueDrag(BOOL escapePressed, DWORD keyState);

  // Told, after each move, what a drop would do now (DROPEFFECT_NONE: the window there takes
  // nothing). The framework's answer: DRAGDROP_S_USEDEFAULTCURSORS, the usual cursor for the
  // effect.
  virtual SCODE GiveFeedback(DROPEFFECT effect);
};
