// The framework's property sheet: the modal window a control's Properties verb opens over
// the control, with one tab per property page (by the page's caption), the page of the
// selected tab inside, and the buttons OK, Cancel and Apply.
//
// Apply is disabled until a page says it holds changes (platform/control/PropertyPage.h); it then
// writes the changes of every changed page to the objects and is disabled again. OK does the
// same and closes the sheet; Cancel, Escape and the close box close it without writing
// anything. A page whose changes its objects refuse keeps the sheet open on OK.
//
// In the snapshot the sheet is a modal window whose children are the tab control (its lines
// the tabs), the selected page's window with the page's controls, and the three buttons.
#pragma once

#include <span>
#include <string>

#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"
#include "platform/control/PropertyPage.h"
#include "platform/ui/Wnd.h"

// The ids of the sheet's own controls.
inline constexpr int AFX_IDC_TAB_CONTROL = 0x3020;
inline constexpr int ID_APPLY_NOW = 0x3021;

namespace qv::com {

// A property page class as a control lists it: the page's class id, and how the module that
// holds the class makes a page of it (a new page whose first reference the caller owns; null
// when none could be made).
struct PropertyPageClass {
  CLSID clsid;
  IPropertyPage* (*create)();
};

// Makes a page of each class, gives each page `objects`, and runs the sheet modally with the
// caption `caption`, owned by `owner` (may be null), until the user closes it; the pages are
// let go of afterwards. IDOK when closed with OK, IDCANCEL otherwise; -1 when no page could
// be made (nothing is shown).
int ShowPropertyFrame(CWnd* owner, const std::string& caption, std::span<IUnknown* const> objects,
                      std::span<const PropertyPageClass> pages);

}  // namespace qv::com
