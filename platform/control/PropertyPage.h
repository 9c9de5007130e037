// Property pages: the pages a control lists for its Properties verb, which the framework's
// property sheet (platform/control/PropertyFrame.h) shows in a tab.
//
// IPropertyPage is what the sheet asks of a page: its tab text and size, and a window inside
// the sheet. It carries the methods the sheet uses, not every method of its Windows namesake:
// our pages show what a control is and take no values, so they never hold changes to apply.
//
// COlePropertyPage is the framework's page: a dialog template made as a child window of the
// sheet, its caption a string of the current resource module.
#pragma once

#include <string>

#include "platform/base/wintypes.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"
#include "platform/ui/Dialog.h"

inline constexpr IID IID_IPropertyPage{
    0xB196B28D, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

struct PROPPAGEINFO {
  std::string title;   // the text of the page's tab
  int cx = 0, cy = 0;  // the page's size in dialog units
};

struct IPropertyPage : IUnknown {
  // Makes the page's window as a child of the window `parent` (a handle), its top left
  // corner at the top left corner of `rect` (the parent's units), and shows it. S_OK;
  // E_INVALIDARG when `parent` names no window, E_FAIL when the page's template is missing.
  virtual HRESULT Activate(int parent, const CRect& rect) = 0;
  // Destroys the page's window; the page may be activated again. S_OK, S_FALSE when it had
  // no window.
  virtual HRESULT Deactivate() = 0;
  // Fills *info: S_OK; E_POINTER for a null `info`.
  virtual HRESULT GetPageInfo(PROPPAGEINFO* info) = 0;

 protected:
  ~IPropertyPage() = default;
};

class COlePropertyPage : public CDialog, public qv::com::Object<IPropertyPage> {
 public:
  // The page of dialog template `templateId` whose tab text is string `captionId`, both from
  // the current resource module.
  COlePropertyPage(int templateId, UINT captionId);

  HRESULT Activate(int parent, const CRect& rect) override;
  HRESULT Deactivate() override;
  HRESULT GetPageInfo(PROPPAGEINFO* info) override;

 protected:
  ~COlePropertyPage() override;
  void* FindInterface(REFIID iid) override;

 private:
  int templateId_;
  UINT captionId_;
};
