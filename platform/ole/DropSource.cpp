#include "platform/ole/DropSource.h"

SCODE COleDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState) const {
  if (escapePressed != FALSE)
    return DRAGDROP_S_CANCEL;
  if ((keyState & MK_LBUTTON) == 0)
    return DRAGDROP_S_DROP;
  return S_OK;
}
