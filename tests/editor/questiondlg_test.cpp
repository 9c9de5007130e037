#include <gtest/gtest.h>

#include "editor/QuestionDlg.h"
#include "tests/editor/EditorFixture.h"

namespace ui = qv::ui;
using Texts = std::vector<std::string>;

namespace {

constexpr const char* kFilledIn = "The Question text and the Inventory name must be filled in.";
constexpr const char* kDuplicateText = "Duplicate Question Text in the same form is not allowed.";
constexpr const char* kDuplicateId = "Duplicate Database ID's in the same form are not allowed.";
constexpr const char* kHyphen =
    "The character sequence \" - \" is not allowed as part of the Inventory name.";

// A form of two questions with a separator between them, and the dialog run on one entry.
class QuestionDialog : public EditorFixture {
 protected:
  QuestionDialog() {
    room_ = AddEntry("Room number", "{Room}", CFormField::kEditBox);
    entries_.push_back(std::make_unique<CFormField>());
    entries_.back()->kind = CFormField::kSeparator;
    entries_.back()->marker = true;
    floor_ = AddEntry("Which floor?", "Floor", CFormField::kFixedList);
    floor_->AddItem("Ground");
    floor_->AddItem("First");
  }
  CFormField* AddEntry(const char* text, const char* inventory, int type) {
    entries_.push_back(std::make_unique<CFormField>());
    CFormField* entry = entries_.back().get();
    entry->questionText = text;
    entry->inventoryName = inventory;
    entry->controlType = type;
    return entry;
  }

  // Runs the dialog as the form editor does and returns its result; the dirty flag is kept.
  int Run(int editMode, CFormField* entry) {
    CQuestionDlg dialog(nullptr, editMode, entry, &entries_);
    int result = static_cast<int>(dialog.DoModal());
    dirty_ = dialog.GetDirty();
    EXPECT_EQ(user_.Pending(), 0u) << "steps left over";
    EXPECT_EQ(user_.RanOut(), 0) << "the dialog waited for input that never came";
    for (const std::string& problem : ui::InputProblems())
      ADD_FAILURE() << "input problem: " << problem;
    return result;
  }
  // A step that expects the message box, answers it and then sees the focus on `focusId`.
  void Rejected(const char* text, int focusId) {
    Box(text);
    user_.Then([focusId] {
      EXPECT_EQ(Top().text, "Add Question");
      EXPECT_TRUE(Control(focusId).focused) << "focus not on " << focusId;
      EXPECT_EQ(ui::TakeSnapshot().modals.size(), 1u);
    });
  }

  CFormDefinition::FieldList entries_;
  CFormField* room_ = nullptr;
  CFormField* floor_ = nullptr;
  int dirty_ = -1;
};

}  // namespace

TEST_F(QuestionDialog, ChecksInOrderAndOnlyTheHyphenMovesTheFocus) {
  CFormField fresh;
  user_.Then([] {
    EXPECT_EQ(Top().text, "Add Question");
    EXPECT_TRUE(Control(1000).focused);
    EXPECT_EQ(Control(1004).checked, BST_CHECKED);
    EXPECT_EQ(Control(1).text, "&Finish");
    EXPECT_TRUE(Control(1).isDefault);
    // " - " is looked at before the empty question text.
    ui::Type(1002, "Left - Right");
    ui::Click(1000);
    ui::Key(1000, VK_RETURN);
  });
  Rejected(kHyphen, 1002);
  user_.Then([] {
    ui::Type(1002, "Left-Right");  // a hyphen not between two blanks is allowed
    ui::Click(1000);
    ui::Key(1000, VK_RETURN);
  });
  Rejected(kFilledIn, 1000);
  user_.Then([] {
    ui::Type(1000, "ROOM NUMBER");
    ui::Key(1000, VK_RETURN);
  });
  Rejected(kDuplicateText, 1000);
  user_.Then([] {
    ui::Type(1000, "Desk");
    ui::Type(1002, "fLOOR");
    ui::Key(1002, VK_RETURN);
  });
  Rejected(kDuplicateId, 1002);
  user_.Then([] {
    ui::Type(1002, "Desk-Side");
    ui::Type(1003, "Where you sit");
    ui::Click(1006);
  });
  user_.Then([] {
    EXPECT_EQ(Control(1).text, "&Next >");
    ui::Click(1004);
  });
  user_.Then([] {
    EXPECT_EQ(Control(1).text, "&Finish");
    ui::Click(201);
    ui::Key(1003, VK_RETURN);
  });
  EXPECT_EQ(Run(0, &fresh), IDOK);
  EXPECT_EQ(dirty_, 1);
  EXPECT_EQ(fresh.questionText, "Desk");
  EXPECT_EQ(fresh.inventoryName, "Desk-Side");
  EXPECT_EQ(fresh.description, "Where you sit");
  EXPECT_EQ(fresh.controlType, CFormField::kEditBox);
  EXPECT_TRUE(fresh.required);
  EXPECT_TRUE(fresh.items.empty());
}

TEST_F(QuestionDialog, FinishAtOnceIsCleanAndHelpAsksForContext101) {
  CFormField fresh;
  int helpBefore = qv::LastHelpRequest().count;
  user_.Then([] {
    ui::Key(1000, VK_F1);
    ui::Click(9);
    ui::Click(1);
  });
  EXPECT_EQ(Run(0, &fresh), IDOK);
  EXPECT_EQ(dirty_, 0);
  EXPECT_EQ(qv::LastHelpRequest().count, helpBefore + 2);
  EXPECT_EQ(qv::LastHelpRequest().command, HELP_CONTEXT);
  EXPECT_EQ(qv::LastHelpRequest().data, 101u);
  EXPECT_EQ(fresh.questionText, "");
  EXPECT_EQ(fresh.controlType, CFormField::kNoControl);
}

TEST_F(QuestionDialog, EditSkipsItsOwnEntryAndCancelPutsTheTextsBack) {
  // Only the required box changes: the unchanged texts meet no duplicate, as the entry
  // itself is skipped, and the inventory name stays unbraced in the record.
  user_.Then([] {
    EXPECT_EQ(Top().text, "Edit Question");
    EXPECT_EQ(Control(1000).text, "Room number");
    EXPECT_EQ(Control(1002).text, "Room");
    EXPECT_EQ(Control(1004).checked, BST_CHECKED);
    EXPECT_EQ(Control(201).checked, BST_UNCHECKED);
    EXPECT_FALSE(Control(1000).modified);
    ui::Click(201);
    ui::Click(1);
  });
  EXPECT_EQ(Run(1, room_), IDOK);
  EXPECT_EQ(dirty_, 1);
  EXPECT_EQ(room_->inventoryName, "Room");
  EXPECT_TRUE(room_->required);

  // A rejected duplicate, then Cancel: the record gets its earlier texts back.
  user_.Then([] {
    EXPECT_EQ(Control(201).checked, BST_CHECKED);
    ui::Type(1000, "which FLOOR?");
    ui::Type(1003, "never stored");
    ui::Click(1);
  });
  Box(kDuplicateText);
  user_.Then([] { ui::Key(1000, VK_ESCAPE); });
  EXPECT_EQ(Run(1, room_), IDCANCEL);
  EXPECT_EQ(dirty_, 0);
  EXPECT_EQ(room_->questionText, "Room number");
  EXPECT_EQ(room_->inventoryName, "Room");
  EXPECT_EQ(room_->description, "");
}

TEST_F(QuestionDialog, AnEntryWithoutTypeShowsNoRadioAndKeepsItsType) {
  CFormField* bare = AddEntry("Notes", "Notes", CFormField::kNoControl);
  user_.Then([] {
    for (int radio : {1004, 1005, 1006})
      EXPECT_EQ(Control(radio).checked, BST_UNCHECKED) << radio;
    EXPECT_EQ(Control(1).text, "&Finish");
    ui::Type(1000, "Other notes");
    ui::Click(1);
  });
  EXPECT_EQ(Run(1, bare), IDOK);
  EXPECT_EQ(bare->questionText, "Other notes");
  EXPECT_EQ(bare->controlType, CFormField::kNoControl);
}

TEST_F(QuestionDialog, NextOnAnUnchangedListOpensItsItemsAndEndsWithOkEvenOnCancel) {
  user_.Then([] {
    EXPECT_EQ(Control(1006).checked, BST_CHECKED);  // type 1 is the fixed list, shown last
    EXPECT_EQ(Control(1005).checked, BST_UNCHECKED);
    EXPECT_EQ(Control(1).text, "&Next >");
    ui::Click(1);
  });
  user_.Then([] {
    ui::Snapshot s = ui::TakeSnapshot();
    ASSERT_EQ(s.modals.size(), 2u);
    EXPECT_EQ(s.modals[0].text, "Edit Question");
    EXPECT_FALSE(s.modals[0].enabled);
    EXPECT_EQ(Top().text, "Add Items");
    EXPECT_EQ(Lines(1011), (Texts{"First", "Ground"}));
    ui::Type(1010, "Third");
    ui::Click(6);
    ui::Key(1010, VK_ESCAPE);
  });
  EXPECT_EQ(Run(1, floor_), IDOK);
  EXPECT_EQ(dirty_, 0);
  ASSERT_EQ(floor_->items.size(), 2u);
  EXPECT_EQ(floor_->items[1]->text, "First");
  EXPECT_EQ(floor_->controlType, CFormField::kFixedList);

  // The edit-list radio is type 2.
  user_.Then([] {
    ui::Click(1005);
    ui::Click(1);
  });
  user_.Then([] { ui::Click(1); });
  EXPECT_EQ(Run(1, floor_), IDOK);
  EXPECT_EQ(floor_->controlType, CFormField::kEditList);
}
