// Scheduling and deletion as an administrator meets them in the console: the pop-up menu, the
// toolbar, the Delete key and the console's own menus (OnCommand by id), with the console's task
// host taking each handed-over task. The default world lists "Add new form", the group "New
// starters" (Asset tag, Contact details), then the forms Office survey (FRM1A.FRM), Asset tag
// (FRM2B7.FRM) and Contact details (FRM3C.FRM). The group list, the scripts and the console
// database are compared byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"
#include "platform/registry/Registry.h"
#include "resources/ResourceIds.h"
#include "tests/host/ScriptedConsole.h"
#include "tests/support/Support.h"
#include "tools/hosting/TaskHost.h"

namespace {

constexpr UINT kSchedule = ID_FORMS_SCHEDULE, kDelete = ID_FORMS_DELETE,
               kScheduleButton = ID_TOOLBAR_SCHEDULE, kDeleteButton = ID_TOOLBAR_DELETE;

const std::string kShare = "\\\\CORE1\\qvlogon\\";
const std::string kGroupFile = kShare + "FDGRPLST.GPS";
const std::string kScripts = "\\\\CORE1\\QVMAIN\\SCRIPTS\\";

const auto Database = ConsoleDatabase;
const std::string kSurveyScript = GoldenFile("office-survey.ini");
const std::string kStartersScript = GoldenFile("new-starters.ini");

const std::string kNewStarters =
    "[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\nForm2=Contact details\r\n";

class Scheduling : public ScriptedConsole {
 protected:
  Scheduling() : host_(qv::com::MakeObject<CConsoleTaskHost>()) { sink_->host = host_.Get(); }
  ~Scheduling() override { Close(); }

  std::string DatabaseBytes() {
    std::string bytes;
    qv::ReadHostFile(world_.World().DatabaseHostPath(), &bytes);
    return bytes;
  }
  // Every file of the world with its bytes, once the caches have written what they hold.
  std::map<std::string, std::string> Files() const {
    qv::FlushProfiles();
    qv::FlushRegistry();
    return FolderTree(world_.Dir());
  }
  // A configuration of the snap-in added as another console would; its id.
  LONG AddConfiguration(const char* name) {
    TaskConfigRecord record{};
    record.id = -1;
    record.snapinId = View()->GetSnapinId();
    std::strcpy(record.name, name);
    EXPECT_EQ(AddTaskConfiguration(&record), TRUE);
    return record.id;
  }
  // The message box on top: its caption and text; then the user presses `button`.
  static std::pair<std::string, std::string> Answer(int button) {
    qv::ui::Snapshot snapshot = qv::ui::TakeSnapshot();
    const qv::ui::WindowState* box = snapshot.Top();
    if (box == nullptr || box->Find(0xFFFF) == nullptr) {
      ADD_FAILURE() << "no message box";
      return {};
    }
    std::pair<std::string, std::string> shown{box->text, box->Find(0xFFFF)->text};
    qv::ui::Click(button);
    return shown;
  }
  const CConsoleTaskHost::HandOverRecord& LastHandOver() const {
    EXPECT_FALSE(host_->HandedOver().empty());
    return host_->HandedOver().back();
  }

  qv::com::ComPtr<CConsoleTaskHost> host_;
};

TEST_F(Scheduling, AFormIsScheduledOnceAndThenHandedOverWithItsConfiguration) {
  Open();
  int list = ListHandle();
  int bar = ToolBar()->Handle();
  user_.Then([&] { qv::ui::RightClickAt(list, Row("Office survey")); })
      .Then([] { qv::ui::PickMenuItem(kSchedule); })
      .Then([&] {
        EXPECT_EQ(world_.Bytes(kScripts + "Office survey.ini"), kSurveyScript);
        EXPECT_EQ(DatabaseBytes(),
                  Database(4,
                           "config 2 1 \"Office survey\" 17 \"Office survey.ini\"\n"
                           "task 3 \"Office survey\" 2\n"));
        EXPECT_EQ(sink_->classRequests,
                  std::vector<std::string>{"{AF21E513-8690-11D0-BE62-00A0C91EF7B9}"});
        const auto& handed = LastHandOver();
        EXPECT_EQ(std::string(handed.record.name), "Office survey");
        EXPECT_EQ(handed.record.configurationId, 2);
        TaskRecord zero{};
        std::strcpy(zero.name, "Office survey");
        zero.configurationId = 2;
        EXPECT_EQ(std::memcmp(&handed.record, &zero, sizeof zero), 0);  // nothing else set
        EXPECT_EQ(handed.frameWindow, control_->GetFrame()->Handle());
        EXPECT_EQ(handed.taskId, 3);
        // Scheduled now: the toolbar's Schedule adds no configuration, rewrites the script and
        // hands over the configuration's id again.
        std::filesystem::remove(world_.Host(kScripts + "Office survey.ini"));
        Tick();
      })
      .Then([&] { qv::ui::ClickAt(bar, ButtonIndex(kScheduleButton)); })
      .Then([&] {
        EXPECT_EQ(world_.Bytes(kScripts + "Office survey.ini"), kSurveyScript);
        EXPECT_EQ(DatabaseBytes(),
                  Database(5,
                           "config 2 1 \"Office survey\" 17 \"Office survey.ini\"\n"
                           "task 3 \"Office survey\" 2\n"
                           "task 4 \"Office survey\" 2\n"));
        EXPECT_EQ(host_->HandedOver().size(), 2u);
        EXPECT_EQ(LastHandOver().record.configurationId, 2);
        EXPECT_EQ(ListState().selection, Row("Office survey"));
      });
  Run();
}

TEST_F(Scheduling, NamesMatchWithoutCaseAndOnlyTheFirstConfigurationOfANameCounts) {
  Open();
  // Made by other consoles: ASSET TAG runs as a task named "asset TAG"; OFFICE SURVEY has no
  // task.
  LONG asset = AddConfiguration("ASSET TAG");
  ASSERT_GT(qv::AddTask("asset TAG", asset), 0);
  AddConfiguration("OFFICE SURVEY");
  int list = ListHandle();

  user_.Then([&] { qv::ui::SelectAt(list, Row("Asset tag")); })
      .Then([&] {
        ASSERT_EQ(Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kSchedule)}), S_OK);
        EXPECT_EQ(LastHandOver().record.configurationId, asset);  // no configuration added
        EXPECT_EQ(std::string(LastHandOver().record.name), "Asset tag");
        EXPECT_EQ(world_.Bytes(kScripts + "Asset tag.ini"),
                  ReplaceAll(kSurveyScript, "FRM1A", "FRM2B7"));
        // The scheduled form cannot be deleted.
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kDelete)});
      })
      .Then([] {
        EXPECT_EQ(Answer(IDYES), (std::pair<std::string, std::string>{"Custom Data Forms",
                                                                      "Delete 'Asset tag'?"}));
      })
      .Then([] {
        EXPECT_EQ(Answer(IDOK).second,
                  "Unable to delete Asset tag, because it is currently a scheduled task.");
      })
      .Then([&] {
        EXPECT_TRUE(world_.Exists(kShare + "FRM2B7.FRM"));
        // OFFICE SURVEY exists but runs no task: Office survey gets a second configuration.
        qv::ui::SelectAt(list, Row("Office survey"));
      })
      .Then([&] {
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kSchedule)});
        EXPECT_EQ(DatabaseBytes(),
                  Database(8,
                           "config 2 1 \"ASSET TAG\" 0 \"\"\n"
                           "config 4 1 \"OFFICE SURVEY\" 0 \"\"\n"
                           "config 6 1 \"Office survey\" 17 \"Office survey.ini\"\n"
                           "task 3 \"asset TAG\" 2\n"
                           "task 5 \"Asset tag\" 2\n"
                           "task 7 \"Office survey\" 6\n"));
        // Lookups keep finding the first one, which still runs no task.
        TaskConfigRecord found{};
        EXPECT_EQ(View()->FindConfiguration(&found, "office survey"), 1);
        EXPECT_EQ(found.id, 4);
        EXPECT_EQ(View()->IsScheduled(&found, "Office survey"), 0);
      });
  Run();
}

TEST_F(Scheduling, AFormAndAGroupOfOneNameShareAConfigurationAndAScript) {
  Open();
  int list = ListHandle();
  int bar = ToolBar()->Handle();
  user_.Then([&] { qv::ui::SelectAt(list, Row("New starters")); })
      .Then([] { Tick(); })
      .Then([&] { qv::ui::ClickAt(bar, ButtonIndex(kScheduleButton)); })
      .Then([&] {
        EXPECT_EQ(world_.Bytes(kScripts + "New starters.ini"), kStartersScript);
        EXPECT_EQ(DatabaseBytes(), Database(4,
                                            "config 2 1 \"New starters\" 16 \"New starters.ini\"\n"
                                            "task 3 \"New starters\" 2\n"));
        // A form of the group's name arrives; its row replaces the group's.
        world_.Put(kShare + "FRMNS.FRM", "[Form]\r\nFormName=New starters\r\n");
        qv::ui::KeyAt(list, VK_F5);
      })
      .Then([&] {
        EXPECT_EQ(ListState().images[static_cast<std::size_t>(Row("New starters"))], "form");
        qv::ui::SelectAt(list, Row("New starters"));
      })
      .Then([&] { qv::ui::ClickAt(bar, ButtonIndex(kScheduleButton)); })
      .Then([&] {
        EXPECT_EQ(LastHandOver().record.configurationId, 2);
        EXPECT_EQ(world_.Bytes(kScripts + "New starters.ini"),
                  ReplaceAll(kSurveyScript, "FRM1A", "FRMNS"));
        EXPECT_EQ(DatabaseBytes(), Database(5,
                                            "config 2 1 \"New starters\" 16 \"New starters.ini\"\n"
                                            "task 3 \"New starters\" 2\n"
                                            "task 4 \"New starters\" 2\n"));
      });
  Run();
}

TEST_F(Scheduling, TheAddNewRowSchedulesAndDeletesNothingAndStaysSelected) {
  Open();
  int list = ListHandle();
  std::map<std::string, std::string> before = Files();
  user_.Then([&] { qv::ui::SelectAt(list, Row("Add new form")); })
      .Then([&] {
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kSchedule)});
        View()->SendMessage(WM_COMMAND, MAKEWPARAM(kScheduleButton, 0));
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kDelete)});
        qv::ui::KeyAt(list, VK_DELETE);
      })
      .Then([&] {
        EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());  // not even the question
        EXPECT_TRUE(host_->HandedOver().empty());
        EXPECT_TRUE(sink_->classRequests.empty());
        EXPECT_EQ(ListState().selection, 0);
        EXPECT_EQ(Changed(before, Files()), std::vector<std::string>{});
      });
  Run();
}

TEST_F(Scheduling, DeletingTheLastRowRemovesTheFormEverywhereAndSelectsTheRowBefore) {
  Open();
  int list = ListHandle();
  user_.Then([&] { qv::ui::SelectAt(list, Row("Contact details")); })
      .Then([&] {
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kSchedule)});
        EXPECT_EQ(CConsoleTaskHost::Unschedule("contact DETAILS"), 1);
        ASSERT_TRUE(world_.Exists(kScripts + "Contact details.ini"));
        qv::ui::KeyAt(list, VK_DELETE);
      })
      .Then([] { EXPECT_EQ(Answer(IDYES).second, "Delete 'Contact details'?"); })
      .Then([&] {
        EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
        EXPECT_FALSE(world_.Exists(kShare + "FRM3C.FRM"));
        EXPECT_EQ(world_.Bytes(kGroupFile), "[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\n");
        EXPECT_FALSE(world_.Exists(kScripts + "Contact details.ini"));
        EXPECT_EQ(DatabaseBytes(), Database(4, ""));
        qv::ui::WindowState state = ListState();
        EXPECT_EQ(state.lines, (std::vector<std::string>{"Add new form", "New starters",
                                                         "Office survey", "Asset tag"}));
        EXPECT_EQ(state.selection, 3);
        EXPECT_EQ(state.caret, 3);
        EXPECT_TRUE(state.focused);
      });
  Run();
}

// No changes nothing and gives the list the focus. A form without a configuration has no
// script of its own: a file of its name in the scripts folder belongs to something else and
// stays when the form is deleted.
TEST_F(Scheduling, NoKeepsTheFormAndYesLeavesTheScriptsAlone) {
  const std::string script = kScripts + "Office survey.ini";
  world_.Put(script, "another's");
  Open();
  int list = ListHandle();
  std::map<std::string, std::string> before;
  user_.Then([&] { qv::ui::RightClickAt(list, Row("Office survey")); })
      .Then([&] {
        before = Files();
        control_->GetFrame()->SetFocus();
        qv::ui::PickMenuItem(kDelete);
      })
      .Then([] { EXPECT_EQ(Answer(IDNO).second, "Delete 'Office survey'?"); })
      .Then([&] {
        EXPECT_EQ(Changed(before, Files()), std::vector<std::string>{});
        EXPECT_TRUE(ListState().focused);
        EXPECT_EQ(ListState().selection, Row("Office survey"));
        qv::ui::KeyAt(list, VK_DELETE);
      })
      .Then([] { Answer(IDYES); })
      .Then([&] {
        EXPECT_FALSE(world_.Exists(kShare + "FRM1A.FRM"));
        EXPECT_EQ(world_.Bytes(script), "another's");
        EXPECT_EQ(Files().at("console.db"), before.at("console.db"));
      });
  Run();
}

TEST_F(Scheduling, AFormInAScheduledGroupIsRefusedUntilTheGroupsTaskIsRemoved) {
  Open();
  int list = ListHandle();
  int bar = ToolBar()->Handle();
  std::map<std::string, std::string> before;
  user_.Then([&] { qv::ui::SelectAt(list, Row("New starters")); })
      .Then([&] {
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kSchedule)});
        qv::ui::SelectAt(list, Row("Asset tag"));
      })
      .Then([] { Tick(); })
      .Then([&] {
        before = Files();
        control_->GetFrame()->SetFocus();
        qv::ui::ClickAt(bar, ButtonIndex(kDeleteButton));
      })
      .Then([] { Answer(IDYES); })
      .Then([] {
        EXPECT_EQ(Answer(IDOK),
                  (std::pair<std::string, std::string>{
                      "Custom Data Forms",
                      "Unable to delete Asset tag, because it is currently a scheduled task."}));
      })
      .Then([&] {
        EXPECT_EQ(Changed(before, Files()), std::vector<std::string>{});  // nothing at all
        qv::ui::WindowState state = ListState();
        EXPECT_TRUE(state.focused);
        EXPECT_EQ(state.selection, Row("Asset tag"));
        EXPECT_EQ(state.caret, Row("Asset tag"));
        // The console removes the group's task: the same deletion goes through.
        EXPECT_EQ(CConsoleTaskHost::Unschedule("New starters"), 1);
        qv::ui::ClickAt(bar, ButtonIndex(kDeleteButton));
      })
      .Then([] { Answer(IDYES); })
      .Then([&] {
        EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
        EXPECT_FALSE(world_.Exists(kShare + "FRM2B7.FRM"));
        EXPECT_EQ(world_.Bytes(kGroupFile),
                  "[Group1]\r\nName=New starters\r\nForm1=Contact details\r\n");
        // The group keeps its configuration and script.
        EXPECT_EQ(DatabaseBytes(),
                  Database(4, "config 2 1 \"New starters\" 16 \"New starters.ini\"\n"));
        EXPECT_TRUE(world_.Exists(kScripts + "New starters.ini"));
        EXPECT_EQ(ListState().selection, Row("Contact details"));  // the old index
      });
  Run();
}

TEST_F(Scheduling, DeletingAGroupKeepsItsFormsAndRemovesOnlyItsFirstConfiguration) {
  Open();
  int list = ListHandle();
  std::map<std::string, std::string> before;
  user_.Then([&] { qv::ui::SelectAt(list, Row("New starters")); })
      .Then([&] {
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kSchedule)});
        before = Files();
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kDelete)});
      })
      .Then([] { Answer(IDYES); })
      .Then([] {
        EXPECT_EQ(Answer(IDOK).second,
                  "Unable to delete New starters, because it is currently a scheduled task.");
      })
      .Then([&] {
        EXPECT_EQ(Changed(before, Files()), std::vector<std::string>{});
        // A second configuration of the name: the first loses its task, Schedule adds another
        // and the console schedules that one. The first is the one tested: no task uses it.
        EXPECT_EQ(CConsoleTaskHost::Unschedule("New starters"), 1);
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kSchedule)});
        EXPECT_EQ(LastHandOver().record.configurationId, 4);
        EXPECT_EQ(LastHandOver().taskId, 5);
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kDelete)});
      })
      .Then([] { EXPECT_EQ(Answer(IDYES).second, "Delete 'New starters'?"); })
      .Then([&] {
        EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
        EXPECT_FALSE(world_.Exists(kGroupFile));  // saved without groups
        for (const char* form : {"FRM1A.FRM", "FRM2B7.FRM", "FRM3C.FRM"})
          EXPECT_TRUE(world_.Exists(kShare + form)) << form;
        EXPECT_FALSE(world_.Exists(kScripts + "New starters.ini"));
        EXPECT_EQ(DatabaseBytes(), Database(6,
                                            "config 4 1 \"New starters\" 16 \"New starters.ini\"\n"
                                            "task 5 \"New starters\" 4\n"));
        qv::ui::WindowState state = ListState();
        EXPECT_EQ(state.lines, (std::vector<std::string>{"Add new form", "Office survey",
                                                         "Asset tag", "Contact details"}));
        EXPECT_EQ(state.selection, 1);
      });
  Run();
}

// A name that holds a backslash could never have had a script (the writer refuses it), so its
// deletion removes no file outside the scripts folder, nor one in a folder below it.
TEST_F(Scheduling, DeletingANameWithABackslashRemovesNoOtherFile) {
  const std::string mainFile = "\\\\CORE1\\QVMAIN\\Other.ini";
  const std::string subFile = kScripts + "sub\\x.ini";
  world_.Put(kShare + "FRM9.FRM", "[Form]\r\nFormName=..\\Other\r\n");
  world_.Put(kGroupFile, kNewStarters + "[Group2]\r\nName=sub\\x\r\nForm1=Asset tag\r\n");
  world_.Put(mainFile, "main");
  std::filesystem::create_directories(world_.Host(kScripts + "sub"));
  world_.Put(subFile, "sub");
  Open();
  AddConfiguration("..\\Other");
  AddConfiguration("sub\\x");
  int list = ListHandle();
  user_.Then([&] { qv::ui::SelectAt(list, Row("..\\Other")); })
      .Then([&] { Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kDelete)}); })
      .Then([] { EXPECT_EQ(Answer(IDYES).second, "Delete '..\\Other'?"); })
      .Then([&] { qv::ui::SelectAt(list, Row("sub\\x")); })
      .Then([&] { Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kDelete)}); })
      .Then([] { EXPECT_EQ(Answer(IDYES).second, "Delete 'sub\\x'?"); })
      .Then([&] {
        EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
        // Both were deleted, with their configurations ...
        EXPECT_FALSE(world_.Exists(kShare + "FRM9.FRM"));
        EXPECT_EQ(world_.Bytes(kGroupFile), kNewStarters);
        EXPECT_EQ(DatabaseBytes(), Database(4, ""));
        // ... and the files their names would reach are untouched.
        EXPECT_EQ(world_.Bytes(mainFile), "main");
        EXPECT_EQ(world_.Bytes(subFile), "sub");
      });
  Run();
}

// A name that can have no script is scheduled as the view asks, and the console says at once
// that the task cannot run, and why; a name longer than a task's name field makes no task.
TEST_F(Scheduling, ANameWithoutAScriptIsToldThatItsTaskCannotRun) {
  const std::string longName(301, 'g');
  world_.Put(kShare + "FRM9.FRM", "[Form]\r\nFormName=What?\r\n");
  world_.Put(kGroupFile, kNewStarters + "[Group2]\r\nName=" + longName + "\r\nForm1=Asset tag\r\n");
  Open();
  int list = ListHandle();
  std::map<std::string, std::string> before;
  user_.Then([&] { qv::ui::SelectAt(list, Row("What?")); })
      .Then([&] { Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kSchedule)}); })
      .Then([] {
        EXPECT_EQ(Answer(IDOK),
                  (std::pair<std::string, std::string>{
                      "Custom Data Forms",
                      "The task 'What?' cannot run: its name holds a character that a file name "
                      "cannot hold (\\ / : * ? \" < > |), so it has no distribution script."}));
      })
      .Then([&] {
        EXPECT_EQ(DatabaseBytes(), Database(4,
                                            "config 2 1 \"What?\" 9 \"What?.ini\"\n"
                                            "task 3 \"What?\" 2\n"));
        EXPECT_EQ(LastHandOver().taskId, 3);
        qv::ui::SelectAt(list, Row(longName));
      })
      .Then([&] {
        before = Files();
        Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(kSchedule)});
      })
      .Then([&] {
        EXPECT_EQ(Answer(IDOK).second, "The task '" + longName +
                                           "' cannot run: a task's name may hold at most 255 "
                                           "characters.");
      })
      .Then([&] {
        EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
        EXPECT_EQ(Changed(before, Files()), std::vector<std::string>{});
        EXPECT_EQ(host_->HandedOver().size(), 1u);
      });
  Run();
}

}  // namespace
