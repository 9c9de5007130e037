// qvccfg's view commands, run inside the control on the default world: the group "New starters"
// (Asset tag, Contact details) and the forms Office survey, Asset tag and Contact details.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "tests/tools/QvccfgWorld.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

using ConsoleCommands = QvccfgWorld;

const std::string kForms = "CORE1/D/Apps/Main/QVLOGON/";
const std::string kScripts = "CORE1/D/Apps/Main/SCRIPTS/";
const std::string kGroupFile = kForms + "FDGRPLST.GPS";
const std::string kSurveyScript = GoldenFile("office-survey.ini");

std::string Scheduled(int configuration, const std::string& name, int task) {
  return "{\n  \"configuration\": {\n    \"id\": " + std::to_string(configuration) +
         ",\n    \"snapinId\": 1,\n    \"name\": \"" + name + "\",\n    \"data\": \"" + name +
         ".ini\"\n  },\n  \"task\": {\n    \"id\": " + std::to_string(task) +
         ",\n    \"name\": \"" + name +
         "\",\n    \"configurationId\": " + std::to_string(configuration) + "\n  }\n}\n";
}

std::string Group(const std::string& name, const Names& forms, bool scheduled) {
  std::string text = "{\n  \"name\": \"" + name + "\",\n  \"forms\": [\n";
  for (const std::string& form : forms)
    text += "    \"" + form + "\"" + (&form == &forms.back() ? "\n" : ",\n");
  return text + "  ],\n  \"scheduled\": " + (scheduled ? "true" : "false") + "\n}\n";
}

}  // namespace

// qvccfg's part of scheduling (the view's is schedule_test's): the configuration and the new
// task printed, and a name typed in UTF-8 taken for the form's Windows-1252 name.
TEST_F(ConsoleCommands, SchedulePrintsTheConfigurationAndTheNewTask) {
  ASSERT_EQ(Run({"schedule", "Office survey"}), 0) << err;
  EXPECT_EQ(out, Scheduled(2, "Office survey", 3));
  EXPECT_EQ(err, "");
  ASSERT_EQ(Run({"schedule", "Office survey"}), 0) << err;
  EXPECT_EQ(out, Scheduled(2, "Office survey", 4));
  ASSERT_TRUE(qv::WriteHostFileAtomic(world_ + "/" + kForms + "FRMCAFE.FRM",
                                      "[Form]\r\nFormName=Caf\xE9\r\n"));
  ASSERT_EQ(Run({"schedule", "Caf\xC3\xA9"}), 0) << err;
  EXPECT_EQ(out, Scheduled(5, "Caf\xC3\xA9", 6));
  EXPECT_EQ(Bytes(kScripts + "Caf\xE9.ini"), ReplaceAll(kSurveyScript, "FRM1A", "FRMCAFE"));
}

// How qvccfg reports the console's refusal, and that its unschedule lets the deletion through.
TEST_F(ConsoleCommands, ARefusedDeletionGoesThroughOnceTheGroupIsUnscheduled) {
  ASSERT_EQ(Run({"schedule", "New starters", "--group"}), 0) << err;
  // What the system stores: the core server's files and the console database.
  const Files before = Tree("CORE1");
  const std::string database = Bytes("console.db");
  EXPECT_EQ(Run({"delete", "Asset tag", "--yes"}), 1);
  EXPECT_EQ(err, "qvccfg: Unable to delete Asset tag, because it is currently a scheduled task.\n");
  EXPECT_EQ(Changed(before, Tree("CORE1")), Names{});
  EXPECT_EQ(Bytes("console.db"), database);

  ASSERT_EQ(Run({"unschedule", "new STARTERS"}), 0) << err;
  ASSERT_EQ(Run({"delete", "Asset tag", "--yes"}), 0) << err;
  EXPECT_FALSE(fs::exists(world_ + "/" + kForms + "FRM2B7.FRM"));
}

// qvccfg fills the group dialog: the name saved without the blanks around it, the dialog's
// refusal passed on (its tests have them all), and a change to exactly the forms named.
TEST_F(ConsoleCommands, GroupMakesAndChangesAGroupThroughTheDialog) {
  ASSERT_EQ(Run({"group", " Desk check ", "Office survey", "Asset tag"}), 0) << err;
  EXPECT_EQ(out, Group("Desk check", {"Asset tag", "Office survey"}, false));
  const std::string starters =
      "[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\nForm2=Contact details\r\n";
  const std::string made =
      starters + "[Group2]\r\nName=Desk check\r\nForm1=Asset tag\r\nForm2=Office survey\r\n";
  EXPECT_EQ(Bytes(kGroupFile), made);
  EXPECT_EQ(Run({"group", "desk CHECK", "Office survey"}), 1);
  EXPECT_EQ(err, "qvccfg: Duplicate group names are not allowed.\n");
  EXPECT_EQ(out, "");
  EXPECT_EQ(Bytes(kGroupFile), made);

  ASSERT_EQ(Run({"schedule", "Desk check", "--group"}), 0) << err;
  ASSERT_EQ(Run({"group", "--change", "Desk check", "Contact details"}), 0) << err;
  EXPECT_EQ(out, Group("Desk check", {"Contact details"}, true));
  EXPECT_EQ(Bytes(kGroupFile),
            starters + "[Group2]\r\nName=Desk check\r\nForm1=Contact details\r\n");
}

TEST_F(ConsoleCommands, BadArgumentsAndUnknownRowsAreOneLineAndChangeNothing) {
  // The world as init made it (a control made would change it); rows: arguments, error part.
  Files before = Tree();
  const std::pair<Args, std::string> bad[] = {
      {{"schedule", "Office survey", "Asset tag"}, ""},
      {{"schedule", "Office survey", "--yes"}, ""},
      {{"schedule", "Office survey", "--group"}, ""},  // a form, not a group
      {{"schedule", "New starters"}, "--group"},       // a group, not a form
      {{"schedule", "Add new form"}, ""},
      {{"schedule", "Nothing"}, ""},
      {{"schedule", "\xE4\xB8\xAD"}, ""},  // no Windows-1252 character
      {{"schedule", "\x1B[31m"}, "\\x1B[31m"},
      {{"unschedule"}, ""},
      {{"unschedule", "Asset tag"}, ""},  // no task of that name
      {{"unschedule", "Office survey", "--group"}, ""},
      {{"delete", "Asset tag"}, "--yes"},  // not answered
      {{"delete", "Asset tag", "--yes", "--yes"}, ""},
      {{"delete", "Nothing", "--yes"}, ""},
      {{"group"}, ""},
      {{"group", "G", "Nothing"}, ""},
      {{"group", "G", "Office survey", "--change"}, ""},  // no such group
      {{"group", "G", "\x1B[31m"}, ""},
      {{"drag", "Nope"}, ""},
      {{"drag", "Office survey", "--renders", "x"}, ""},
      {{"drag", "New starters"}, ""}};
  for (const auto& [args, part] : bad) {
    SCOPED_TRACE(args.size() > 1 ? args[0] + " " + args[1] : args[0]);
    EXPECT_EQ(Run(args), 2);
    EXPECT_TRUE(OneLine(err)) << err;
    EXPECT_NE(err.find(part), std::string::npos) << err;
    EXPECT_EQ(out, "");
    EXPECT_EQ(Changed(before, Tree()), Names{}) << err;
  }

  // A damaged console database: the control cannot be made, and says why.
  ASSERT_TRUE(qv::WriteHostFileAtomic(world_ + "/console.db", "damaged\n"));
  before = Tree();
  EXPECT_EQ(Run({"schedule", "Office survey"}), 2);
  EXPECT_NE(err.find("You may need to run TBLFIX"), std::string::npos) << err;
  EXPECT_NE(err.find("console.db"), std::string::npos) << err;
  EXPECT_EQ(Changed(before, Tree()), Names{});
}

// The blocks as often as the pane asks, and the script named; a pane that asks nothing gets
// no script. (What a block holds, and the script's bytes, are drag_test's.)
TEST_F(ConsoleCommands, DragPrintsTheBlocksThePaneAskedForAndTheScript) {
  ASSERT_EQ(Run({"drag", "Office survey", "--renders", "2"}), 0) << err;
  qv::json::Value printed = Json();
  const qv::json::Value& blocks = printed.at("blocks");
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0], blocks[1]);
  EXPECT_EQ(blocks[0].at("data").get<std::string>(), "Office survey.ini");
  EXPECT_EQ(printed.at("script").get<std::string>(),
            "\\\\CORE1\\QVMAIN\\SCRIPTS\\Office survey.ini");
  ASSERT_EQ(Run({"drag", "Asset tag", "--renders", "0"}), 0) << err;
  EXPECT_EQ(Json().at("script").get<std::string>(), "");
  EXPECT_FALSE(fs::exists(world_ + "/" + kScripts + "Asset tag.ini"));
}

// plugins lists the module init installed and reports a key that names no class; regserver
// loads only a module of the world; after /u the list says how to install it again.
TEST_F(ConsoleCommands, PlugInsRegServerAndInstall) {
  ASSERT_EQ(Run({"plugins"}), 0) << err;
  EXPECT_EQ(Json(), qv::json::Value::parse(R"([{
      "classId": "{A48C4D90-9281-11d1-8971-00A0C9323807}", "displayName": "C&ustom Data Forms",
      "controlClassId": "{AE399777-76F3-11D1-8969-00A0C9323807}", "queryFlagA": 1,
      "queryFlagB": 1}])"));

  const std::string plugIns = "ADMIN7/registry/HKLM.reg";
  ASSERT_TRUE(qv::WriteHostFileAtomic(
      world_ + "/" + plugIns,
      Bytes(plugIns) + "\r\n[HKEY_LOCAL_MACHINE\\Software\\Arvex\\Quovant\\QVNX\\Console\\PlugIns\\"
                       "{00000000-0000-0000-0000-0000000000AA}]\r\n"));
  EXPECT_EQ(Run({"plugins"}), 1);
  qv::json::Value printed = Json();
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed.at(0).at("error").get<std::string>().substr(0, 10), "0x80040154");
  EXPECT_EQ(printed.at(1).at("displayName").get<std::string>(), "C&ustom Data Forms");
  EXPECT_NE(err.find("{00000000-0000-0000-0000-0000000000AA}"), std::string::npos) << err;

  const std::string module = "C:\\Program Files\\Arvex\\QVNX\\Console\\QVCCFG.OCX";
  EXPECT_EQ(Run({"regserver", "\\\\CORE1\\qvlogon\\FRM1A.FRM"}), 1);
  EXPECT_NE(err.find("cannot load"), std::string::npos) << err;
  EXPECT_EQ(Run({"regserver", dir_ + "/elsewhere.OCX"}), 2);
  EXPECT_EQ(Run({"regserver", "/u", module}), 0) << err;
  EXPECT_EQ(Run({"list"}), 1);
  EXPECT_NE(err.find("0x80040154"), std::string::npos) << err;
  EXPECT_NE(err.find("qvccfg install"), std::string::npos) << err;
  EXPECT_EQ(Run({"install"}), 0) << err;
  EXPECT_EQ(out, module + "\n");
  EXPECT_EQ(Run({"list"}), 0) << err;
}

// run finds the configuration by its name in any case and passes on what FrmTask did on each
// client (what that is, is its own tests'), recorded under the configuration's name.
TEST_F(ConsoleCommands, RunCarriesTheScheduledScriptOutOnEveryClient) {
  ASSERT_EQ(Run({"schedule", "--group", "New starters"}), 0) << err;
  ASSERT_EQ(Run({"run", "new STARTERS"}), 0) << err;
  EXPECT_EQ(out, "PC-ANNA: ok\nPC-BEN: ok\n");
  std::string runs = Bytes("tasks/runs.log");
  EXPECT_NE(
      runs.find("\"task\":\"New starters\",\"script\":\"New starters.ini\",\"client\":\"PC-BEN\""),
      std::string::npos)
      << runs;
  EXPECT_EQ(Run({"run", "Asset tag"}), 2);  // never scheduled
  EXPECT_NE(err.find("no task configuration \"Asset tag\""), std::string::npos) << err;
}
