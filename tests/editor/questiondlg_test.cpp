#include <gtest/gtest.h>

#include "editor/QuestionDlg.h"
#include "resources/ResourceIds.h"
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
    room_ = AddEntry(Question(CFormField::kEditBox, "{Room}", "Room number", false));
    AddEntry(Marker(CFormField::kSeparator));
    floor_ = AddEntry(
        Question(CFormField::kFixedList, "Floor", "Which floor?", false, "", {"Ground", "First"}));
  }
  CFormField* AddEntry(std::unique_ptr<CFormField> entry) {
    entries_.push_back(std::move(entry));
    return entries_.back().get();
  }

  // Runs the dialog as the form editor does and returns its result; the dirty flag is kept.
  int Run(int editMode, CFormField* entry) {
    CQuestionDlg dialog(nullptr, editMode, entry, &entries_);
    int result = static_cast<int>(dialog.DoModal());
    dirty_ = dialog.GetDirty();
    Finished();
    return result;
  }
  // A step that expects the message box, answers it and then sees the focus on `focusId`.
  void Rejected(const char* text, int focusId) {
    Box(text);
    user_.Then([focusId] {
      EXPECT_EQ(Top().text, "Add Question");
      EXPECT_TRUE(Control(focusId).focused) << "focus not on " << focusId;
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
  user_.Then([] { EXPECT_TRUE(Control(IDC_QUESTION_TEXT).focused); });
  // Each try: the texts typed (null: as they were), Enter, the refusal and the focus then.
  // " - " is looked at before the empty question text; a hyphen without blanks is allowed.
  const struct {
    const char *question, *inventory, *refusal;
    int focus;
  } tries[] = {{nullptr, "Left - Right", kHyphen, IDC_INVENTORY_NAME},
               {nullptr, "Left-Right", kFilledIn, IDC_QUESTION_TEXT},
               {"ROOM NUMBER", nullptr, kDuplicateText, IDC_QUESTION_TEXT},
               {"Desk", "fLOOR", kDuplicateId, IDC_QUESTION_TEXT}};
  for (const auto& t : tries) {
    user_.Then([t] {
      if (t.question != nullptr)
        ui::Type(IDC_QUESTION_TEXT, t.question);
      if (t.inventory != nullptr)
        ui::Type(IDC_INVENTORY_NAME, t.inventory);
      ui::Click(IDC_QUESTION_TEXT);
      ui::Key(IDC_QUESTION_TEXT, VK_RETURN);
    });
    Rejected(t.refusal, t.focus);
  }
  user_.Then([] {
    ui::Type(IDC_INVENTORY_NAME, "Desk-Side");
    ui::Type(IDC_QUESTION_DESCRIPTION, "Where you sit");
    ui::Click(IDC_COMBO_FIXED_LIST);
  });
  user_.Then([] {
    EXPECT_EQ(Control(1).text, "&Next >");
    ui::Click(IDC_EDIT_BOX);
  });
  user_.Then([] {
    EXPECT_EQ(Control(1).text, "&Finish");
    ui::Click(IDC_REQUIRED);
    ui::Key(IDC_QUESTION_DESCRIPTION, VK_RETURN);
  });
  EXPECT_EQ(Run(0, &fresh), IDOK);
  EXPECT_EQ(dirty_, 1);
  EXPECT_EQ(Describe(fresh), "EDIT R Desk-Side|Desk||Where you sit");
}

TEST_F(QuestionDialog, FinishAtOnceIsCleanHelpAsksForContext101AndNoTypeStaysNone) {
  CFormField fresh;
  int helpBefore = qv::LastHelpRequest().count;
  user_.Then([] {
    ui::Key(IDC_QUESTION_TEXT, VK_F1);
    ui::Click(IDHELP);
    ui::Click(IDOK);
  });
  EXPECT_EQ(Run(0, &fresh), IDOK);
  EXPECT_EQ(dirty_, 0);
  EXPECT_EQ(qv::LastHelpRequest().count, helpBefore + 2);
  EXPECT_EQ(qv::LastHelpRequest().command, HELP_CONTEXT);
  EXPECT_EQ(qv::LastHelpRequest().data, 101u);
  EXPECT_EQ(Describe(fresh), "NONE NR |||");

  // An entry without a type shows no radio button and keeps its type.
  CFormField* bare = AddEntry(Question(CFormField::kNoControl, "Notes", "Notes", false));
  user_.Then([] {
    for (int radio : {IDC_EDIT_BOX, IDC_COMBO_EDIT_LIST, IDC_COMBO_FIXED_LIST})
      EXPECT_EQ(Control(radio).checked, BST_UNCHECKED) << radio;
    EXPECT_EQ(Control(1).text, "&Finish");
    ui::Type(IDC_QUESTION_TEXT, "Other notes");
    ui::Click(IDOK);
  });
  EXPECT_EQ(Run(1, bare), IDOK);
  EXPECT_EQ(Describe(*bare), "NONE NR Notes|Other notes||");
}

TEST_F(QuestionDialog, EditSkipsItsOwnEntryAndCancelPutsTheTextsBack) {
  // The unchanged texts meet no duplicate (the entry itself is skipped); the inventory name
  // stays unbraced in the record.
  user_.Then([] {
    EXPECT_EQ(Top().text, "Edit Question");
    EXPECT_EQ(Control(IDC_QUESTION_TEXT).text, "Room number");
    EXPECT_EQ(Control(IDC_INVENTORY_NAME).text, "Room");
    EXPECT_EQ(Control(IDC_EDIT_BOX).checked, BST_CHECKED);
    EXPECT_EQ(Control(IDC_REQUIRED).checked, BST_UNCHECKED);
    EXPECT_FALSE(Control(IDC_QUESTION_TEXT).modified);
    ui::Click(IDC_REQUIRED);
    ui::Click(IDOK);
  });
  EXPECT_EQ(Run(1, room_), IDOK);
  EXPECT_EQ(dirty_, 1);
  EXPECT_EQ(Describe(*room_), "EDIT R Room|Room number||");

  // A rejected duplicate, then Cancel: the record gets its earlier texts back.
  user_.Then([] {
    EXPECT_EQ(Control(IDC_REQUIRED).checked, BST_CHECKED);
    ui::Type(IDC_QUESTION_TEXT, "which FLOOR?");
    ui::Type(IDC_QUESTION_DESCRIPTION, "never stored");
    ui::Click(IDOK);
  });
  Box(kDuplicateText);
  user_.Then([] { ui::Key(IDC_QUESTION_TEXT, VK_ESCAPE); });
  EXPECT_EQ(Run(1, room_), IDCANCEL);
  EXPECT_EQ(dirty_, 0);
  EXPECT_EQ(Describe(*room_), "EDIT R Room|Room number||");
}

TEST_F(QuestionDialog, NextOnAnUnchangedListOpensItsItemsAndEndsWithOkEvenOnCancel) {
  user_.Then([] {
    EXPECT_EQ(Control(IDC_COMBO_FIXED_LIST).checked, BST_CHECKED);  // type 1, shown last
    EXPECT_EQ(Control(IDC_COMBO_EDIT_LIST).checked, BST_UNCHECKED);
    EXPECT_EQ(Control(1).text, "&Next >");
    ui::Click(IDOK);
  });
  user_.Then([] {
    ui::Snapshot s = ui::TakeSnapshot();
    ASSERT_EQ(s.modals.size(), 2u);
    EXPECT_EQ(s.modals[0].text, "Edit Question");
    EXPECT_FALSE(s.modals[0].enabled);
    EXPECT_EQ(Top().text, "Add Items");
    EXPECT_EQ(Lines(IDC_ITEM_LIST), (Texts{"First", "Ground"}));
    ui::Type(IDC_ITEM_NAME, "Third");
    ui::Click(IDC_INSERT_ITEM);
    ui::Key(IDC_ITEM_NAME, VK_ESCAPE);
  });
  EXPECT_EQ(Run(1, floor_), IDOK);
  EXPECT_EQ(dirty_, 0);
  EXPECT_EQ(Describe(*floor_), "LISTBOX NR Floor|Which floor?|[Ground][First]|");
}
