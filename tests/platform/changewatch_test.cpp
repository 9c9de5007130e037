#include "platform/path/ChangeWatch.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "tests/TestWorld.h"

namespace {

void Write(const std::string& path, const char* text) {
  std::fstream(path, std::ios::in | std::ios::out) << text;  // in place, same size
}

}  // namespace

// Every kind of change ends an unchanged ticket at once, with no other call in between; a
// fresh ticket forgets what came before; a change to another folder leaves it alone.
TEST(ChangeWatch, SeesEachKindOfChangeAtOnce) {
  TestWorld w;
  const std::string dir = w.Dir() + "/watched";
  const std::string other = w.Dir() + "/other";
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  ASSERT_EQ(mkdir(other.c_str(), 0700), 0);
  const std::string file = dir + "/F.INI";
  std::ofstream(file) << "[S]\nK=1\n";
  std::ofstream(other + "/G.INI") << "x";

  qv::WatchTicket none;
  EXPECT_FALSE(qv::Unchanged(&none));

  qv::WatchTicket t;
  ASSERT_TRUE(qv::Watch(file, &t));
  EXPECT_TRUE(qv::Unchanged(&t));
  std::ofstream(other + "/G.INI") << "y";
  EXPECT_TRUE(qv::Unchanged(&t));

  Write(file, "[S]\nK=2\n");
  EXPECT_FALSE(qv::Unchanged(&t));
  EXPECT_FALSE(qv::Unchanged(&t));  // stays changed until watched afresh
  ASSERT_TRUE(qv::Watch(file, &t));
  EXPECT_TRUE(qv::Unchanged(&t));

  ASSERT_EQ(chmod(file.c_str(), 0600), 0);
  EXPECT_FALSE(qv::Unchanged(&t));

  // Replaced by rename: the folder's watch sees it; the new file is then watched.
  ASSERT_TRUE(qv::Watch(file, &t));
  std::ofstream(dir + "/F.NEW") << "[S]\nK=3\n";
  EXPECT_FALSE(qv::Unchanged(&t));
  ASSERT_TRUE(qv::Watch(file, &t));
  ASSERT_EQ(rename((dir + "/F.NEW").c_str(), file.c_str()), 0);
  EXPECT_FALSE(qv::Unchanged(&t));
  ASSERT_TRUE(qv::Watch(file, &t));
  Write(file, "[S]\nK=4\n");
  EXPECT_FALSE(qv::Unchanged(&t));

  // Two tickets share the watches; dropping one keeps the other working.
  qv::WatchTicket u;
  ASSERT_TRUE(qv::Watch(file, &t));
  ASSERT_TRUE(qv::Watch(file, &u));
  qv::Unwatch(&u);
  EXPECT_FALSE(qv::Unchanged(&u));
  EXPECT_TRUE(qv::Unchanged(&t));
  ASSERT_EQ(unlink(file.c_str()), 0);
  EXPECT_FALSE(qv::Unchanged(&t));
  EXPECT_FALSE(qv::Watch(file, &t));  // nothing there to watch
  EXPECT_FALSE(qv::Unchanged(&t));
}

// A folder's watch sees its own files made and written in place; watching a file in the same
// folder afterwards must not take those events away from it.
TEST(ChangeWatch, FolderSeesItsOwnFiles) {
  TestWorld w;
  const std::string dir = w.Dir() + "/share";
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  std::ofstream(dir + "/A.FRM") << "[Form]\n";
  qv::WatchTicket t, file;
  ASSERT_TRUE(qv::WatchFolder(dir + "/", &t));
  std::ofstream(dir + "/B.FRM") << "";
  EXPECT_FALSE(qv::Unchanged(&t));
  ASSERT_TRUE(qv::WatchFolder(dir, &t));
  ASSERT_TRUE(qv::Watch(dir + "/B.FRM", &file));
  Write(dir + "/A.FRM", "[Fo]\n\n");
  EXPECT_FALSE(qv::Unchanged(&t));
}
