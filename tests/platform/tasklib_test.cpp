#include "platform/tasklib/TaskLib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"

namespace {

constexpr const char* kSnapin = "Execute Ini Script";

class TaskLibTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(SetDatabasePtr(&database_), TRUE); }
  void TearDown() override {
    FreeDatabasePtr();
    qv::World::SetCurrent(&world_.World());
  }

  // Makes a second world for the same folder current (its world.ini's `from` replaced by
  // `to`): the library starts afresh.
  void Reopen(const std::string& from = "", const std::string& to = "") {
    std::string ini = FileBytes(world_.Dir() + "/world.ini"), why;
    if (!from.empty())
      ini.replace(ini.find(from), from.size(), to);
    ASSERT_TRUE(qv::WriteHostFileAtomic(world_.Dir() + "/world.ini", ini));
    reopened_ = qv::World::Open(world_.Dir(), &why);
    ASSERT_NE(reopened_, nullptr) << why;
    qv::World::SetCurrent(reopened_.get());
  }
  std::string DatabasePath() { return qv::World::Current()->DatabaseHostPath(); }
  std::string DatabaseBytes() { return FileBytes(DatabasePath()); }

  LONG RegisterSnapin() {
    EXPECT_EQ(RegisterTaskSnapin(kSnapin, "FrmTask.exe", ""), TRUE);
    SnapinRecord snapin{};
    EXPECT_EQ(FindSnapin(kSnapin, &snapin), TRUE);
    return snapin.id;
  }

  // Adds a configuration whose data is `data`; returns the id the library put in the record.
  LONG AddConfiguration(LONG snapinId, const std::string& name, const std::string& data) {
    buffers_.push_back(std::make_unique<std::string>(data));
    TaskConfigRecord record{-1, snapinId, "", qv::RegisterTaskData(buffers_.back()->data()),
                            static_cast<std::uint32_t>(data.size())};
    std::strncpy(record.name, name.c_str(), sizeof record.name - 1);
    EXPECT_EQ(AddTaskConfiguration(&record), TRUE) << name;
    return record.id;
  }

  struct Found {
    LONG id;
    std::string name;
    std::string data;
    bool operator==(const Found&) const = default;
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

TEST_F(TaskLibTest, CallsFailWithoutDatabasePointer) {
  LONG snapinId = RegisterSnapin();
  LONG configId = AddConfiguration(snapinId, "Asset", "Asset.ini");
  ASSERT_GT(qv::AddTask("Asset", configId), 0);
  TaskConfigRecord record{};
  LONG handle = FindFirstTaskConfiguration(kSnapin, &record);
  std::string before = DatabaseBytes();

  FreeDatabasePtr();
  SnapinRecord snapin{};
  TaskRecord task{};
  EXPECT_FALSE(FindSnapin(kSnapin, &snapin) || RegisterTaskSnapin("Other", "Other.exe", "") ||
               FindNextTaskConfiguration(handle, &record) || DeleteTaskConfiguration(configId));
  EXPECT_TRUE(FindFirstTaskConfiguration(kSnapin, &record) == -1 && FindFirstTask(&task) == -1 &&
              qv::AddTask("Asset", configId) == -1);
  record.id = -1;
  EXPECT_EQ(AddTaskConfiguration(&record), FALSE);
  EXPECT_EQ(DatabaseBytes(), before);

  ASSERT_EQ(SetDatabasePtr(&database_), TRUE);
  EXPECT_EQ(FindSnapin(kSnapin, &snapin), TRUE);
}

// Snap-ins are found case-blind, once each; names longer than a record holds are refused.
TEST_F(TaskLibTest, CoreServerNameAndSnapins) {
  char buffer[256];
  std::string name = world_.World().CoreServerName();
  EXPECT_EQ(GetCoreServerName(buffer, static_cast<DWORD>(name.size())), FALSE);  // no room
  ASSERT_EQ(GetCoreServerName(buffer, static_cast<DWORD>(name.size() + 1)), TRUE);
  EXPECT_EQ(std::string(buffer), name);

  SnapinRecord snapin{};
  EXPECT_EQ(FindSnapin(kSnapin, &snapin), FALSE);
  ASSERT_EQ(RegisterTaskSnapin(kSnapin, "FrmTask.exe", "/q"), TRUE);
  ASSERT_EQ(FindSnapin("execute INI script", &snapin), TRUE);
  EXPECT_GT(snapin.id, 0);
  EXPECT_EQ(std::string(snapin.name) + "|" + snapin.program + "|" + snapin.parameters,
            "Execute Ini Script|FrmTask.exe|/q");

  EXPECT_EQ(RegisterTaskSnapin("EXECUTE INI SCRIPT", "Other.exe", ""), FALSE);
  std::string longName(256, 'n');
  EXPECT_EQ(RegisterTaskSnapin(longName.c_str(), "x.exe", ""), FALSE);
  EXPECT_EQ(RegisterTaskSnapin("Other", longName.c_str(), ""), FALSE);
  EXPECT_EQ(FindSnapin("Execute Ini", &snapin), FALSE);
  qv::World::SetCurrent(nullptr);
  EXPECT_EQ(GetCoreServerName(buffer, sizeof buffer), FALSE);
}

TEST_F(TaskLibTest, ConfigurationsAndData) {
  TaskConfigRecord record{};
  EXPECT_EQ(FindFirstTaskConfiguration(kSnapin, &record), -1);  // no snap-in yet
  LONG snapinId = RegisterSnapin();
  EXPECT_EQ(FindFirstTaskConfiguration(kSnapin, &record), -1);  // no configuration yet

  char buffer[512] = "Asset.ini";
  std::uint32_t handle = qv::RegisterTaskData(buffer);
  EXPECT_EQ(qv::RegisterTaskData(buffer), handle);  // one handle for one address
  TaskConfigRecord added{-1, snapinId, "Asset", handle, 9};
  ASSERT_EQ(AddTaskConfiguration(&added), TRUE);
  EXPECT_GT(added.id, 0);
  std::strcpy(buffer, "Changed afterwards");  // the library keeps its own copy
  std::string odd("a\0\"\\\n\xff z", 8);
  LONG second = AddConfiguration(snapinId, "Group One", odd);
  LONG third = AddConfiguration(snapinId, "asset", "");
  ASSERT_EQ(RegisterTaskSnapin("Other", "Other.exe", ""), TRUE);
  SnapinRecord other{};
  ASSERT_EQ(FindSnapin("Other", &other), TRUE);
  LONG foreign = AddConfiguration(other.id, "Foreign", "f.ini");

  // The other snap-in's configurations are not listed.
  EXPECT_EQ(ListConfigurations(), (std::vector<Found>{{added.id, "Asset", "Asset.ini"},
                                                      {second, "Group One", odd},
                                                      {third, "asset", ""}}));
  ASSERT_NE(FindFirstTaskConfiguration("OTHER", &record), -1);
  EXPECT_TRUE(record.id == foreign && record.snapinId == other.id);

  // A search walks the list as it was at its start; deleting takes effect for the next one.
  LONG search = FindFirstTaskConfiguration(kSnapin, &record);
  EXPECT_TRUE(DeleteTaskConfiguration(second) && !DeleteTaskConfiguration(second));
  ASSERT_EQ(FindNextTaskConfiguration(search, &record), TRUE);
  EXPECT_EQ(record.id, second);
  EXPECT_EQ(ListConfigurations(),
            (std::vector<Found>{{added.id, "Asset", "Asset.ini"}, {third, "asset", ""}}));
  EXPECT_GT(AddConfiguration(snapinId, "Fourth", "Fourth.ini"), foreign);  // ids not reused
}

TEST_F(TaskLibTest, Refusals) {
  LONG snapinId = RegisterSnapin();
  char buffer[600] = "x.ini";
  const TaskConfigRecord good{-1, snapinId, "Name", qv::RegisterTaskData(buffer), 5};
  const std::function<void(TaskConfigRecord&)> spoilers[] = {
      [](TaskConfigRecord& r) { r.id = 0; },
      [](TaskConfigRecord& r) { std::memset(r.name, 'n', sizeof r.name); },  // no NUL
      [](TaskConfigRecord& r) { r.data += 999; },                            // not registered
      [](TaskConfigRecord& r) { r.dataLength = 512; },
      [](TaskConfigRecord& r) { r.snapinId += 50; },
  };
  for (const auto& spoil : spoilers) {
    TaskConfigRecord record = good;
    spoil(record);
    const LONG id = record.id;
    EXPECT_EQ(AddTaskConfiguration(&record), FALSE);
    EXPECT_EQ(record.id, id);  // no id handed out
  }
  EXPECT_TRUE(ListConfigurations().empty());

  TaskConfigRecord record = good;
  record.dataLength = 511;  // the longest data and name that fit
  std::memset(record.name, 'n', 255);
  record.name[255] = '\0';
  ASSERT_EQ(AddTaskConfiguration(&record), TRUE);
  EXPECT_EQ(qv::AddTask(std::string(256, 't').c_str(), record.id), -1);
  EXPECT_EQ(qv::AddTask("Name", record.id + 1000), -1);
  TaskRecord task{};
  EXPECT_EQ(FindFirstTask(&task), -1);
  EXPECT_GT(qv::AddTask(std::string(255, 't').c_str(), record.id), 0);
}

TEST_F(TaskLibTest, TasksAndSearchHandles) {
  LONG snapinId = RegisterSnapin();
  LONG asset = AddConfiguration(snapinId, "Asset", "Asset.ini");
  LONG first = qv::AddTask("Asset", asset);
  LONG second = qv::AddTask("Group", asset);
  ASSERT_GT(second, first);

  TaskRecord task;
  std::memset(&task, 0x55, sizeof task);
  LONG handle = FindFirstTask(&task);
  EXPECT_TRUE(task.id == first && task.configurationId == asset);
  EXPECT_STREQ(task.name, "Asset");
  EXPECT_EQ(std::count(task.reserved, task.reserved + 44, 0), 44);
  ASSERT_EQ(FindNextTask(handle, &task), TRUE);
  EXPECT_EQ(task.id, second);
  EXPECT_EQ(FindNextTask(handle, &task), FALSE);

  TaskConfigRecord record{};
  for (int i = 0; i < 100; ++i) {
    LONG search = FindFirstTaskConfiguration(kSnapin, &record);
    ASSERT_TRUE(search >= 1 && search <= 64) << search;
    EXPECT_EQ(FindNextTask(search, &task), FALSE);  // not a task search
  }

  EXPECT_TRUE(qv::DeleteTask(first) && !qv::DeleteTask(first));
  ASSERT_NE(FindFirstTask(&task), -1);
  EXPECT_EQ(task.id, second);
}

TEST_F(TaskLibTest, SurvivesReloadAndSeesOtherWriters) {
  LONG snapinId = RegisterSnapin();
  std::string odd("q\"\\\x01\xe9", 5);
  LONG asset = AddConfiguration(snapinId, "Asset", "Asset.ini");
  LONG deleted = AddConfiguration(snapinId, "Gone", "Gone.ini");
  LONG group = AddConfiguration(snapinId, "Gr\xfc\"ppe", odd);
  LONG task = qv::AddTask("Asset", asset);
  ASSERT_EQ(DeleteTaskConfiguration(deleted), TRUE);
  TaskConfigRecord record{};
  LONG oldSearch = FindFirstTaskConfiguration(kSnapin, &record);

  Reopen();
  EXPECT_EQ(FindNextTaskConfiguration(oldSearch, &record), FALSE);  // searches start afresh
  std::vector<Found> found = ListConfigurations();
  EXPECT_EQ(found,
            (std::vector<Found>{{asset, "Asset", "Asset.ini"}, {group, "Gr\xfc\"ppe", odd}}));
  TaskRecord taskRecord{};
  ASSERT_NE(FindFirstTask(&taskRecord), -1);
  EXPECT_TRUE(taskRecord.id == task && taskRecord.configurationId == asset);
  EXPECT_GT(AddConfiguration(snapinId, "New", "New.ini"), task);  // the id counter survives

  // Another process adds a configuration: the next call sees it.
  std::string bytes = DatabaseBytes();
  bytes += "config 900 " + std::to_string(snapinId) + " \"Added \\x41\" 5 \"a\\x00b\\\\c\"\n";
  std::size_t next = bytes.find("next ");
  bytes.replace(next, bytes.find('\n', next) - next, "next 901");
  ASSERT_TRUE(qv::WriteHostFileAtomic(DatabasePath(), bytes));
  found = ListConfigurations();
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[3], (Found{900, "Added A", std::string("a\0b\\c", 5)}));
  EXPECT_GT(AddConfiguration(snapinId, "Later", "Later.ini"), 900);

  std::filesystem::remove(DatabasePath());  // a missing file is an empty database
  EXPECT_EQ(FindFirstTaskConfiguration(kSnapin, &record), -1);
}

TEST_F(TaskLibTest, DamagedFileIsNeverOverwritten) {
  LONG snapinId = RegisterSnapin();
  LONG asset = AddConfiguration(snapinId, "Asset", "Asset.ini");
  LONG spare = AddConfiguration(snapinId, "Gone", "Gone.ini");
  ASSERT_EQ(DeleteTaskConfiguration(spare), TRUE);  // frees an id below the next one
  std::string id = std::to_string(spare), snapin = std::to_string(snapinId);
  std::string good = DatabaseBytes();

  int lines = static_cast<int>(std::count(good.begin(), good.end(), '\n'));
  std::string next = "line " + std::to_string(lines + 1) + " ";
  // Each file and what the library says is wrong with it.
  std::vector<std::pair<std::string, std::string>> damaged = {
      {good.substr(0, good.size() - 1), "cut short"},
      {"qvnx-console-database 2" + good.substr(good.find('\n')), "line 1 "},
      {good + "config 2 " + snapin + " \"Dup\" 0 \"\"\n", "not in id order"},
      {good + "task " + id + " \"Dup\" " + std::to_string(asset) + "\ntask " + id + " \"Dup\" 2\n",
       "not in id order"},
      {good + "task " + std::to_string(asset) + " \"Dup\" 2\n", "is used twice"},
      {good + "config 99 " + snapin + " \"Big\" 0 \"\"\n", "id 99 is not below"},
      {good + "config " + id + " 77 \"NoSnapin\" 0 \"\"\n", "snap-in 77, which does not exist"},
      {good + "config " + id + " " + snapin + " \"Len\" 4 \"abc\"\n", next},
      {good + "task " + id + " \"Bad \\q\" 2\n", next},
      {good + "garbage\n", next},
      {good + "snapin " + id + " \"EXECUTE ini script\" \"\" \"\"\n", "is used twice"},
  };
  EXPECT_EQ(qv::TaskLibraryProblem(), "");
  for (const auto& [bytes, problem] : damaged) {
    ASSERT_TRUE(qv::WriteHostFileAtomic(DatabasePath(), bytes));
    TaskConfigRecord record{-1, snapinId, "More", 0, 0};
    EXPECT_FALSE(AddTaskConfiguration(&record) || RegisterTaskSnapin("Other", "Other.exe", "") ||
                 DeleteTaskConfiguration(asset))
        << bytes;
    EXPECT_TRUE(FindFirstTaskConfiguration(kSnapin, &record) == -1 &&
                qv::AddTask("Asset", asset) == -1);
    EXPECT_EQ(DatabaseBytes(), bytes);
    EXPECT_EQ(qv::TaskLibraryProblem().rfind("the console database " + DatabasePath() + ": ", 0),
              0u)
        << qv::TaskLibraryProblem();
    EXPECT_NE(qv::TaskLibraryProblem().find(problem), std::string::npos)
        << problem << " / " << qv::TaskLibraryProblem();
  }

  // Something other than a regular file in its place (here a link) is not replaced either.
  std::string target = world_.Dir() + "/linked.db";
  ASSERT_TRUE(qv::WriteHostFileAtomic(target, good));
  std::filesystem::remove(DatabasePath());
  std::filesystem::create_symlink(target, DatabasePath());
  EXPECT_EQ(RegisterTaskSnapin("Other", "Other.exe", ""), FALSE);
  EXPECT_TRUE(std::filesystem::is_symlink(DatabasePath()));
  EXPECT_NE(qv::TaskLibraryProblem().find("not a regular file"), std::string::npos);

  std::filesystem::remove(DatabasePath());
  ASSERT_TRUE(qv::WriteHostFileAtomic(DatabasePath(), good));  // repaired: read again
  EXPECT_EQ(ListConfigurations(), (std::vector<Found>{{asset, "Asset", "Asset.ini"}}));
  EXPECT_EQ(qv::TaskLibraryProblem(), "");
}

}  // namespace

TEST_F(TaskLibTest, ADatabaseFolderLinkedOutOfTheWorldIsNeverUsed) {
  const std::string outside = world_.Dir() + ".outside";
  std::filesystem::create_directory(outside);
  std::filesystem::create_directory_symlink(outside, world_.Dir() + "/db");
  Reopen("Database=console.db", "Database=db/console.db");
  EXPECT_EQ(RegisterTaskSnapin(kSnapin, "FrmTask.exe", ""), FALSE);
  EXPECT_NE(qv::TaskLibraryProblem().find("lies outside the world"), std::string::npos)
      << qv::TaskLibraryProblem();
  EXPECT_FALSE(std::filesystem::exists(outside + "/console.db"));
  std::filesystem::remove_all(outside);
}
