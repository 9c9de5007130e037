// CImageList: a row of equal images cut from one bitmap resource. We draw nothing, so a list
// holds what a front end needs to draw it: the bitmap's id, the image size and, for each
// image, the name the bitmap resource gives it.
#pragma once

#include <string>
#include <vector>

#include "platform/base/wintypes.h"

using COLORREF = DWORD;
inline constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

class CImageList {
 public:
  // Cuts bitmap `bitmapId` of the current resource module into images `cx` pixels wide.
  // FALSE when the module has no such bitmap, or `cx` is not a whole fraction of its width.
  // Our lists never grow, so `grow` is not kept; the mask colour is kept for a front end.
  BOOL Create(int bitmapId, int cx, int grow, COLORREF mask);
  int GetImageCount() const { return static_cast<int>(names_.size()); }
  int BitmapId() const { return bitmapId_; }
  int ImageWidth() const { return cx_; }
  COLORREF MaskColor() const { return mask_; }
  // The name of image `index`; "" for a bad index.
  std::string ImageName(int index) const;

 private:
  int bitmapId_ = 0;
  int cx_ = 0;
  COLORREF mask_ = 0;
  std::vector<std::string> names_;
};
