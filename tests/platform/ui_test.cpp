// The framework where the form dialogs do not reach it: list view, check list, dialog keys.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/ListCtrl.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Ui.h"
#include "platform/ui/WaitCursor.h"
#include "resources/Dialogs.h"
#include "tests/support/WindowTree.h"

namespace ui = qv::ui;
using Texts = std::vector<std::string>;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr int kList = 300;

// A dialog of `items` that its test sets up: `make` gives the controls it wants of its own
// class, `init` runs once the controls are there, and handlers log into `log`.
class TestDialog : public CDialog {
 public:
  using Make = std::function<std::unique_ptr<CWnd>(TestDialog&, int id)>;
  explicit TestDialog(std::vector<DialogItemTemplate> items,
                      std::function<void(TestDialog&)> init = {}, Make make = {})
      : CDialog(DialogTemplate{0, "Test", WS_POPUP | WS_CAPTION, 200, 120, "MS Sans Serif", 8,
                               std::move(items)}),
        init_(std::move(init)),
        make_(std::move(make)) {}
  using CDialog::OnNotify;
  // Logs `text` each time control `id` sends `code`.
  void Log(UINT code, int id, const std::string& text) {
    OnCommand(code, id, [this, text] { log.push_back(text); });
  }
  template <typename Control>
  Control* Item(int id) {
    return dynamic_cast<Control*>(GetDlgItem(id));
  }
  Texts log;

 protected:
  std::unique_ptr<CWnd> CreateControl(const DialogItemTemplate& item) override {
    return make_ ? make_(*this, item.id) : nullptr;
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    if (init_)
      init_(*this);
    return TRUE;
  }

 private:
  std::function<void(TestDialog&)> init_;
  Make make_;
};

// A list view that takes its own double-click and logs what a view derived from it sees.
class RecordingList : public CListCtrl {
 public:
  explicit RecordingList(Texts* log) {
    OnNotifyReflect(NM_DBLCLK, [log](NMHDR* h) {
      log->push_back("own dblclk " + std::to_string(reinterpret_cast<NMLISTVIEW*>(h)->iItem));
      return LRESULT{0};
    });
    OnMessage(WM_CONTEXTMENU, [log](WPARAM, LPARAM l) {
      log->push_back("menu " + std::to_string(GET_X_LPARAM(l)) + "," +
                     std::to_string(GET_Y_LPARAM(l)));
      return LRESULT{0};
    });
    OnMessage(WM_KEYUP, [log](WPARAM key, LPARAM) {
      log->push_back("keyup " + std::to_string(key));
      return LRESULT{0};
    });
  }
};

class Framework : public ::testing::Test {
 protected:
  Framework() {
    qv::SetResourceModule(&qv::OwnResources());
    ui::ClearInputProblems();
  }
  ~Framework() override { qv::SetResourceModule(nullptr); }
  // Runs the dialog through the steps; it ends with `result`, with no step or problem left.
  void Run(TestDialog& dialog, int result) {
    EXPECT_EQ(dialog.DoModal(), result);
    EXPECT_EQ(user_.Pending(), 0u);
    EXPECT_EQ(user_.RanOut(), 0);
    for (const std::string& problem : ui::InputProblems())
      ADD_FAILURE() << "input problem: " << problem;
  }
  // Expects `count` input problems and clears them.
  static void Problems(std::size_t count) {
    EXPECT_EQ(ui::InputProblems().size(), count);
    ui::ClearInputProblems();
  }
  ui::ScriptedUser user_;
};

}  // namespace

TEST_F(Framework, ListViewTellsItsParentAndReflectsToItself) {
  CImageList small;
  TestDialog dialog(
      {{"SysListView32", kList, "", kChild | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0,
        160, 100},
       {"Button", IDOK, "OK", kChild | BS_DEFPUSHBUTTON, 165, 5, 30, 14}},
      [&small](TestDialog& d) {
        CListCtrl* list = d.Item<CListCtrl>(kList);
        list->InsertColumn(0, "Form Name");
        list->InsertColumn(1, "Form Description", LVCFMT_LEFT, 200);
        EXPECT_TRUE(small.Create(208, 16, 3, RGB(0, 255, 0)));
        list->SetImageList(&small, LVSIL_SMALL);
        for (const char* name : {"Alpha", "Beta", "Gamma"})
          list->InsertItem(list->GetItemCount(), name, 1);
        list->InsertItem(3, "Delta", 2);
        list->SetItemText(1, 1, "Second");
        list->SetItemData(3, 4);
      },
      [](TestDialog& d, int id) {
        return id == kList ? std::make_unique<RecordingList>(&d.log) : nullptr;
      });
  dialog.OnNotify(LVN_ITEMCHANGED, kList, [&dialog](NMHDR* h) {
    auto* change = reinterpret_cast<NMLISTVIEW*>(h);
    std::string row = "row " + std::to_string(change->iItem) + " ";
    dialog.log.push_back((change->uChanged & LVIF_STATE) != 0
                             ? row + std::to_string(change->uOldState) + ">" +
                                   std::to_string(change->uNewState)
                             : row + "changed " + std::to_string(change->uChanged));
    return LRESULT{0};
  });
  for (UINT code : {NM_CLICK, NM_DBLCLK, NM_RCLICK, LVN_BEGINDRAG})
    dialog.OnNotify(code, kList, [&dialog, code](NMHDR* h) {
      dialog.log.push_back("parent " + std::to_string(-static_cast<int>(code)) + " " +
                           std::to_string(reinterpret_cast<NMLISTVIEW*>(h)->iItem));
      return LRESULT{0};
    });
  // Each step checks what the last one's input told, then gives the next input.
  auto then = [&](Texts told, std::function<void()> input) {
    user_.Then([&dialog, told, input] {
      EXPECT_EQ(dialog.log, told);
      dialog.log.clear();
      input();
    });
  };
  user_.Then([&dialog] {
    ui::WindowState list = TopControl(kList);
    EXPECT_EQ(list.columns, (Texts{"Form Name", "Form Description"}));
    EXPECT_EQ(list.columnWidths, (std::vector<int>{54, 200}));
    ASSERT_EQ(list.rows.size(), 4u);
    EXPECT_EQ(list.rows[1], (Texts{"Beta", "Second"}));
    EXPECT_EQ(list.images, (Texts{"form", "form", "form", "group"}));
    EXPECT_EQ(list.selection, -1);
    // Filling told the parent of the text and data changes, not of the inserts.
    EXPECT_EQ(dialog.log, (Texts{"row 1 changed 1", "row 3 changed 4"}));
    dialog.log.clear();
    // One row selected at a time: the row that loses the selection is told first. Setting a
    // state a row already has tells nobody.
    CListCtrl* ctrl = dialog.Item<CListCtrl>(kList);
    ctrl->SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    ctrl->SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ctrl->SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(ctrl->GetNextItem(-1, LVNI_SELECTED), 2);
  });
  then({"row 0 0>2", "row 0 2>0", "row 2 0>3"}, [] { ui::Select(kList, 1); });
  // The list's own entry takes a double-click; the parent hears nothing.
  then({"row 2 3>0", "row 1 0>3", "parent 2 1"}, [] {
    EXPECT_TRUE(TopControl(kList).focused);
    ui::DoubleClick(kList, 3);
  });
  // The menu key asks for the menu at no point; a right click selects, then asks at the row's
  // middle.
  then({"row 1 3>0", "row 3 0>3", "own dblclk 3"}, [] {
    for (int key : {VK_UP, VK_F5, VK_APPS})
      ui::Key(kList, key);
    ui::RightClick(kList, 0);
  });
  then({"row 3 3>0", "row 2 0>3", "keyup 38", "keyup 116", "menu -1,-1", "keyup 93", "row 2 3>0",
        "row 0 0>3", "parent 5 0", "menu 127,28"},
       [] {
         ui::Drag(kList, 2, 0);
         ui::Select(kList, -1);  // a click where no row is clears the selection, not the focus
       });
  then({"row 0 3>0", "row 2 0>3", "parent 109 2", "row 2 3>1", "parent 2 -1"}, [] {
    EXPECT_EQ(TopControl(kList).selection, -1);
    EXPECT_EQ(TopControl(kList).caret, 2);
    ui::Select(kList, 4);  // no such row
  });
  user_.Then([] {
    Problems(1);
    ui::Click(IDOK);
  });
  Run(dialog, IDOK);
}

TEST_F(Framework, ListViewGeometryAndImageLists) {
  CImageList large;
  EXPECT_TRUE(large.Create(201, 32, 3, RGB(0, 255, 0)));
  EXPECT_EQ(large.ImageName(0), "add new form");
  EXPECT_EQ(large.ImageName(3), "");
  CImageList bad;
  EXPECT_FALSE(bad.Create(201, 20, 3, 0));  // 96 pixels are not cut into 20-pixel images
  EXPECT_FALSE(bad.Create(999, 32, 3, 0));

  // Without a window: the catalogue's use. Large icons fill rows of cells.
  CListCtrl list;
  list.SetClientSize(160, 300);
  for (int i = 0; i < 4; ++i)
    list.InsertItem(i, "Row");
  CRect icon, label, bounds;
  ASSERT_TRUE(list.GetItemRect(3, &icon, LVIR_ICON) && list.GetItemRect(3, &label, LVIR_LABEL));
  EXPECT_EQ(icon, (CRect{96, 77, 128, 109}));
  EXPECT_EQ(label, (CRect{75, 111, 150, 150}));
  list.ModifyStyle(LVS_TYPEMASK, LVS_LIST);  // a list fills columns
  list.SetClientSize(300, 40);
  ASSERT_TRUE(list.GetItemRect(3, &bounds, LVIR_BOUNDS));
  EXPECT_EQ(bounds, (CRect{150, 17, 300, 34}));
  EXPECT_FALSE(list.GetItemRect(4, &bounds, LVIR_BOUNDS));
  EXPECT_EQ(list.InsertItem(-1, "x"), -1);
  EXPECT_EQ(list.InsertItem(99, "Last"), 4);
  EXPECT_EQ(list.InsertColumn(-1, "x"), -1);
  EXPECT_EQ(list.GetColumnWidth(0), 0);
}

TEST_F(Framework, CheckListRadioGroupsAndKeys) {
  constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON;
  TestDialog dialog(
      {{"ListBox", 10, "", kChild | LBS_NOTIFY | LBS_HASSTRINGS, 0, 0, 80, 40},
       {"Button", 11, "A1", kRadio | WS_GROUP, 90, 0, 40, 10},
       {"Button", 12, "A2", kRadio, 90, 12, 40, 10},
       {"Button", 13, "B1", kRadio | WS_GROUP, 90, 30, 40, 10},
       {"Button", 14, "B2", kRadio, 90, 42, 40, 10},
       {"Button", IDOK, "OK", kChild | BS_DEFPUSHBUTTON, 10, 90, 40, 14},
       {"Button", 20, "Other", kChild | BS_PUSHBUTTON, 60, 90, 40, 14}},
      [](TestDialog& d) {
        auto* checks = d.Item<CCheckListBox>(10);
        checks->AddString("One");
        checks->AddString("Two");
        checks->SetCheck(1, BST_CHECKED);
      },
      [](TestDialog&, int id) { return id == 10 ? std::make_unique<CCheckListBox>() : nullptr; });
  dialog.Log(CLBN_CHKCHANGE, 10, "check");
  dialog.Log(LBN_SELCHANGE, 10, "select");
  dialog.Log(BN_CLICKED, 20, "other");
  user_.Then([] {
    EXPECT_EQ(TopControl(10).checks, (std::vector<int>{0, 1}));
    EXPECT_EQ(TopControl(10).caret, 0);  // a filled list's caret is on line 0, nothing selected
    EXPECT_EQ(TopControl(10).selection, -1);
    {
      CWaitCursor wait;
      EXPECT_TRUE(ui::TakeSnapshot().waitCursor);
    }
    EXPECT_FALSE(ui::TakeSnapshot().waitCursor);
    ui::Check(10, 0);   // the click on a check box selects its line, then checks it
    ui::Select(10, 1);  // a selection does not check
    for (int radio : {11, 13, 12})
      ui::Click(radio);
  });
  user_.Then([&dialog] {
    EXPECT_EQ(TopControl(10).checks, (std::vector<int>{1, 1}));
    EXPECT_EQ(dialog.log, (Texts{"select", "check", "select"}));
    EXPECT_EQ(TopControl(11).checked, BST_UNCHECKED);
    EXPECT_EQ(TopControl(12).checked, BST_CHECKED);
    EXPECT_EQ(TopControl(13).checked, BST_CHECKED);  // another group keeps its choice
    // Enter presses the focused push button; the default one is pressed from elsewhere.
    ui::Click(20);
    ui::Key(20, VK_RETURN);
  });
  user_.Then([&dialog] {
    EXPECT_EQ(dialog.log, (Texts{"select", "check", "select", "other", "other"}));
    EXPECT_TRUE(TopControl(20).isDefault);
    // A Yes/No box ignores Escape and the close box; an OK box takes them as OK.
    EXPECT_EQ(AfxMessageBox("Sure?", MB_YESNO), IDNO);
  });
  user_.Then([] {
    ui::Key(0, VK_ESCAPE);
    ui::CloseWindow();
  });
  user_.Then([] {
    // The box is still open: its close box is greyed, and a click on it is refused.
    EXPECT_EQ(ui::TakeSnapshot().modals.size(), 2u);
    EXPECT_FALSE(TopWindow().closeEnabled);
    ASSERT_EQ(ui::InputProblems().size(), 1u);
    EXPECT_NE(ui::InputProblems()[0].find("close box"), std::string::npos);
    ui::ClearInputProblems();
    ui::Click(IDNO);
  });
  user_.Then([&dialog] {
    auto* list = dialog.Item<CListBox>(10);
    EXPECT_EQ(list->GetCaretIndex(), 1);
    list->ResetContent();
    list->AddString("Three");
    EXPECT_EQ(list->GetCaretIndex(), 0);  // on line 0 again after the reset
    EXPECT_EQ(AfxMessageBox("Done."), IDOK);
  });
  user_.Then([] {
    EXPECT_TRUE(TopWindow().closeEnabled);
    ui::CloseWindow();
  });
  user_.Then([] { ui::Key(0, VK_ESCAPE); });
  Run(dialog, IDCANCEL);
}

TEST_F(Framework, DialogKeysTabMnemonicsAndEnter) {
  constexpr DWORD kPlain = WS_CHILD | WS_VISIBLE;
  TestDialog dialog(
      {{"Static", -1, "&Name:", kPlain, 0, 0, 40, 8},
       {"Edit", 10, "", kChild, 0, 10, 80, 12},
       {"Button", 11, "&Kind", kPlain | BS_GROUPBOX, 0, 25, 80, 40},
       {"Button", 12, "&Apple", kChild | WS_GROUP | BS_AUTORADIOBUTTON, 5, 35, 60, 10},
       {"Button", 13, "&Beet", kPlain | BS_AUTORADIOBUTTON, 5, 47, 60, 10},
       {"Button", 14, "&Required", kChild | WS_GROUP | BS_AUTOCHECKBOX, 0, 70, 80, 10},
       {"Button", 15, "&Disabled", kChild | BS_PUSHBUTTON, 0, 82, 40, 14},
       {"Static", -1, "&Lines:", kPlain, 90, 0, 40, 8},
       {"Edit", 16, "", kChild | ES_MULTILINE | ES_WANTRETURN, 90, 10, 80, 40},
       {"Button", IDOK, "OK", kChild | BS_DEFPUSHBUTTON, 90, 90, 40, 14},
       {"Button", 20, "&Other", kChild | BS_PUSHBUTTON, 140, 90, 40, 14}},
      [](TestDialog& d) {
        d.Item<CButton>(13)->SetCheck(BST_CHECKED);
        d.GetDlgItem(15)->EnableWindow(FALSE);
      });
  dialog.Log(BN_CLICKED, 20, "other");
  dialog.Log(BN_CLICKED, 15, "disabled");
  auto keys = [](std::vector<std::pair<int, int>> presses) {
    for (auto [key, modifiers] : presses)
      ui::Key(0, key, modifiers);
  };
  constexpr int kShift = UserInput::kShift, kAlt = UserInput::kAlt;
  std::vector<int> seen;
  // Tab goes round the enabled tab stops in template order, into a radio group at its checked
  // button; Shift+Tab leaves the group from its first button backwards.
  for (int n = 0; n < 10; ++n)
    user_.Then([&seen, n] {
      seen.push_back(FocusedControl());
      ui::Key(0, VK_TAB, n < 6 ? 0 : kShift);
    });
  user_.Then([&] {
    EXPECT_EQ(seen, (std::vector<int>{10, 13, 14, 16, IDOK, 20, 10, 20, IDOK, 16}));
    EXPECT_EQ(FocusedControl(), 14);
    // A label's mnemonic focuses the control after it; a group box's chooses its radio button;
    // a button's presses it; a disabled control's does nothing.
    keys({{'L', kAlt}});
  });
  user_.Then([&] {
    EXPECT_EQ(FocusedControl(), 16);
    EXPECT_TRUE(TopControl(16).takesReturn);
    EXPECT_FALSE(TopControl(10).takesReturn);
    keys({{'A', kAlt}, {'K', kAlt}});
  });
  user_.Then([&] {
    EXPECT_EQ(FocusedControl(), 12);
    EXPECT_EQ(TopControl(12).checked, BST_CHECKED);
    EXPECT_EQ(TopControl(13).checked, BST_UNCHECKED);
    keys({{'D', kAlt}, {'R', 0}, {'O', kAlt}});
  });
  user_.Then([&] {
    // Without Alt a letter is a mnemonic where the focus takes no characters.
    EXPECT_EQ(TopControl(14).checked, BST_CHECKED);
    EXPECT_EQ(dialog.log, (Texts{"other"}));
    EXPECT_EQ(FocusedControl(), 20);
    Problems(0);
    keys({{'N', kAlt}, {'R', 0}});  // in the edit box R is typing, not the check box
  });
  user_.Then([&] {
    EXPECT_EQ(FocusedControl(), 10);
    EXPECT_EQ(TopControl(14).checked, BST_CHECKED);
    Problems(1);  // the key went on to the box
    // Enter: the focused push button; in a multi-line edit box that wants returns, the box's.
    keys({{VK_TAB, kShift}, {VK_RETURN, 0}, {'L', kAlt}});
    ui::Key(16, VK_RETURN);
  });
  user_.Then([&] {
    EXPECT_EQ(dialog.log, (Texts{"other", "other"}));
    Problems(1);
    keys({{'N', kAlt}, {VK_RETURN, 0}});
  });
  Run(dialog, IDOK);
}
