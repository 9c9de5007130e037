// qvccfg's schedule, unschedule, delete and group: the console view's commands run inside the
// control, with qvccfg as the console. A default world of its own, made by init: the group
// "New starters" (Asset tag, Contact details) and the forms Office survey (FRM1A.FRM), Asset
// tag (FRM2B7.FRM) and Contact details (FRM3C.FRM). Files and the console database are compared
// byte for byte.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/Support.h"
#include "tools/common/Json.h"
#include "tools/qvccfg/Commands.h"

namespace fs = std::filesystem;

namespace {

using Args = std::vector<std::string>;
using Names = std::vector<std::string>;

class ConsoleCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qvccfg.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    world_ = dir_ + "/w";
    ASSERT_EQ(Run({"init"}), 0) << err;
  }
  void TearDown() override {
    qv::ResetProfiles();
    qv::World::SetCurrent(nullptr);
    fs::remove_all(dir_);
  }

  int Run(Args args) {
    args.insert(args.begin(), {"--world", world_});
    out.clear();
    err.clear();
    return qv::RunQvccfg(args, &out, &err);
  }
  std::string Bytes(const std::string& path) const {
    std::string bytes;
    qv::ReadHostFile(world_ + "/" + path, &bytes);
    return bytes;
  }
  bool Exists(const std::string& path) const { return fs::exists(world_ + "/" + path); }
  // Every entry below `folder` of the world.
  std::map<std::string, std::string> Files(const std::string& folder = "") const {
    return FolderTree(world_ + "/" + folder);
  }
  // What the system stores: the core server's files and the console database.
  std::map<std::string, std::string> Stored() const {
    std::map<std::string, std::string> files = Files("CORE1");
    files["console.db"] = Bytes("console.db");
    return files;
  }

  std::string dir_, world_, out, err;
};

const std::string kForms = "CORE1/D/Apps/Main/QVLOGON/";
const std::string kScripts = "CORE1/D/Apps/Main/SCRIPTS/";
const std::string kGroupFile = kForms + "FDGRPLST.GPS";

const auto Database = ConsoleDatabase;
const std::string kSurveyScript = GoldenFile("office-survey.ini");

std::string Scheduled(int configuration, const std::string& name, int task) {
  return "{\n  \"configuration\": {\n    \"id\": " + std::to_string(configuration) +
         ",\n    \"snapinId\": 1,\n    \"name\": \"" + name + "\",\n    \"data\": \"" + name +
         ".ini\"\n  },\n  \"task\": {\n    \"id\": " + std::to_string(task) +
         ",\n    \"name\": \"" + name +
         "\",\n    \"configurationId\": " + std::to_string(configuration) + "\n  }\n}\n";
}

}  // namespace

TEST_F(ConsoleCommands, ScheduleAddsOneConfigurationAndATaskEachTime) {
  ASSERT_EQ(Run({"schedule", "Office survey"}), 0) << err;
  EXPECT_EQ(out, Scheduled(2, "Office survey", 3));
  EXPECT_EQ(err, "");
  EXPECT_EQ(Bytes(kScripts + "Office survey.ini"), kSurveyScript);
  EXPECT_EQ(Bytes("console.db"), Database(4,
                                          "config 2 1 \"Office survey\" 17 \"Office survey.ini\"\n"
                                          "task 3 \"Office survey\" 2\n"));
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
  EXPECT_EQ(Bytes("console.db"), Database(9,
                                          "config 2 1 \"Office survey\" 17 \"Office survey.ini\"\n"
                                          "config 5 1 \"New starters\" 16 \"New starters.ini\"\n"
                                          "config 7 1 \"Caf\\xE9\" 8 \"Caf\\xE9.ini\"\n"
                                          "task 3 \"Office survey\" 2\n"
                                          "task 4 \"Office survey\" 2\n"
                                          "task 6 \"New starters\" 5\n"
                                          "task 8 \"Caf\\xE9\" 7\n"));
}

// What the deletion does to the files is the console's own (the view's tests); here, how
// qvccfg reports a refusal and that its unschedule lets the same deletion through.
TEST_F(ConsoleCommands, ARefusedDeletionGoesThroughOnceTheGroupIsUnscheduled) {
  ASSERT_EQ(Run({"schedule", "New starters", "--group"}), 0) << err;
  std::map<std::string, std::string> before = Stored();
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
  EXPECT_FALSE(Exists(kForms + "FRM2B7.FRM"));
}

TEST_F(ConsoleCommands, GroupMakesAndChangesAGroupThroughTheDialog) {
  ASSERT_EQ(Run({"group", "Desk check", "Office survey", "Asset tag"}), 0) << err;
  EXPECT_EQ(out,
            "{\n  \"name\": \"Desk check\",\n  \"forms\": [\n    \"Asset tag\",\n"
            "    \"Office survey\"\n  ],\n  \"scheduled\": false\n}\n");
  const std::string made =
      "[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\n"
      "Form2=Contact details\r\n[Group2]\r\nName=Desk check\r\n"
      "Form1=Asset tag\r\nForm2=Office survey\r\n";
  EXPECT_EQ(Bytes(kGroupFile), made);

  // The dialog's own refusals: its message, status 1, nothing written.
  const std::pair<Args, std::string> refused[] = {
      {{"group", "DESK CHECK", "Office survey"}, "Duplicate group names are not allowed."},
      {{"group", "Empty"}, "At least one form must be selected in order to schedule this group."},
      {{"group", "Desk check", "--change"},
       "At least one form must be selected in order to schedule this group."},
      {{"group", " desk check\t", "Office survey"}, "Duplicate group names are not allowed."},
      {{"group", "  ", "Office survey"}, "A group name must be entered."},
  };
  for (const auto& [args, message] : refused) {
    EXPECT_EQ(Run(args), 1) << args[1];
    EXPECT_EQ(err, "qvccfg: " + message + "\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(Bytes(kGroupFile), made);
  }

  // The name is saved, and reported, without the blanks around it.
  ASSERT_EQ(Run({"group", " Lead ", "Office survey"}), 0) << err;
  EXPECT_EQ(out,
            "{\n  \"name\": \"Lead\",\n  \"forms\": [\n    \"Office survey\"\n  ],\n"
            "  \"scheduled\": false\n}\n");
  EXPECT_EQ(Bytes(kGroupFile), made + "[Group3]\r\nName=Lead\r\nForm1=Office survey\r\n");
  ASSERT_EQ(Run({"delete", "--yes", "Lead", "--group"}), 0) << err;

  // A scheduled group changed: the group list and the script follow.
  ASSERT_EQ(Run({"schedule", "Desk check", "--group"}), 0) << err;
  ASSERT_EQ(Run({"group", "--change", "Desk check", "Contact details"}), 0) << err;
  EXPECT_NE(out.find("\"scheduled\": true"), std::string::npos) << out;
  EXPECT_EQ(Bytes(kGroupFile),
            "[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\n"
            "Form2=Contact details\r\n[Group2]\r\nName=Desk check\r\n"
            "Form1=Contact details\r\n");
  EXPECT_EQ(Bytes(kScripts + "Desk check.ini"), GoldenFile("contact-details.ini"));
}

TEST_F(ConsoleCommands, BadArgumentsAndUnknownRowsAreOneLineAndChangeNothing) {
  // The world as init made it: the first control made in it would register the snap-in and
  // keep the view's settings.
  std::map<std::string, std::string> before = Files();
  const Args bad[] = {
      {"schedule"},
      {"schedule", "Office survey", "Asset tag"},
      {"schedule", "Office survey", "--yes"},
      {"schedule", "Office survey", "--group"},  // a form, not a group
      {"schedule", "New starters"},              // a group, not a form
      {"schedule", "Add new form"},
      {"schedule", "Nothing"},
      {"schedule", "\xE4\xB8\xAD"},  // no Windows-1252 character
      {"schedule", "\x1B[31m"},
      {"unschedule"},
      {"unschedule", "Asset tag"},  // no task of that name
      {"unschedule", "Office survey", "--group"},
      {"delete", "Asset tag"},  // not answered
      {"delete", "Asset tag", "--yes", "--yes"},
      {"delete", "Add new form", "--yes"},
      {"delete", "Nothing", "--yes"},
      {"group"},
      {"group", "G", "Nothing"},
      {"group", "G", "Office survey", "--change"},  // no such group
      {"group", "G", "\x1B[31m"},
  };
  for (const Args& args : bad) {
    EXPECT_EQ(Run(args), 2) << args.size() << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_TRUE(OneLine(err)) << err;
    EXPECT_EQ(out, "");
    EXPECT_EQ(Changed(before, Files()), Names{}) << err;
  }
  EXPECT_EQ(Run({"delete", "Asset tag"}), 2);
  EXPECT_NE(err.find("--yes"), std::string::npos) << err;
  EXPECT_EQ(Run({"schedule", "\x1B[31m"}), 2);
  EXPECT_NE(err.find("\\x1B[31m"), std::string::npos) << err;
  EXPECT_EQ(Run({"schedule", "New starters"}), 2);
  EXPECT_NE(err.find("--group"), std::string::npos) << err;

  // A damaged console database: the control cannot be made, and says why.
  ASSERT_TRUE(qv::WriteHostFileAtomic(world_ + "/console.db", "damaged\n"));
  before = Files();
  EXPECT_EQ(Run({"schedule", "Office survey"}), 2);
  EXPECT_NE(err.find("You may need to run TBLFIX"), std::string::npos) << err;
  EXPECT_NE(err.find("console.db"), std::string::npos) << err;
  EXPECT_EQ(Changed(before, Files()), Names{});
}

namespace {

TEST_F(ConsoleCommands, DragRendersTheBlockAsOftenAsThePaneAsksAndWritesTheScript) {
  ASSERT_EQ(Run({"drag", "Office survey", "--renders", "2"}), 0) << err;
  qv::json::Value printed;
  ASSERT_TRUE(qv::json::Parse(out, &printed, nullptr)) << out;
  const qv::json::Value& blocks = printed.at("blocks");
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(qv::json::Write(blocks[0], false), qv::json::Write(blocks[1], false));
  EXPECT_EQ(blocks[0].at("size").get<double>(), 272 + 17);
  EXPECT_EQ(blocks[0].at("record").at("data").get<double>(), 272);
  EXPECT_EQ(blocks[0].at("data").get<std::string>(), "Office survey.ini");
  EXPECT_EQ(printed.at("script").get<std::string>(),
            "\\\\CORE1\\QVMAIN\\SCRIPTS\\Office survey.ini");
  EXPECT_EQ(Bytes(kScripts + "Office survey.ini"), kSurveyScript);
  // The configuration stays; a pane that asks nothing gets no script and another one.
  ASSERT_EQ(Run({"drag", "Asset tag", "--renders", "0"}), 0) << err;
  EXPECT_FALSE(Exists(kScripts + "Asset tag.ini"));
  EXPECT_EQ(Bytes("console.db"), Database(4,
                                          "config 2 1 \"Office survey\" 17 \"Office survey.ini\"\n"
                                          "config 3 1 \"Asset tag\" 13 \"Asset tag.ini\"\n"));
  // The add-new row, an unknown row and a bad count: one line, status 2, nothing changed.
  std::map<std::string, std::string> before = Stored();
  for (const Args& bad :
       {Args{"drag", "Add new form"}, Args{"drag", "Nope"},
        Args{"drag", "Office survey", "--renders", "x"}, Args{"drag", "New starters"}}) {
    EXPECT_EQ(Run(bad), 2) << bad[1];
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  EXPECT_EQ(Stored(), before);
}

// The module as init installed it: plugins lists the Form Designer and reports a key that
// names no class; regserver refuses what is no module of the world; after /u the view
// commands say how to install the module again, and install does.
TEST_F(ConsoleCommands, PlugInsRegServerAndInstall) {
  ASSERT_EQ(Run({"plugins"}), 0) << err;
  qv::json::Value printed;
  ASSERT_TRUE(qv::json::Parse(out, &printed, nullptr)) << out;
  ASSERT_EQ(printed.size(), 1u);
  const qv::json::Value& plugIn = printed.at(0);
  EXPECT_EQ(plugIn.at("classId").get<std::string>(), "{A48C4D90-9281-11d1-8971-00A0C9323807}");
  EXPECT_EQ(plugIn.at("displayName").get<std::string>(), "C&ustom Data Forms");
  EXPECT_EQ(plugIn.at("controlClassId").get<std::string>(),
            "{AE399777-76F3-11D1-8969-00A0C9323807}");
  EXPECT_EQ(plugIn.at("queryFlagA").get<double>(), 1);
  EXPECT_EQ(plugIn.at("queryFlagB").get<double>(), 1);

  const std::string plugIns = "ADMIN7/registry/HKLM.reg";
  std::string hive = Bytes(plugIns);
  hive +=
      "\r\n[HKEY_LOCAL_MACHINE\\Software\\Arvex\\Quovant\\QVNX\\Console\\PlugIns\\"
      "{00000000-0000-0000-0000-0000000000AA}]\r\n";
  ASSERT_TRUE(qv::WriteHostFileAtomic(world_ + "/" + plugIns, hive));
  EXPECT_EQ(Run({"plugins"}), 1);
  ASSERT_TRUE(qv::json::Parse(out, &printed, nullptr)) << out;
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

}  // namespace

TEST_F(ConsoleCommands, RunCarriesTheScheduledScriptOutOnEveryClient) {
  ASSERT_EQ(Run({"schedule", "--group", "New starters"}), 0) << err;
  ASSERT_TRUE(qv::WriteHostFileAtomic(world_ + "/PC-BEN/C/QVCLIENT/FRM1A.FRM", "old"));
  ASSERT_EQ(Run({"run", "new STARTERS"}), 0) << err;
  EXPECT_EQ(out, "PC-ANNA: ok\nPC-BEN: ok\n");
  for (const char* client : {"PC-ANNA", "PC-BEN"}) {
    EXPECT_EQ((std::map<std::string, std::string>{{"FRM2B7.FRM", Bytes(kForms + "FRM2B7.FRM")},
                                                  {"FRM3C.FRM", Bytes(kForms + "FRM3C.FRM")}}),
              Files(std::string(client) + "/C/QVCLIENT"))
        << client;
  }
  // One record per client, under the configuration's own name.
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
