#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "distribution/Configurations.h"
#include "distribution/DistributionTask.h"
#include "distribution/RemoteRegistry.h"
#include "forms/CustomDoc.h"
#include "groups/FormGroupList.h"
#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"
#include "platform/registry/Registry.h"
#include "platform/ui/WaitCursor.h"
#include "tests/TestWorld.h"

namespace {

// The default world with its world.ini edited ("Console=ADMIN7" -> "Console=CORE1", ...),
// current while the object lives.
class EditedWorld {
 public:
  EditedWorld(TestWorld& base, const std::string& from, const std::string& to) : base_(base) {
    std::string ini;
    EXPECT_TRUE(qv::ReadHostFile(base.Dir() + "/world.ini", &ini));
    ini.replace(ini.find(from), from.size(), to);
    EXPECT_TRUE(qv::WriteHostFileAtomic(base.Dir() + "/world.ini", ini));
    std::string why;
    world_ = qv::World::Open(base.Dir(), &why);
    EXPECT_NE(nullptr, world_) << why;
    qv::World::SetCurrent(world_.get());
    qv::ClearConnectionLog();
  }
  ~EditedWorld() { qv::World::SetCurrent(&base_.World()); }

 private:
  TestWorld& base_;
  std::unique_ptr<qv::World> world_;
};

using Names = std::vector<std::string>;

TEST(ScriptsDirectory, RemoteCoreAndConsoleOnTheCore) {
  TestWorld world;
  qv::ClearConnectionLog();
  EXPECT_EQ("\\\\CORE1\\QVMAIN\\SCRIPTS\\", FindScriptsDirectory());
  EXPECT_EQ(Names{"\\\\CORE1\\ipc$"}, qv::CancelledConnections());
  EXPECT_TRUE(qv::OpenConnections().empty());
  EXPECT_EQ(0, qv::WaitCursorDepth());
  {
    EditedWorld lower(world, "CoreServer=CORE1", "CoreServer=core1");
    EXPECT_EQ("\\\\CORE1\\QVMAIN\\SCRIPTS\\", FindScriptsDirectory());
    EXPECT_EQ(Names{"\\\\CORE1\\ipc$"}, qv::CancelledConnections());
  }
  {
    EditedWorld onCore(world, "Console=ADMIN7", "Console=core1");
    EXPECT_EQ("D:\\Apps\\Main\\SCRIPTS\\", FindScriptsDirectory());
    EXPECT_TRUE(qv::CancelledConnections().empty());
  }
}

TEST(ScriptsDirectory, EveryFailureGivesEmpty) {
  TestWorld world;
  {
    EditedWorld none(world, "CoreServer=CORE1", "CoreServer=");
    EXPECT_EQ("", FindScriptsDirectory());
    EXPECT_TRUE(qv::CancelledConnections().empty());  // no registry was reached
  }
  {
    EditedWorld away(world, "Reachable=1", "Reachable=0");
    EXPECT_EQ("", FindScriptsDirectory());
    EXPECT_TRUE(qv::OpenConnections().empty());
  }
  // Without "Main Path" even a remote core, which would not use the value, gives nothing.
  ASSERT_TRUE(qv::WriteHostFileAtomic(world.World().RegistryDir("CORE1") + "/HKLM.reg",
                                      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Arvex"
                                      "\\Quovant\\QVNX\\Install]\r\n\"Other\"=\"x\"\r\n"));
  qv::ClearConnectionLog();
  EXPECT_EQ("", FindScriptsDirectory());
  EXPECT_EQ(Names{"\\\\CORE1\\ipc$"}, qv::CancelledConnections());
  EXPECT_TRUE(qv::OpenConnections().empty());
}

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    document_.GetFormMap()->SetAt("Asset", "\\\\CORE1\\qvlogon\\FRM1A.FRM");
    document_.GetFormMap()->SetAt("Contact", "\\\\CORE1\\qvlogon\\FRM2B.FRM");
    task_ = std::make_unique<CDistributionTask>();
    task_->SetDocument(&document_);
  }
  void Groups(const std::string& text) { world_.Put("\\\\CORE1\\qvlogon\\FDGRPLST.GPS", text); }
  std::string Write(const std::string& name, int group) {
    task_->SetGroup(group);
    task_->SetName(name);
    task_->WriteScript();
    return world_.Bytes("\\\\CORE1\\QVMAIN\\SCRIPTS\\" + name + ".ini");
  }

  TestWorld world_;
  CCustomDoc document_;
  std::unique_ptr<CDistributionTask> task_;
};

const char kLine0[] =
    "REMCOPY0=\\\\CORE1\\QVMAIN\\QVLOGON\\FRM1A.FRM, \\QVCLIENT\\FRM1A.FRM, TOREMOTE\r\n";
const char kLine1[] =
    "REMCOPY1=\\\\CORE1\\QVMAIN\\QVLOGON\\FRM2B.FRM, \\QVCLIENT\\FRM2B.FRM, TOREMOTE\r\n";
const char kHead[] = "[MACHINES]\r\nREMDEL0=\\QVCLIENT\\*.FRM\r\n";

TEST_F(ScriptTest, WorkedExampleFromAnotherComputerAndOnTheCore) {
  Groups("[Group1]\r\nName=Onboarding\r\nForm1=Asset\r\nForm2=Contact\r\n");
  EXPECT_EQ(std::string(kHead) + kLine0 + kLine1, Write("Onboarding", 1));
  EXPECT_TRUE(task_->GetFormFiles().empty());
  EXPECT_EQ(Names{"\\\\CORE1\\ipc$"}, qv::CancelledConnections());

  EditedWorld onCore(world_, "Console=ADMIN7", "Console=CORE1");
  task_->WriteScript();
  EXPECT_EQ(std::string(kHead) +
                "REMCOPY0=D:\\Apps\\Main\\QVLOGON\\FRM1A.FRM, \\QVCLIENT\\FRM1A.FRM, TOREMOTE\r\n"
                "REMCOPY1=D:\\Apps\\Main\\QVLOGON\\FRM2B.FRM, \\QVCLIENT\\FRM2B.FRM, TOREMOTE\r\n",
            world_.Bytes("\\\\CORE1\\QVMAIN\\SCRIPTS\\Onboarding.ini"));
}

TEST_F(ScriptTest, MembersMissingRepeatedAndLaterGroups) {
  Groups(
      "[Group1]\r\nName=Trio\r\nForm1=Asset\r\nForm2=Gone\r\nForm3=Contact\r\n"
      "[Group2]\r\nName=Twice\r\nForm1=Contact\r\nForm2=Contact\r\n"
      "[Group3]\r\nName=Trio\r\nForm1=Contact\r\n");
  EXPECT_EQ(std::string(kHead) + kLine0 + kLine1, Write("Trio", 1));
  EXPECT_EQ(
      std::string(kHead) +
          "REMCOPY0=\\\\CORE1\\QVMAIN\\QVLOGON\\FRM2B.FRM, \\QVCLIENT\\FRM2B.FRM, TOREMOTE\r\n"
          "REMCOPY1=\\\\CORE1\\QVMAIN\\QVLOGON\\FRM2B.FRM, \\QVCLIENT\\FRM2B.FRM, TOREMOTE\r\n",
      Write("Twice", 1));
  // A group or form that is not there: the script only clears the client.
  EXPECT_EQ(kHead, Write("trio", 1));
  EXPECT_EQ(kHead, Write("Nobody", 0));
  // Writing again replaces the whole script; a form is found by its exact name.
  EXPECT_EQ(std::string(kHead) + kLine0, Write("Asset", 0));
  Groups("[Group1]\r\nName=Trio\r\nForm1=Contact\r\n");
  EXPECT_EQ(
      std::string(kHead) +
          "REMCOPY0=\\\\CORE1\\QVMAIN\\QVLOGON\\FRM2B.FRM, \\QVCLIENT\\FRM2B.FRM, TOREMOTE\r\n",
      Write("Trio", 1));
}

TEST_F(ScriptTest, NamesThatLeaveTheScriptsDirectoryWriteNothing) {
  world_.Put("\\\\CORE1\\QVMAIN\\SCRIPTS\\Keep.ini", "old");
  for (const char* name : {"..\\Keep", "../Keep", "a\\..\\..\\QVLOGON\\x", "C:x", "a|b", ""}) {
    qv::ClearConnectionLog();
    task_->SetGroup(0);
    task_->SetName(name);
    task_->WriteScript();
    EXPECT_TRUE(qv::CancelledConnections().empty()) << name;  // not even looked up
  }
  EXPECT_EQ("old", world_.Bytes("\\\\CORE1\\QVMAIN\\SCRIPTS\\Keep.ini"));
  EXPECT_FALSE(world_.Exists("\\\\CORE1\\QVMAIN\\QVLOGON\\x.ini"));
  EXPECT_FALSE(world_.Exists("\\\\CORE1\\QVMAIN\\SCRIPTS\\.ini"));
}

// What a script is made from must have been read whole: a share that could not be listed, or
// a group list that could not be read, is not an empty one, and a script made from it would
// delete every client's forms. The old script stays as it was.
TEST_F(ScriptTest, NoScriptIsMadeFromAShareOrGroupListThatCouldNotBeRead) {
  Groups("[Group1]\r\nName=Onboarding\r\nForm1=Asset\r\nForm2=Contact\r\n");
  const std::string group = std::string(kHead) + kLine0 + kLine1;
  EXPECT_EQ(group, Write("Onboarding", 1));
  EXPECT_TRUE(task_->ScriptWritten());
  EXPECT_EQ(std::string(kHead) + kLine0, Write("Asset", 0));

  document_.SetFormMapListingError(ERROR_READ_FAULT);
  EXPECT_EQ(std::string(kHead) + kLine0, Write("Asset", 0));
  EXPECT_FALSE(task_->ScriptWritten());
  EXPECT_EQ(group, Write("Onboarding", 1));
  EXPECT_TRUE(task_->GetFormFiles().empty());
  document_.SetFormMapListingError(0);

  // A group list that is there but cannot be read (here a folder in its place).
  qv::FlushProfiles();
  std::string list = world_.Host("\\\\CORE1\\qvlogon\\FDGRPLST.GPS");
  std::filesystem::remove(list);
  std::filesystem::create_directory(list);
  EXPECT_EQ(group, Write("Onboarding", 1));
  EXPECT_FALSE(task_->ScriptWritten());
  CFormGroupList groups("\\\\CORE1\\qvlogon\\FDGRPLST.GPS");
  EXPECT_TRUE(groups.ReadFailed());
  EXPECT_EQ(std::string(kHead) + kLine0, Write("Asset", 0));  // a form needs no group list
  EXPECT_TRUE(task_->ScriptWritten());
}

TEST(Configurations, FirstOfANameCountsAndCaseIsIgnored) {
  TestWorld world;
  int database = 0;
  ASSERT_TRUE(SetDatabasePtr(&database));
  ASSERT_TRUE(RegisterTaskSnapin(kSnapinName, kSnapinProgram, ""));
  SnapinRecord snapin{};
  ASSERT_TRUE(FindSnapin(kSnapinName, &snapin));
  static char data[] = "Asset.ini";
  auto add = [&](const char* name) {
    TaskConfigRecord record{};
    record.id = -1;
    record.snapinId = snapin.id;
    std::strcpy(record.name, name);
    record.data = qv::RegisterTaskData(data);
    record.dataLength = sizeof data - 1;
    EXPECT_TRUE(AddTaskConfiguration(&record));
    return record.id;
  };
  TaskConfigRecord found{};
  EXPECT_EQ(0, FindConfiguration(&found, "Asset"));
  LONG first = add("ASSET");
  LONG second = add("Asset");
  add("Other");
  ASSERT_EQ(1, FindConfiguration(&found, "asset"));
  EXPECT_EQ(first, found.id);
  EXPECT_EQ(0, IsScheduled(&found, "Asset"));
  EXPECT_EQ(first, found.id);  // the record holds the configuration also when unscheduled

  // A task on the second configuration of the name does not count; one on the first does.
  ASSERT_NE(-1, qv::AddTask("Asset", second));
  EXPECT_EQ(0, IsScheduled(&found, "Asset"));
  ASSERT_NE(-1, qv::AddTask("aSSET", first));
  EXPECT_EQ(1, IsScheduled(&found, "Asset"));
  EXPECT_EQ(0, IsScheduled(&found, "Other"));

  std::string longName(256, 'a');  // one more than the name field holds
  EXPECT_EQ(0, FindConfiguration(&found, longName.c_str()));
  EXPECT_EQ(0, IsScheduled(&found, longName.c_str()));
  FreeDatabasePtr();
}

}  // namespace
