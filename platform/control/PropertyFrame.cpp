#include "platform/control/PropertyFrame.h"

#include <utility>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/FrameworkIds.h"

namespace qv::com {
namespace {

// The layout in dialog units: the tab control holds the page below its row of tabs, the
// buttons stand below it at the right.
constexpr int kMargin = 7;
constexpr int kTabRow = 14;  // the height of the row of tabs
constexpr int kInset = 4;    // from the tab control's border to the page
constexpr int kButtonWidth = 50, kButtonHeight = 14, kButtonGap = 4;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

class CPropertyFrame : public CDialog {
 public:
  CPropertyFrame(DialogTemplate t, CWnd* owner, IPropertyPage* page, const PROPPAGEINFO& info,
                 CPoint pageOrigin)
      : CDialog(std::move(t), owner), page_(page), info_(info), pageOrigin_(pageOrigin) {}

 protected:
  BOOL OnInitDialog() override {
    static_cast<CTabCtrl*>(GetDlgItem(AFX_IDC_TAB_CONTROL))->InsertItem(0, info_.title);
    page_->Activate(Handle(), CRect{pageOrigin_.x, pageOrigin_.y, pageOrigin_.x + info_.cx,
                                    pageOrigin_.y + info_.cy});
    return TRUE;
  }
  void OnDestroy() override {
    page_->Deactivate();
    CDialog::OnDestroy();
  }

 private:
  IPropertyPage* page_;
  PROPPAGEINFO info_;
  CPoint pageOrigin_;
};

DialogTemplate SheetTemplate(const std::string& caption, int pageCx, int pageCy,
                             CPoint* pageOrigin) {
  int tabCx = pageCx + 2 * kInset;
  int tabCy = kTabRow + pageCy + 2 * kInset;
  *pageOrigin = CPoint{kMargin + kInset, kMargin + kTabRow + kInset};
  int cx = tabCx + 2 * kMargin;
  int buttonsY = kMargin + tabCy + kMargin;
  DialogTemplate t;
  t.caption = caption;
  t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  t.cx = cx;
  t.cy = buttonsY + kButtonHeight + kMargin;
  t.font = "MS Sans Serif";
  t.items.push_back({"SysTabControl32", AFX_IDC_TAB_CONTROL, "", kChild | WS_TABSTOP, kMargin,
                     kMargin, tabCx, tabCy});
  // The sheet's own buttons speak the language of the current resource module.
  int x = cx - kMargin - 3 * kButtonWidth - 2 * kButtonGap;
  t.items.push_back({"Button", IDOK, LoadFrameworkString(AFX_IDS_OK),
                     kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, x, buttonsY, kButtonWidth,
                     kButtonHeight});
  x += kButtonWidth + kButtonGap;
  t.items.push_back({"Button", IDCANCEL, LoadFrameworkString(AFX_IDS_CANCEL),
                     kChild | WS_TABSTOP | BS_PUSHBUTTON, x, buttonsY, kButtonWidth,
                     kButtonHeight});
  x += kButtonWidth + kButtonGap;
  t.items.push_back({"Button", ID_APPLY_NOW, LoadFrameworkString(AFX_IDS_APPLY),
                     kChild | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, x, buttonsY, kButtonWidth,
                     kButtonHeight});
  return t;
}

}  // namespace

int ShowPropertyFrame(CWnd* owner, const std::string& caption,
                      std::span<const PropertyPageClass> pages) {
  ComPtr<IPropertyPage> page;
  PROPPAGEINFO info;
  if (!pages.empty() && pages[0].create != nullptr)
    page.Attach(pages[0].create());
  if (!page || FAILED(page->GetPageInfo(&info)))
    return -1;

  CPoint pageOrigin;
  CPropertyFrame frame(SheetTemplate(caption, info.cx, info.cy, &pageOrigin), owner, page.Get(),
                       info, pageOrigin);
  return frame.DoModal() == IDOK ? IDOK : IDCANCEL;
}

}  // namespace qv::com
