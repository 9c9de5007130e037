#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include <filesystem>
#include <regex>
#include <set>

#include "platform/file/FileApi.h"
#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"

namespace fs = std::filesystem;

namespace {

const std::string kShare = "\\\\CORE1\\qvlogon\\";

// The world of `w` opened anew with the pattern `from` in its world.ini replaced by `to`.
std::unique_ptr<qv::World> Reopened(const TestWorld& w, const std::string& from,
                                    const std::string& to, std::string* why) {
  std::string ini;
  EXPECT_TRUE(qv::ReadHostFile(w.Dir() + "/world.ini", &ini));
  EXPECT_TRUE(qv::WriteHostFileAtomic(
      w.Dir() + "/world.ini",
      std::regex_replace(ini, std::regex(from), to, std::regex_constants::format_first_only)));
  why->clear();
  return qv::World::Open(w.Dir(), why);
}

// Sets a file's modification time `seconds` into the past.
void Age(const std::string& path, long seconds) {
  timespec times[2] = {{std::time(nullptr) - seconds, 0}, {std::time(nullptr) - seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

}  // namespace

TEST(WorldPath, SharesAndDrivesMapOntoOneFolderWithoutRegardToCase) {
  TestWorld w;
  std::string viaShare = w.Host(kShare + "FRM1A.FRM");
  EXPECT_EQ(viaShare, w.Dir() + "/CORE1/D/Apps/Main/QVLOGON/FRM1A.FRM");
  EXPECT_EQ(w.Host("\\\\core1\\QVMAIN\\qvlogon\\frm1a.frm"), viaShare);
  EXPECT_EQ(w.Host(kShare + ".\\sub\\..\\FRM1A.FRM"), viaShare);
  // A name that does not exist yet keeps the case it was written with.
  EXPECT_EQ(w.Host(kShare + "New.frm"), w.Dir() + "/CORE1/D/Apps/Main/QVLOGON/New.frm");
  EXPECT_EQ(w.Host("C:\\Temp\\x.txt"), w.Dir() + "/ADMIN7/C/Temp/x.txt");

  std::string win;
  ASSERT_TRUE(w.World().HostToWindows(viaShare, &win));
  EXPECT_EQ(win, kShare + "FRM1A.FRM");
  ASSERT_TRUE(w.World().HostToWindows(w.Dir() + "/ADMIN7/C/a/b", &win));
  EXPECT_EQ(win, "C:\\a\\b");
  EXPECT_FALSE(w.World().HostToWindows("/etc/passwd", &win));
}

// Every path that would leave the world, or cannot be named there, is refused with a reason.
TEST(WorldPath, RefusesWhatWouldLeaveTheWorldOrCannotBeNamed) {
  TestWorld w;
  std::vector<std::string> refused = {
      kShare + "..\\x",  // above the share root
      kShare + "a\\..\\..\\x",
      "C:\\..\\..\\etc\\passwd",
      "\\\\NOWHERE\\qvlogon\\x",  // unknown computer
      "\\\\CORE1\\nope\\x",       // unknown share
      "\\\\CORE1",                // no share
      "D:\\Apps\\Main\\x",        // ADMIN7 has no drive D:
      "C:relative",
      "/etc/passwd",
      kShare + "x.",
      kShare + "x ",
  };
  // Characters that file names cannot hold, NUL included.
  for (char c : std::string(":<>\"|?*/\t\0", 10))
    refused.push_back(kShare + "a" + c + "b");
  std::string host, why;
  for (const std::string& path : refused) {
    why.clear();
    EXPECT_FALSE(w.World().MapPath(path, &host, &why)) << path << " -> " << host;
    EXPECT_FALSE(why.empty()) << path;
  }
  for (const char* path : {"\\\\PC-ANNA\\C\\X.FRM", "\\QVCLIENT\\X.FRM", "D:\\X.FRM",
                           "C:\\..\\X.FRM", "C:\\QVCLIENT\\a|b"}) {
    why.clear();
    EXPECT_FALSE(w.World().MapOnComputer("PC-ANNA", path, &host, &why)) << path;
    EXPECT_FALSE(why.empty()) << path;
  }
  EXPECT_FALSE(w.World().MapOnComputer("PC-CARL", "C:\\X.FRM", &host, &why));  // no client
  // A symbolic link inside the world is never followed.
  fs::create_directory_symlink("/", w.Dir() + "/CORE1/D/Apps/Main/QVLOGON/out");
  EXPECT_FALSE(w.World().MapPath(kShare + "out\\etc\\passwd", &host, &why));
  EXPECT_FALSE(w.World().MapPath(kShare + "OUT\\etc\\passwd", &host, &why));
  // An unreachable computer refuses every path.
  auto world = Reopened(w, "Reachable=1", "Reachable=0", &why);
  ASSERT_NE(world, nullptr) << why;
  EXPECT_FALSE(world->MapPath(kShare + "FRM1A.FRM", &host, &why));
  EXPECT_NE(why.find("cannot be reached"), std::string::npos);
}

TEST(World, DriveFoldersLinkedOutOfTheWorldAreRefused) {
  TestWorld w;
  const std::string outside = w.Dir() + ".outside";
  const std::string core = w.Dir() + "/CORE1";
  std::string host, why;
  // A drive folder moved out of the world and linked back in.
  fs::rename(core + "/D", outside);
  fs::create_directory_symlink(outside, core + "/D");
  EXPECT_FALSE(w.World().MapPath(kShare + "FRM1A.FRM", &host, &why)) << host;
  EXPECT_NE(why.find("does not lie inside the world"), std::string::npos) << why;
  // The same through a link higher up, between the world folder and the drive folder.
  fs::remove(core + "/D");
  fs::rename(core, outside + ".core");
  fs::create_directory(outside + ".core/D");
  fs::create_directory_symlink(outside + ".core", core);
  why.clear();
  EXPECT_FALSE(w.World().MapPath(kShare + "FRM1A.FRM", &host, &why)) << host;
  EXPECT_FALSE(w.World().Contains(core + "/registry/HKLM.reg"));
  // A link that stays inside the world is fine.
  fs::remove(core);
  fs::rename(outside + ".core", w.Dir() + "/Elsewhere");
  fs::remove(w.Dir() + "/Elsewhere/D");
  fs::rename(outside, w.Dir() + "/Elsewhere/D");
  fs::create_directory_symlink(w.Dir() + "/Elsewhere", core);
  EXPECT_TRUE(w.World().MapPath(kShare + "FRM1A.FRM", &host, &why)) << why;
  EXPECT_TRUE(w.World().Contains(core + "/registry/not/yet/made.reg"));
  EXPECT_FALSE(w.World().Contains("/etc/passwd"));
}

// Computer names of at most 15 characters; clients are described computers on own drives.
TEST(World, ComputerNamesAndClients) {
  TestWorld w;
  EXPECT_EQ(w.World().Clients(), (std::vector<std::string>{"PC-ANNA", "PC-BEN"}));
  std::string host, why;
  ASSERT_TRUE(w.World().MapOnComputer("pc-anna", "c:\\qvclient\\X.FRM", &host, &why)) << why;
  EXPECT_EQ(host, w.Dir() + "/PC-ANNA/C/QVCLIENT/X.FRM");
  EXPECT_EQ(w.Host("C:\\QVCLIENT\\X.FRM"), w.Dir() + "/ADMIN7/C/QVCLIENT/X.FRM");

  const std::string ini = FileBytes(w.Dir() + "/world.ini");
  auto reset = [&] { ASSERT_TRUE(qv::WriteHostFileAtomic(w.Dir() + "/world.ini", ini)); };
  EXPECT_NE(Reopened(w, "ADMIN7", "ADMIN7890123456", &why), nullptr) << why;
  for (auto [from, to] : {std::pair{"ADMIN7", "ADMIN78901234567"},
                          {"\\[Computer CORE1\\]", "[Computer ADMIN78901234567]"}}) {
    reset();
    EXPECT_EQ(Reopened(w, from, to, &why), nullptr) << to;
    EXPECT_NE(why.find("is longer than 15 characters"), std::string::npos) << why;
  }
  reset();
  auto opened = Reopened(w, "Clients=PC-ANNA,PC-BEN\r\n", "", &why);
  ASSERT_NE(opened, nullptr) << why;
  EXPECT_TRUE(opened->Clients().empty());
  reset();
  EXPECT_EQ(Reopened(w, "Clients=.*\r\n", "Clients= pc-ben , PC-BEN,PC-CARL\r\n", &why), nullptr);
  EXPECT_NE(why.find("PC-CARL"), std::string::npos) << why;
  reset();
  opened = Reopened(w, "Clients=.*\r\n", "Clients= pc-ben , PC-BEN\r\n", &why);
  ASSERT_NE(opened, nullptr) << why;
  EXPECT_EQ(opened->Clients(), std::vector<std::string>{"PC-BEN"});
}

// Matching regular files in name order; a folder that cannot be listed is not an empty one.
TEST(FileApi, ListsMatchingRegularFilesInNameOrder) {
  TestWorld w;
  for (const char* name : {"b.frm", "a.FrM", "c.frmx", "plain"})
    w.Put(kShare + name, "x");
  fs::create_directory(w.Dir() + "/CORE1/D/Apps/Main/QVLOGON/dir.FRM");
  fs::create_directory(w.Dir() + "/CORE1/D/Apps/Main/QVLOGON/empty");
  EXPECT_EQ(FindFiles(kShare + "*.FRM"),
            (std::vector<std::string>{"a.FrM", "b.frm", "FRM1A.FRM", "FRM2B7.FRM", "FRM3C.FRM"}));
  WIN32_FIND_DATAA data;
  for (auto [pattern, error] : {std::pair{"*.XYZ", ERROR_FILE_NOT_FOUND},  // listed: none match
                                {"..\\..\\*", ERROR_PATH_NOT_FOUND},
                                {"empty\\*.FRM", ERROR_FILE_NOT_FOUND},
                                {"none\\*.FRM", ERROR_PATH_NOT_FOUND},
                                {"plain\\*.FRM", ERROR_PATH_NOT_FOUND}}) {  // a file, not a folder
    EXPECT_EQ(FindFirstFileA((kShare + pattern).c_str(), &data), INVALID_HANDLE_VALUE) << pattern;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(error)) << pattern;
  }
  HANDLE find = FindFirstFileA((kShare + "b.*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindNextFileA(find, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  FindClose(find);
}

// Reserved names never collide; old empty leftovers of killed saves go, nothing else does.
TEST(FileApi, ReservationsNeverCollideAndClearWhatKilledSavesLeft) {
  TestWorld w;
  char path[MAX_PATH];
  std::set<std::string> seen;
  for (int i = 0; i < 40; ++i) {
    UINT n = qv::ReserveTempFileName("\\\\CORE1\\qvlogon", "FRMX", ".frm", path);
    ASSERT_NE(n, 0u);
    std::string p = path;
    ASSERT_EQ(p.rfind(kShare + "FRM", 0), 0u) << p;
    ASSERT_EQ(p.substr(p.size() - 4), ".tmp");
    EXPECT_TRUE(seen.insert(p).second) << p;
    EXPECT_TRUE(w.Exists(p));
    // Occupy the next numbers with a .FRM (upper case) so the next call must skip them.
    char next[16];
    std::snprintf(next, sizeof next, "FRM%X.FRM", n >= 0xFFFF ? 1 : n + 1);
    w.Put(kShare + next, "x");
  }
  EXPECT_EQ(GetTempFileNameA("\\\\CORE1\\nope", "FRM", 0, path), 0u);

  const std::string dir = w.Dir() + "/CORE1/D/Apps/Main/QVLOGON";
  for (const char* name : {"FRM9.FRM", "FRMa.tmp", "FRM7.FRM", "frm8.frm", "XFRM1.FRM"})
    w.Put(kShare + name, "");
  w.Put(kShare + "FRMB.FRM", "[Form]\r\nFormName=Kept\r\n");
  for (const char* name : {"FRM9.FRM", "FRMa.tmp", "FRMB.FRM", "XFRM1.FRM", "frm8.frm"})
    Age(dir + "/" + name, 3600);
  ASSERT_EQ(::chmod((dir + "/frm8.frm").c_str(), 0444), 0);
  // A plain reservation knows only its own ".tmp" files.
  ASSERT_NE(GetTempFileNameA(kShare.c_str(), "FRM", 0, path), 0u);
  EXPECT_FALSE(w.Exists(kShare + "FRMa.tmp"));
  EXPECT_TRUE(w.Exists(kShare + "FRM9.FRM"));
  ASSERT_NE(qv::ReserveTempFileName(kShare.c_str(), "FRM", ".frm", path), 0u);
  EXPECT_FALSE(w.Exists(kShare + "FRM9.FRM"));  // old and empty: gone
  // A save under way, a read-only file, a form, another name.
  for (const char* kept : {"FRM7.FRM", "frm8.frm", "FRMB.FRM", "XFRM1.FRM"})
    EXPECT_TRUE(w.Exists(kShare + kept)) << kept;
  EXPECT_TRUE(w.Exists(path));
}

TEST(FileApi, RenameNeverReplacesAndRemoveReports) {
  TestWorld w;
  w.Put(kShare + "a.tmp", "A");
  EXPECT_EQ(WinRename((kShare + "a.tmp").c_str(), (kShare + "frm1a.frm").c_str()), -1);
  EXPECT_EQ(w.Bytes(kShare + "a.tmp"), "A");
  EXPECT_EQ(WinRename((kShare + "a.tmp").c_str(), (kShare + "A.FRM").c_str()), 0);
  EXPECT_FALSE(w.Exists(kShare + "a.tmp"));
  EXPECT_EQ(w.Bytes(kShare + "A.FRM"), "A");
  EXPECT_EQ(WinRemove((kShare + "a.frm").c_str()), 0);
  EXPECT_EQ(WinRemove((kShare + "a.frm").c_str()), -1);
  EXPECT_EQ(WinRemove((kShare + "..\\QVLOGON\\..\\..\\x").c_str()), -1);
}

TEST(HostRoot, NothingIsMadeWrittenOpenedOrRemovedThroughALinkOutOfTheWorld) {
  TestWorld w;
  const std::string outside = w.Dir() + ".out";
  fs::create_directories(outside);
  ASSERT_TRUE(qv::WriteHostFileAtomic(outside + "/file", "outside"));
  fs::create_directory_symlink(outside, w.Dir() + "/away");
  fs::create_symlink(outside + "/file", w.Dir() + "/link");
  fs::create_hard_link(outside + "/file", w.Dir() + "/second");
  const qv::HostRoot& root = w.World().Root();
  std::string bytes;
  EXPECT_FALSE(root.MakeFolders(w.Dir() + "/away/a/b"));
  EXPECT_FALSE(root.Write(w.Dir() + "/away/new", "x"));
  for (const char* name : {"/away/file", "/link"}) {
    EXPECT_FALSE(root.Write(w.Dir() + name, "x")) << name;
    EXPECT_FALSE(root.Read(w.Dir() + name, &bytes)) << name;
    EXPECT_FALSE(root.Remove(w.Dir() + name)) << name;
  }
  for (const char* name : {"/away/lock", "/link", "/second"}) {
    errno = 0;
    EXPECT_EQ(root.OpenInPlace(w.Dir() + name, O_RDWR | O_CREAT | O_APPEND), -1) << name;
    EXPECT_NE(errno, 0) << name;
  }
  // Outside, nothing came or went, and the file kept its bytes.
  EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
  EXPECT_EQ(FileBytes(outside + "/file"), "outside");
  EXPECT_TRUE(fs::is_symlink(w.Dir() + "/link"));

  // Inside, all of it works, links that stay inside included.
  fs::create_directories(w.Dir() + "/in");
  fs::create_directory_symlink(w.Dir() + "/in", w.Dir() + "/near");
  EXPECT_TRUE(root.MakeFolders(w.Dir() + "/near/a/b"));
  EXPECT_TRUE(fs::is_directory(w.Dir() + "/in/a/b"));
  EXPECT_TRUE(root.Write(w.Dir() + "/near/a/f", "in"));
  EXPECT_TRUE(root.Read(w.Dir() + "/in/a/f", &bytes));
  EXPECT_EQ(bytes, "in");
  int fd = root.OpenInPlace(w.Dir() + "/near/lock", O_RDWR | O_CREAT);
  EXPECT_GE(fd, 0);
  ::close(fd);
  EXPECT_TRUE(root.Remove(w.Dir() + "/near/a/f"));
  fs::remove_all(outside);
}

TEST(HostFile, AReadOnlyFileIsNeitherReplacedNorRemovedEvenByRoot) {
  TestWorld w;
  const std::string form = kShare + "FRM1A.FRM";
  const std::string host = w.Host(form);
  const std::string before = FileBytes(host);
  ASSERT_FALSE(before.empty()) << host;
  for (mode_t mode : {0444, 0400, 0555, 0000}) {
    ASSERT_EQ(::chmod(host.c_str(), mode), 0);
    errno = 0;
    EXPECT_FALSE(qv::WriteHostFileAtomic(host, "new")) << std::oct << mode;
    EXPECT_EQ(errno, EACCES);
    EXPECT_FALSE(w.World().Root().Remove(host));
    EXPECT_EQ(WinRemove(form.c_str()), -1) << std::oct << mode;
    EXPECT_EQ(WritePrivateProfileStringA("Form", "FormName", "Changed", form.c_str()), FALSE);
    qv::FlushProfiles();
    std::string bytes;
    EXPECT_TRUE(mode == 0000 || (qv::ReadHostFile(host, &bytes) && bytes == before)) << mode;
    EXPECT_EQ(fs::status(host).permissions(), static_cast<fs::perms>(mode));
  }
  std::vector<std::string> problems = qv::TakeProfileProblems();
  ASSERT_FALSE(problems.empty());
  EXPECT_NE(problems[0].find("FRM1A.FRM is read-only"), std::string::npos) << problems[0];
  // One write bit, anyone's, makes it writable again.
  ASSERT_EQ(::chmod(host.c_str(), 0464), 0);
  EXPECT_TRUE(qv::WriteHostFileAtomic(host, "new"));
  EXPECT_EQ(FileBytes(host), "new");
}

// Names up to the longest are replaced; their temporary names fit and are known as ours.
TEST(HostFile, NamesUpToTheLongestFitAndTheirTemporaryNamesAreKnown) {
  TestWorld w;
  const std::string folder = w.Dir() + "/long";
  fs::create_directories(folder);
  for (std::size_t length : {5u, 200u, 244u, 247u, 248u, 251u, 255u}) {
    std::string name = std::string(length - 4, 'n') + ".ini";
    EXPECT_TRUE(qv::WriteHostFileAtomic(folder + "/" + name, "x")) << length;
    EXPECT_TRUE(qv::WriteHostFileAtomic(folder + "/" + name, "y")) << length;  // replaced
    EXPECT_EQ(FileBytes(folder + "/" + name), "y");
    std::string temp = qv::HostTempTemplate(name);
    EXPECT_LE(temp.size(), qv::kMaxNameBytes) << length;
    EXPECT_EQ(temp.substr(temp.size() - 7), ".XXXXXX");
    temp.replace(temp.size() - 6, 6, "a0Z9bQ");
    EXPECT_TRUE(qv::IsHostTempName(temp)) << length;
    EXPECT_FALSE(qv::MatchesFilePattern("*.ini", temp.c_str()));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 7);
  for (const char* other : {".x.abcde", ".x.abcde!", "x.abcdef", ".x-abcdef", "..abcdef", ".x.FRM"})
    EXPECT_FALSE(qv::IsHostTempName(other)) << other;
}

TEST(HostFile, StaleTemporaryFilesAreRemovedAndNothingElse) {
  TestWorld w;
  const std::string folder = w.Dir() + "/stale";
  fs::create_directories(folder);
  auto put = [&](const std::string& name, long age) {
    ASSERT_TRUE(qv::WriteHostFileAtomic(folder + "/" + name, name));
    Age(folder + "/" + name, age);
  };
  put(".A.FRM.Ab3dE9", 3600);  // left by a kill: goes
  put(".B.FRM.zzzzzz", 10);    // a copy under way: stays
  put(".C.FRM.q1w2e3", 3600);  // read-only: stays
  ASSERT_EQ(::chmod((folder + "/.C.FRM.q1w2e3").c_str(), 0444), 0);
  put(".profile", 3600);      // not ours: stays
  put("D.FRM.abcdef", 3600);  // not hidden: stays
  fs::create_symlink(folder + "/D.FRM.abcdef", folder + "/.E.FRM.abcdef");
  Age(folder + "/.E.FRM.abcdef", 3600);
  std::vector<std::string> removed;
  ASSERT_TRUE(qv::RemoveStaleHostTemps(folder, 600, &removed));
  EXPECT_EQ(removed, std::vector<std::string>{".A.FRM.Ab3dE9"});
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder))
    left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{".B.FRM.zzzzzz", ".C.FRM.q1w2e3", ".profile",
                                         "D.FRM.abcdef", ".E.FRM.abcdef"}));
  EXPECT_FALSE(qv::RemoveStaleHostTemps(folder + "/none", 600));
}
