// The framework's property sheet: the modal window a control's Properties verb opens over
// the control, with a tab for the control's property page (by the page's caption), the page
// inside, and the buttons OK, Cancel and Apply.
//
// Our pages take no values (platform/control/PropertyPage.h), so Apply stays disabled. OK
// closes the sheet; Cancel, Escape and the close box close it too. Nothing is written.
//
// In the snapshot the sheet is a modal window whose children are the tab control (its lines
// the tabs), the page's window with the page's controls, and the three buttons.
#pragma once

#include <span>
#include <string>

#include "platform/com/Guid.h"
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

// Makes a page of the first class of `pages` and runs the sheet modally with the caption
// `caption`, owned by `owner` (may be null), until the user closes it; the page is let go of
// afterwards. A control of ours lists one page. IDOK when closed with OK, IDCANCEL
// otherwise; -1 when `pages` is empty or its page could not be made (nothing is shown).
int ShowPropertyFrame(CWnd* owner, const std::string& caption,
                      std::span<const PropertyPageClass> pages);

}  // namespace qv::com
