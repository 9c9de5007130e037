#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"
#include "tools/common/TaskRuns.h"
#include "tools/frmtask/FrmTask.h"

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;
using Names = std::vector<std::string>;

namespace {

const std::string kScripts = "\\\\CORE1\\QVMAIN\\SCRIPTS\\";
const std::string kSurvey = "\\\\CORE1\\QVMAIN\\QVLOGON\\FRM1A.FRM";
const std::string kAsset = "\\\\CORE1\\QVMAIN\\QVLOGON\\FRM2B7.FRM";
const std::string kClearClient = "[MACHINES]\r\nREMDEL0=\\QVCLIENT\\*.FRM\r\n";

std::string Copy(const std::string& source, const std::string& destination) {
  return source + ", " + destination + ", TOREMOTE";
}
// "REMCOPYn=source, \QVCLIENT\file, TOREMOTE".
std::string CopyLine(int n, const std::string& source, const std::string& file) {
  return "REMCOPY" + std::to_string(n) + "=" + Copy(source, "\\QVCLIENT\\" + file) + "\r\n";
}

class FrmTaskTest : public ::testing::Test {
 protected:
  int Frm(std::vector<std::string> args) {
    args.insert(args.begin(), {"--world", w.Dir()});
    out.clear();
    err.clear();
    return qv::RunFrmTask(args, &out, &err);
  }
  // The host folder of a client's C:\QVCLIENT.
  std::string Client(const std::string& client) const {
    return w.Dir() + "/" + client + "/C/QVCLIENT/";
  }
  // The task's records, "client task|script ok|failed: key=result..." each, in file order.
  Names Runs(const std::string& task) const {
    Names runs;
    for (const qv::ClientRun& run : qv::ReadTaskRuns(w.Dir(), task)) {
      EXPECT_GT(run.time, 0);
      runs.push_back(run.client + " " + run.task + "|" + run.script +
                     (run.ok ? " ok:" : " failed:"));
      for (const qv::RunLine& line : run.lines)
        runs.back() += " " + line.key + "=" + line.result;
    }
    return runs;
  }

  TestWorld w;
  std::string out, err;
};

}  // namespace

// Every client gets the script's forms (REMDEL0's files go, REMCOPY lines after a gap in the
// numbers are not read), and each client's run is recorded.
TEST_F(FrmTaskTest, DeliversTheScriptsFormsToEveryClientAndRecordsEachRun) {
  for (const char* client : {"PC-ANNA", "PC-BEN"}) {
    for (const char* file : {"OLD.FRM", "gone.frm", "keep.frmx", "FRM1A.FRM"})
      ASSERT_TRUE(qv::WriteHostFileAtomic(Client(client) + file, file));
  }
  w.Put(kScripts + "Office survey.ini", kClearClient + CopyLine(0, kSurvey, "FRM1A.FRM") +
                                            CopyLine(1, kAsset, "FRM2B7.FRM") +
                                            CopyLine(3, kAsset, "GAP.FRM"));
  EXPECT_EQ(Frm({"Office survey.ini"}), 0) << err;
  EXPECT_EQ(out, "PC-ANNA: ok\nPC-BEN: ok\n");
  EXPECT_EQ(err, "");
  const Files delivered = {
      {"FRM1A.FRM", w.Bytes(kSurvey)}, {"FRM2B7.FRM", w.Bytes(kAsset)}, {"keep.frmx", "keep.frmx"}};
  for (const char* client : {"PC-ANNA", "PC-BEN"})
    EXPECT_EQ(FolderTree(Client(client)), delivered) << client;
  const std::string done = " ok: REMDEL0=ok REMCOPY0=ok REMCOPY1=ok";
  EXPECT_EQ(Runs("OFFICE SURVEY"), (Names{"PC-ANNA Office survey|Office survey.ini" + done,
                                          "PC-BEN Office survey|Office survey.ini" + done}));

  // A script named by its Windows path, one client named in another case, a task name given.
  ASSERT_TRUE(qv::WriteHostFileAtomic(Client("PC-BEN") + "FRM2B7.FRM", "changed"));
  EXPECT_EQ(Frm({"--task", "Survey", kScripts + "office SURVEY.ini", "pc-ben"}), 0) << err;
  EXPECT_EQ(out, "PC-BEN: ok\n");
  EXPECT_EQ(FolderTree(Client("PC-BEN")), delivered);
  EXPECT_EQ(Runs("survey"), Names{"PC-BEN Survey|" + kScripts + "office SURVEY.ini" + done});
}

TEST_F(FrmTaskTest, RefusesLinesThatLeaveTheClientOrTheWorld) {
  const std::string outside = w.Dir() + "-outside";
  fs::create_directories(outside);
  ASSERT_TRUE(qv::WriteHostFileAtomic(outside + "/secret.FRM", "secret"));
  fs::create_directory_symlink(outside, Client("PC-ANNA") + "link");
  ASSERT_TRUE(qv::WriteHostFileAtomic(Client("PC-ANNA") + "OLD.FRM", "old"));
  const Files worldBefore = FolderTree(w.Dir());

  const std::string good = "\\QVCLIENT\\NEW.FRM";
  const struct {
    const char* key;
    std::string value;
    const char* why;  // a part of the reason recorded
  } cases[] = {
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
  for (const auto& c : cases) {
    qv::TaskScript script{{{c.key, c.value, ""}, {"REMCOPY1", Copy(kAsset, good), ""}}};
    qv::ClientRun run = qv::RunScriptOnClient(w.World(), script, "PC-ANNA");
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_FALSE(run.ok) << c.value;
    EXPECT_NE(run.lines[0].result.find(c.why), std::string::npos) << run.lines[0].result;
    EXPECT_EQ(run.lines[1].result, "ok") << c.value;  // the refusal stops only its own line
  }
  // Only the good line's file is new; nothing else anywhere was touched.
  Files expected = worldBefore;
  expected["PC-ANNA/C/QVCLIENT/NEW.FRM"] = w.Bytes(kAsset);
  EXPECT_EQ(FolderTree(w.Dir()), expected);
  EXPECT_EQ(FolderTree(outside), (Files{{"secret.FRM", "secret"}}));
  fs::remove_all(outside);
}

TEST_F(FrmTaskTest, BadArgumentsNoWorldOrNoScriptDoNothing) {
  w.Put(kScripts + "Empty.ini", "[Other]\r\nREMDEL0=\\QVCLIENT\\*.FRM\r\n");
  w.Put(kScripts + "Good.ini", kClearClient);
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
    EXPECT_EQ(Frm(args), 2) << (args.empty() ? "" : args.back());
    EXPECT_EQ(out, "");
    EXPECT_EQ(err.rfind("FrmTask: ", 0), 0u) << err;
  }
  EXPECT_EQ(qv::RunFrmTask({"--world", w.Dir() + "/none", "Good.ini"}, &out, &err), 2);
  EXPECT_FALSE(fs::exists(qv::TaskRunsPath(w.Dir())));
  EXPECT_FALSE(fs::exists(w.Dir() + "/none"));
}

// A record is one line of JSON; a torn line is never read; a planted record file never written.
TEST_F(FrmTaskTest, TaskRunsAreLinesOfJsonAndTornLinesAreNeverRead) {
  qv::ClientRun run{
      904737600,
      "Caf\xE9",
      "Caf\xE9.ini",
      "PC-ANNA",
      false,
      true,
      "",
      {{"REMDEL0", "\\QVCLIENT\\*.FRM", "ok"}, {"REMCOPY0", "a, b, TOREMOTE", "bad"}}};
  const std::string line =
      "{\"time\":904737600,\"task\":\"Caf\xC3\xA9\",\"script\":\"Caf\xC3\xA9.ini\","
      "\"client\":\"PC-ANNA\",\"ok\":false,\"lines\":[{\"key\":\"REMDEL0\",\"value\":"
      "\"\\\\QVCLIENT\\\\*.FRM\",\"result\":\"ok\"},{\"key\":\"REMCOPY0\",\"value\":\"a, b, "
      "TOREMOTE\",\"result\":\"bad\"}]}";
  const std::string path = qv::TaskRunsPath(w.Dir());
  std::string why;
  ASSERT_TRUE(qv::AppendTaskRun(w.Dir(), run, &why)) << why;
  EXPECT_EQ(FileBytes(path), line + "\n");
  // Half a line, and a line of another shape that is no record either.
  const std::string torn = line + "\n[1,2]\n" + line.substr(0, 40);
  ASSERT_TRUE(qv::WriteHostFileAtomic(path, torn));
  run.client = "PC-BEN";
  run.task = "CAF\xC9";
  ASSERT_TRUE(qv::AppendTaskRun(w.Dir(), run, &why)) << why;
  EXPECT_EQ(FileBytes(path), torn + "\n" +
                                 ReplaceAll(ReplaceAll(line, "PC-ANNA", "PC-BEN"),
                                            "Caf\xC3\xA9\",\"script", "CAF\xC3\x89\",\"script") +
                                 "\n");
  EXPECT_EQ(Runs("caf\xE9"), (Names{"PC-ANNA Caf\xE9|Caf\xE9.ini failed: REMDEL0=ok REMCOPY0=bad",
                                    "PC-BEN CAF\xC9|Caf\xE9.ini failed: REMDEL0=ok REMCOPY0=bad"}));

  // A folder linked out, a hard or symbolic link to a file elsewhere, a read-only file: kept.
  const std::string outside = w.Dir() + "-runs";
  fs::create_directories(outside);
  fs::remove_all(w.Dir() + "/tasks");
  fs::create_directory_symlink(outside, w.Dir() + "/tasks");
  EXPECT_FALSE(qv::AppendTaskRun(w.Dir(), run, &why));
  EXPECT_TRUE(fs::is_empty(outside));
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
    EXPECT_EQ(FileBytes(planted == 2 ? path : outside + "/other"),
              planted == 2 ? "kept\n" : "other\n");
  }
  fs::remove_all(outside);
}

// Enough clients for several batches served at once, their copies flushed together: every
// client gets the forms byte for byte and one whole record, what is printed keeps the clients'
// order, read-only forms stay and a client whose folder leads out of the world is refused.
TEST_F(FrmTaskTest, ManyClientsAtOnceEachGetTheFormsAndOneRecord) {
  constexpr int kClients = 600;
  std::string ini = FileBytes(w.Dir() + "/world.ini");
  std::string names = "PC-ANNA,PC-BEN";
  for (int n = 0; n < kClients; ++n) {
    std::string name = "PC-M" + std::to_string(n);
    names += "," + name;
    ini += "\r\n[Computer " + name + "]\r\nReachable=1\r\nDrive C=" + name + "/C\r\n";
    fs::create_directories(Client(name));
    std::ofstream(Client(name) + (n % 2 ? "OLD.FRM" : "FRM1A.FRM")) << "old";
  }
  ASSERT_TRUE(qv::WriteHostFileAtomic(
      w.Dir() + "/world.ini",
      ReplaceAll(ini, "Clients=PC-ANNA,PC-BEN\r\n", "Clients=" + names + "\r\n")));
  const std::string outside = w.Dir() + "-outside";
  fs::create_directories(outside);
  fs::remove_all(Client("PC-M350"));
  fs::create_directory_symlink(outside, w.Dir() + "/PC-M350/C/QVCLIENT");
  fs::remove_all(Client("PC-M351"));  // made by the copy
  for (const char* client : {"PC-M7", "PC-M421"})
    ASSERT_EQ(::chmod((Client(client) + "OLD.FRM").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((Client("PC-M8") + "FRM1A.FRM").c_str(), 0444), 0);
  w.Put(kScripts + "Many.ini",
        kClearClient + CopyLine(0, kSurvey, "FRM1A.FRM") + CopyLine(1, kAsset, "FRM2B7.FRM"));

  EXPECT_EQ(Frm({"Many.ini"}), 1);
  // The clients that fail, their lines' results in the script's order; the others are done.
  const std::string link = "the path meets a symbolic link at \"QVCLIENT\"";
  const Names keeps = {"cannot delete C:\\QVCLIENT\\OLD.FRM: the file is read-only", "ok", "ok"};
  const std::map<std::string, Names> failed = {
      {"PC-M350",
       {link, "the destination \\QVCLIENT\\FRM1A.FRM is refused: " + link,
        "the destination \\QVCLIENT\\FRM2B7.FRM is refused: " + link}},
      {"PC-M7", keeps},
      {"PC-M421", keeps},
      {"PC-M8",
       {"cannot delete C:\\QVCLIENT\\FRM1A.FRM: the file is read-only",
        "cannot write \\QVCLIENT\\FRM1A.FRM: the file is read-only", "ok"}}};
  const Names keys = {"REMDEL0", "REMCOPY0", "REMCOPY1"};
  const Names values = {"\\QVCLIENT\\*.FRM", Copy(kSurvey, "\\QVCLIENT\\FRM1A.FRM"),
                        Copy(kAsset, "\\QVCLIENT\\FRM2B7.FRM")};
  std::string expectedOut, expectedErr;
  Names expectedRuns;
  std::string why;
  std::unique_ptr<qv::World> world = qv::World::Open(w.Dir(), &why);
  ASSERT_EQ(world->Clients().size(), kClients + 2u) << why;
  for (const std::string& client : world->Clients()) {
    auto fails = failed.find(client);
    const Names results = fails == failed.end() ? Names(3, "ok") : fails->second;
    std::string run = client + " Many|Many.ini" + (fails == failed.end() ? " ok:" : " failed:");
    int failures = 0;
    for (int i = 0; i < 3; ++i) {
      run += " " + keys[i] + "=" + results[i];
      if (results[i] == "ok")
        continue;
      ++failures;
      expectedErr +=
          "FrmTask: " + client + ": " + keys[i] + "=" + values[i] + ": " + results[i] + "\n";
    }
    expectedRuns.push_back(run);
    expectedOut +=
        client + ": " + (failures ? std::to_string(failures) + " of 3 lines failed\n" : "ok\n");
    Files files = {{"FRM1A.FRM", w.Bytes(kSurvey)}, {"FRM2B7.FRM", w.Bytes(kAsset)}};
    if (results == keeps)
      files["OLD.FRM"] = "old";
    if (client == "PC-M8")
      files["FRM1A.FRM"] = "old";
    EXPECT_EQ(FolderTree(Client(client)), client == "PC-M350" ? Files{} : files) << client;
  }
  EXPECT_EQ(out, expectedOut);
  EXPECT_EQ(err, expectedErr);
  // One whole record per client, in any order.
  const std::string records = FileBytes(qv::TaskRunsPath(w.Dir()));
  EXPECT_EQ(std::count(records.begin(), records.end(), '\n'), kClients + 2);
  EXPECT_EQ(records.back(), '\n');
  Names runs = Runs("Many");
  std::sort(runs.begin(), runs.end());
  std::sort(expectedRuns.begin(), expectedRuns.end());
  EXPECT_EQ(runs, expectedRuns);
  fs::remove_all(outside);
}
