// The framework's property sheet through a control's Properties verb: tabs by the pages'
// captions, the selected page inside, Apply offered while a page holds changes, and the
// changes written to the control by Apply and OK but not by Cancel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/Dispatch.h"
#include "platform/control/OleControl.h"
#include "platform/control/PropertyFrame.h"
#include "platform/control/PropertyPage.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Ui.h"
#include "tests/support/Support.h"
#include "tests/support/WindowTree.h"

namespace {

constexpr int kBorderPage = 9100, kOtherPage = 9101;  // templates and captions
constexpr int kBorderCheck = 1001;

// The pages' templates and captions.
class SheetResources : public qv::ResourceModule {
 public:
  SheetResources() {
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    border_ = {kBorderPage, "", WS_CHILD, 120, 40, "MS Sans Serif", 8, {}};
    border_.items = {
        {"Button", kBorderCheck, "&Border", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 7, 7, 80, 10}};
    other_ = {kOtherPage, "", WS_CHILD, 160, 30, "MS Sans Serif", 8, {}};
    other_.items = {{"Static", -1, "Nothing else", kChild, 7, 7, 100, 8}};
  }
  const DialogTemplate* FindDialog(int id) const override {
    return id == kBorderPage ? &border_ : id == kOtherPage ? &other_ : nullptr;
  }
  const char* FindString(UINT id) const override {
    return id == kBorderPage ? "Border" : id == kOtherPage ? "Other" : nullptr;
  }

 private:
  DialogTemplate border_, other_;
};

// Sets the objects' border style from its check box.
class BorderPage final : public COlePropertyPage {
 public:
  BorderPage() : COlePropertyPage(kBorderPage, kBorderPage) {
    OnCommand(BN_CLICKED, kBorderCheck, [this] {
      border_ = static_cast<SHORT>(static_cast<CButton*>(GetDlgItem(kBorderCheck))->GetCheck());
      SetModifiedFlag();
    });
  }

 protected:
  HRESULT OnApply() override {
    for (const qv::com::ComPtr<IUnknown>& object : GetObjects()) {
      qv::com::ComPtr<IDispatch> dispatch;
      VARIANT value[] = {VARIANT::FromShort(border_)};
      if (FAILED(object.As(IID_IDispatch, &dispatch)) ||
          FAILED(dispatch->Invoke(DISPID_BORDERSTYLE, DISPATCH_PROPERTYPUT, value, nullptr)))
        return E_FAIL;
    }
    return S_OK;
  }

 private:
  ~BorderPage() override = default;
  SHORT border_ = 0;
};

class OtherPage final : public COlePropertyPage {
 public:
  OtherPage() : COlePropertyPage(kOtherPage, kOtherPage) {}

 private:
  ~OtherPage() override = default;
};

class Widget final : public COleControl {
 public:
  Widget()
      : COleControl(Parsed("{0C6D1E2F-3A4B-4C5D-8E9F-A0B1C2D3E4F5}"),
                    Parsed("{0C6D1E2F-3A4B-4C5D-8E9F-A0B1C2D3E4F6}")) {}

 protected:
  std::vector<qv::com::PropertyPageClass> GetPropertyPageClasses() const override {
    return {{Parsed("{0C6D1E2F-3A4B-4C5D-8E9F-A0B1C2D3E501}"),
             []() -> IPropertyPage* { return new BorderPage(); }},
            {Parsed("{0C6D1E2F-3A4B-4C5D-8E9F-A0B1C2D3E502}"),
             []() -> IPropertyPage* { return new OtherPage(); }}};
  }
  std::string GetUserTypeName() const override { return "Widget"; }

 private:
  ~Widget() override = default;
};

class PropertySheet : public ::testing::Test {
 protected:
  PropertySheet() {
    qv::SetResourceModule(&resources_);
    qv::ui::ClearInputProblems();
  }
  ~PropertySheet() override {
    widget_->Release();
    qv::SetResourceModule(nullptr);
  }

  // Shows the sheet and runs the steps.
  void Show() {
    EXPECT_EQ(widget_->DoVerb(OLEIVERB_PROPERTIES), S_OK);
    EXPECT_EQ(user_.Pending(), 0u);
    for (const std::string& problem : qv::ui::InputProblems())
      ADD_FAILURE() << "input problem: " << problem;
    qv::ui::ClearInputProblems();
    EXPECT_TRUE(qv::ui::ModalWindows().empty());
  }
  static void ClickBorder() { qv::ui::ClickAt(TopControl(kBorderCheck).handle); }
  SHORT Border() const { return widget_->GetBorderStyle(); }

  SheetResources resources_;
  Widget* widget_ = new Widget();
  qv::ui::ScriptedUser user_;
};

TEST_F(PropertySheet, OffersApplyWhileAPageHoldsChangesAndSwitchesPagesByTab) {
  user_
      .Then([&] {
        EXPECT_EQ(qv::ui::TakeSnapshot().modals.size(), 1u);
        EXPECT_EQ(TopWindow().text, "Widget Properties");
        EXPECT_EQ(TopControl(AFX_IDC_TAB_CONTROL).lines,
                  (std::vector<std::string>{"Border", "Other"}));
        EXPECT_EQ(TopControl(AFX_IDC_TAB_CONTROL).selection, 0);
        EXPECT_FALSE(TopControl(ID_APPLY_NOW).enabled);
        ClickBorder();
      })
      .Then([&] {
        EXPECT_TRUE(TopControl(ID_APPLY_NOW).enabled);
        EXPECT_EQ(Border(), 0) << "written before Apply";
        qv::ui::Click(ID_APPLY_NOW);
      })
      .Then([&] {
        EXPECT_EQ(Border(), 1);
        EXPECT_FALSE(TopControl(ID_APPLY_NOW).enabled);
        qv::ui::Select(AFX_IDC_TAB_CONTROL, 1);
      })
      .Then([&] {
        qv::ui::WindowState sheet = TopWindow();
        EXPECT_EQ(sheet.Find(AFX_IDC_TAB_CONTROL)->selection, 1);
        EXPECT_EQ(sheet.Find(kBorderCheck), nullptr) << "the first page is still shown";
        const qv::ui::WindowState* other = sheet.Find(kOtherPage);
        ASSERT_TRUE(other != nullptr && !other->children.empty());
        EXPECT_EQ(other->children[0].text, "Nothing else");
        qv::ui::Key(0, VK_ESCAPE);
      });
  Show();
  EXPECT_EQ(Border(), 1);
}

TEST_F(PropertySheet, OkWritesTheChangesAndCancelDropsThem) {
  user_.Then(ClickBorder).Then([] { qv::ui::Click(IDCANCEL); });
  Show();
  EXPECT_EQ(Border(), 0);
  user_.Then(ClickBorder).Then([] { qv::ui::Key(0, VK_RETURN); });  // OK is the default
  Show();
  EXPECT_EQ(Border(), 1);
}

TEST(PropertySheetVerb, IsNotCarriedOutForAControlWithoutPages) {
  struct Plain final : COleControl {
    Plain()
        : COleControl(Parsed("{0C6D1E2F-3A4B-4C5D-8E9F-A0B1C2D3E4F7}"),
                      Parsed("{0C6D1E2F-3A4B-4C5D-8E9F-A0B1C2D3E4F8}")) {}
  };
  auto* plain = new Plain();
  EXPECT_EQ(plain->DoVerb(OLEIVERB_PROPERTIES), E_NOTIMPL);
  EXPECT_TRUE(qv::ui::ModalWindows().empty());
  plain->Release();
}

}  // namespace
