#include "tests/TestWorld.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"
#include "tools/world/DefaultWorld.h"

TestWorld::TestWorld() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvworld.XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  if (made == nullptr)
    throw std::runtime_error("mkdtemp failed");
  dir_ = made;
  std::string why;
  if (!qv::MakeDefaultWorld(dir_, &why))
    throw std::runtime_error(why);
  world_ = qv::World::Open(dir_, &why);
  if (world_ == nullptr)
    throw std::runtime_error(why);
  qv::World::SetCurrent(world_.get());
}

TestWorld::~TestWorld() {
  qv::ResetProfiles();
  qv::World::SetCurrent(nullptr);
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TestWorld::Host(const std::string& winPath) const {
  std::string host, why;
  EXPECT_TRUE(world_->MapPath(winPath, &host, &why)) << winPath << ": " << why;
  return host;
}

std::string TestWorld::Bytes(const std::string& winPath) const {
  qv::FlushProfiles();
  std::string bytes;
  qv::ReadHostFile(Host(winPath), &bytes);
  return bytes;
}

void TestWorld::Put(const std::string& winPath, const std::string& bytes) const {
  qv::FlushProfiles();
  ASSERT_TRUE(qv::WriteHostFileAtomic(Host(winPath), bytes)) << winPath;
}

bool TestWorld::Exists(const std::string& winPath) const {
  qv::FlushProfiles();
  return qv::StampHostFile(Host(winPath)).exists;
}
