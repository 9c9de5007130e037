// Scheduling and deletion in the console, with its task host taking each handed-over task. The
// default world lists "Add new form", the group "New starters" (Asset tag, Contact details), then
// the forms Office survey (FRM1A.FRM), Asset tag (FRM2B7.FRM) and Contact details (FRM3C.FRM).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

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
const std::string kSurveyScript = GoldenFile("office-survey.ini");
const std::string kNewStarters =
    "[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\nForm2=Contact details\r\n";
// The database line of the group's first configuration, and a refusal.
const std::string kStartersConfig = "config 2 1 \"New starters\" 16 \"New starters.ini\"\n";
const std::string kAssetTagRefused =
    "Unable to delete Asset tag, because it is currently a scheduled task.";
using Texts = std::vector<std::string>;

class Scheduling : public ScriptedConsole {
 protected:
  Scheduling() : host_(qv::com::MakeObject<CConsoleTaskHost>()) { sink_->host = host_.Get(); }
  ~Scheduling() override { Close(); }

  // Opens the control and notes the handles of its list and toolbar.
  void Start() {
    Open();
    list_ = ListHandle();
    bar_ = ToolBar()->Handle();
  }

  std::string Database() { return FileBytes(world_.World().DatabaseHostPath()); }
  // Every file of the world with its bytes, once the caches have written what they hold.
  std::map<std::string, std::string> Files() const {
    qv::FlushProfiles();
    qv::FlushRegistry();
    return FolderTree(world_.Dir());
  }
  // Steps: the user selects `row`, then the console carries out its command `id`.
  void OnRow(const std::string& row, UINT id) {
    user_.Then([this, row] { qv::ui::SelectAt(list_, Row(row)); }).Then([this, id] {
      Command(id);
    });
  }
  // Steps: the timer ticks (the toolbar's states follow), then the user presses `button`.
  void Press(UINT button) {
    user_.Then([] { Tick(); }).Then([this, button] { qv::ui::ClickAt(bar_, ButtonIndex(button)); });
  }
  const CConsoleTaskHost::HandOverRecord& LastHandOver() const {
    EXPECT_FALSE(host_->HandedOver().empty());
    return host_->HandedOver().back();
  }

  qv::com::ComPtr<CConsoleTaskHost> host_;
  int list_ = 0, bar_ = 0;
};

// The configuration, the tasks and the script of a form scheduled twice are the console
// commands' tests, the toolbar's way the browser's; here, the hand-over.
TEST_F(Scheduling, AFormIsHandedOverWithItsConfiguration) {
  Start();
  user_.Then([&] { qv::ui::RightClickAt(list_, Row("Office survey")); })
      .Then([] { qv::ui::PickMenuItem(kSchedule); })
      .Then([&] {
        EXPECT_EQ(sink_->classRequests, Texts{"{AF21E513-8690-11D0-BE62-00A0C91EF7B9}"});
        TaskRecord handed{};  // the name and the configuration, nothing else
        std::strcpy(handed.name, "Office survey");
        handed.configurationId = 2;
        EXPECT_EQ(std::memcmp(&LastHandOver().record, &handed, sizeof handed), 0);
        EXPECT_EQ(LastHandOver().frameWindow, control_->GetFrame()->Handle());
        EXPECT_EQ(LastHandOver().taskId, 3);
      });
  Run();
}

TEST_F(Scheduling, NamesMatchWithoutCaseAndOnlyTheFirstConfigurationOfANameCounts) {
  Start();
  // Made by other consoles: ASSET TAG runs as a task named "asset TAG"; OFFICE SURVEY has none.
  LONG asset = AddConfiguration("ASSET TAG");
  ASSERT_GT(qv::AddTask("asset TAG", asset), 0);
  AddConfiguration("OFFICE SURVEY");
  OnRow("Asset tag", kSchedule);
  user_.Then([&] {
    EXPECT_EQ(LastHandOver().record.configurationId, asset);  // no configuration added
    Command(kDelete);                                         // a scheduled form cannot be deleted
  });
  Box("Delete 'Asset tag'?", IDYES);
  Box(kAssetTagRefused);
  // OFFICE SURVEY exists but runs no task: Office survey gets a second configuration.
  OnRow("Office survey", kSchedule);
  user_.Then([&] {
    EXPECT_EQ(Database(), ConsoleDatabase(8,
                                          "config 2 1 \"ASSET TAG\" 0 \"\"\n"
                                          "config 4 1 \"OFFICE SURVEY\" 0 \"\"\n"
                                          "config 6 1 \"Office survey\" 17 \"Office survey.ini\"\n"
                                          "task 3 \"asset TAG\" 2\n"
                                          "task 5 \"Asset tag\" 2\n"
                                          "task 7 \"Office survey\" 6\n"));
  });
  Run();
}

TEST_F(Scheduling, AFormAndAGroupOfOneNameShareAConfigurationAndAScript) {
  Start();
  user_.Then([&] { qv::ui::SelectAt(list_, Row("New starters")); });
  Press(kScheduleButton);
  user_
      .Then([&] {
        EXPECT_EQ(Database(), ConsoleDatabase(4, kStartersConfig + "task 3 \"New starters\" 2\n"));
        // A form of the group's name arrives; its row replaces the group's.
        world_.Put(kShare + "FRMNS.FRM", "[Form]\r\nFormName=New starters\r\n");
        qv::ui::KeyAt(list_, VK_F5);
      })
      .Then([&] {
        EXPECT_EQ(ListState().images[static_cast<std::size_t>(Row("New starters"))], "form");
        qv::ui::SelectAt(list_, Row("New starters"));
      });
  Press(kScheduleButton);
  user_.Then([&] {
    EXPECT_EQ(world_.Bytes(kScripts + "New starters.ini"),
              ReplaceAll(kSurveyScript, "FRM1A", "FRMNS"));
    EXPECT_EQ(Database(), ConsoleDatabase(5, kStartersConfig + "task 3 \"New starters\" 2\n"
                                                               "task 4 \"New starters\" 2\n"));
  });
  Run();
}

TEST_F(Scheduling, TheAddNewRowSchedulesAndDeletesNothingAndStaysSelected) {
  Start();
  std::map<std::string, std::string> before = Files();
  user_.Then([&] { qv::ui::SelectAt(list_, Row("Add new form")); }).Then([&] {
    Command(kSchedule);
    qv::ui::KeyAt(list_, VK_DELETE);
  });
  user_.Then([&] {
    EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());  // not even the question
    EXPECT_TRUE(host_->HandedOver().empty());
    EXPECT_TRUE(sink_->classRequests.empty());
    EXPECT_EQ(ListState().selection, 0);
    EXPECT_EQ(Changed(before, Files()), Texts{});
  });
  Run();
}

// No changes nothing; Yes deletes the form everywhere and selects the row before the last. A
// form without a configuration has no script: a file of its name in the scripts folder stays.
TEST_F(Scheduling, NoKeepsTheFormAndYesRemovesItEverywhereButFromAnothersScript) {
  const std::string script = kScripts + "Office survey.ini";
  world_.Put(script, "another's");
  Start();
  std::map<std::string, std::string> before;
  user_.Then([&] { qv::ui::RightClickAt(list_, Row("Office survey")); }).Then([&] {
    before = Files();
    control_->GetFrame()->SetFocus();
    qv::ui::PickMenuItem(kDelete);
  });
  Box("Delete 'Office survey'?", IDNO);
  user_.Then([&] {
    EXPECT_EQ(Changed(before, Files()), Texts{});
    EXPECT_TRUE(ListState().focused);
    EXPECT_EQ(ListState().selection, Row("Office survey"));
    qv::ui::KeyAt(list_, VK_DELETE);
  });
  Box("Delete 'Office survey'?", IDYES);
  user_.Then([&] {
    EXPECT_FALSE(world_.Exists(kShare + "FRM1A.FRM"));
    EXPECT_EQ(world_.Bytes(script), "another's");
    EXPECT_EQ(Files().at("console.db"), before.at("console.db"));
  });
  OnRow("Contact details", kSchedule);
  user_.Then([&] {
    EXPECT_EQ(CConsoleTaskHost::Unschedule("contact DETAILS"), 1);
    ASSERT_TRUE(world_.Exists(kScripts + "Contact details.ini"));
    qv::ui::KeyAt(list_, VK_DELETE);
  });
  Box("Delete 'Contact details'?", IDYES);
  user_.Then([&] {
    EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
    EXPECT_FALSE(world_.Exists(kShare + "FRM3C.FRM"));
    EXPECT_EQ(world_.Bytes(kGroupFile), "[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\n");
    EXPECT_FALSE(world_.Exists(kScripts + "Contact details.ini"));
    EXPECT_EQ(Database(), ConsoleDatabase(4, ""));
    qv::ui::WindowState state = ListState();
    EXPECT_EQ(state.lines, (Texts{"Add new form", "New starters", "Asset tag"}));
    EXPECT_EQ(state.selection, 2);
    EXPECT_EQ(state.caret, 2);
    EXPECT_TRUE(state.focused);
  });
  Run();
}

// A scheduled group refuses the deletion of its forms and its own until its task is removed;
// then its forms stay, and only the first configuration of its name goes, with the script.
TEST_F(Scheduling, AScheduledGroupKeepsItselfAndItsFormsUntilItsTaskIsRemoved) {
  Start();
  std::map<std::string, std::string> before;
  OnRow("New starters", kSchedule);
  user_.Then([&] { qv::ui::SelectAt(list_, Row("Asset tag")); });
  user_.Then([] { Tick(); }).Then([&] {
    before = Files();
    control_->GetFrame()->SetFocus();
    qv::ui::ClickAt(bar_, ButtonIndex(kDeleteButton));
  });
  Box("Delete 'Asset tag'?", IDYES);
  Box(kAssetTagRefused);
  user_.Then([&] {
    qv::ui::WindowState state = ListState();
    EXPECT_TRUE(state.focused);
    EXPECT_EQ(state.selection, Row("Asset tag"));
    EXPECT_EQ(state.caret, Row("Asset tag"));
  });
  OnRow("New starters", kDelete);
  Box("Delete 'New starters'?", IDYES);
  Box("Unable to delete New starters, because it is currently a scheduled task.");
  user_.Then([&] {
    EXPECT_EQ(Changed(before, Files()), Texts{});  // nothing at all
    EXPECT_EQ(CConsoleTaskHost::Unschedule("New starters"), 1);
  });
  OnRow("Asset tag", kDelete);
  Box("Delete 'Asset tag'?", IDYES);
  user_.Then([&] {
    // The group keeps its configuration and script.
    EXPECT_EQ(Database(), ConsoleDatabase(4, kStartersConfig));
    EXPECT_TRUE(world_.Exists(kScripts + "New starters.ini"));
    EXPECT_EQ(ListState().selection, Row("Contact details"));  // the old index
  });
  OnRow("New starters", kSchedule);
  user_.Then([&] {
    EXPECT_EQ(LastHandOver().record.configurationId, 4);
    EXPECT_EQ(LastHandOver().taskId, 5);
    Command(kDelete);
  });
  Box("Delete 'New starters'?", IDYES);
  user_.Then([&] {
    EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
    EXPECT_FALSE(world_.Exists(kGroupFile));  // saved without groups
    for (const char* form : {"FRM1A.FRM", "FRM3C.FRM"})
      EXPECT_TRUE(world_.Exists(kShare + form)) << form;
    EXPECT_FALSE(world_.Exists(kScripts + "New starters.ini"));
    EXPECT_EQ(Database(), ConsoleDatabase(6,
                                          "config 4 1 \"New starters\" 16 \"New starters.ini\"\n"
                                          "task 5 \"New starters\" 4\n"));
    EXPECT_EQ(ListState().lines, (Texts{"Add new form", "Office survey", "Contact details"}));
    EXPECT_EQ(ListState().selection, 1);
  });
  Run();
}

// A name longer than a task's name field makes no task, and the view says why. A name that
// holds a backslash could never have had a script: its deletion removes no file outside the
// scripts folder, nor one below it. (A name a file name cannot hold: the browser's tasks test.)
TEST_F(Scheduling, NamesThatCanHaveNoScriptAreToldSoAndTouchNoOtherFile) {
  const std::string longName(301, 'g');
  const std::string mainFile = "\\\\CORE1\\QVMAIN\\Other.ini", subFile = kScripts + "sub\\x.ini";
  world_.Put(kShare + "FRM9.FRM", "[Form]\r\nFormName=..\\Other\r\n");
  world_.Put(kGroupFile,
             kNewStarters + "[Group2]\r\nName=" + longName +
                 "\r\nForm1=Asset tag\r\n[Group3]\r\nName=sub\\x\r\nForm1=Asset tag\r\n");
  world_.Put(mainFile, "main");
  std::filesystem::create_directories(world_.Host(kScripts + "sub"));
  world_.Put(subFile, "sub");
  Start();
  std::map<std::string, std::string> before;
  user_.Then([&] { before = Files(); });
  OnRow(longName, kSchedule);
  Box("The task '" + longName + "' cannot run: a task's name may hold at most 255 characters.");
  user_.Then([&] {
    EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
    EXPECT_EQ(Changed(before, Files()), Texts{});
    EXPECT_TRUE(host_->HandedOver().empty());
    AddConfiguration("..\\Other");
    AddConfiguration("sub\\x");
  });
  for (const char* name : {"..\\Other", "sub\\x"}) {
    OnRow(name, kDelete);
    Box("Delete '" + std::string(name) + "'?", IDYES);
  }
  user_.Then([&] {
    // Both were deleted, with their configurations; the files their names would reach stay.
    EXPECT_FALSE(world_.Exists(kShare + "FRM9.FRM"));
    EXPECT_EQ(world_.Bytes(kGroupFile),
              kNewStarters + "[Group2]\r\nName=" + longName + "\r\nForm1=Asset tag\r\n");
    EXPECT_EQ(Database(), ConsoleDatabase(4, ""));
    EXPECT_EQ(world_.Bytes(mainFile), "main");
    EXPECT_EQ(world_.Bytes(subFile), "sub");
  });
  Run();
}

}  // namespace
