#include "platform/ole/DataObject.h"

#include <cstring>

namespace {

FORMATETC Describe(CLIPFORMAT format, const FORMATETC* description) {
  FORMATETC asked = description != nullptr ? *description : FORMATETC();
  asked.cfFormat = format;
  return asked;
}

// A new block holding a copy of `block`'s bytes (made with the flags `block` was); 0 when
// memory runs out.
HGLOBAL CopyOf(HGLOBAL block) {
  SIZE_T size = GlobalSize(block);
  HGLOBAL copy = GlobalAlloc(qv::ole::GlobalAllocFlags(block), size);
  if (copy == 0 || size == 0)
    return copy;
  const void* from = GlobalLock(block);
  void* to = GlobalLock(copy);
  std::memcpy(to, from, size);
  GlobalUnlock(copy);
  GlobalUnlock(block);
  return copy;
}

}  // namespace

void ReleaseStgMedium(STGMEDIUM* medium) {
  if (medium == nullptr)
    return;
  if (medium->pUnkForRelease != nullptr)
    medium->pUnkForRelease->Release();
  else if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal != 0)
    GlobalFree(medium->hGlobal);
  *medium = STGMEDIUM();
}

void COleDataObject::Attach(IDataObject* data) {
  data_ = qv::com::ComPtr<IDataObject>(data);
}

BOOL COleDataObject::IsDataAvailable(CLIPFORMAT format, const FORMATETC* description) const {
  if (!data_)
    return FALSE;
  FORMATETC asked = Describe(format, description);
  return data_->QueryGetData(&asked) == S_OK ? TRUE : FALSE;
}

BOOL COleDataObject::GetData(CLIPFORMAT format, STGMEDIUM* medium, const FORMATETC* description) {
  if (medium == nullptr)
    return FALSE;
  *medium = STGMEDIUM();
  if (!data_)
    return FALSE;
  FORMATETC asked = Describe(format, description);
  if (FAILED(data_->GetData(&asked, medium))) {
    *medium = STGMEDIUM();
    return FALSE;
  }
  return TRUE;
}

HGLOBAL COleDataObject::GetGlobalData(CLIPFORMAT format, const FORMATETC* description) {
  FORMATETC asked = Describe(format, description);
  asked.tymed = TYMED_HGLOBAL;
  STGMEDIUM medium;
  if (GetData(format, &medium, &asked) == FALSE)
    return 0;
  if (medium.tymed != TYMED_HGLOBAL) {
    ReleaseStgMedium(&medium);
    return 0;
  }
  if (medium.pUnkForRelease == nullptr)
    return medium.hGlobal;  // the caller's to free
  HGLOBAL copy = CopyOf(medium.hGlobal);
  ReleaseStgMedium(&medium);
  return copy;
}
