// Property pages: the pages a control lists for its Properties verb, which the framework's
// property sheet (platform/control/PropertyFrame.h) shows one tab each.
//
// IPropertyPage is what the sheet asks of a page: its tab text and size, a window inside the
// sheet, whether it holds changes, and to apply them to the objects it edits. The page tells
// the sheet through IPropertyPageSite when it holds changes, so that the sheet can offer Apply.
// Both carry the methods the sheet and our pages use, not every method of their Windows
// namesakes.
//
// COlePropertyPage is the framework's page: a dialog template made as a child window of the
// sheet, its caption a string of the current resource module. A derived page reacts to its
// controls, calls SetModifiedFlag when the user changed a value, and writes the values to its
// objects (through their IDispatch) in OnApply.
#pragma once

#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"
#include "platform/ui/Dialog.h"

inline constexpr IID IID_IPropertyPageSite{
    0xB196B28C, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IPropertyPage{
    0xB196B28D, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

// What a page says of itself through OnStatusChange.
inline constexpr DWORD PROPPAGESTATUS_DIRTY = 0x01;  // it holds changes not applied yet
inline constexpr DWORD PROPPAGESTATUS_CLEAN = 0x04;  // it holds none

struct IPropertyPageSite : IUnknown {
  // The page's state changed (PROPPAGESTATUS_ flags). S_OK.
  virtual HRESULT OnStatusChange(DWORD flags) = 0;

 protected:
  ~IPropertyPageSite() = default;
};

struct PROPPAGEINFO {
  std::string title;   // the text of the page's tab
  int cx = 0, cy = 0;  // the page's size in dialog units
};

struct IPropertyPage : IUnknown {
  // Gives the page the sheet's site, of which it keeps a reference; null lets it go. S_OK.
  virtual HRESULT SetPageSite(IPropertyPageSite* site) = 0;
  // Makes the page's window as a child of the window `parent` (a handle), its top left
  // corner at the top left corner of `rect` (the parent's units), and shows it. S_OK;
  // E_INVALIDARG when `parent` names no window, E_FAIL when the page's template is missing.
  virtual HRESULT Activate(int parent, const CRect& rect) = 0;
  // Destroys the page's window; the page keeps its state and may be activated again. S_OK,
  // S_FALSE when it had no window.
  virtual HRESULT Deactivate() = 0;
  // Fills *info: S_OK; E_POINTER for a null `info`.
  virtual HRESULT GetPageInfo(PROPPAGEINFO* info) = 0;
  // The objects the page edits: it keeps a reference to each and lets go of those it had;
  // a count of 0 lets them all go. S_OK; E_POINTER for a null array with a count.
  virtual HRESULT SetObjects(ULONG count, IUnknown* const* objects) = 0;
  // S_OK when the page holds changes not applied yet, S_FALSE when not.
  virtual HRESULT IsPageDirty() = 0;
  // Writes the page's changes to its objects: S_OK, and the page holds none afterwards; a
  // page without changes writes nothing. On failure the error, and the page keeps them.
  virtual HRESULT Apply() = 0;

 protected:
  ~IPropertyPage() = default;
};

class COlePropertyPage : public CDialog, public qv::com::Object<IPropertyPage> {
 public:
  // The page of dialog template `templateId` whose tab text is string `captionId`, both from
  // the current resource module.
  COlePropertyPage(int templateId, UINT captionId);

  HRESULT SetPageSite(IPropertyPageSite* site) override;
  HRESULT Activate(int parent, const CRect& rect) override;
  HRESULT Deactivate() override;
  HRESULT GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT SetObjects(ULONG count, IUnknown* const* objects) override;
  HRESULT IsPageDirty() override;
  HRESULT Apply() override;

 protected:
  ~COlePropertyPage() override;
  void* FindInterface(REFIID iid) override;

  // Marks the page changed (or not) and tells the site.
  void SetModifiedFlag(BOOL modified = TRUE);
  BOOL IsModified() const { return modified_ ? TRUE : FALSE; }
  // The objects the page edits, in the order the sheet gave them.
  const std::vector<qv::com::ComPtr<IUnknown>>& GetObjects() const { return objects_; }
  // Writes the page's values to its objects; runs only while the page is changed. S_OK, or
  // the error of a value an object refused (the page then stays changed). Nothing by default.
  virtual HRESULT OnApply() { return S_OK; }

 private:
  int templateId_;
  UINT captionId_;
  qv::com::ComPtr<IPropertyPageSite> site_;
  std::vector<qv::com::ComPtr<IUnknown>> objects_;
  bool modified_ = false;
};
