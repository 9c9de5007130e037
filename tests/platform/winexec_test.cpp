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

  // A shell script that writes what it was given into the marker file: its argument count,
  // each argument on a line (printf: the echo of some shells undoes backslashes), the world it was
  // told about and its parent's pid. The marker is renamed into place, so a reader never sees half
  // of it.
  void PutMarkerScript(const std::string& win, const std::string& extra = "") {
    std::string script =
        "#!/bin/sh\n"
        "out='" +
        Marker() +
        "'\n"
        "{ printf '%s\\n' \"$#\" \"$@\" \"world=$QVCCFG_WORLD\" \"ppid=$PPID\"\n" +
        extra + "} > \"$out.part\" && mv \"$out.part\" \"$out\"\n";
    PutProgram(win, script, 0755);
  }

  std::string Marker() const { return world.Dir() + "/marker.txt"; }

  // The marker's contents once it is there; "" after ten seconds without it.
  std::string WaitForMarker() const {
    std::string bytes;
    for (int i = 0; i < 1000; ++i) {
      if (qv::ReadHostFile(Marker(), &bytes))
        return bytes;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
  }

  std::string Lines(const std::vector<std::string>& lines) const {
    std::string text;
    for (const std::string& line : lines)
      text += line + "\n";
    return text;
  }

  TestWorld world;
};

TEST_F(WinExecTest, MissingFileIsFileNotFound) {
  std::string line = kShare + "NOPE.exe /d";
  EXPECT_EQ(WinExec(line.c_str(), SW_SHOWNORMAL), 2u);
  EXPECT_EQ(qv::LastWinExec().commandLine, line);
  EXPECT_EQ(qv::LastWinExec().hostProgram, world.Host(kShare + "NOPE.exe"));
  EXPECT_EQ(qv::LastWinExec().result, 2u);
  // No command, or a program without a folder: Windows would search its path; we have none.
  EXPECT_EQ(WinExec("", SW_SHOWNORMAL), 2u);
  EXPECT_EQ(WinExec("   ", SW_SHOWNORMAL), 2u);
  EXPECT_EQ(WinExec(nullptr, SW_SHOWNORMAL), 2u);
  EXPECT_EQ(WinExec("QVCstm32.exe /d", SW_SHOWNORMAL), 2u);
  EXPECT_EQ(qv::LastWinExec().hostProgram, "");
}

TEST_F(WinExecTest, RefusedPathOrMissingFolderIsPathNotFound) {
  for (const std::string& line :
       {std::string("\\\\CORE1\\nosuch\\X.exe /d"), std::string("\\\\NOBODY\\qvlogon\\X.exe"),
        kShare + "NoFolder\\X.exe", kShare + "..\\..\\..\\..\\..\\bin\\sh.exe",
        kShare + "FRM1A.FRM\\X.exe", std::string("Sub\\X.exe")}) {
    EXPECT_EQ(WinExec(line.c_str(), SW_SHOWNORMAL), 3u) << line;
    EXPECT_EQ(qv::LastWinExec().result, 3u) << line;
  }
  qv::World::SetCurrent(nullptr);
  EXPECT_EQ(WinExec((kShare + "X.exe").c_str(), SW_SHOWNORMAL), 3u);
  qv::World::SetCurrent(&world.World());
}

TEST_F(WinExecTest, FileThatCannotRunIsInvalidExe) {
  PutProgram(kShare + "plain.exe", "#!/bin/sh\necho never\n", 0644);
  EXPECT_EQ(WinExec((kShare + "plain.exe /d").c_str(), SW_SHOWNORMAL), 11u);
  // Execute bits but no format the system knows: the error comes back from execve.
  PutProgram(kShare + "junk.exe", "MZ this is no program\n", 0755);
  EXPECT_EQ(WinExec((kShare + "junk.exe").c_str(), SW_SHOWNORMAL), 11u);
  EXPECT_EQ(qv::LastWinExec().hostProgram, world.Host(kShare + "junk.exe"));
  std::filesystem::create_directory(world.Host(kShare) + "/Folder.exe");
  EXPECT_EQ(WinExec((kShare + "Folder.exe").c_str(), SW_SHOWNORMAL), 11u);
}

TEST_F(WinExecTest, StartsTheProgramWithTheRestAsOneArgument) {
  PutMarkerScript(kShare + "QVCstm32.exe");
  std::string line = kShare + "QVCstm32.exe /d /i=" + kShare + "FRM1A.FRM";
  UINT result = WinExec(line.c_str(), SW_SHOWNORMAL);
  EXPECT_GT(result, 31u);
  EXPECT_EQ(qv::LastWinExec().commandLine, line);
  EXPECT_EQ(qv::LastWinExec().hostProgram, world.Host(kShare + "QVCstm32.exe"));
  EXPECT_EQ(qv::LastWinExec().result, result);
  std::string marker = WaitForMarker();
  std::string ppid = "ppid=" + std::to_string(::getpid()) + "\n";
  EXPECT_EQ(marker.substr(0, marker.find("ppid=")),
            Lines({"1", "/d /i=" + kShare + "FRM1A.FRM", "world=" + world.Dir()}));
  // The program is not our child, and the child in between was reaped: nothing to wait for.
  EXPECT_EQ(marker.find(ppid), std::string::npos) << marker;
  int status = 0;
  EXPECT_LE(::waitpid(-1, &status, WNOHANG), 0);
}

TEST_F(WinExecTest, QuotedProgramAndBlanksAfterIt) {
  std::filesystem::create_directory(world.Host(kShare) + "/My Tools");
  PutMarkerScript(kShare + "My Tools\\run.sh");
  std::string line = "\"" + kShare + "my tools\\RUN.SH\"   a  \"b c\" ";
  EXPECT_GT(WinExec(line.c_str(), SW_SHOWNORMAL), 31u);
  std::string marker = WaitForMarker();
  EXPECT_EQ(marker.substr(0, marker.find("world=")), Lines({"1", "a  \"b c\" "}));
}

TEST_F(WinExecTest, NothingAfterTheProgramGivesNoArgument) {
  PutMarkerScript(kShare + "run.exe");
  // Without an extension, ".exe" is added to the name, as Windows does.
  EXPECT_GT(WinExec((kShare + "run  ").c_str(), SW_HIDE), 31u);
  EXPECT_EQ(qv::LastWinExec().hostProgram, world.Host(kShare + "run.exe"));
  std::string marker = WaitForMarker();
  EXPECT_EQ(marker.substr(0, marker.find("world=")), "0\n");
}

TEST_F(WinExecTest, ProfileWritesReachTheDiskFirstAndOpenFilesStayHere) {
  ASSERT_TRUE(WritePrivateProfileStringA("Form", "FormName", "Seen by the child",
                                         (kShare + "FRM1A.FRM").c_str()));
  int fd = ::open(world.Host(kShare + "FRM2B7.FRM").c_str(), O_RDONLY);  // inheritable
  ASSERT_GE(fd, 0);
  PutMarkerScript(kShare + "run.exe",
                  "  grep -c 'FormName=Seen by the child' '" + world.Host(kShare + "FRM1A.FRM") +
                      "'\n"
                      "  if [ -e /proc/$$/fd/" +
                      std::to_string(fd) +
                      " ]; then echo leaked; else echo closed; fi\n"
                      "  if [ -t 0 ] || read -r x; then echo stdin; else echo nostdin; fi\n");
  EXPECT_GT(WinExec((kShare + "run.exe").c_str(), SW_SHOWNORMAL), 31u);
  std::string marker = WaitForMarker();
  ::close(fd);
  EXPECT_NE(marker.find("\n1\nclosed\nnostdin\n"), std::string::npos) << marker;
}

}  // namespace
