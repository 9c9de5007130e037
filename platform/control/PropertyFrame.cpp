#include "platform/control/PropertyFrame.h"

#include <algorithm>
#include <utility>
#include <vector>

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

struct Page {
  ComPtr<IPropertyPage> page;
  PROPPAGEINFO info;
};

class CPropertyFrame;

// The sheet's end of its pages: a page that holds changes enables Apply.
class FrameSite final : public Object<IPropertyPageSite> {
 public:
  HRESULT OnStatusChange(DWORD flags) override;
  // The sheet the pages' changes reach; null while there is none (before it is made and
  // after it has gone).
  void Bind(CPropertyFrame* frame) { frame_ = frame; }

 private:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IPropertyPageSite)
      return static_cast<IPropertyPageSite*>(this);
    return nullptr;
  }

  CPropertyFrame* frame_ = nullptr;
};

class CPropertyFrame : public CDialog {
 public:
  CPropertyFrame(DialogTemplate t, CWnd* owner, std::vector<Page>& pages, CPoint pageOrigin)
      : CDialog(std::move(t), owner), pages_(pages), pageOrigin_(pageOrigin) {
    OnCommand(BN_CLICKED, ID_APPLY_NOW, [this] { ApplyPages(); });
    OnNotify(TCN_SELCHANGE, AFX_IDC_TAB_CONTROL, [this](NMHDR*) {
      ShowPage(Tabs()->GetCurSel());
      return LRESULT{0};
    });
  }

  // Apply is enabled exactly while a page holds changes.
  void UpdateApply() {
    bool changed = std::any_of(pages_.begin(), pages_.end(),
                               [](const Page& p) { return p.page->IsPageDirty() == S_OK; });
    if (CWnd* apply = GetDlgItem(ID_APPLY_NOW))
      apply->EnableWindow(changed ? TRUE : FALSE);
  }

 protected:
  BOOL OnInitDialog() override {
    for (const Page& p : pages_)
      Tabs()->InsertItem(Tabs()->GetItemCount(), p.info.title);
    ShowPage(0);
    return TRUE;
  }
  void OnOK() override {
    if (ApplyPages())
      EndDialog(IDOK);
  }
  void OnDestroy() override {
    if (shown_ >= 0)
      pages_[static_cast<std::size_t>(shown_)].page->Deactivate();
    shown_ = -1;
    CDialog::OnDestroy();
  }

 private:
  CTabCtrl* Tabs() const { return static_cast<CTabCtrl*>(GetDlgItem(AFX_IDC_TAB_CONTROL)); }

  void ShowPage(int index) {
    if (index < 0 || index >= static_cast<int>(pages_.size()) || index == shown_)
      return;
    if (shown_ >= 0)
      pages_[static_cast<std::size_t>(shown_)].page->Deactivate();
    const Page& p = pages_[static_cast<std::size_t>(index)];
    p.page->Activate(Handle(), CRect{pageOrigin_.x, pageOrigin_.y, pageOrigin_.x + p.info.cx,
                                     pageOrigin_.y + p.info.cy});
    shown_ = index;
    Tabs()->SetCurSel(index);
  }

  // Writes the changes of every changed page; false when a page's objects refused them.
  bool ApplyPages() {
    bool applied = true;
    for (Page& p : pages_)
      if (p.page->IsPageDirty() == S_OK && FAILED(p.page->Apply()))
        applied = false;
    UpdateApply();
    return applied;
  }

  std::vector<Page>& pages_;
  CPoint pageOrigin_;
  int shown_ = -1;
};

HRESULT FrameSite::OnStatusChange(DWORD /*flags*/) {
  if (frame_ != nullptr && frame_->IsWindow())
    frame_->UpdateApply();
  return S_OK;
}

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

int ShowPropertyFrame(CWnd* owner, const std::string& caption, std::span<IUnknown* const> objects,
                      std::span<const PropertyPageClass> pages) {
  ComPtr<FrameSite> site = MakeObject<FrameSite>();
  std::vector<Page> made;
  int pageCx = 0, pageCy = 0;
  for (const PropertyPageClass& pageClass : pages) {
    Page p;
    p.page.Attach(pageClass.create != nullptr ? pageClass.create() : nullptr);
    if (!p.page || FAILED(p.page->GetPageInfo(&p.info)))
      continue;
    p.page->SetPageSite(site.Get());
    p.page->SetObjects(static_cast<ULONG>(objects.size()), objects.data());
    pageCx = std::max(pageCx, p.info.cx);
    pageCy = std::max(pageCy, p.info.cy);
    made.push_back(std::move(p));
  }
  if (made.empty())
    return -1;

  CPoint pageOrigin;
  CPropertyFrame frame(SheetTemplate(caption, pageCx, pageCy, &pageOrigin), owner, made,
                       pageOrigin);
  site->Bind(&frame);
  INT_PTR result = frame.DoModal();
  site->Bind(nullptr);
  for (Page& p : made) {
    p.page->Deactivate();
    p.page->SetObjects(0, nullptr);
    p.page->SetPageSite(nullptr);
  }
  return result == IDOK ? IDOK : IDCANCEL;
}

}  // namespace qv::com
