// The form editor on the world's forms. (A form made through the dialogs alone and compared
// with its file: the browser's forms test.)
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/process/WinExec.h"
#include "resources/ResourceIds.h"
#include "tests/editor/EditorFixture.h"

namespace ui = qv::ui;
using Texts = std::vector<std::string>;

namespace {

const std::string kSurveyFile = "\\\\CORE1\\qvlogon\\FRM1A.FRM";
const char kPageBreak[] = "-----Page Break-----";
const Texts kSurveyLines{"Room number", "Which floor?", kPageBreak, "Color, if any"};
const std::string kLaunchFailed = "Could not launch the form viewer for the following reason:   ";

class FormEditor : public EditorFixture {
 protected:
  // The question list's lines, its selection and its insertion mark.
  static void ListIs(const Texts& lines, int selection, int mark = -1) {
    ui::WindowState list = Control(IDC_QUESTION_LIST);
    EXPECT_EQ(list.lines, lines);
    EXPECT_EQ(list.selection, selection);
    EXPECT_EQ(list.insertMark, mark);
  }
  // The bytes of the one form file the test made ("" and a failure unless exactly one).
  std::string MadeForm() const {
    std::vector<std::string> made = NewForms();
    EXPECT_EQ(made.size(), 1u);
    return made.size() == 1 ? world_.Bytes(kShare + made[0]) : "";
  }
};

}  // namespace

// A loaded form counts as modified: closing rewrites its file. The list filled on load has its
// caret on line 0 and nothing selected: Down and Delete go from the caret.
TEST_F(FormEditor, OpeningAndClosingRewritesAndKeysWorkBeforeAnyClick) {
  world_.Put(kSurveyFile, ReplaceValue(world_.Bytes(kSurveyFile), "LastModifiedDate", "1"));
  user_.Then([] {
    ListIs(kSurveyLines, -1);
    EXPECT_EQ(Control(IDC_QUESTION_LIST).caret, 0);
    ui::Key(IDC_QUESTION_LIST, VK_DOWN);
  });
  user_.Then([] {
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 1);
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  EXPECT_EQ(modified_, 1);
  EXPECT_TRUE(NewForms().empty());
  std::string bytes = world_.Bytes(kSurveyFile);
  EXPECT_EQ(bytes.find("LastModifiedDate=1\r\n"), std::string::npos) << "not rewritten";

  user_.Then([] { ui::Key(IDC_QUESTION_LIST, VK_DELETE); });
  Box("Delete 'Room number'?", IDYES);
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST), (Texts{"Which floor?", kPageBreak, "Color, if any"}));
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  EXPECT_EQ(world_.Bytes(kSurveyFile).find("Room number"), std::string::npos);
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
  EXPECT_NE(MadeForm().find("FormName=Desk-chair\r\n"), std::string::npos);

  // Renaming a form only in letter case passes, and saves into a new file.
  before_ = FormFiles();
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "OFFICE SURVEY");
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  EXPECT_NE(MadeForm().find("FormName=OFFICE SURVEY\r\n"), std::string::npos);
  EXPECT_NE(world_.Bytes(kSurveyFile).find("FormName=Office survey"), std::string::npos);
}

TEST_F(FormEditor, DeleteMovesAndDragsChangeLinesAndEntriesTogether) {
  user_.Then([] { ui::Click(IDC_EDIT_QUESTION); });  // Edit with nothing selected
  Box("Select an item from the question list.");
  user_.Then([] {
    ui::Click(IDC_PAGE_BREAK);  // Page Break with nothing selected: nothing
    ui::Select(IDC_QUESTION_LIST, 0);
  });
  user_.Then([] {
    EXPECT_FALSE(Control(IDC_MOVE_UP).enabled);
    EXPECT_TRUE(Control(IDC_MOVE_DOWN).enabled);
    ui::Click(IDC_DELETE_QUESTION);
  });
  Box("Delete 'Room number'?", IDNO);
  user_.Then([] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST), kSurveyLines);
    ui::Select(IDC_QUESTION_LIST, 1);
    ui::Key(IDC_QUESTION_LIST, VK_DELETE);
  });
  Box("Delete 'Which floor?'?", IDYES);
  user_.Then([] {
    ListIs({"Room number", kPageBreak, "Color, if any"}, 1);  // the line that moved up
    EXPECT_FALSE(Control(IDC_EDIT_QUESTION).enabled);         // a page break is not edited
    ui::Select(IDC_QUESTION_LIST, 2);
    ui::Click(IDC_MOVE_UP);
  });
  user_.Then([] {
    ListIs({"Room number", "Color, if any", kPageBreak}, 1);
    ui::Drag(IDC_QUESTION_LIST, 0, 2);  // lands before the page break
  });
  user_.Then([] {
    ListIs({"Color, if any", "Room number", kPageBreak}, 1);
    ui::Select(IDC_QUESTION_LIST, 2);
    ui::Key(IDC_QUESTION_LIST, VK_DELETE);
  });
  Box("Delete '-----Page Break-----'?", IDYES);
  user_.Then([] {
    EXPECT_EQ(Control(IDC_QUESTION_LIST).selection, 1);  // the new last line
    EXPECT_FALSE(Control(IDC_MOVE_DOWN).enabled);
    ui::Click(IDC_PAGE_BREAK);  // after the line selected, and selected
  });
  user_.Then([] {
    ListIs({"Color, if any", "Room number", kPageBreak}, 2);
    ui::Click(IDOK);
  });
  RunEditor(1, "Office survey");
  std::string bytes = world_.Bytes(kSurveyFile);
  std::size_t form = bytes.find("Field1=");
  ASSERT_NE(form, std::string::npos);
  EXPECT_EQ(bytes.substr(form),
            "Field1=COMBOBOX, Color, {Color, if any}, NR, {Red, {Blue, dark}, Green}\r\n"
            "FieldNote1=Pick or type one\r\n"
            "Field2=EDIT, Room, Room number, R, \r\n"
            "FieldNote2=As printed on the door\r\nField3=PAGEBREAK\r\nFieldNote3=\r\n");
}

// The insertion mark follows the mouse and goes at the drop, a cancel and Escape (which leaves
// the dialog open); Add puts its question after the line selected.
TEST_F(FormEditor, DragsShowTheInsertionMarkUntilTheDropAndAddPlacesAfterTheSelection) {
  static const Texts moved{"Which floor?", kPageBreak, "Room number", "Color, if any"};
  user_.Then([] {
    EXPECT_TRUE(Control(IDC_QUESTION_LIST).dragList);
    ui::Select(IDC_QUESTION_LIST, 0);  // the press
    ui::BeginDrag(IDC_QUESTION_LIST, 0);
  });
  user_.Then([] { ListIs(kSurveyLines, 0, 0); });
  // Over lines 1, none and 3; nothing moves before the drop.
  for (auto [over, mark] : {std::pair{1, 1}, {-1, -1}, {3, 3}}) {
    user_.Then([over = over] { ui::DragOverLine(IDC_QUESTION_LIST, over); });
    user_.Then([mark = mark] { ListIs(kSurveyLines, 0, mark); });
  }
  user_.Then([] { ui::Drop(); });
  user_.Then([] {
    ListIs(moved, 2);
    EXPECT_TRUE(Control(IDC_MOVE_UP).enabled);  // the enable rules ran for the line selected
    // A begin at a line not selected selects it as the press does; Escape cancels the drag.
    ui::BeginDrag(IDC_QUESTION_LIST, 3);
    ui::DragOverLine(IDC_QUESTION_LIST, 0);
  });
  user_.Then([] {
    ListIs(moved, 3, 0);
    ui::Key(IDC_QUESTION_LIST, VK_ESCAPE);
  });
  user_.Then([] {
    EXPECT_EQ(Top().text, "Edit a Custom Data Form");  // the dialog did not take the Escape
    ListIs(moved, 3);
    ui::BeginDrag(IDC_QUESTION_LIST, 0);
    ui::DragOverLine(IDC_QUESTION_LIST, 2);
    ui::CancelDrag();  // a release outside the list
  });
  user_.Then([] {
    ListIs(moved, 0);
    ui::Drop();  // no drag runs any more
    ui::BeginDrag(IDC_QUESTION_LIST, 4);
  });
  user_.Then([] {
    EXPECT_EQ(ui::InputProblems(), (Texts{"no drag is running", "drag from: there is no line 4"}));
    ui::ClearInputProblems();
    // A drag that other input meets is cancelled, and the input carried out.
    ui::BeginDrag(IDC_QUESTION_LIST, 1);
    ui::DragOverLine(IDC_QUESTION_LIST, 3);
    ui::Select(IDC_QUESTION_LIST, 3);
  });
  user_.Then([] {
    ListIs(moved, 3);
    ui::Drop();
  });
  user_.Then([] {
    EXPECT_EQ(ui::InputProblems(), (Texts{"no drag is running"}));
    ui::ClearInputProblems();
    ui::Select(IDC_QUESTION_LIST, 1);
    ui::Click(IDC_ADD_QUESTION);
  });
  user_.Then([] {
    ui::Type(IDC_QUESTION_TEXT, "Desk");
    ui::Type(IDC_INVENTORY_NAME, "Desk");
    ui::Click(IDOK);
  });
  user_.Then([] {
    ListIs({"Which floor?", kPageBreak, "Desk", "Room number", "Color, if any"}, 2);
    ui::Click(IDC_ADD_QUESTION);  // then Finish at once: nothing is added
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
  std::string bytes = world_.Bytes(kSurveyFile);
  for (const char* field :
       {"Field1=LISTBOX, Floor", "Field2=PAGEBREAK\r\n", "Field3=EDIT, Desk, Desk, NR, \r\n",
        "Field4=EDIT, Room", "Field5=COMBOBOX, Color"})
    EXPECT_NE(bytes.find(field), std::string::npos) << field << " in " << bytes;
}

// A preview saves a new form without checking its name, later ones rewrite that file; the
// viewer's failures are told; OK still checks the name, and saves nothing more.
TEST_F(FormEditor, PreviewSavesOnceStartsTheViewerAndReportsFailures) {
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "office survey");
    ui::Click(IDC_PREVIEW);
  });
  user_.Then([this] {
    ASSERT_EQ(NewForms().size(), 1u);
    // The saved form's path is upper-cased whole, share included.
    EXPECT_EQ(qv::LastWinExec().commandLine,
              std::string(kShare) + "QVCstm32.exe /d /i=\\\\CORE1\\QVLOGON\\" + NewForms()[0]);
    ui::Click(IDOK);
  });
  Box("Duplicate form names are not allowed.");
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "Desk check");
    ui::Type(IDC_FORM_DESCRIPTION, "Second look");
    ui::Click(IDC_PREVIEW);
  });
  user_.Then([this] {
    std::string bytes = MadeForm();
    EXPECT_NE(bytes.find("FormName=Desk check\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("FormDescription=Second look\r\n"), std::string::npos);
    std::filesystem::remove(world_.Host(std::string(kShare) + "QVCstm32.exe"));
    ui::Click(IDC_PREVIEW);
  });
  Box(kLaunchFailed + "The file was not found.");
  user_.Then([this] {
    world_.Put(std::string(kShare) + "QVCstm32.exe", "not a program\r\n");  // not executable
    ui::Click(IDC_PREVIEW);
  });
  Box(kLaunchFailed + "The .EXE file is invalid.");
  user_.Then([] {
    ui::Type(IDC_FORM_DESCRIPTION, "Not written");
    ui::Click(IDOK);
  });
  RunEditor();
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(previewed_, 1);
  EXPECT_EQ(MadeForm().find("Not written"), std::string::npos);
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
  const std::filesystem::path share = std::filesystem::path(world_.Host(kSurveyFile)).parent_path();
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
    EXPECT_EQ(BoxText().rfind(kLaunchFailed, 0), 0u);
    ui::Click(IDOK);
  });
  user_.Then([&share] {
    std::filesystem::create_directories(share);
    ui::Click(IDOK);
  });
  RunEditor();
  EXPECT_EQ(modified_, 1);
  EXPECT_EQ(previewed_, 0);
  EXPECT_NE(MadeForm().find("FormName=Desk check\r\n"), std::string::npos) << "not saved";
}
