#include <gtest/gtest.h>

#include <filesystem>

#include "platform/process/WinExec.h"
#include "resources/ResourceIds.h"
#include "tests/editor/EditorFixture.h"

namespace ui = qv::ui;
using Texts = std::vector<std::string>;

namespace {

class FormEditor : public EditorFixture {
 protected:
  // Steps that add one question through the question dialog (and its items, if any).
  void AddQuestion(const std::string& text, const std::string& inventory, const std::string& note,
                   int radio, bool required, const Texts& items = {}) {
    user_.Then([] { ui::Click(IDC_ADD_QUESTION); });
    user_.Then([=] {
      EXPECT_EQ(Top().text, "Add Question");
      ui::Type(IDC_QUESTION_TEXT, text);
      ui::Type(IDC_INVENTORY_NAME, inventory);
      ui::Type(IDC_QUESTION_DESCRIPTION, note);
      ui::Click(radio);
      if (required)
        ui::Click(IDC_REQUIRED);
    });
    user_.Then([radio] {
      EXPECT_EQ(Control(1).text, radio == IDC_EDIT_BOX ? "&Finish" : "&Next >");
      ui::Click(IDOK);
    });
    if (radio == IDC_EDIT_BOX)
      return;
    user_.Then([=] {
      EXPECT_EQ(Top().text, "Add Items");
      for (const std::string& item : items) {
        ui::Type(IDC_ITEM_NAME, item);
        ui::Key(IDC_ITEM_NAME, VK_RETURN);  // Enter presses "&Insert"
      }
      ui::Click(IDOK);
    });
  }
};

}  // namespace

TEST_F(FormEditor, MakesTheOfficeSurveyThroughTheDialogsAlone) {
  doc_.GetFormMap()->RemoveKey("Office survey");  // a console without it
  user_.Then([] {
    EXPECT_EQ(Top().text, "Create a Custom Data Form");
    EXPECT_TRUE(Control(IDC_FORM_NAME).focused);
    ui::Type(IDC_FORM_NAME, "Office survey");
    ui::Type(IDC_FORM_DESCRIPTION, "Where and how you work");
  });
  AddQuestion("Room number", "Room", "As printed on the door", IDC_EDIT_BOX, true);
  AddQuestion("Which floor?", "Floor", "", IDC_COMBO_FIXED_LIST, false,
              {"Ground", "First", "Second"});
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST), (Texts{"Room number", "Which floor?"}));
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 1);  // the line after the one selected before
    ui::Click(IDC_PAGE_BREAK);
  });
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST),
              (Texts{"Room number", "Which floor?", "-----Page Break-----"}));
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 2);
    EXPECT_FALSE(Enabled(IDC_EDIT_QUESTION));  // a page break is not edited
    EXPECT_FALSE(Enabled(IDC_MOVE_DOWN));
  });
  AddQuestion("Color, if any", "Color", "Pick or type one", IDC_COMBO_EDIT_LIST, false,
              {"Red", "Blue, dark", "Green"});
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST).size(), 4u);
    EXPECT_EQ(Lines(IDC_QUESTION_LIST)[3], "Color, if any");
    ui::Click(IDOK);
  });
  RunEditor();

  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(modified_, 1);
  std::vector<std::string> made = NewForms();
  ASSERT_EQ(made.size(), 1u);
  std::string bytes = world_.Bytes(kShare + made[0]);
  EXPECT_EQ(WithDates(bytes, "904651200", "904737600"), Golden("office_survey.frm"));
}

TEST_F(FormEditor, OpeningAndClosingRewritesEscapeOnANewFormSavesNothing) {
  // An existing form counts as modified once loaded: closing rewrites its file in place.
  world_.Put(
      std::string(kShare) + "FRM1A.FRM",
      ReplaceValue(world_.Bytes(std::string(kShare) + "FRM1A.FRM"), "LastModifiedDate", "1"));
  user_.Then([] {
    EXPECT_EQ(Top().text, "Edit a Custom Data Form");
    EXPECT_EQ(Control(IDC_FORM_NAME).text, "Office survey");
    EXPECT_EQ(Lines(IDC_QUESTION_LIST),
              (Texts{"Room number", "Which floor?", "-----Page Break-----", "Color, if any"}));
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  EXPECT_EQ(modified_, 1);
  EXPECT_TRUE(NewForms().empty());
  std::string bytes = world_.Bytes(std::string(kShare) + "FRM1A.FRM");
  EXPECT_EQ(bytes.find("LastModifiedDate=1\r\n"), std::string::npos) << "not rewritten";
  EXPECT_NE(bytes.find("FormName=Office survey\r\n"), std::string::npos);

  // A new form left at once with Escape: nothing saved, nothing to refresh.
  user_.Then([] { ui::Key(0, VK_ESCAPE); });
  RunEditor();
  EXPECT_EQ(result_, IDCANCEL);
  EXPECT_EQ(modified_, 0);
  EXPECT_EQ(previewed_, 0);
  EXPECT_TRUE(NewForms().empty());
}

TEST_F(FormEditor, NameChecksKeepTheDialogOpen) {
  user_.Then([] { ui::Click(IDOK); });
  Box("A form name must be entered.");
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "office SURVEY");
    ui::Click(IDOK);
  });
  Box("Duplicate form names are not allowed.");
  user_.Then([] {
    EXPECT_EQ(Control(IDC_FORM_NAME).text, "");
    EXPECT_TRUE(Control(IDC_FORM_NAME).focused);
    ui::Type(IDC_FORM_NAME, "Desk - chair");
    ui::Click(IDOK);
  });
  Box("The character sequence \" - \" is not allowed as part of the form name.");
  user_.Then([] {
    EXPECT_TRUE(Control(IDC_FORM_NAME).focused);
    ui::Type(IDC_FORM_NAME, "Desk-chair");
    ui::Key(IDC_FORM_NAME, VK_RETURN);
  });
  RunEditor();
  EXPECT_EQ(result_, IDOK);
  ASSERT_EQ(NewForms().size(), 1u);
  EXPECT_NE(world_.Bytes(kShare + NewForms()[0]).find("FormName=Desk-chair\r\n"),
            std::string::npos);

  // Renaming a form only in letter case passes, and saves into a new file.
  before_ = FormFiles();
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "OFFICE SURVEY");
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  ASSERT_EQ(NewForms().size(), 1u);
  EXPECT_NE(world_.Bytes(std::string(kShare) + "FRM1A.FRM").find("FormName=Office survey"),
            std::string::npos);
}

TEST_F(FormEditor, DeleteMovesAndDragsChangeLinesAndEntriesTogether) {
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST).size(), 4u);
    ui::Click(IDC_EDIT_QUESTION);  // Edit with nothing selected
  });
  Box("Select an item from the question list.");
  user_.Then([] {
    ui::Click(IDC_PAGE_BREAK);  // Page Break with nothing selected: nothing
    ui::Select(IDC_QUESTION_LIST, 0);
  });
  user_.Then([] {
    EXPECT_FALSE(Enabled(IDC_MOVE_UP));
    EXPECT_TRUE(Enabled(IDC_MOVE_DOWN));
    ui::Click(IDC_DELETE_QUESTION);
  });
  Box("Delete 'Room number'?", IDNO);
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST)[0], "Room number");
    ui::Select(IDC_QUESTION_LIST, 1);
    ui::Key(IDC_QUESTION_LIST, VK_DELETE);
  });
  Box("Delete 'Which floor?'?", IDYES);
  user_.Then([] {
    // The line that moved into its place is selected.
    EXPECT_EQ(Lines(IDC_QUESTION_LIST),
              (Texts{"Room number", "-----Page Break-----", "Color, if any"}));
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 1);
    ui::Select(IDC_QUESTION_LIST, 2);
    ui::Click(IDC_MOVE_UP);
  });
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST),
              (Texts{"Room number", "Color, if any", "-----Page Break-----"}));
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 1);
    ui::Drag(IDC_QUESTION_LIST, 0, 2);  // lands before the page break
  });
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST),
              (Texts{"Color, if any", "Room number", "-----Page Break-----"}));
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 1);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, -1);
    ui::Select(IDC_QUESTION_LIST, 2);
    ui::Key(IDC_QUESTION_LIST, VK_DELETE);
  });
  Box("Delete '-----Page Break-----'?", IDYES);
  user_.Then([] {
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 1);  // the new last line
    EXPECT_FALSE(Enabled(IDC_MOVE_DOWN));
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  std::string bytes = world_.Bytes(std::string(kShare) + "FRM1A.FRM");
  std::size_t form = bytes.find("Field1=");
  ASSERT_NE(form, std::string::npos);
  EXPECT_EQ(bytes.substr(form),
            "Field1=COMBOBOX, Color, {Color, if any}, NR, {Red, {Blue, dark}, Green}\r\n"
            "FieldNote1=Pick or type one\r\n"
            "Field2=EDIT, Room, Room number, R, \r\n"
            "FieldNote2=As printed on the door\r\n");
}

TEST_F(FormEditor, DragFirstOntoFourthLandsAtThirdAndAddPlacesAfterTheSelection) {
  user_.Then([] { ui::Drag(IDC_QUESTION_LIST, 0, 3); });
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST),
              (Texts{"Which floor?", "-----Page Break-----", "Room number", "Color, if any"}));
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 2);
    ui::Select(IDC_QUESTION_LIST, 1);
  });
  // Add with line 1 selected puts the question after it, at line 2, and selects line 2.
  user_.Then([] { ui::Click(IDC_ADD_QUESTION); });
  user_.Then([] {
    ui::Type(IDC_QUESTION_TEXT, "Desk");
    ui::Type(IDC_INVENTORY_NAME, "Desk");
    ui::Click(IDOK);
  });
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST)[2], "Desk");
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 2);
    // Add, then Finish at once: nothing is added.
    ui::Click(IDC_ADD_QUESTION);
  });
  user_.Then([] { ui::Click(IDOK); });
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST).size(), 5u);
    ui::Key(0, VK_F1);
  });
  user_.Then([] {
    EXPECT_EQ(qv::LastHelpRequest().data, 103u);
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  std::string bytes = world_.Bytes(std::string(kShare) + "FRM1A.FRM");
  EXPECT_NE(bytes.find("Field1=LISTBOX, Floor"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("Field2=PAGEBREAK\r\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("Field3=EDIT, Desk, Desk, NR, \r\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("Field4=EDIT, Room"), std::string::npos) << bytes;
}

// The mouse's drag, step by step: the insertion mark follows the line under the mouse while
// it moves, and goes at the drop, at a cancel and at Escape (which leaves the dialog open).
TEST_F(FormEditor, DragStepByStepShowsTheInsertionMarkUntilTheDropOrCancel) {
  const Texts before{"Room number", "Which floor?", "-----Page Break-----", "Color, if any"};
  const Texts moved{"Which floor?", "-----Page Break-----", "Room number", "Color, if any"};
  user_.Then([] {
    EXPECT_TRUE(Control(IDC_QUESTION_LIST).dragList);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, -1);
    ui::Select(IDC_QUESTION_LIST, 0);  // the press
    ui::BeginDrag(IDC_QUESTION_LIST, 0);
  });
  user_.Then([&] {
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, 0);
    ui::DragOverLine(IDC_QUESTION_LIST, 1);
  });
  user_.Then([&] {
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, 1);
    ui::DragOverLine(IDC_QUESTION_LIST, -1);  // over no line
  });
  user_.Then([&] {
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, -1);
    ui::DragOverLine(IDC_QUESTION_LIST, 3);
  });
  user_.Then([&] {
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, 3);
    EXPECT_EQ(Lines(IDC_QUESTION_LIST), before);  // nothing moves before the drop
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 0);
    ui::Drop();
  });
  user_.Then([&] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST), moved);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 2);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, -1);
    EXPECT_TRUE(Enabled(IDC_MOVE_UP));  // the enable rules ran for the line selected
    // A begin at a line not selected selects it as the press does; Escape cancels the drag.
    ui::BeginDrag(IDC_QUESTION_LIST, 3);
    ui::DragOverLine(IDC_QUESTION_LIST, 0);
  });
  user_.Then([&] {
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 3);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, 0);
    ui::Key(IDC_QUESTION_LIST, VK_ESCAPE);
  });
  user_.Then([&] {
    EXPECT_EQ(Top().text, "Edit a Custom Data Form");  // the dialog did not take the Escape
    EXPECT_EQ(Lines(IDC_QUESTION_LIST), moved);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, -1);
    ui::BeginDrag(IDC_QUESTION_LIST, 0);
    ui::DragOverLine(IDC_QUESTION_LIST, 2);
    ui::CancelDrag();  // a release outside the list
  });
  user_.Then([&] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST), moved);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 0);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, -1);
    ui::Drop();  // no drag runs any more
    ui::BeginDrag(IDC_QUESTION_LIST, 4);
  });
  user_.Then([&] {
    EXPECT_EQ(ui::InputProblems(), (Texts{"no drag is running", "drag from: there is no line 4"}));
    ui::ClearInputProblems();
    // A drag that other input meets is cancelled, and the input carried out.
    ui::BeginDrag(IDC_QUESTION_LIST, 1);
    ui::DragOverLine(IDC_QUESTION_LIST, 3);
    ui::Select(IDC_QUESTION_LIST, 3);
  });
  user_.Then([&] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST), moved);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 3);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).insertMark, -1);
    ui::Drop();
  });
  user_.Then([] {
    EXPECT_EQ(ui::InputProblems(), (Texts{"no drag is running"}));
    ui::ClearInputProblems();
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  std::string bytes = world_.Bytes(std::string(kShare) + "FRM1A.FRM");
  for (const char* field : {"Field1=LISTBOX, Floor", "Field2=PAGEBREAK\r\n", "Field3=EDIT, Room",
                            "Field4=COMBOBOX, Color"})
    EXPECT_NE(bytes.find(field), std::string::npos) << field << " in " << bytes;
}

TEST_F(FormEditor, PreviewSavesOnceStartsTheViewerAndReportsFailures) {
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "Desk check");
    ui::Click(IDC_PREVIEW);
  });
  user_.Then([this] {
    ASSERT_EQ(NewForms().size(), 1u);
    // The saved form's path is upper-cased whole, share included.
    EXPECT_EQ(qv::LastWinExec().commandLine,
              std::string(kShare) + "QVCstm32.exe /d /i=\\\\CORE1\\QVLOGON\\" + NewForms()[0]);
    EXPECT_EQ(qv::LastWinExec().result, qv::kWinExecStarted);
    // A second preview after a change rewrites the file the first one made.
    ui::Type(IDC_FORM_DESCRIPTION, "Second look");
    ui::Click(IDC_PREVIEW);
  });
  user_.Then([this] {
    ASSERT_EQ(NewForms().size(), 1u);
    EXPECT_NE(world_.Bytes(kShare + NewForms()[0]).find("FormDescription=Second look\r\n"),
              std::string::npos);
    std::filesystem::remove(world_.Host(std::string(kShare) + "QVCstm32.exe"));
    ui::Click(IDC_PREVIEW);
  });
  Box("Could not launch the form viewer for the following reason:   The file was not found.");
  user_.Then([this] {
    world_.Put(std::string(kShare) + "QVCstm32.exe", "not a program\r\n");  // not executable
    ui::Click(IDC_PREVIEW);
  });
  Box("Could not launch the form viewer for the following reason:   The .EXE file is invalid.");
  user_.Then([] {
    ui::Type(IDC_FORM_DESCRIPTION, "Not written");
    ui::Click(IDOK);
  });
  RunEditor();
  EXPECT_EQ(previewed_, 1);
  ASSERT_EQ(NewForms().size(), 1u);  // closing after a preview saves nothing more
  EXPECT_EQ(world_.Bytes(kShare + NewForms()[0]).find("Not written"), std::string::npos);
}

TEST_F(FormEditor, PreviewOfARenamedFormSavesANewFileEachTimeAndKeepsTheOpeningName) {
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "Office survey 2");
    ui::Click(IDC_PREVIEW);
  });
  user_.Then([this] {
    EXPECT_EQ(NewForms().size(), 1u);
    ui::Type(IDC_FORM_DESCRIPTION, "Changed");
    ui::Click(IDC_PREVIEW);
  });
  user_.Then([this] {
    EXPECT_EQ(NewForms().size(), 2u);
    // Back to the name it opened with: no duplicate, though the form map holds that name.
    ui::Type(IDC_FORM_NAME, "Office survey");
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(previewed_, 1);
  EXPECT_EQ(NewForms().size(), 2u);
}

TEST_F(FormEditor, PreviewWhoseSaveFailsLeavesTheFormToBeSavedOnClose) {
  const std::filesystem::path share =
      std::filesystem::path(world_.Host(std::string(kShare) + "FRM1A.FRM")).parent_path();
  user_.Then([&share] {
    ui::Type(IDC_FORM_NAME, "Desk check");
    std::filesystem::remove_all(share);  // the share takes no new file
    ui::Click(IDC_PREVIEW);
  });
  user_.Then([] {
    EXPECT_EQ(Top().text, "Custom Data Forms");
    EXPECT_EQ(BoxText().rfind("An error occured while trying to save the form \"Desk check\".", 0),
              0u);
    ui::Click(IDOK);
  });
  // The preview goes on with the path the editor had: none, as nothing was saved.
  user_.Then([] {
    EXPECT_EQ(qv::LastWinExec().commandLine, std::string(kShare) + "QVCstm32.exe /d /i=");
    EXPECT_EQ(BoxText().rfind("Could not launch the form viewer", 0), 0u);
    ui::Click(IDOK);
  });
  user_.Then([&share] {
    std::filesystem::create_directories(share);
    ui::Click(IDOK);
  });
  RunEditor();
  EXPECT_EQ(modified_, 1);
  EXPECT_EQ(previewed_, 0);
  std::vector<std::string> made = NewForms();
  ASSERT_EQ(made.size(), 1u) << "closing saves the form";
  EXPECT_NE(world_.Bytes(kShare + made[0]).find("FormName=Desk check\r\n"), std::string::npos);
}

TEST_F(FormEditor, PreviewedNewFormIsRewrittenAndStillNameChecked) {
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "office survey");  // a preview does not check the name
    ui::Click(IDC_PREVIEW);
  });
  user_.Then([this] {
    EXPECT_EQ(NewForms().size(), 1u);
    ui::Click(IDOK);
  });
  Box("Duplicate form names are not allowed.");
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "Desk check");
    ui::Click(IDC_PREVIEW);
  });
  user_.Then([this] {
    std::vector<std::string> made = NewForms();
    ASSERT_EQ(made.size(), 1u) << "the second preview rewrites the first one's file";
    EXPECT_NE(world_.Bytes(kShare + made[0]).find("FormName=Desk check\r\n"), std::string::npos);
    ui::Click(IDOK);
  });
  RunEditor();
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(NewForms().size(), 1u);
}

TEST_F(FormEditor, KeysWorkInTheFilledQuestionListBeforeAnyClick) {
  // The list filled on load has its caret on line 0 and nothing selected; Down moves on from
  // the caret.
  user_.Then([] {
    EXPECT_EQ(Control(IDC_QUESTION_LIST).caret, 0);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, -1);
    ui::Key(IDC_QUESTION_LIST, VK_DOWN);
  });
  user_.Then([] {
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 1);
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");

  // Delete takes the caret line.
  user_.Then([] { ui::Key(IDC_QUESTION_LIST, VK_DELETE); });
  Box("Delete 'Room number'?", IDYES);
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST),
              (Texts{"Which floor?", "-----Page Break-----", "Color, if any"}));
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  EXPECT_EQ(world_.Bytes(std::string(kShare) + "FRM1A.FRM").find("Room number"), std::string::npos);
}
