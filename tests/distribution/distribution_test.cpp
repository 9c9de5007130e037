#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "distribution/DistributionTask.h"
#include "distribution/RemoteRegistry.h"
#include "forms/CustomDoc.h"
#include "groups/FormGroupList.h"
#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"
#include "platform/registry/Registry.h"
#include "platform/ui/WaitCursor.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"

namespace {

using Names = std::vector<std::string>;

// The default world with its world.ini edited ("Console=ADMIN7" -> "Console=CORE1", ...),
// current while the object lives.
class EditedWorld {
 public:
  EditedWorld(TestWorld& base, const std::string& from, const std::string& to)
      : base_(base), ini_(base.Dir() + "/world.ini"), saved_(FileBytes(ini_)) {
    EXPECT_TRUE(qv::WriteHostFileAtomic(ini_, ReplaceAll(saved_, from, to)));
    std::string why;
    world_ = qv::World::Open(base.Dir(), &why);
    EXPECT_NE(nullptr, world_) << why;
    qv::World::SetCurrent(world_.get());
    qv::ClearConnectionLog();
  }
  ~EditedWorld() {
    qv::World::SetCurrent(&base_.World());
    qv::WriteHostFileAtomic(ini_, saved_);
  }

 private:
  TestWorld& base_;
  const std::string ini_, saved_;
  std::unique_ptr<qv::World> world_;
};

// The scripts directory as the console finds it, and the connections to the core's registry
// it cancels afterwards (none open stays open); every failure gives "".
TEST(ScriptsDirectory, RemoteCoreConsoleOnTheCoreAndFailures) {
  TestWorld world;
  const Names ipc = {"\\\\CORE1\\ipc$"};
  const struct {
    const char *from, *to;
    std::string directory;
    Names cancelled;
  } cases[] = {
      {"CoreServer=CORE1", "CoreServer=CORE1", "\\\\CORE1\\QVMAIN\\SCRIPTS\\", ipc},
      {"CoreServer=CORE1", "CoreServer=core1", "\\\\CORE1\\QVMAIN\\SCRIPTS\\", ipc},
      {"Console=ADMIN7", "Console=core1", "D:\\Apps\\Main\\SCRIPTS\\", {}},
      {"CoreServer=CORE1", "CoreServer=", "", {}},  // no registry was reached
      {"CORE1]\r\nReachable=1", "CORE1]\r\nReachable=0", "", ipc},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.to);
    EditedWorld edited(world, c.from, c.to);
    EXPECT_EQ(c.directory, FindScriptsDirectory());
    EXPECT_EQ(c.cancelled, qv::CancelledConnections());
    EXPECT_TRUE(qv::OpenConnections().empty());
    EXPECT_EQ(0, qv::WaitCursorDepth());
  }
  // Without "Main Path" even a remote core, which would not use the value, gives nothing.
  ASSERT_TRUE(qv::WriteHostFileAtomic(world.World().RegistryDir("CORE1") + "/HKLM.reg",
                                      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Arvex"
                                      "\\Quovant\\QVNX\\Install]\r\n\"Other\"=\"x\"\r\n"));
  qv::ClearConnectionLog();
  EXPECT_EQ("", FindScriptsDirectory());
  EXPECT_EQ(ipc, qv::CancelledConnections());
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

// A script line that copies `file` from the forms share (`share`) to the client.
std::string CopyLine(int n, const char* file, const std::string& share = "\\\\CORE1\\QVMAIN\\") {
  return "REMCOPY" + std::to_string(n) + "=" + share + "QVLOGON\\" + file + ", \\QVCLIENT\\" +
         file + ", TOREMOTE\r\n";
}
const std::string kHead = "[MACHINES]\r\nREMDEL0=\\QVCLIENT\\*.FRM\r\n";
const std::string kAsset = kHead + CopyLine(0, "FRM1A.FRM");
const std::string kBoth = kAsset + CopyLine(1, "FRM2B.FRM");

// A group's forms in its order, one missing left out, one named twice copied twice; the first
// group of a name counts; a script written again is replaced whole; on the core the script
// names the forms by their drive path.
TEST_F(ScriptTest, GroupsAndFormsFromAnotherComputerAndOnTheCore) {
  Groups(
      "[Group1]\r\nName=Trio\r\nForm1=Asset\r\nForm2=Gone\r\nForm3=Contact\r\n"
      "[Group2]\r\nName=Twice\r\nForm1=Contact\r\nForm2=Contact\r\n"
      "[Group3]\r\nName=Trio\r\nForm1=Contact\r\n");
  EXPECT_EQ(kBoth, Write("Trio", 1));
  EXPECT_TRUE(task_->GetFormFiles().empty());
  EXPECT_EQ(kHead + CopyLine(0, "FRM2B.FRM") + CopyLine(1, "FRM2B.FRM"), Write("Twice", 1));
  // A group or form that is not there: the script only clears the client.
  EXPECT_EQ(kHead, Write("trio", 1));
  EXPECT_EQ(kHead, Write("Nobody", 0));
  EXPECT_EQ(kAsset, Write("Asset", 0));  // a form is found by its exact name
  Groups("[Group1]\r\nName=Trio\r\nForm1=Contact\r\n");
  EXPECT_EQ(kHead + CopyLine(0, "FRM2B.FRM"), Write("Trio", 1));

  EditedWorld onCore(world_, "Console=ADMIN7", "Console=CORE1");
  EXPECT_EQ(kHead + CopyLine(0, "FRM1A.FRM", "D:\\Apps\\Main\\"), Write("Asset", 0));
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
  EXPECT_EQ(kBoth, Write("Onboarding", 1));
  EXPECT_TRUE(task_->ScriptWritten());
  EXPECT_EQ(kAsset, Write("Asset", 0));

  document_.SetFormMapListingError(ERROR_READ_FAULT);
  EXPECT_EQ(kAsset, Write("Asset", 0));
  EXPECT_FALSE(task_->ScriptWritten());
  EXPECT_EQ(kBoth, Write("Onboarding", 1));
  EXPECT_TRUE(task_->GetFormFiles().empty());
  document_.SetFormMapListingError(0);

  // A group list that is there but cannot be read (here a folder in its place).
  qv::FlushProfiles();
  std::string list = world_.Host("\\\\CORE1\\qvlogon\\FDGRPLST.GPS");
  std::filesystem::remove(list);
  std::filesystem::create_directory(list);
  EXPECT_EQ(kBoth, Write("Onboarding", 1));
  EXPECT_FALSE(task_->ScriptWritten());
  EXPECT_TRUE(CFormGroupList("\\\\CORE1\\qvlogon\\FDGRPLST.GPS").ReadFailed());
  EXPECT_EQ(kAsset, Write("Asset", 0));  // a form needs no group list
  EXPECT_TRUE(task_->ScriptWritten());
}

}  // namespace
