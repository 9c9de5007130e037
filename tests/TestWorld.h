// A fresh default world in a temporary folder, current for the life of the object.
#pragma once

#include <memory>
#include <string>

#include "platform/path/World.h"

class TestWorld {
 public:
  TestWorld();
  ~TestWorld();
  TestWorld(const TestWorld&) = delete;
  TestWorld& operator=(const TestWorld&) = delete;

  const std::string& Dir() const { return dir_; }
  qv::World& World() { return *world_; }
  // Host path of a Windows path (fails the test when refused).
  std::string Host(const std::string& winPath) const;
  // Flushes the profile cache and returns the file's bytes ("" when missing).
  std::string Bytes(const std::string& winPath) const;
  // Writes bytes straight to the host file behind a Windows path (bypassing every cache).
  void Put(const std::string& winPath, const std::string& bytes) const;
  bool Exists(const std::string& winPath) const;

 private:
  std::string dir_;
  std::unique_ptr<qv::World> world_;
};
