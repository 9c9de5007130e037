#include "platform/ui/ImageList.h"

#include "platform/ui/DialogTemplate.h"

BOOL CImageList::Create(int bitmapId, int cx, int /*grow*/, COLORREF mask) {
  const qv::ResourceModule* module = qv::CurrentResourceModule();
  const BitmapResource* bitmap = module != nullptr ? module->FindBitmap(bitmapId) : nullptr;
  if (bitmap == nullptr || cx <= 0 || bitmap->width % cx != 0 ||
      bitmap->width / cx != static_cast<int>(bitmap->images.size()))
    return FALSE;
  bitmapId_ = bitmapId;
  cx_ = cx;
  mask_ = mask;
  names_ = bitmap->images;
  return TRUE;
}

std::string CImageList::ImageName(int index) const {
  return index >= 0 && index < GetImageCount() ? names_[index] : std::string();
}
