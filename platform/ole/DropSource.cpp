#include "platform/ole/DropSource.h"

SCODE COleDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
  if (escapePressed != FALSE || (keyState & MK_RBUTTON) != 0)
    return DRAGDROP_S_CANCEL;
  if ((keyState & MK_LBUTTON) == 0)
    return DRAGDROP_S_DROP;
  return S_OK;
}

SCODE COleDropSource::GiveFeedback(DROPEFFECT /*effect*/) {
  return DRAGDROP_S_USEDEFAULTCURSORS;
}
