#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/path/HostFile.h"
#include "platform/registry/AppProfile.h"
#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"

namespace {

const char kInstall[] = "SOFTWARE\\Arvex\\Quovant\\QVNX\\Install";

std::string HivePath(TestWorld& world, const char* computer, const char* file) {
  return world.World().RegistryDir(computer) + "/" + file;
}

const char kAppKey[] = "Arvex\\Quovant\\QVNX\\QVccfg";

std::string Query(HKEY key, const char* name, LONG* error) {
  char buffer[64] = {};
  DWORD size = sizeof buffer;
  DWORD type = 0;
  *error = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  return buffer;
}

TEST(Hive, ParsesWritesAndRefusesDamage) {
  const std::string text =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A\\B]\r\n\"Quote \\\"q\\\"\"=\"C:\\\\x\"\r\n"
      "@=\"default\"\r\n\"N\"=dword:0000002a\r\n\r\n[HKEY_LOCAL_MACHINE\\C]\r\n";
  qv::Hive hive("HKEY_LOCAL_MACHINE");
  std::string why;
  ASSERT_TRUE(hive.Parse(text, &why)) << why;
  EXPECT_EQ(text, hive.Serialize());
  ASSERT_NE(nullptr, hive.FindValue("a\\b", "quote \"Q\""));
  EXPECT_EQ("C:\\x", hive.FindValue("A\\B", "Quote \"q\"")->text);
  EXPECT_EQ(42u, hive.FindValue("A\\B", "n")->number);
  EXPECT_EQ("default", hive.FindValue("A\\B", "")->text);
  EXPECT_TRUE(hive.HasKey("a"));  // a parent of a stored key
  EXPECT_FALSE(hive.HasKey("A\\B\\C"));
  EXPECT_FALSE(hive.SetValue("A", {"line", qv::REG_SZ_TYPE, "one\r\ntwo", 0}));
  EXPECT_FALSE(hive.SetValue("A\\\\B", {"x", qv::REG_SZ_TYPE, "y", 0}));

  const char* damaged[] = {
      "",
      "REGEDIT5\r\n",
      "REGEDIT4\r\n\"x\"=\"before any key\"\r\n",
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n",
      "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=hex:01,02\r\n",
      "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"bad \\n escape\"\r\n",
      "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"open\r\n",
      "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\r\n",
      "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\\\\B]\r\n",
      "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=dword:123456789\r\n",
  };
  for (const char* bad : damaged)
    EXPECT_FALSE(hive.Parse(bad, &why)) << bad;
  EXPECT_FALSE(hive.Parse("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\nstray\r\n", &why));
  EXPECT_EQ("line 3: a value is neither a quoted string nor dword:", why);
}

TEST(Registry, RemoteValuesAndConnections) {
  TestWorld world;
  HKEY root = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegConnectRegistryA("\\\\core1", HKEY_LOCAL_MACHINE, &root));
  EXPECT_EQ(std::vector<std::string>{"\\\\core1\\IPC$"}, qv::OpenConnections());
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, "software\\ARVEX\\quovant\\QVNX\\Install", 0,
                                         KEY_QUERY_VALUE, &key));
  LONG error = 0;
  EXPECT_EQ("D:\\Apps\\Main", Query(key, "main path", &error));
  EXPECT_EQ(ERROR_SUCCESS, error);
  EXPECT_EQ("", Query(key, "Other", &error));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, error);

  char small[4];
  DWORD size = sizeof small;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Main Path", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(small), &size));
  EXPECT_EQ(13u, size);  // the text and its NUL

  HKEY none = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(root, "SOFTWARE\\Nothing", 0, 0, &none));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(root));

  EXPECT_EQ(ERROR_BAD_NETPATH, RegConnectRegistryA("\\\\NOSUCH", HKEY_LOCAL_MACHINE, &root));
  EXPECT_EQ(ERROR_NOT_CONNECTED, WNetCancelConnection2A("\\\\NOSUCH\\ipc$", 0, FALSE));
  EXPECT_EQ(NO_ERROR, WNetCancelConnection2A("\\\\CORE1\\ipc$", 0, FALSE));
  EXPECT_TRUE(qv::OpenConnections().empty());
  EXPECT_EQ((std::vector<std::string>{"\\\\NOSUCH\\ipc$", "\\\\CORE1\\ipc$"}),
            qv::CancelledConnections());
  qv::ClearConnectionLog();

  // This computer's own registry opens no connection.
  ASSERT_EQ(ERROR_SUCCESS, RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &root));
  EXPECT_TRUE(qv::OpenConnections().empty());
  RegCloseKey(root);

  char name[16];
  DWORD length = 3;
  EXPECT_FALSE(GetComputerNameA(name, &length));
  EXPECT_EQ(7u, length);
  length = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &length));
  EXPECT_EQ("ADMIN7", std::string(name));
  EXPECT_EQ(6u, length);
}

// Deleting a key keeps its parent, even one that was only implied by it; keys below a key
// make it undeletable; enumeration names each direct subkey once, sorted without regard to
// case; HKEY_CLASSES_ROOT is SOFTWARE\Classes of the console computer.
TEST(Registry, DeletesAndEnumeratesKeys) {
  TestWorld world;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\P\\Beta\\{x-11d1}", &key));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\P\\alpha", &key));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CLASSES_ROOT, "CLSID\\{1}\\InprocServer32", &key));
  const char path[] = "C:\\M.OCX";
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
  RegCloseKey(key);

  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\p", 0, 0, &key));
  char name[16];
  std::vector<std::string> names;
  for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
    names.push_back(name);
  EXPECT_EQ((std::vector<std::string>{"alpha", "Beta"}), names);
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 2, name, sizeof name));
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(key, 0, name, 5));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "beta"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "BETA\\{X-11D1}"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(key, "Beta\\{x-11d1}"));
  RegCloseKey(key);
  ASSERT_TRUE(qv::FlushRegistry());
  EXPECT_EQ(
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\P\\Beta]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\P\\alpha]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{1}\\InprocServer32]\r\n"
      "@=\"C:\\\\M.OCX\"\r\n",
      FileBytes(HivePath(world, "ADMIN7", "HKLM.reg")));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CLASSES_ROOT, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{1}\\InprocServer32"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{1}"));
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, 0, &key));
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 0, name, sizeof name));
  RegCloseKey(key);
}

TEST(Registry, UnreachableComputerAndDamagedHive) {
  TestWorld world;
  std::string ini;
  ASSERT_TRUE(qv::ReadHostFile(world.Dir() + "/world.ini", &ini));
  ini.replace(ini.find("Reachable=1"), 11, "Reachable=0");  // CORE1 comes first
  ASSERT_TRUE(qv::WriteHostFileAtomic(world.Dir() + "/world.ini", ini));
  std::string why;
  auto cut = qv::World::Open(world.Dir(), &why);
  ASSERT_NE(nullptr, cut) << why;
  qv::World::SetCurrent(cut.get());
  HKEY root = nullptr;
  EXPECT_EQ(ERROR_BAD_NETPATH, RegConnectRegistryA("\\\\CORE1", HKEY_LOCAL_MACHINE, &root));
  EXPECT_TRUE(qv::OpenConnections().empty());
  qv::World::SetCurrent(&world.World());

  const std::string damaged = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=hex:00\r\n";
  const std::string hive = HivePath(world, "CORE1", "HKLM.reg");
  ASSERT_TRUE(qv::WriteHostFileAtomic(hive, damaged));
  ASSERT_EQ(ERROR_SUCCESS, RegConnectRegistryA("\\\\CORE1", HKEY_LOCAL_MACHINE, &root));
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_BADDB, RegOpenKeyExA(root, "A", 0, KEY_QUERY_VALUE, &key));
  EXPECT_EQ(ERROR_BADDB, RegCreateKeyA(root, "B", &key));
  const BYTE value[] = "v";
  EXPECT_EQ(ERROR_BADDB, RegSetValueExA(root, "x", 0, REG_SZ, value, sizeof value));
  EXPECT_TRUE(qv::FlushRegistry());
  EXPECT_EQ(damaged, FileBytes(hive));
  std::vector<std::string> problems = qv::TakeRegistryProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(std::string::npos, problems[0].find("is damaged (line 3:"));
  RegCloseKey(root);
  WNetCancelConnection2A("\\\\CORE1\\ipc$", 0, FALSE);
}

TEST(AppProfile, ValuesLieUnderTheApplicationKey) {
  TestWorld world;
  qv::AppProfile profile;
  profile.SetRegistryKey(kAppKey);
  EXPECT_EQ("none", profile.GetProfileString("", "Item0", "none"));
  EXPECT_TRUE(profile.WriteProfileString("", "Item0", "Add new form"));
  EXPECT_TRUE(profile.WriteProfileString("", "Item1", "Office \"survey\""));
  EXPECT_TRUE(profile.WriteProfileInt("", "LastViewType", 3));
  EXPECT_EQ("Office \"survey\"", profile.GetProfileString("", "ITEM1"));
  EXPECT_EQ(3u, profile.GetProfileInt("", "LastViewType", 0));
  EXPECT_EQ(7u, profile.GetProfileInt("", "Item0", 7));  // a string is not an integer
  EXPECT_TRUE(profile.WriteProfileString("", "Item0", nullptr));
  EXPECT_FALSE(profile.WriteProfileString("", "Item0", nullptr));
  EXPECT_FALSE(profile.WriteProfileString("", "Bad", "two\nlines"));
  ASSERT_TRUE(qv::FlushRegistry());

  EXPECT_EQ(
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Arvex\\Quovant\\QVNX\\QVccfg]\r\n"
      "\"Item1\"=\"Office \\\"survey\\\"\"\r\n\"LastViewType\"=dword:00000003\r\n",
      FileBytes(HivePath(world, "ADMIN7", "HKCU.reg")));
  // Another program's change to the file is seen.
  ASSERT_TRUE(qv::WriteHostFileAtomic(
      HivePath(world, "ADMIN7", "HKCU.reg"),
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Arvex\\Quovant\\QVNX\\QVccfg]\r\n"
      "\"Item1\"=\"Changed\"\r\n"));
  EXPECT_EQ("Changed", profile.GetProfileString("", "Item1"));
  // HKEY_LOCAL_MACHINE here is this console's own, which has no install key.
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstall, 0, 0, &key));
}

TEST(Registry, AHiveThatCannotBeReadOrLiesOutsideTheWorldIsLeftAlone) {
  TestWorld world;
  qv::AppProfile profile;
  profile.SetRegistryKey(kAppKey);
  // Something that is not a file where the user's hive belongs: nothing reads or replaces it.
  const std::string hive = HivePath(world, "ADMIN7", "HKCU.reg");
  std::filesystem::create_directory(hive);
  EXPECT_EQ("none", profile.GetProfileString("", "Item0", "none"));
  EXPECT_FALSE(profile.WriteProfileString("", "Item0", "Add new form"));
  EXPECT_TRUE(qv::FlushRegistry());
  EXPECT_TRUE(std::filesystem::is_directory(hive));
  std::vector<std::string> problems = qv::TakeRegistryProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("HKCU.reg cannot be read"), std::string::npos) << problems[0];

  // A registry folder linked to a place outside the world is never followed.
  std::filesystem::remove(hive);
  const std::string outside = world.Dir() + ".outside";
  std::filesystem::create_directory(outside);
  qv::WriteHostFileAtomic(outside + "/HKCU.reg", "REGEDIT4\r\n");
  std::filesystem::remove_all(world.World().RegistryDir("ADMIN7"));
  std::filesystem::create_directory_symlink(outside, world.World().RegistryDir("ADMIN7"));
  EXPECT_FALSE(profile.WriteProfileString("", "Item0", "Add new form"));
  EXPECT_TRUE(qv::FlushRegistry());
  EXPECT_EQ("REGEDIT4\r\n", FileBytes(outside + "/HKCU.reg"));
  problems = qv::TakeRegistryProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("lies outside the world"), std::string::npos) << problems[0];
  std::filesystem::remove_all(outside);
}

}  // namespace
