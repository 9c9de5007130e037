#include <gtest/gtest.h>

#include "editor/ItemListDlg.h"
#include "resources/ResourceIds.h"
#include "tests/editor/EditorFixture.h"

namespace ui = qv::ui;
using Texts = std::vector<std::string>;

namespace {

class ItemList : public EditorFixture {
 protected:
  int Run(int type) {
    CItemListDlg dialog(nullptr, field_.items.empty() ? FALSE : TRUE, &field_.items, &type);
    int result = static_cast<int>(dialog.DoModal());
    Finished();
    return result;
  }
  Texts Stored() const {
    Texts texts;
    for (const auto& item : field_.items) {
      EXPECT_FALSE(item->pendingAdd || item->pendingDelete) << item->text;
      texts.push_back(item->text);
    }
    return texts;
  }
  CFormField field_;
};

}  // namespace

TEST_F(ItemList, ShowsSortedKeepsEnteredOrderAndUndoesOnCancel) {
  user_.Then([] {
    for (const char* text : {"Cherry", "Apple", "Banana"}) {
      ui::Type(IDC_ITEM_NAME, text);
      ui::Click(IDC_INSERT_ITEM);
    }
  });
  user_.Then([] {
    EXPECT_EQ(Control(IDC_ITEM_NAME).text, "");
    ui::Click(IDOK);
  });
  EXPECT_EQ(Run(CFormField::kEditList), IDOK);
  EXPECT_EQ(Stored(), (Texts{"Cherry", "Apple", "Banana"}));

  // Insert one, delete one (by double-click, which puts its text back in the box), Cancel.
  user_.Then([] {
    ui::Type(IDC_ITEM_NAME, "Damson");
    ui::Click(IDC_INSERT_ITEM);
    ui::DoubleClick(IDC_ITEM_LIST, 0);
  });
  user_.Then([] {
    EXPECT_EQ(Control(IDC_ITEM_NAME).text, "Apple");
    EXPECT_EQ(Lines(IDC_ITEM_LIST), (Texts{"Banana", "Cherry", "Damson"}));
    ui::Key(0, VK_ESCAPE);
  });
  EXPECT_EQ(Run(CFormField::kEditList), IDCANCEL);
  EXPECT_EQ(Stored(), (Texts{"Cherry", "Apple", "Banana"}));

  // A fixed list may not be left empty: the message, and the items stay until Cancel.
  user_.Then([] {
    for (int i = 0; i < 3; ++i) {
      ui::Select(IDC_ITEM_LIST, 0);
      ui::Key(IDC_ITEM_LIST, VK_DELETE);
    }
    ui::Click(IDOK);
  });
  Box("At least one item must be entered for the Combo box - (fixed list) field type.");
  user_.Then([] {
    EXPECT_TRUE(Control(IDC_ITEM_NAME).focused);
    ui::Key(0, VK_ESCAPE);
  });
  EXPECT_EQ(Run(CFormField::kFixedList), IDCANCEL);
  EXPECT_EQ(Stored(), (Texts{"Cherry", "Apple", "Banana"}));
}

TEST_F(ItemList, DeletingOneOfTwoEqualLinesRemovesThatLinesOwnItem) {
  field_.AddItem("Same");
  field_.AddItem("Other");
  field_.AddItem("Same");
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_ITEM_LIST), (Texts{"Other", "Same", "Same"}));
    ui::Select(IDC_ITEM_LIST, 1);  // the top "Same" line: the newer item
    ui::Click(IDC_DELETE_ITEM);
  });
  user_.Then([] { ui::Click(IDOK); });
  EXPECT_EQ(Run(CFormField::kEditList), IDOK);
  EXPECT_EQ(Stored(), (Texts{"Same", "Other"}));
}

TEST_F(ItemList, ListsInWordOrderWithTheNewestOfEqualLinesOnTop) {
  // "\xC9" "clair" is Éclair in Windows-1252.
  // clang-format off
  static const Texts entered = {"Zebra", "~tilde", "\xC9" "clair", "Echo", "Edge", "co-op",
                                "coop", "APPLE", "cherry", "Banana", "10", "9", "apple"};
  static const Texts listed = {"~tilde", "10", "9", "apple", "APPLE", "Banana", "cherry", "coop",
                               "co-op", "Echo", "\xC9" "clair", "Edge", "Zebra"};
  // clang-format on
  user_.Then([] {
    for (const std::string& text : entered) {
      ui::Type(IDC_ITEM_NAME, text);
      ui::Click(IDC_INSERT_ITEM);
    }
  });
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_ITEM_LIST), listed);
    ui::Click(IDOK);
  });
  EXPECT_EQ(Run(CFormField::kEditList), IDOK);
}
