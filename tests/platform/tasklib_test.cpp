#include "platform/tasklib/TaskLib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "tests/TestWorld.h"

namespace {

constexpr const char* kSnapin = "Execute Ini Script";

class TaskLibTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(SetDatabasePtr(&database_), TRUE); }
  void TearDown() override {
    FreeDatabasePtr();
    qv::World::SetCurrent(&world_.World());
  }

  std::string DatabasePath() { return world_.World().DatabaseHostPath(); }
  std::string DatabaseBytes() {
    std::string bytes;
    qv::ReadHostFile(DatabasePath(), &bytes);
    return bytes;
  }

  // Makes a second world for the same folder current, so the library starts afresh.
  void Reopen() {
    std::string why;
    reopened_ = qv::World::Open(world_.Dir(), &why);
    ASSERT_NE(reopened_, nullptr) << why;
    qv::World::SetCurrent(reopened_.get());
  }

  LONG RegisterSnapin() {
    EXPECT_EQ(RegisterTaskSnapin(kSnapin, "FrmTask.exe", ""), TRUE);
    SnapinRecord snapin{};
    EXPECT_EQ(FindSnapin(kSnapin, &snapin), TRUE);
    return snapin.id;
  }

  // Adds a configuration whose data is `data`; returns the id the library put in the record.
  LONG AddConfiguration(LONG snapinId, const std::string& name, const std::string& data) {
    buffers_.push_back(std::make_unique<std::string>(data));
    TaskConfigRecord record{};
    record.id = -1;
    record.snapinId = snapinId;
    std::strncpy(record.name, name.c_str(), sizeof record.name - 1);
    record.data = qv::RegisterTaskData(buffers_.back()->data());
    record.dataLength = static_cast<std::uint32_t>(data.size());
    EXPECT_EQ(AddTaskConfiguration(&record), TRUE) << name;
    return record.id;
  }

  struct Found {
    LONG id;
    std::string name;
    std::string data;
  };
  // Every configuration of the snap-in through the find calls, data read through its handle.
  std::vector<Found> ListConfigurations() {
    std::vector<Found> found;
    TaskConfigRecord record{};
    LONG handle = FindFirstTaskConfiguration(kSnapin, &record);
    if (handle == -1)
      return found;
    do {
      const char* data = static_cast<const char*>(qv::TaskDataAddress(record.data));
      std::string bytes = data == nullptr ? "" : std::string(data, record.dataLength);
      EXPECT_EQ(data == nullptr, record.dataLength == 0);
      found.push_back({record.id, record.name, bytes});
    } while (FindNextTaskConfiguration(handle, &record));
    return found;
  }

  TestWorld world_;
  std::unique_ptr<qv::World> reopened_;
  int database_ = 0;
  std::vector<std::unique_ptr<std::string>> buffers_;
};

TEST_F(TaskLibTest, CoreServerName) {
  char buffer[256];
  ASSERT_EQ(GetCoreServerName(buffer, sizeof buffer), TRUE);
  std::string name = world_.World().CoreServerName();
  EXPECT_EQ(std::string(buffer), name);

  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetCoreServerName(buffer, static_cast<DWORD>(name.size())), FALSE);
  EXPECT_EQ(GetCoreServerName(buffer, static_cast<DWORD>(name.size() + 1)), TRUE);
  EXPECT_EQ(std::string(buffer), name);

  qv::World::SetCurrent(nullptr);
  EXPECT_EQ(GetCoreServerName(buffer, sizeof buffer), FALSE);
}

TEST_F(TaskLibTest, CallsFailWithoutDatabasePointer) {
  LONG snapinId = RegisterSnapin();
  LONG configId = AddConfiguration(snapinId, "Asset", "Asset.ini");
  ASSERT_GT(qv::AddTask("Asset", configId), 0);
  TaskConfigRecord record{};
  LONG handle = FindFirstTaskConfiguration(kSnapin, &record);
  ASSERT_NE(handle, -1);
  std::string before = DatabaseBytes();

  FreeDatabasePtr();
  SnapinRecord snapin{};
  EXPECT_EQ(FindSnapin(kSnapin, &snapin), FALSE);
  EXPECT_EQ(RegisterTaskSnapin("Other", "Other.exe", ""), FALSE);
  EXPECT_EQ(FindFirstTaskConfiguration(kSnapin, &record), -1);
  EXPECT_EQ(FindNextTaskConfiguration(handle, &record), FALSE);
  TaskRecord task{};
  EXPECT_EQ(FindFirstTask(&task), -1);
  record = {};
  record.id = -1;
  record.snapinId = snapinId;
  std::strcpy(record.name, "Other");
  EXPECT_EQ(AddTaskConfiguration(&record), FALSE);
  EXPECT_EQ(record.id, -1);
  EXPECT_EQ(DeleteTaskConfiguration(configId), FALSE);
  EXPECT_EQ(qv::AddTask("Asset", configId), -1);
  EXPECT_EQ(DatabaseBytes(), before);

  EXPECT_EQ(SetDatabasePtr(nullptr), FALSE);
  EXPECT_EQ(FindSnapin(kSnapin, &snapin), FALSE);
  ASSERT_EQ(SetDatabasePtr(&database_), TRUE);
  EXPECT_EQ(FindSnapin(kSnapin, &snapin), TRUE);
}

TEST_F(TaskLibTest, Snapins) {
  SnapinRecord snapin{};
  EXPECT_EQ(FindSnapin(kSnapin, &snapin), FALSE);
  EXPECT_FALSE(qv::StampHostFile(DatabasePath()).exists);  // nothing written yet

  ASSERT_EQ(RegisterTaskSnapin(kSnapin, "FrmTask.exe", "/q"), TRUE);
  std::memset(&snapin, 0x55, sizeof snapin);
  ASSERT_EQ(FindSnapin("execute INI script", &snapin), TRUE);
  EXPECT_GT(snapin.id, 0);
  EXPECT_STREQ(snapin.name, kSnapin);
  EXPECT_STREQ(snapin.program, "FrmTask.exe");
  EXPECT_STREQ(snapin.parameters, "/q");

  EXPECT_EQ(RegisterTaskSnapin("EXECUTE INI SCRIPT", "Other.exe", ""), FALSE);
  std::string longName(256, 'n');
  EXPECT_EQ(RegisterTaskSnapin(longName.c_str(), "x.exe", ""), FALSE);
  EXPECT_EQ(RegisterTaskSnapin("Other", longName.c_str(), ""), FALSE);
  EXPECT_EQ(RegisterTaskSnapin(longName.substr(1).c_str(), "x.exe", ""), TRUE);
  SnapinRecord other{};
  ASSERT_EQ(FindSnapin(longName.substr(1).c_str(), &other), TRUE);
  EXPECT_GT(other.id, snapin.id);
  EXPECT_EQ(FindSnapin("Execute Ini", &other), FALSE);
}

TEST_F(TaskLibTest, ConfigurationsAndData) {
  TaskConfigRecord record{};
  EXPECT_EQ(FindFirstTaskConfiguration(kSnapin, &record), -1);  // no snap-in yet
  LONG snapinId = RegisterSnapin();
  EXPECT_EQ(FindFirstTaskConfiguration(kSnapin, &record), -1);  // no configuration yet

  char buffer[512] = "Asset.ini";
  std::uint32_t handle = qv::RegisterTaskData(buffer);
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(qv::RegisterTaskData(buffer), handle);
  EXPECT_EQ(qv::TaskDataAddress(handle), buffer);
  EXPECT_EQ(qv::TaskDataAddress(0), nullptr);
  EXPECT_EQ(qv::TaskDataAddress(handle + 1000), nullptr);
  EXPECT_EQ(qv::RegisterTaskData(nullptr), 0u);

  TaskConfigRecord added{};
  added.id = -1;
  added.snapinId = snapinId;
  std::strcpy(added.name, "Asset");
  added.data = handle;
  added.dataLength = 9;
  ASSERT_EQ(AddTaskConfiguration(&added), TRUE);
  EXPECT_GT(added.id, 0);
  std::strcpy(buffer, "Changed afterwards");  // the library keeps its own copy

  std::string odd("a\0\"\\\n\xff z", 8);
  LONG second = AddConfiguration(snapinId, "Group One", odd);
  LONG third = AddConfiguration(snapinId, "asset", "");
  EXPECT_GT(second, added.id);
  EXPECT_GT(third, second);

  // A second snap-in's configurations are not listed under the first one's name.
  ASSERT_EQ(RegisterTaskSnapin("Other", "Other.exe", ""), TRUE);
  SnapinRecord other{};
  ASSERT_EQ(FindSnapin("Other", &other), TRUE);
  LONG foreign = AddConfiguration(other.id, "Foreign", "f.ini");

  std::vector<Found> found = ListConfigurations();
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].id, added.id);
  EXPECT_EQ(found[0].name, "Asset");
  EXPECT_EQ(found[0].data, "Asset.ini");
  EXPECT_EQ(found[1].id, second);
  EXPECT_EQ(found[1].name, "Group One");
  EXPECT_EQ(found[1].data, odd);
  EXPECT_EQ(found[2].id, third);
  EXPECT_EQ(found[2].data, "");

  TaskConfigRecord byOther{};
  LONG otherHandle = FindFirstTaskConfiguration("OTHER", &byOther);
  ASSERT_NE(otherHandle, -1);
  EXPECT_EQ(byOther.id, foreign);
  EXPECT_EQ(byOther.snapinId, other.id);
  EXPECT_EQ(FindNextTaskConfiguration(otherHandle, &byOther), FALSE);
  EXPECT_EQ(FindNextTaskConfiguration(0, &byOther), FALSE);
  EXPECT_EQ(FindNextTaskConfiguration(65, &byOther), FALSE);

  // A search walks the list as it was at its start; deleting takes effect for the next one.
  LONG search = FindFirstTaskConfiguration(kSnapin, &record);
  ASSERT_NE(search, -1);
  EXPECT_EQ(DeleteTaskConfiguration(second), TRUE);
  EXPECT_EQ(DeleteTaskConfiguration(second), FALSE);
  ASSERT_EQ(FindNextTaskConfiguration(search, &record), TRUE);
  EXPECT_EQ(record.id, second);
  found = ListConfigurations();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[1].id, third);

  // Ids are never handed out twice.
  LONG fourth = AddConfiguration(snapinId, "Fourth", "Fourth.ini");
  EXPECT_GT(fourth, foreign);
}

TEST_F(TaskLibTest, RefusedConfigurations) {
  LONG snapinId = RegisterSnapin();
  char buffer[600] = "x.ini";
  TaskConfigRecord good{};
  good.id = -1;
  good.snapinId = snapinId;
  std::strcpy(good.name, "Name");
  good.data = qv::RegisterTaskData(buffer);
  good.dataLength = 5;

  TaskConfigRecord record = good;
  record.id = 0;
  EXPECT_EQ(AddTaskConfiguration(&record), FALSE);
  record = good;
  std::memset(record.name, 'n', sizeof record.name);  // no NUL within the field
  EXPECT_EQ(AddTaskConfiguration(&record), FALSE);
  record = good;
  record.data = good.data + 999;
  EXPECT_EQ(AddTaskConfiguration(&record), FALSE);
  record = good;
  record.dataLength = 512;
  EXPECT_EQ(AddTaskConfiguration(&record), FALSE);
  record = good;
  record.snapinId = snapinId + 50;
  EXPECT_EQ(AddTaskConfiguration(&record), FALSE);
  EXPECT_EQ(record.id, -1);
  EXPECT_TRUE(ListConfigurations().empty());

  record = good;
  record.data = 0;  // no data needs no handle
  record.dataLength = 0;
  EXPECT_EQ(AddTaskConfiguration(&record), TRUE);
  record = good;
  record.dataLength = 511;
  std::memset(record.name, 'n', 255);
  record.name[255] = '\0';
  EXPECT_EQ(AddTaskConfiguration(&record), TRUE);
  std::vector<Found> found = ListConfigurations();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[1].name, std::string(255, 'n'));
  EXPECT_EQ(found[1].data.size(), 511u);

  LONG configId = found[0].id;
  EXPECT_EQ(qv::AddTask(std::string(256, 't').c_str(), configId), -1);
  EXPECT_EQ(qv::AddTask("Name", configId + 1000), -1);
  EXPECT_EQ(qv::AddTask(nullptr, configId), -1);
  TaskRecord task{};
  EXPECT_EQ(FindFirstTask(&task), -1);
  EXPECT_GT(qv::AddTask(std::string(255, 't').c_str(), configId), 0);
}

TEST_F(TaskLibTest, Tasks) {
  LONG snapinId = RegisterSnapin();
  LONG asset = AddConfiguration(snapinId, "Asset", "Asset.ini");
  LONG group = AddConfiguration(snapinId, "Group", "Group.ini");
  LONG first = qv::AddTask("Asset", asset);
  LONG second = qv::AddTask("Group", group);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, first);

  TaskRecord task;
  std::memset(&task, 0x55, sizeof task);
  LONG handle = FindFirstTask(&task);
  ASSERT_NE(handle, -1);
  EXPECT_EQ(task.id, first);
  EXPECT_STREQ(task.name, "Asset");
  EXPECT_EQ(task.configurationId, asset);
  for (unsigned char byte : task.reserved)
    EXPECT_EQ(byte, 0);
  ASSERT_EQ(FindNextTask(handle, &task), TRUE);
  EXPECT_EQ(task.id, second);
  EXPECT_EQ(task.configurationId, group);
  EXPECT_EQ(FindNextTask(handle, &task), FALSE);

  // A configuration search handle is no task search handle.
  TaskConfigRecord record{};
  LONG configSearch = FindFirstTaskConfiguration(kSnapin, &record);
  ASSERT_NE(configSearch, -1);
  EXPECT_EQ(FindNextTask(configSearch, &task), FALSE);

  EXPECT_EQ(qv::DeleteTask(first), TRUE);
  EXPECT_EQ(qv::DeleteTask(first), FALSE);
  ASSERT_NE(FindFirstTask(&task), -1);
  EXPECT_EQ(task.id, second);
  EXPECT_EQ(qv::DeleteTask(second), TRUE);
  EXPECT_EQ(FindFirstTask(&task), -1);
}

TEST_F(TaskLibTest, SearchHandlesAreBounded) {
  LONG snapinId = RegisterSnapin();
  AddConfiguration(snapinId, "A", "A.ini");
  AddConfiguration(snapinId, "B", "B.ini");
  TaskConfigRecord record{};
  LONG oldest = FindFirstTaskConfiguration(kSnapin, &record);
  for (int i = 0; i < 200; ++i) {
    LONG handle = FindFirstTaskConfiguration(kSnapin, &record);
    EXPECT_GE(handle, 1);
    EXPECT_LE(handle, 64);
  }
  // The newest searches still work; the one in the oldest slot was started again.
  LONG newest = FindFirstTaskConfiguration(kSnapin, &record);
  ASSERT_EQ(FindNextTaskConfiguration(newest, &record), TRUE);
  EXPECT_STREQ(record.name, "B");
  EXPECT_GE(oldest, 1);
}

TEST_F(TaskLibTest, SurvivesReload) {
  LONG snapinId = RegisterSnapin();
  std::string odd("q\"\\\x01\xe9", 5);
  LONG asset = AddConfiguration(snapinId, "Asset", "Asset.ini");
  LONG deleted = AddConfiguration(snapinId, "Gone", "Gone.ini");
  LONG group = AddConfiguration(snapinId, "Gr\xfc\"ppe", odd);
  LONG task = qv::AddTask("Asset", asset);
  ASSERT_EQ(DeleteTaskConfiguration(deleted), TRUE);
  TaskConfigRecord before{};
  LONG oldSearch = FindFirstTaskConfiguration(kSnapin, &before);
  ASSERT_NE(oldSearch, -1);

  Reopen();
  EXPECT_EQ(FindNextTaskConfiguration(oldSearch, &before), FALSE);  // searches start afresh
  SnapinRecord snapin{};
  ASSERT_EQ(FindSnapin(kSnapin, &snapin), TRUE);
  EXPECT_EQ(snapin.id, snapinId);
  EXPECT_STREQ(snapin.program, "FrmTask.exe");
  std::vector<Found> found = ListConfigurations();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].id, asset);
  EXPECT_EQ(found[0].data, "Asset.ini");
  EXPECT_EQ(found[1].id, group);
  EXPECT_EQ(found[1].name, "Gr\xfc\"ppe");
  EXPECT_EQ(found[1].data, odd);
  TaskRecord record{};
  ASSERT_NE(FindFirstTask(&record), -1);
  EXPECT_EQ(record.id, task);
  EXPECT_EQ(record.configurationId, asset);
  // The id counter survives too: the deleted configuration's id is not handed out again.
  EXPECT_GT(AddConfiguration(snapinId, "New", "New.ini"), task);
}

TEST_F(TaskLibTest, SeesChangesOnDisk) {
  LONG snapinId = RegisterSnapin();
  AddConfiguration(snapinId, "Asset", "Asset.ini");
  ASSERT_EQ(ListConfigurations().size(), 1u);

  // Another process adds a configuration: the next call sees it.
  std::string bytes = DatabaseBytes();
  bytes += "config 900 " + std::to_string(snapinId) + " \"Added \\x41\" 5 \"a\\x00b\\\\c\"\n";
  std::size_t next = bytes.find("next ");
  std::size_t end = bytes.find('\n', next);
  bytes.replace(next, end - next, "next 901");
  ASSERT_TRUE(qv::WriteHostFileAtomic(DatabasePath(), bytes));
  std::vector<Found> found = ListConfigurations();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[1].id, 900);
  EXPECT_EQ(found[1].name, "Added A");
  EXPECT_EQ(found[1].data, std::string("a\0b\\c", 5));
  EXPECT_GT(AddConfiguration(snapinId, "Later", "Later.ini"), 900);

  // Removing the file empties the database.
  std::filesystem::remove(DatabasePath());
  SnapinRecord snapin{};
  EXPECT_EQ(FindSnapin(kSnapin, &snapin), FALSE);
}

TEST_F(TaskLibTest, DamagedFileIsNeverOverwritten) {
  LONG snapinId = RegisterSnapin();
  LONG asset = AddConfiguration(snapinId, "Asset", "Asset.ini");
  LONG spare = AddConfiguration(snapinId, "Gone", "Gone.ini");
  ASSERT_EQ(DeleteTaskConfiguration(spare), TRUE);  // frees an id below the next one
  std::string id = std::to_string(spare);
  std::string good = DatabaseBytes();
  ASSERT_FALSE(good.empty());

  std::vector<std::string> damaged = {
      good.substr(0, good.size() - 1),                                       // last line cut short
      "qvnx-console-database 2" + good.substr(good.find('\n')),              // unknown version
      good + "config 2 " + std::to_string(snapinId) + " \"Dup\" 0 \"\"\n",   // id reused
      good + "config 99 " + std::to_string(snapinId) + " \"Big\" 0 \"\"\n",  // id >= next
      good + "config " + id + " 77 \"NoSnapin\" 0 \"\"\n",
      good + "config " + id + " " + std::to_string(snapinId) + " \"Len\" 4 \"abc\"\n",
      good + "task " + id + " \"Bad \\q\" 2\n",
      good + "task " + id + " \"Fine\" 2\n" + "snapin 1 \"X\" \"\" \"\"\n",
      good + "garbage\n",
  };
  for (const std::string& bytes : damaged) {
    ASSERT_TRUE(qv::WriteHostFileAtomic(DatabasePath(), bytes));
    SnapinRecord snapin{};
    EXPECT_EQ(FindSnapin(kSnapin, &snapin), FALSE) << bytes;
    EXPECT_EQ(RegisterTaskSnapin("Other", "Other.exe", ""), FALSE);
    TaskConfigRecord record{};
    EXPECT_EQ(FindFirstTaskConfiguration(kSnapin, &record), -1);
    record.id = -1;
    record.snapinId = snapinId;
    std::strcpy(record.name, "More");
    EXPECT_EQ(AddTaskConfiguration(&record), FALSE);
    EXPECT_EQ(DeleteTaskConfiguration(asset), FALSE);
    EXPECT_EQ(qv::AddTask("Asset", asset), -1);
    EXPECT_EQ(DatabaseBytes(), bytes);
  }

  // Something other than a regular file in its place (here a link) is not replaced either.
  std::string target = world_.Dir() + "/linked.db";
  ASSERT_TRUE(qv::WriteHostFileAtomic(target, good));
  std::filesystem::remove(DatabasePath());
  std::filesystem::create_symlink(target, DatabasePath());
  EXPECT_EQ(RegisterTaskSnapin("Other", "Other.exe", ""), FALSE);
  EXPECT_TRUE(std::filesystem::is_symlink(DatabasePath()));
  std::filesystem::remove(DatabasePath());

  // Repaired, it is read again.
  ASSERT_TRUE(qv::WriteHostFileAtomic(DatabasePath(), good));
  std::vector<Found> found = ListConfigurations();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].id, asset);
}

}  // namespace
