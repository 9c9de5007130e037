#include "platform/process/WinExec.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"
#include "tests/TestWorld.h"

namespace {

const std::string kShare = "\\\\CORE1\\qvlogon\\";

class WinExecTest : public ::testing::Test {
 protected:
  // A program file in the world with the given permission bits.
  void PutProgram(const std::string& win, const std::string& bytes, mode_t mode) {
    world.Put(win, bytes);
    ASSERT_EQ(::chmod(world.Host(win).c_str(), mode), 0) << win;
  }

  // A shell script that writes into the marker file its argument count, each argument on a
  // line (printf: the echo of some shells undoes backslashes), the world it was told about,
  // its parent's pid and what `extra` prints; renamed into place, so never read half done.
  void PutMarkerScript(const std::string& win, const std::string& extra = "") {
    PutProgram(win,
               "#!/bin/sh\nout='" + Marker() +
                   "'\n{ printf '%s\\n' \"$#\" \"$@\" \"world=$QVCCFG_WORLD\" \"ppid=$PPID\"\n" +
                   extra + "} > \"$out.part\" && mv \"$out.part\" \"$out\"\n",
               0755);
  }

  std::string Marker() const { return world.Dir() + "/marker.txt"; }

  // The marker's lines before the one starting with `end`, once it is there (ten seconds at
  // most; all of them when `end` is empty); also removes it.
  std::string WaitForMarker(const std::string& end = "world=") const {
    std::string bytes;
    for (int i = 0; i < 1000 && !qv::ReadHostFile(Marker(), &bytes); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::filesystem::remove(Marker());
    return end.empty() ? bytes : bytes.substr(0, bytes.find(end));
  }

  TestWorld world;
};

// Windows' numbers: 2 no file or no folder given (no search path), 3 bad path, 11 no program.
TEST_F(WinExecTest, WhatCannotRunGivesWindowsErrorNumbers) {
  PutProgram(kShare + "plain.exe", "#!/bin/sh\necho never\n", 0644);
  PutProgram(kShare + "junk.exe", "MZ this is no program\n", 0755);  // execve refuses it
  std::filesystem::create_directory(world.Host(kShare) + "/Folder.exe");
  const std::pair<std::string, UINT> cases[] = {
      {kShare + "NOPE.exe /d", 2},
      {"", 2},
      {"   ", 2},
      {"QVCstm32.exe /d", 2},
      {"\\\\CORE1\\nosuch\\X.exe /d", 3},
      {"\\\\NOBODY\\qvlogon\\X.exe", 3},
      {kShare + "NoFolder\\X.exe", 3},
      {kShare + "..\\..\\..\\..\\..\\bin\\sh.exe", 3},
      {kShare + "FRM1A.FRM\\X.exe", 3},
      {"Sub\\X.exe", 3},
      {kShare + "plain.exe /d", 11},
      {kShare + "junk.exe", 11},
      {kShare + "Folder.exe", 11},
  };
  for (const auto& [line, result] : cases) {
    EXPECT_EQ(WinExec(line.c_str(), SW_SHOWNORMAL), result) << line;
    EXPECT_EQ(qv::LastWinExec().commandLine, line);
    EXPECT_EQ(qv::LastWinExec().result, result) << line;
  }
  EXPECT_EQ(WinExec(nullptr, SW_SHOWNORMAL), 2u);
  EXPECT_EQ(qv::LastWinExec().hostProgram, "");
  EXPECT_EQ(WinExec((kShare + "NOPE.exe").c_str(), SW_SHOWNORMAL), 2u);
  EXPECT_EQ(qv::LastWinExec().hostProgram, world.Host(kShare + "NOPE.exe"));
  qv::World::SetCurrent(nullptr);
  EXPECT_EQ(WinExec((kShare + "X.exe").c_str(), SW_SHOWNORMAL), 3u);
  qv::World::SetCurrent(&world.World());
}

// The rest of the line is one argument; a quoted program may hold blanks; ".exe" is added.
TEST_F(WinExecTest, StartsTheProgramWithTheRestAsOneArgument) {
  PutMarkerScript(kShare + "QVCstm32.exe");
  std::string line = kShare + "QVCstm32.exe /d /i=" + kShare + "FRM1A.FRM";
  UINT result = WinExec(line.c_str(), SW_SHOWNORMAL);
  EXPECT_GT(result, 31u);
  EXPECT_EQ(qv::LastWinExec().commandLine, line);
  EXPECT_EQ(qv::LastWinExec().hostProgram, world.Host(kShare + "QVCstm32.exe"));
  EXPECT_EQ(qv::LastWinExec().result, result);
  std::string marker = WaitForMarker("ppid=");
  EXPECT_EQ(marker, "1\n/d /i=" + kShare + "FRM1A.FRM\nworld=" + world.Dir() + "\n");
  // The program is not our child, and the child in between was reaped: nothing to wait for.
  EXPECT_EQ(marker.find("ppid=" + std::to_string(::getpid()) + "\n"), std::string::npos);
  int status = 0;
  EXPECT_LE(::waitpid(-1, &status, WNOHANG), 0);

  std::filesystem::create_directory(world.Host(kShare) + "/My Tools");
  PutMarkerScript(kShare + "My Tools\\run.sh");
  EXPECT_GT(WinExec(("\"" + kShare + "my tools\\RUN.SH\"   a  \"b c\" ").c_str(), SW_SHOWNORMAL),
            31u);
  EXPECT_EQ(WaitForMarker(), "1\na  \"b c\" \n");
  PutMarkerScript(kShare + "run.exe");
  EXPECT_GT(WinExec((kShare + "run  ").c_str(), SW_HIDE), 31u);
  EXPECT_EQ(qv::LastWinExec().hostProgram, world.Host(kShare + "run.exe"));
  EXPECT_EQ(WaitForMarker(), "0\n");  // nothing after the program: no argument
}

// The child sees earlier profile writes, and gets none of our open files and no input.
TEST_F(WinExecTest, ProfileWritesReachTheDiskFirstAndOpenFilesStayHere) {
  int fd = ::open(world.Host(kShare + "FRM2B7.FRM").c_str(), O_RDONLY);  // inheritable
  ASSERT_GE(fd, 0);
  PutMarkerScript(kShare + "run.exe",
                  "  grep -c 'FormName=Seen by the child' '" + world.Host(kShare + "FRM1A.FRM") +
                      "'\n  if [ -e /proc/$$/fd/" + std::to_string(fd) +
                      " ]; then echo leaked; else echo closed; fi\n"
                      "  if [ -t 0 ] || read -r x; then echo stdin; else echo nostdin; fi\n");
  // Written after the script is in place (which flushes what was written before).
  ASSERT_TRUE(WritePrivateProfileStringA("Form", "FormName", "Seen by the child",
                                         (kShare + "FRM1A.FRM").c_str()));
  EXPECT_GT(WinExec((kShare + "run.exe").c_str(), SW_SHOWNORMAL), 31u);
  std::string marker = WaitForMarker("");
  ::close(fd);
  EXPECT_NE(marker.find("\n1\nclosed\nnostdin\n"), std::string::npos) << marker;
}

}  // namespace
