#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/file/FileApi.h"
#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"
#include "platform/text/IniText.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"

namespace fs = std::filesystem;

namespace {

const char kFile[] = "\\\\CORE1\\qvlogon\\T.INI";

std::string Read(const char* section, const char* key, const char* file = kFile, DWORD size = 256) {
  std::string out(size, '\0');
  DWORD n = GetPrivateProfileStringA(section, key, "<def>", out.data(), size, file);
  out.resize(n);
  return out;
}

// Sets a host file's modification time, by default back past the rule that distrusts fresh files.
void Age(const std::string& host, time_t when = time(nullptr) - 60) {
  struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, host.c_str(), times, 0), 0);
}

}  // namespace

TEST(IniText, ReadsByTheFirstSectionAndKeyOfANameWithoutRegardToCase) {
  qv::IniText ini(
      "\xEF\xBB\xBFhead=1\n"
      "  [ Form ]  \r\n"
      " Name = \"quoted value\" \r"
      "name=second\n"
      "NoEquals\n"
      "Single='x'\n"
      "Half=\"x\n"
      "[form]\n"
      "Name=other section\n"
      "Late=only here\n"
      "[Weird]]\n"
      "k=v");
  // Only the first [Form] is seen; a name runs to the last "]"; lines before the first
  // section have the empty one.
  for (auto [section, key, value] : {std::tuple{"FORM", "NAME", "quoted value"},
                                     {"form", "single", "x"},
                                     {"Form", "Half", "\"x"},
                                     {"Form", "NoEquals", "<none>"},
                                     {"Form", "Late", "<none>"},
                                     {"Weird]", "k", "v"},
                                     {"", "head", "1"}}) {
    std::string got = "<none>";
    ini.Get(section, key, &got);
    EXPECT_EQ(got, value) << section << "/" << key;
  }
  EXPECT_EQ(ini.SectionNames().size(), 4u);  // the head, Form, form, Weird]
  EXPECT_EQ(ini.Pairs("Form"), (std::vector<std::pair<std::string, std::string>>{
                                   {"Name", "quoted value"}, {"Single", "x"}, {"Half", "\"x"}}));
}

TEST(IniText, WritesChangeOnlyTheirOwnLine) {
  const std::string original =
      "\xEF\xBB\xBF; comment kept\n"
      "[A]\n"
      "x = 1\n"
      "y=2\r"
      "; old Mac line end above\n"
      "[B]\r\n"
      "z=3";
  qv::IniText ini(original);
  EXPECT_EQ(ini.Bytes(), original);
  EXPECT_FALSE(ini.Set("a", "X", "1"));  // same value: nothing changes
  EXPECT_EQ(ini.Bytes(), original);

  EXPECT_TRUE(ini.Set("a", "X", "  one"));
  EXPECT_TRUE(ini.Set("A", "new", "n"));
  EXPECT_TRUE(ini.Set("B", "w", "4"));
  EXPECT_TRUE(ini.Set("C", "k", ""));
  EXPECT_EQ(ini.Bytes(),
            "\xEF\xBB\xBF; comment kept\n"
            "[A]\n"
            "x=one\r\n"  // the key keeps the case the file gave it
            "y=2\r"
            "; old Mac line end above\n"
            "new=n\r\n"
            "[B]\r\n"
            "z=3\r\n"
            "w=4\r\n"
            "[C]\r\n"
            "k=\r\n");
}

TEST(PrivateProfile, ReadsWritesAndCutsToTheBuffer) {
  TestWorld w;
  EXPECT_EQ(Read("S", "K"), "<def>");  // missing file
  ASSERT_TRUE(WritePrivateProfileStringA("Sect", "Key", "value", kFile));
  EXPECT_EQ(Read("SECT", "key"), "value");
  EXPECT_EQ(w.Bytes(kFile), "[Sect]\r\nKey=value\r\n");

  EXPECT_EQ(Read("Sect", "Key", kFile, 1), "");  // no room but for the NUL

  EXPECT_EQ(Read(nullptr, "Key"), "<def>");
  EXPECT_FALSE(WritePrivateProfileStringA("Sect", "Key", nullptr, kFile));
  EXPECT_FALSE(WritePrivateProfileStringA("Sect", "Key", "x", "\\\\CORE1\\qvlogon\\..\\x.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("Sect", "Key", "x", "\\\\CORE1\\qvlogon\\no\\x.ini"));
  // Text that would forge lines or names is refused and changes nothing.
  std::string before = w.Bytes(kFile);
  for (auto [section, key] :
       {std::pair{"Sect", "k=v"}, {"Sect]", "k"}, {"Sect\n", "k"}, {"Sect", " [Evil]"}})
    EXPECT_FALSE(WritePrivateProfileStringA(section, key, "1", kFile)) << section << key;
  EXPECT_EQ(w.Bytes(kFile), before);
  EXPECT_EQ(Read("Sect", "Key"), "value");
  // A value is one line: every line break in it becomes one blank, so nothing is lost and
  // nothing is forged.
  ASSERT_TRUE(WritePrivateProfileStringA("Sect", "k", "1\r\n[Evil]\rx=y\n\nz\r\n", kFile));
  EXPECT_EQ(w.Bytes(kFile), before + "k=1 [Evil] x=y  z \r\n");
  EXPECT_EQ(Read("Evil", "x"), "<def>");
}

TEST(PrivateProfile, SeesChangesMadeByOthersAndNeverWritesATornFile) {
  TestWorld w;
  std::string host = w.Host(kFile);
  w.Put(kFile, "[S]\nK=old\n");
  EXPECT_EQ(Read("S", "K"), "old");

  // Another program rewrites the file within the same second, same size: still seen.
  w.Put(kFile, "[S]\nK=new\n");
  EXPECT_EQ(Read("S", "K"), "new");
  Age(host);
  EXPECT_EQ(Read("S", "K"), "new");

  // Our writes stay in memory until the flush, then replace the file in one step.
  ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "mine", kFile));
  EXPECT_EQ(FileBytes(host), "[S]\nK=new\n");
  ASSERT_TRUE(qv::FlushProfiles());
  EXPECT_EQ(FileBytes(host), "[S]\nK=mine\r\n");
  for (const auto& entry : fs::directory_iterator(fs::path(host).parent_path()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
}

TEST(PrivateProfile, ASettledCopyIsDroppedWhenTheFileChangesInAnyWay) {
  TestWorld w;
  const time_t old = time(nullptr) - 60;
  std::string names[4], hosts[4];
  for (int i = 0; i < 4; ++i) {
    names[i] = std::string("\\\\CORE1\\qvlogon\\") + char('A' + i) + ".INI";
    hosts[i] = w.Host(names[i]);
    w.Put(names[i], "[S]\nK=one\n");
    Age(hosts[i], old);
  }
  // Every file settled: the copies read now are trusted.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  for (const std::string& name : names)
    EXPECT_EQ(Read("S", "K", name.c_str()), "one");

  // A: replaced by a file of the same size and modification time.
  std::string beside = hosts[0] + ".new";
  ASSERT_TRUE(qv::WriteHostFileAtomic(beside, "[S]\nK=two\n"));
  Age(beside, old);
  ASSERT_EQ(rename(beside.c_str(), hosts[0].c_str()), 0);
  EXPECT_EQ(Read("S", "K", names[0].c_str()), "two");

  // B: rewritten in place, same size, modification time put back.
  std::fstream(hosts[1], std::ios::in | std::ios::out) << "[S]\nK=six\n";
  Age(hosts[1], old);
  EXPECT_EQ(Read("S", "K", names[1].c_str()), "six");

  // C: renamed away; D: removed.
  ASSERT_EQ(rename(hosts[2].c_str(), (hosts[2] + ".old").c_str()), 0);
  EXPECT_EQ(Read("S", "K", names[2].c_str()), "<def>");
  ASSERT_EQ(unlink(hosts[3].c_str()), 0);
  EXPECT_EQ(Read("S", "K", names[3].c_str()), "<def>");
}

TEST(PrivateProfile, ARemovalWaitsForTheFlushSoRemoveThenWriteIsOneReplacement) {
  TestWorld w;
  w.Put(kFile, "[Old]\r\nA=1\r\n");
  const std::string host = w.Host(kFile);
  qv::HostStamp before = qv::StampHostFile(host);
  ASSERT_EQ(WinRemove(kFile), 0);
  EXPECT_TRUE(qv::StampHostFile(host) == before);  // still whole on disk
  EXPECT_EQ(Read("Old", "A"), "<def>");            // but gone for every reader here
  ASSERT_TRUE(WritePrivateProfileStringA("New", "B", "2", kFile));
  ASSERT_TRUE(qv::FlushProfile(kFile));
  EXPECT_EQ(FileBytes(host), "[New]\r\nB=2\r\n");
  // A removal alone takes the file away at the flush.
  ASSERT_EQ(WinRemove(kFile), 0);
  EXPECT_EQ(WinRemove(kFile), -1);
  ASSERT_TRUE(qv::FlushProfiles());
  EXPECT_FALSE(qv::StampHostFile(host).exists);
}

TEST(PrivateProfile, AFailedFlushDropsItsChangeAndIsReported) {
  TestWorld w;
  const char file[] = "\\\\CORE1\\qvlogon\\Sub\\x.ini";
  const std::string sub = w.Dir() + "/CORE1/D/Apps/Main/QVLOGON/Sub";
  fs::create_directory(sub);
  ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "v", file));
  fs::remove(sub);  // nowhere to write now
  EXPECT_FALSE(qv::FlushProfiles());
  std::vector<std::string> problems = qv::TakeProfileProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("x.ini could not be written"), std::string::npos) << problems[0];
  // Decided once: the change is not written later behind the caller's back.
  fs::create_directory(sub);
  EXPECT_TRUE(qv::FlushProfiles());
  EXPECT_FALSE(fs::exists(sub + "/x.ini"));
  EXPECT_EQ(Read("S", "K", file), "<def>");
}

TEST(PrivateProfile, AFileThatCannotBeReadIsNeverWrittenOrRemoved) {
  TestWorld w;
  // A named pipe stands for a file that is there but cannot be read; it must not block.
  const std::string host = w.Dir() + "/CORE1/D/Apps/Main/QVLOGON/T.INI";
  ASSERT_EQ(mkfifo(host.c_str(), 0644), 0);
  EXPECT_EQ(Read("S", "K"), "<def>");
  EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "v", kFile));
  EXPECT_EQ(WinRemove(kFile), -1);
  EXPECT_TRUE(qv::FlushProfiles());
  struct stat st {};
  ASSERT_EQ(lstat(host.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  std::vector<std::string> problems = qv::TakeProfileProblems();
  ASSERT_FALSE(problems.empty());
  EXPECT_NE(problems[0].find("T.INI cannot be read"), std::string::npos) << problems[0];
  // Once it is a readable file again, it is read and written as any other.
  fs::remove(host);
  w.Put(kFile, "[S]\r\nK=old\r\n");
  ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "new", kFile));
  EXPECT_EQ(w.Bytes(kFile), "[S]\r\nK=new\r\n");
}

TEST(HostFile, AReplacementKeepsTheModeAndANewFileFollowsTheUmask) {
  TestWorld w;
  const std::string path = w.Dir() + "/kept.txt";
  ASSERT_TRUE(qv::WriteHostFileAtomic(path, "one"));
  mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(qv::StampHostFile(path).mode, 0666u & ~mask);
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  ASSERT_TRUE(qv::WriteHostFileAtomic(path, "two"));
  EXPECT_EQ(qv::StampHostFile(path).mode, 0600u);
  EXPECT_EQ(FileBytes(path), "two");
  for (const auto& entry : fs::directory_iterator(w.Dir()))  // no hidden file left beside it
    EXPECT_FALSE(entry.path().filename().string().starts_with(".kept")) << entry.path();
}
