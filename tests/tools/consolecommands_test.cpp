// qvccfg's view commands, run inside the control on the default world: the group "New starters"
// (Asset tag, Contact details) and the forms Office survey, Asset tag and Contact details.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "tests/support/ChildProgram.h"
#include "tests/tools/QvccfgWorld.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

class ConsoleCommands : public QvccfgWorld {
 protected:
  // What the system stores: the core server's files and the console database.
  Files Stored() const {
    Files files = Tree("CORE1");
    files["console.db"] = Bytes("console.db");
    return files;
  }
};

const std::string kForms = "CORE1/D/Apps/Main/QVLOGON/";
const std::string kScripts = "CORE1/D/Apps/Main/SCRIPTS/";
const std::string kGroupFile = kForms + "FDGRPLST.GPS";
const std::string kSurveyScript = GoldenFile("office-survey.ini");
const std::string kSurveyConfig = "config 2 1 \"Office survey\" 17 \"Office survey.ini\"\n";

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

TEST_F(ConsoleCommands, ScheduleAddsOneConfigurationAndATaskEachTime) {
  ASSERT_EQ(Run({"schedule", "Office survey"}), 0) << err;
  EXPECT_EQ(out, Scheduled(2, "Office survey", 3));
  EXPECT_EQ(err, "");
  EXPECT_EQ(Bytes(kScripts + "Office survey.ini"), kSurveyScript);
  // Scheduled already: the configuration is reused and the script written again.
  fs::remove(world_ + "/" + kScripts + "Office survey.ini");
  ASSERT_EQ(Run({"schedule", "Office survey"}), 0) << err;
  EXPECT_EQ(out, Scheduled(2, "Office survey", 4));
  EXPECT_EQ(Bytes(kScripts + "Office survey.ini"), kSurveyScript);

  ASSERT_EQ(Run({"schedule", "--group", "New starters"}), 0) << err;
  EXPECT_EQ(out, Scheduled(5, "New starters", 6));
  EXPECT_EQ(Bytes(kScripts + "New starters.ini"), GoldenFile("new-starters.ini"));

  // A name typed in UTF-8 is the form's Windows-1252 name.
  ASSERT_TRUE(qv::WriteHostFileAtomic(world_ + "/" + kForms + "FRMCAFE.FRM",
                                      "[Form]\r\nFormName=Caf\xE9\r\n"));
  ASSERT_EQ(Run({"schedule", "Caf\xC3\xA9"}), 0) << err;
  EXPECT_EQ(out, Scheduled(7, "Caf\xC3\xA9", 8));
  EXPECT_EQ(Bytes(kScripts + "Caf\xE9.ini"), ReplaceAll(kSurveyScript, "FRM1A", "FRMCAFE"));
  EXPECT_EQ(Bytes("console.db"),
            ConsoleDatabase(9, kSurveyConfig + "config 5 1 \"New starters\" 16 \"New "
                                               "starters.ini\"\n"
                                               "config 7 1 \"Caf\\xE9\" 8 \"Caf\\xE9.ini\"\n"
                                               "task 3 \"Office survey\" 2\n"
                                               "task 4 \"Office survey\" 2\n"
                                               "task 6 \"New starters\" 5\n"
                                               "task 8 \"Caf\\xE9\" 7\n"));
}

// How qvccfg reports the console's refusal, and that its unschedule lets the deletion through.
TEST_F(ConsoleCommands, ARefusedDeletionGoesThroughOnceTheGroupIsUnscheduled) {
  ASSERT_EQ(Run({"schedule", "New starters", "--group"}), 0) << err;
  Files before = Stored();
  EXPECT_EQ(Run({"delete", "Asset tag", "--yes"}), 1);
  EXPECT_EQ(err, "qvccfg: Unable to delete Asset tag, because it is currently a scheduled task.\n");
  EXPECT_EQ(out, "");
  EXPECT_EQ(Changed(before, Stored()), Names{});
  // The real program says so by its status too.
  ChildResult child =
      RunChild("qvccfg", {.args = {"--world", world_, "delete", "Asset tag", "--yes"}});
  EXPECT_EQ(child.status, 1);
  EXPECT_TRUE(OneLine(child.err)) << child.err;

  ASSERT_EQ(Run({"unschedule", "new STARTERS"}), 0) << err;
  ASSERT_EQ(Run({"delete", "Asset tag", "--yes"}), 0) << err;
  EXPECT_EQ(out, "");
  EXPECT_FALSE(fs::exists(world_ + "/" + kForms + "FRM2B7.FRM"));
}

TEST_F(ConsoleCommands, GroupMakesAndChangesAGroupThroughTheDialog) {
  ASSERT_EQ(Run({"group", "Desk check", "Office survey", "Asset tag"}), 0) << err;
  EXPECT_EQ(out, Group("Desk check", {"Asset tag", "Office survey"}, false));
  const std::string starters =
      "[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\nForm2=Contact details\r\n";
  const std::string made =
      starters + "[Group2]\r\nName=Desk check\r\nForm1=Asset tag\r\nForm2=Office survey\r\n";
  EXPECT_EQ(Bytes(kGroupFile), made);

  // The dialog's refusals (its tests have them all): its message, status 1, nothing written.
  const std::string duplicate = "Duplicate group names are not allowed.";
  const std::string noForm = "At least one form must be selected in order to schedule this group.";
  const std::pair<Args, std::string> refused[] = {
      {{"group", " desk CHECK\t", "Office survey"}, duplicate},
      {{"group", "Empty"}, noForm},
      {{"group", "Desk check", "--change"}, noForm},
  };
  for (const auto& [args, message] : refused) {
    EXPECT_EQ(Run(args), 1) << args[1];
    EXPECT_EQ(err, "qvccfg: " + message + "\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(Bytes(kGroupFile), made);
  }

  // The name is saved, and reported, without the blanks around it.
  ASSERT_EQ(Run({"group", " Lead ", "Office survey"}), 0) << err;
  EXPECT_EQ(out, Group("Lead", {"Office survey"}, false));
  EXPECT_EQ(Bytes(kGroupFile), made + "[Group3]\r\nName=Lead\r\nForm1=Office survey\r\n");
  ASSERT_EQ(Run({"delete", "--yes", "Lead", "--group"}), 0) << err;

  // A scheduled group changed: the group list and the script follow.
  ASSERT_EQ(Run({"schedule", "Desk check", "--group"}), 0) << err;
  ASSERT_EQ(Run({"group", "--change", "Desk check", "Contact details"}), 0) << err;
  EXPECT_EQ(out, Group("Desk check", {"Contact details"}, true));
  EXPECT_EQ(Bytes(kGroupFile),
            starters + "[Group2]\r\nName=Desk check\r\nForm1=Contact details\r\n");
  EXPECT_EQ(Bytes(kScripts + "Desk check.ini"), GoldenFile("contact-details.ini"));
}

TEST_F(ConsoleCommands, BadArgumentsAndUnknownRowsAreOneLineAndChangeNothing) {
  // The world as init made it (a control made would change it); rows: arguments, error part.
  Files before = Tree();
  const std::pair<Args, std::string> bad[] = {
      {{"schedule"}, ""},
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
      {{"delete", "Add new form", "--yes"}, ""},
      {{"delete", "Nothing", "--yes"}, ""},
      {{"group"}, ""},
      {{"group", "G", "Nothing"}, ""},
      {{"group", "G", "Office survey", "--change"}, ""},  // no such group
      {{"group", "G", "\x1B[31m"}, ""},
      {{"drag", "Add new form"}, ""},
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

TEST_F(ConsoleCommands, DragRendersTheBlockAsOftenAsThePaneAsksAndWritesTheScript) {
  ASSERT_EQ(Run({"drag", "Office survey", "--renders", "2"}), 0) << err;
  qv::json::Value printed = Json();
  const qv::json::Value& blocks = printed.at("blocks");
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0], blocks[1]);  // what a block holds is the drag's own (its tests)
  EXPECT_EQ(blocks[0].at("data").get<std::string>(), "Office survey.ini");
  EXPECT_EQ(printed.at("script").get<std::string>(),
            "\\\\CORE1\\QVMAIN\\SCRIPTS\\Office survey.ini");
  EXPECT_EQ(Bytes(kScripts + "Office survey.ini"), kSurveyScript);
  // The configuration stays; a pane that asks nothing gets no script and another one.
  ASSERT_EQ(Run({"drag", "Asset tag", "--renders", "0"}), 0) << err;
  EXPECT_FALSE(fs::exists(world_ + "/" + kScripts + "Asset tag.ini"));
  EXPECT_EQ(Bytes("console.db"),
            ConsoleDatabase(4, kSurveyConfig + "config 3 1 \"Asset tag\" 13 \"Asset tag.ini\"\n"));
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
  EXPECT_EQ(out, "0x00000000\n");
  EXPECT_EQ(Bytes(plugIns).find("{A48C4D90"), std::string::npos);
  EXPECT_EQ(Run({"list"}), 1);
  EXPECT_NE(err.find("0x80040154"), std::string::npos) << err;
  EXPECT_NE(err.find("qvccfg install"), std::string::npos) << err;
  EXPECT_EQ(Run({"install"}), 0) << err;
  EXPECT_EQ(out, module + "\n");
  EXPECT_EQ(Run({"list"}), 0) << err;
}

// run finds the configuration by its name in any case and carries its script out on every
// client (what FrmTask does there is its own tests'); one record per client, under the name.
TEST_F(ConsoleCommands, RunCarriesTheScheduledScriptOutOnEveryClient) {
  ASSERT_EQ(Run({"schedule", "--group", "New starters"}), 0) << err;
  ASSERT_EQ(Run({"run", "new STARTERS"}), 0) << err;
  EXPECT_EQ(out, "PC-ANNA: ok\nPC-BEN: ok\n");
  EXPECT_EQ(Tree("PC-BEN/C/QVCLIENT"), (Files{{"FRM2B7.FRM", Bytes(kForms + "FRM2B7.FRM")},
                                              {"FRM3C.FRM", Bytes(kForms + "FRM3C.FRM")}}));
  std::string runs = Bytes("tasks/runs.log");
  EXPECT_EQ(std::count(runs.begin(), runs.end(), '\n'), 2) << runs;
  EXPECT_NE(
      runs.find("\"task\":\"New starters\",\"script\":\"New starters.ini\",\"client\":\"PC-BEN\""),
      std::string::npos)
      << runs;
  EXPECT_EQ(Run({"run", "Asset tag"}), 2);  // never scheduled
  EXPECT_NE(err.find("no task configuration \"Asset tag\""), std::string::npos) << err;
  EXPECT_EQ(Bytes("tasks/runs.log"), runs);
}
