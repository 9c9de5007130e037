// The group dialog on a default world (the group "New starters": Asset tag, Contact details)
// with five forms mapped, and a view for the scheduled-task check and the script.
#include "groups/FormGroupDlg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "distribution/Configurations.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/WaitCursor.h"
#include "resources/ResourceIds.h"
#include "tests/editor/EditorFixture.h"
#include "tests/support/Support.h"
#include "view/CustomView.h"

namespace ui = qv::ui;
using Texts = std::vector<std::string>;

namespace {

constexpr const char* kGroupFile = "\\\\CORE1\\qvlogon\\FDGRPLST.GPS";
const std::string kNewStarters =
    "[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\nForm2=Contact details\r\n";

const char kNoForm[] = "At least one form must be selected in order to schedule this group.";
const char kNoName[] = "A group name must be entered.";
const char kDuplicate[] = "Duplicate group names are not allowed.";

// The lines of the form list: the form map's order, neither the order of entry nor sorted.
const Texts kMapOrder = {"Asset tag", "Location", "Office survey", "Hardware", "Contact details"};

class GroupDialog : public EditorFixture {
 protected:
  GroupDialog() {
    doc_.GetFormMap()->SetAt("Hardware", std::string(kShare) + "FRM4D.FRM");
    doc_.GetFormMap()->SetAt("Location", std::string(kShare) + "FRM5E.FRM");
    view_.GetDistributionTask().SetDocument(&doc_);
  }
  ~GroupDialog() override { FreeDatabasePtr(); }

  // Runs the dialog as the view does: kModeCreate makes a group, kModeModify changes one.
  void Run(int mode, const std::string& name = "") {
    {
      CFormGroupDlg dialog(nullptr, mode, &doc_, name, &view_);
      EXPECT_EQ(qv::WaitCursorDepth(), 0);
      result_ = static_cast<int>(dialog.DoModal());
      changed_ = dialog.GetChanged();
    }
    Finished();
  }
  // The checked lines of the form list.
  static Texts Checked() {
    ui::WindowState list = Control(IDC_GROUP_FORMS);
    Texts checked;
    for (std::size_t i = 0; i < list.lines.size() && i < list.checks.size(); ++i)
      if (list.checks[i] == 1)
        checked.push_back(list.lines[i]);
    return checked;
  }
  static int Line(const std::string& form) {
    for (std::size_t i = 0; i < kMapOrder.size(); ++i)
      if (kMapOrder[i] == form)
        return static_cast<int>(i);
    ADD_FAILURE() << "no line " << form;
    return -1;
  }
  // A step: the user types `name` (unless null), checks `forms` and presses OK; then, unless
  // `refusal` is null, the dialog's box with that text, one OK button and no icon, answered.
  void Try(const char* name, const Texts& forms, const char* refusal = nullptr) {
    user_.Then([name, forms] {
      if (name != nullptr)
        ui::Type(IDC_GROUP_NAME, name);
      for (const std::string& form : forms)
        ui::Check(IDC_GROUP_FORMS, Line(form));
      ui::Click(IDOK);
    });
    if (refusal == nullptr)
      return;
    user_.Then([refusal] {
      ui::WindowState box = Top();
      EXPECT_EQ(BoxText(), refusal);
      EXPECT_EQ(box.text, "Custom Data Forms");
      EXPECT_EQ(box.children.size(), 2u) << "the text and an OK button, no icon";
      EXPECT_NE(box.Find(IDOK), nullptr);
      ui::Click(IDOK);
    });
  }

  // Adds a configuration of the snap-in by that name.
  void AddConfiguration(const char* name) {
    EXPECT_TRUE(SetDatabasePtr(&database_));
    EXPECT_TRUE(RegisterTaskSnapin(kSnapinName, kSnapinProgram, ""));
    SnapinRecord snapin{};
    EXPECT_TRUE(FindSnapin(kSnapinName, &snapin));
    static char data[] = "New starters.ini";
    TaskConfigRecord record{};
    record.id = -1;
    record.snapinId = snapin.id;
    std::strcpy(record.name, name);
    record.data = qv::RegisterTaskData(data);
    record.dataLength = sizeof data - 1;
    EXPECT_TRUE(AddTaskConfiguration(&record));
  }

  CCustomView view_;
  int database_ = 0;
  int changed_ = -1;
};

TEST_F(GroupDialog, UntouchedNewGroupWritesNothingAndHelpOpensAtTheDialog) {
  int helpBefore = qv::LastHelpRequest().count;
  user_.Then([] {
    EXPECT_EQ(Checked(), Texts{});  // (only the group opened checks: the group list's tests)
    EXPECT_TRUE(Control(IDC_GROUP_NAME).focused);
    ui::Click(9);
    ui::Key(0, VK_F1);
  });
  Try(nullptr, {});
  Run(CFormGroupDlg::kModeCreate);
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(changed_, 0);
  EXPECT_EQ(world_.Bytes(kGroupFile), kNewStarters);
  EXPECT_EQ(qv::LastHelpRequest().count, helpBefore + 2);
  EXPECT_EQ(qv::LastHelpRequest().data, 104u);
  EXPECT_EQ(qv::LastHelpRequest().command, HELP_CONTEXT);
}

// The refusals in their order (those of one at a time: the console commands' group test).
TEST_F(GroupDialog, NewGroupRefusalsInOrderThenSavedWithEachCheckedFormOnce) {
  user_.Then([] { ui::Type(IDC_GROUP_NAME, "Desk check"); });  // a change
  Try("", {}, kNoForm);  // no name and no form: the form check comes first
  Try(" \t ", {"Hardware"}, kNoName);
  user_.Then([] { EXPECT_TRUE(Control(IDC_GROUP_NAME).focused); });
  Try(" new STARTERS ", {}, kDuplicate);
  user_.Then([] {
    EXPECT_EQ(Control(IDC_GROUP_NAME).text, "");
    EXPECT_TRUE(Control(IDC_GROUP_NAME).focused);
    EXPECT_EQ(Checked(), Texts{"Hardware"});
  });
  Try("  Desk check\t", {"Location"});
  Run(CFormGroupDlg::kModeCreate);
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(changed_, 1);
  // The forms in the list's order, not the order they were checked in; each once.
  const std::string made =
      kNewStarters + "[Group2]\r\nName=Desk check\r\nForm1=Location\r\nForm2=Hardware\r\n";
  EXPECT_EQ(world_.Bytes(kGroupFile), made);

  // The opening name with blanks around it is the group opened: its forms are replaced.
  Try(" Desk check ", {"Hardware"});
  Run(CFormGroupDlg::kModeModify, "Desk check");
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(world_.Bytes(kGroupFile),
            kNewStarters + "[Group2]\r\nName=Desk check\r\nForm1=Location\r\n");
}

// (The script of a scheduled group changed: the console commands' group test.)
TEST_F(GroupDialog, ModifyAndOkAtOnceRewritesTheFileButNoScriptOfAnUnscheduledGroup) {
  // A layout the writer never makes, so that a rewrite shows.
  world_.Put(kGroupFile,
             "[Group1]\r\nName = New starters\r\n\r\nForm1=Asset tag\r\nForm2=Contact details\r\n"
             "Form4=Hardware\r\n");
  // A configuration of the group's name in other letters, which no task uses.
  AddConfiguration("NEW STARTERS");
  user_.Then([] {
    EXPECT_EQ(Control(IDC_GROUP_NAME).text, "New starters");
    EXPECT_EQ(Control(IDC_GROUP_FORMS).lines, kMapOrder);
    EXPECT_EQ(Checked(), (Texts{"Asset tag", "Contact details"}));
  });
  Try(nullptr, {});
  Run(CFormGroupDlg::kModeModify, "New starters");
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(changed_, 1);  // putting the name into the box was a change
  EXPECT_EQ(world_.Bytes(kGroupFile), kNewStarters);
  EXPECT_FALSE(world_.Exists("\\\\CORE1\\QVMAIN\\SCRIPTS\\New starters.ini"));
}

TEST_F(GroupDialog, ModifyRefusalsAndCancelLeaveTheFileAndANewNameAddsAGroup) {
  // Only the letter case differs: the old group has the name.
  Try("New Starters", {}, kDuplicate);
  user_.Then([] { EXPECT_EQ(Control(IDC_GROUP_NAME).text, ""); });
  Try("New starters", {"Asset tag", "Contact details"}, kNoForm);
  user_.Then([] { ui::Click(IDCANCEL); });
  Run(CFormGroupDlg::kModeModify, "New starters");
  EXPECT_EQ(result_, IDCANCEL);
  EXPECT_EQ(changed_, 0);
  EXPECT_EQ(world_.Bytes(kGroupFile), kNewStarters);

  // A new name: the group is added beside the old one.
  Try("Leavers", {"Asset tag", "Office survey"});
  Run(CFormGroupDlg::kModeModify, "New starters");
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(world_.Bytes(kGroupFile),
            kNewStarters +
                "[Group2]\r\nName=Leavers\r\nForm1=Office survey\r\nForm2=Contact details\r\n");
}

// A check box clicked on the line already selected tells only CLBN_CHKCHANGE (sent by hand
// here): a change, so OK checks the group instead of closing without a word.
TEST_F(GroupDialog, ACheckMarkAloneIsAChange) {
  user_.Then([] {
    CDialog* dialog = ui::ModalWindows().back();
    auto* list = dynamic_cast<CCheckListBox*>(dialog->GetDlgItem(IDC_GROUP_FORMS));
    ASSERT_NE(list, nullptr);
    list->SetCheck(Line("Hardware"), BST_CHECKED);
    dialog->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_GROUP_FORMS, CLBN_CHKCHANGE), list->Handle());
  });
  Try(nullptr, {}, kNoName);
  user_.Then([] { ui::Key(0, VK_ESCAPE); });
  Run(CFormGroupDlg::kModeCreate);
  EXPECT_EQ(result_, IDCANCEL);
  EXPECT_EQ(world_.Bytes(kGroupFile), kNewStarters);
}

}  // namespace
