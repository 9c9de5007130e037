#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "tests/TestWorld.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/Support.h"
#include "tools/common/TaskRuns.h"
#include "tools/frmtask/FrmTask.h"

namespace fs = std::filesystem;

namespace {

const std::string kScripts = "\\\\CORE1\\QVMAIN\\SCRIPTS\\";
const std::string kSurvey = "\\\\CORE1\\QVMAIN\\QVLOGON\\FRM1A.FRM";
const std::string kAsset = "\\\\CORE1\\QVMAIN\\QVLOGON\\FRM2B7.FRM";

std::string Copy(const std::string& source, const std::string& destination) {
  return source + ", " + destination + ", TOREMOTE";
}

const auto Tree = FolderTree;

struct Outcome {
  int status = -1;
  std::string out, err;
};

Outcome Frm(const TestWorld& world, std::vector<std::string> args) {
  args.insert(args.begin(), {"--world", world.Dir()});
  Outcome run;
  run.status = qv::RunFrmTask(args, &run.out, &run.err);
  return run;
}

}  // namespace

TEST(FrmTask, DeliversTheScriptsFormsToEveryClientAndRecordsEachRun) {
  TestWorld w;
  for (const char* client : {"PC-ANNA", "PC-BEN"}) {
    std::string folder = w.Dir() + "/" + client + "/C/QVCLIENT/";
    ASSERT_TRUE(qv::WriteHostFileAtomic(folder + "OLD.FRM", "old"));
    ASSERT_TRUE(qv::WriteHostFileAtomic(folder + "gone.frm", "old"));
    ASSERT_TRUE(qv::WriteHostFileAtomic(folder + "keep.frmx", "kept"));
    ASSERT_TRUE(qv::WriteHostFileAtomic(folder + "FRM1A.FRM", "stale copy"));
  }
  w.Put(kScripts + "Office survey.ini",
        "[MACHINES]\r\nREMDEL0=\\QVCLIENT\\*.FRM\r\nREMCOPY0=" +
            Copy(kSurvey, "\\QVCLIENT\\FRM1A.FRM") +
            "\r\nREMCOPY1=" + Copy(kAsset, "\\QVCLIENT\\FRM2B7.FRM") +
            "\r\nREMCOPY3=" + Copy(kAsset, "\\QVCLIENT\\GAP.FRM") + "\r\n");

  Outcome run = Frm(w, {"Office survey.ini"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "PC-ANNA: ok\nPC-BEN: ok\n");
  EXPECT_EQ(run.err, "");
  const std::map<std::string, std::string> delivered = {
      {"FRM1A.FRM", w.Bytes(kSurvey)}, {"FRM2B7.FRM", w.Bytes(kAsset)}, {"keep.frmx", "kept"}};
  for (const char* client : {"PC-ANNA", "PC-BEN"})
    EXPECT_EQ(Tree(w.Dir() + "/" + client + "/C/QVCLIENT"), delivered) << client;

  std::vector<qv::ClientRun> runs = qv::ReadTaskRuns(w.Dir(), "OFFICE SURVEY");
  ASSERT_EQ(runs.size(), 2u);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].client, i == 0 ? "PC-ANNA" : "PC-BEN");
    EXPECT_EQ(runs[i].task, "Office survey");
    EXPECT_EQ(runs[i].script, "Office survey.ini");
    EXPECT_TRUE(runs[i].ok);
    EXPECT_GT(runs[i].time, 0);
    ASSERT_EQ(runs[i].lines.size(), 3u);  // REMCOPY3 lies beyond the gap
    EXPECT_EQ(runs[i].lines[0].key, "REMDEL0");
    EXPECT_EQ(runs[i].lines[0].value, "\\QVCLIENT\\*.FRM");
    EXPECT_EQ(runs[i].lines[2].key, "REMCOPY1");
    for (const qv::RunLine& line : runs[i].lines)
      EXPECT_EQ(line.result, "ok") << line.key;
  }
  EXPECT_TRUE(qv::ReadTaskRuns(w.Dir(), "Asset tag").empty());

  // A script named by its Windows path, one client named in another case, a task name given.
  ASSERT_TRUE(qv::WriteHostFileAtomic(w.Dir() + "/PC-BEN/C/QVCLIENT/FRM2B7.FRM", "changed"));
  run = Frm(w, {"--task", "Survey", kScripts + "office SURVEY.ini", "pc-ben"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "PC-BEN: ok\n");
  EXPECT_EQ(Tree(w.Dir() + "/PC-BEN/C/QVCLIENT"), delivered);
  runs = qv::ReadTaskRuns(w.Dir(), "survey");
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].client, "PC-BEN");
  EXPECT_EQ(runs[0].script, kScripts + "office SURVEY.ini");
  EXPECT_EQ(qv::ReadTaskRuns(w.Dir(), "").size(), 3u);

  // The built program, as the task system starts it.
  ChildResult child =
      RunChild("FrmTask.exe", {.args = {"--world", w.Dir(), "Office survey.ini", "PC-ANNA"}});
  EXPECT_EQ(child.status, 0) << child.err;
  EXPECT_EQ(qv::ReadTaskRuns(w.Dir(), "Office survey").size(), 3u);
}

TEST(FrmTask, RefusesLinesThatLeaveTheClientOrTheWorld) {
  TestWorld w;
  const std::string outside = w.Dir() + "-outside";
  fs::create_directories(outside);
  ASSERT_TRUE(qv::WriteHostFileAtomic(outside + "/secret.FRM", "secret"));
  const std::string anna = w.Dir() + "/PC-ANNA/C";
  fs::create_directory_symlink(outside, anna + "/QVCLIENT/link");
  ASSERT_TRUE(qv::WriteHostFileAtomic(anna + "/QVCLIENT/OLD.FRM", "old"));
  const std::map<std::string, std::string> worldBefore = Tree(w.Dir());

  struct Case {
    const char* key;
    std::string value;
    const char* why;  // a part of the reason recorded
  };
  const std::string good = "\\QVCLIENT\\NEW.FRM";
  const std::vector<Case> cases = {
      {"REMDEL0", "\\QVCLIENT\\..\\..\\*", "climbs"},
      {"REMDEL0", "\\*\\*.FRM", "only in the last name"},
      {"REMDEL0", "D:\\QVCLIENT\\*.FRM", "drive C:"},
      {"REMDEL0", "\\\\PC-ANNA\\C\\QVCLIENT\\*.FRM", "network path"},
      {"REMDEL0", "/etc/*", "root of the client's drive"},
      {"REMDEL0", "QVCLIENT\\*.FRM", "root of the client's drive"},
      {"REMDEL0", "\\QVCLIENT\\link\\*.FRM", "symbolic link"},
      {"REMCOPY0", Copy(kSurvey, "\\QVCLIENT\\..\\..\\..\\escape.FRM"), "climbs"},
      {"REMCOPY0", Copy(kSurvey, "D:\\QVCLIENT\\NEW.FRM"), "drive C:"},
      {"REMCOPY0", Copy(kSurvey, "\\\\CORE1\\qvlogon\\NEW.FRM"), "network path"},
      {"REMCOPY0", Copy(kSurvey, outside + "/NEW.FRM"), "root of the client's drive"},
      {"REMCOPY0", Copy(kSurvey, "\\QVCLIENT\\link\\NEW.FRM"), "symbolic link"},
      {"REMCOPY0", Copy(kSurvey, "\\QVCLIENT\\a<b.FRM"), "cannot hold"},
      {"REMCOPY0", Copy(kSurvey, "\\QVCLIENT\\"), "names no file"},
      {"REMCOPY0", Copy("/etc/passwd", good), "not a Windows path"},
      {"REMCOPY0", Copy(outside + "/secret.FRM", good), "not a Windows path"},
      {"REMCOPY0", Copy("\\\\EVIL\\share\\x.FRM", good), "no computer \"EVIL\""},
      {"REMCOPY0", Copy("\\\\CORE1\\qvlogon\\..\\..\\..\\etc\\passwd", good), "climbs"},
      {"REMCOPY0", Copy("\\\\CORE1\\qvlogon\\NONE.FRM", good), "was not found"},
      {"REMCOPY0", kSurvey + ", " + good, "separated by commas"},
      {"REMCOPY0", kSurvey + ", " + good + ", FROMREMOTE", "only copies TOREMOTE"},
  };
  for (const Case& c : cases) {
    qv::TaskScript script{{{c.key, c.value, ""}, {"REMCOPY1", Copy(kAsset, good), ""}}};
    qv::ClientRun run = qv::RunScriptOnClient(w.World(), script, "PC-ANNA");
    EXPECT_FALSE(run.ok) << c.value;
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_NE(run.lines[0].result.find(c.why), std::string::npos)
        << c.value << ": " << run.lines[0].result;
    // The refusal stops only its own line.
    EXPECT_EQ(run.lines[1].result, "ok") << c.value;
  }
  // Only the good line's file is new; nothing else anywhere was touched.
  std::map<std::string, std::string> expected = worldBefore;
  expected["PC-ANNA/C/QVCLIENT/NEW.FRM"] = w.Bytes(kAsset);
  EXPECT_EQ(Tree(w.Dir()), expected);
  EXPECT_EQ(Tree(outside), (std::map<std::string, std::string>{{"secret.FRM", "secret"}}));

  // Through the program: status 1, the reasons on stderr and in the record.
  w.Put(kScripts + "Bad.ini", "[MACHINES]\r\nREMDEL0=D:\\*.FRM\r\nREMCOPY0=" +
                                  Copy("\\\\CORE1\\qvlogon\\NONE.FRM", good) + "\r\n");
  Outcome run = Frm(w, {"Bad.ini", "PC-BEN"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "PC-BEN: 2 of 2 lines failed\n");
  EXPECT_NE(run.err.find("FrmTask: PC-BEN: REMDEL0=D:\\*.FRM: only the client's drive C:"),
            std::string::npos)
      << run.err;
  std::vector<qv::ClientRun> runs = qv::ReadTaskRuns(w.Dir(), "Bad");
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_FALSE(runs[0].ok);
  ASSERT_EQ(runs[0].lines.size(), 2u);
  EXPECT_NE(runs[0].lines[1].result.find("was not found"), std::string::npos);
  fs::remove_all(outside);
}

TEST(FrmTask, ReadOnlyFormsStayAndAKilledRunsHiddenFilesAreSweptAway) {
  TestWorld w;
  const std::string folder = w.Dir() + "/PC-ANNA/C/QVCLIENT/";
  ASSERT_TRUE(qv::WriteHostFileAtomic(folder + "LOCKED.FRM", "locked"));
  ASSERT_TRUE(qv::WriteHostFileAtomic(folder + "FRM1A.FRM", "read-only copy"));
  ASSERT_TRUE(qv::WriteHostFileAtomic(folder + "OLD.FRM", "old"));
  ASSERT_EQ(::chmod((folder + "LOCKED.FRM").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((folder + "FRM1A.FRM").c_str(), 0444), 0);
  // Three kills in the middle of copies left their hidden files; one copy is under way.
  const long hour = 3600;
  for (const char* temp : {".FRM1A.FRM.a1B2c3", ".FRM2B7.FRM.Zz9Yy8", ".GONE.FRM.000000"}) {
    ASSERT_TRUE(qv::WriteHostFileAtomic(folder + temp, std::string(1000, 'x')));
    timespec old[2] = {{std::time(nullptr) - hour, 0}, {std::time(nullptr) - hour, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (folder + temp).c_str(), old, 0), 0);
  }
  ASSERT_TRUE(qv::WriteHostFileAtomic(folder + ".FRM2B7.FRM.nowNow", "under way"));
  w.Put(kScripts + "Ro.ini", "[MACHINES]\r\nREMDEL0=\\QVCLIENT\\*.FRM\r\nREMCOPY0=" +
                                 Copy(kSurvey, "\\QVCLIENT\\FRM1A.FRM") +
                                 "\r\nREMCOPY1=" + Copy(kAsset, "\\QVCLIENT\\FRM2B7.FRM") + "\r\n");
  Outcome run = Frm(w, {"Ro.ini", "PC-ANNA"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "PC-ANNA: 2 of 3 lines failed\n");
  std::vector<qv::ClientRun> runs = qv::ReadTaskRuns(w.Dir(), "Ro");
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].lines.size(), 3u);
  EXPECT_NE(runs[0].lines[0].result.find("read-only"), std::string::npos)
      << runs[0].lines[0].result;
  EXPECT_NE(runs[0].lines[1].result.find("cannot write"), std::string::npos)
      << runs[0].lines[1].result;
  EXPECT_EQ(runs[0].lines[2].result, "ok");
  EXPECT_EQ(Tree(w.Dir() + "/PC-ANNA/C/QVCLIENT"),
            (std::map<std::string, std::string>{{"LOCKED.FRM", "locked"},
                                                {"FRM1A.FRM", "read-only copy"},
                                                {"FRM2B7.FRM", w.Bytes(kAsset)},
                                                {".FRM2B7.FRM.nowNow", "under way"}}));
}

// The exit status is that of every client, not of the last one: a client in the middle that
// fails makes the run fail, while the clients before and after it still get their forms.
TEST(FrmTask, AFailedClientInTheMiddleFailsTheRunAndEachRecordSaysItsOwn) {
  TestWorld w;
  std::string ini;
  ASSERT_TRUE(qv::ReadHostFile(w.Dir() + "/world.ini", &ini));
  const std::string clients = "Clients=PC-ANNA,PC-BEN\r\n";
  ASSERT_NE(ini.find(clients), std::string::npos);
  ini.replace(ini.find(clients), clients.size(), "Clients=PC-ANNA,PC-BEN,PC-CARL\r\n");
  ASSERT_TRUE(qv::WriteHostFileAtomic(
      w.Dir() + "/world.ini",
      ini + "\r\n[Computer PC-CARL]\r\nReachable=1\r\nDrive C=PC-CARL/C\r\n"));
  fs::create_directories(w.Dir() + "/PC-CARL/C");
  // PC-BEN's folder is a link out of the world: both lines are refused there.
  const std::string outside = w.Dir() + "-outside";
  fs::create_directories(outside);
  fs::remove_all(w.Dir() + "/PC-BEN/C/QVCLIENT");
  fs::create_directory_symlink(outside, w.Dir() + "/PC-BEN/C/QVCLIENT");
  w.Put(kScripts + "Survey.ini", "[MACHINES]\r\nREMDEL0=\\QVCLIENT\\*.FRM\r\nREMCOPY0=" +
                                     Copy(kSurvey, "\\QVCLIENT\\FRM1A.FRM") + "\r\n");

  Outcome run = Frm(w, {"Survey.ini"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out, "PC-ANNA: ok\nPC-BEN: 2 of 2 lines failed\nPC-CARL: ok\n");
  EXPECT_NE(run.err.find("FrmTask: PC-BEN: REMCOPY0="), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("PC-ANNA"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("PC-CARL"), std::string::npos) << run.err;
  for (const char* client : {"PC-ANNA", "PC-CARL"})
    EXPECT_EQ(Tree(w.Dir() + "/" + client + "/C/QVCLIENT"),
              (std::map<std::string, std::string>{{"FRM1A.FRM", w.Bytes(kSurvey)}}))
        << client;
  EXPECT_TRUE(fs::is_empty(outside));

  std::vector<qv::ClientRun> runs = qv::ReadTaskRuns(w.Dir(), "Survey");
  ASSERT_EQ(runs.size(), 3u);
  const char* const names[] = {"PC-ANNA", "PC-BEN", "PC-CARL"};
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].client, names[i]);
    EXPECT_EQ(runs[i].ok, i != 1) << names[i];
    ASSERT_EQ(runs[i].lines.size(), 2u) << names[i];
    for (const qv::RunLine& line : runs[i].lines) {
      if (i == 1)
        EXPECT_NE(line.result.find("symbolic link"), std::string::npos) << line.result;
      else
        EXPECT_EQ(line.result, "ok") << names[i] << " " << line.key;
    }
  }

  // The built program says the same by its exit status.
  ChildResult child = RunChild("FrmTask.exe", {.args = {"--world", w.Dir(), "Survey.ini"}});
  EXPECT_EQ(child.status, 1) << child.err;
  fs::remove_all(outside);
}

TEST(FrmTask, BadArgumentsNoWorldOrNoScriptDoNothing) {
  TestWorld w;
  w.Put(kScripts + "Empty.ini", "[Other]\r\nREMDEL0=\\QVCLIENT\\*.FRM\r\n");
  w.Put(kScripts + "Good.ini", "[MACHINES]\r\nREMDEL0=\\QVCLIENT\\*.FRM\r\n");
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--task"},
      {"--bogus", "Good.ini"},
      {"--task", "a", "--task", "b", "Good.ini"},
      {"Good.ini", "PC-CARL"},                // not a client
      {"Good.ini", "ADMIN7"},                 // a computer, but no client
      {"Missing.ini"},                        // no such script
      {"Empty.ini"},                          // no [MACHINES]
      {"..\\..\\world.ini"},                  // neither a file name nor a Windows path
      {"\\\\CORE1\\qvlogon\\..\\..\\x.ini"},  // refused by the world
  };
  for (const auto& args : bad) {
    Outcome run = Frm(w, args);
    EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args.back());
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("FrmTask: ", 0), 0u) << run.err;
  }
  std::string out, err;
  EXPECT_EQ(qv::RunFrmTask({"--world", w.Dir() + "/none", "Good.ini"}, &out, &err), 2);
  EXPECT_FALSE(fs::exists(qv::TaskRunsPath(w.Dir())));
  EXPECT_FALSE(fs::exists(w.Dir() + "/none"));
}

TEST(TaskRuns, LinesAreOneJsonObjectEachAndTornLinesAreNeverRead) {
  TestWorld w;
  qv::ClientRun run;
  run.time = 904737600;
  run.task = "Caf\xE9";
  run.script = "Caf\xE9.ini";
  run.client = "PC-ANNA";
  run.ok = false;
  run.lines = {{"REMDEL0", "\\QVCLIENT\\*.FRM", "ok"},
               {"REMCOPY0", "a, b, TOREMOTE", "the source a is not a Windows path of the world"}};
  const std::string line =
      "{\"time\":904737600,\"task\":\"Caf\xC3\xA9\",\"script\":\"Caf\xC3\xA9.ini\","
      "\"client\":\"PC-ANNA\",\"ok\":false,\"lines\":[{\"key\":\"REMDEL0\",\"value\":"
      "\"\\\\QVCLIENT\\\\*.FRM\",\"result\":\"ok\"},{\"key\":\"REMCOPY0\",\"value\":\"a, b, "
      "TOREMOTE\",\"result\":\"the source a is not a Windows path of the world\"}]}";
  EXPECT_EQ(qv::TaskRunLine(run), line);

  std::string why;
  ASSERT_TRUE(qv::AppendTaskRun(w.Dir(), run, &why)) << why;
  // A crash left half a line; a line of another shape is no record either.
  const std::string path = qv::TaskRunsPath(w.Dir());
  std::string bytes;
  ASSERT_TRUE(qv::ReadHostFile(path, &bytes));
  EXPECT_EQ(bytes, line + "\n");
  ASSERT_TRUE(qv::WriteHostFileAtomic(path, bytes + "[1,2]\n" + line.substr(0, 40)));
  run.client = "PC-BEN";
  run.task = "CAF\xC9";
  ASSERT_TRUE(qv::AppendTaskRun(w.Dir(), run, &why)) << why;
  ASSERT_TRUE(qv::ReadHostFile(path, &bytes));
  EXPECT_EQ(bytes.substr(bytes.size() - 41 - qv::TaskRunLine(run).size() - 1),
            line.substr(0, 40) + "\n" + qv::TaskRunLine(run) + "\n");

  std::vector<qv::ClientRun> runs = qv::ReadTaskRuns(w.Dir(), "caf\xE9");
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].client, "PC-ANNA");
  EXPECT_EQ(runs[1].client, "PC-BEN");
  EXPECT_EQ(runs[1].task, "CAF\xC9");
  EXPECT_EQ(runs[0].lines.size(), 2u);
  EXPECT_EQ(runs[0].lines[1].result, run.lines[1].result);

  // A record file that a link leads out of the world is never written.
  const std::string outside = w.Dir() + "-runs";
  fs::create_directories(outside);
  fs::remove_all(w.Dir() + "/tasks");
  fs::create_directory_symlink(outside, w.Dir() + "/tasks");
  EXPECT_FALSE(qv::AppendTaskRun(w.Dir(), run, &why));
  EXPECT_TRUE(fs::is_empty(outside));

  // Nor is one that is a second name (a hard link) or a symbolic link of a file elsewhere, or
  // one that is read-only: each keeps every byte.
  fs::remove(w.Dir() + "/tasks");
  fs::create_directories(w.Dir() + "/tasks");
  ASSERT_TRUE(qv::WriteHostFileAtomic(outside + "/other", "other\n"));
  for (int planted = 0; planted < 3; ++planted) {
    fs::remove(path);
    if (planted == 0)
      fs::create_hard_link(outside + "/other", path);
    else if (planted == 1)
      fs::create_symlink(outside + "/other", path);
    else
      ASSERT_TRUE(qv::WriteHostFileAtomic(path, "kept\n") && ::chmod(path.c_str(), 0444) == 0);
    EXPECT_FALSE(qv::AppendTaskRun(w.Dir(), run, &why)) << planted;
    ASSERT_TRUE(qv::ReadHostFile(planted == 2 ? path : outside + "/other", &bytes));
    EXPECT_EQ(bytes, planted == 2 ? "kept\n" : "other\n") << planted;
  }
  fs::remove_all(outside);
}
