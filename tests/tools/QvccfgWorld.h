// A world folder of its own, made by qvccfg's init, and qvccfg's commands run in it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "tests/support/Support.h"
#include "tools/common/Json.h"
#include "tools/qvccfg/Commands.h"

using Args = std::vector<std::string>;
using Files = std::map<std::string, std::string>;

class QvccfgWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvccfg.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    world_ = dir_ + "/w";
    ASSERT_EQ(Run({"init"}), 0) << err;
  }
  void TearDown() override {
    qv::ResetProfiles();
    qv::World::SetCurrent(nullptr);
    std::filesystem::remove_all(dir_);
  }

  int Run(const Args& args) { return RunIn(world_, args); }
  int RunIn(const std::string& world, Args args) {
    args.insert(args.begin(), {"--world", world});
    out.clear();
    err.clear();
    return qv::RunQvccfg(args, &out, &err);
  }
  // The bytes of a file of the world ("" when missing), and every entry below a folder of it.
  std::string Bytes(const std::string& path) const { return FileBytes(world_ + "/" + path); }
  Files Tree(const std::string& folder = "") const { return FolderTree(world_ + "/" + folder); }
  // What the last command printed: without its line end, and as JSON.
  std::string Printed() const { return out.substr(0, out.size() - 1); }
  qv::json::Value Json() const {
    qv::json::Value printed;
    EXPECT_TRUE(qv::json::Parse(out, &printed, nullptr)) << out;
    return printed;
  }
  std::string WriteJson(const std::string& text) const {
    std::ofstream(dir_ + "/in.json", std::ios::binary) << text;
    return dir_ + "/in.json";
  }

  std::string dir_, world_, out, err;
};
