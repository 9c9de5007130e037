// QVCCFG.OCX installed, registered and loaded as the console does, through its entry points
// only: its objects by class id, its start-up and its unloading.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <tuple>
#include <vector>

#include "host/ConsolePlugIn.h"
#include "languages/de/GermanResources.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/Creation.h"
#include "platform/com/Dispatch.h"
#include "platform/com/TypeLib.h"
#include "platform/control/OleControl.h"
#include "platform/path/HostFile.h"
#include "platform/registry/Registry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Wnd.h"
#include "resources/Dialogs.h"
#include "resources/ResourceIds.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"
#include "tools/common/Install.h"

namespace {

using qv::com::ComPtr;

constexpr char kModulePath[] = "C:\\Program Files\\Arvex\\QVNX\\Console\\QVCCFG.OCX";
const CLSID kPlugInClass = Parsed("{A48C4D90-9281-11D1-8971-00A0C9323807}");
const CLSID kControlClass = Parsed("{AE399777-76F3-11D1-8969-00A0C9323807}");
const CLSID kPropPageClass = Parsed("{AE399778-76F3-11D1-8969-00A0C9323807}");
const GUID kLibrary = Parsed("{AE399774-76F3-11D1-8969-00A0C9323807}");
const IID kDispatchIid = Parsed("{AE399775-76F3-11D1-8969-00A0C9323807}");
const IID kEventsIid = Parsed("{AE399776-76F3-11D1-8969-00A0C9323807}");

// The control made by its class id and placed in a window, as the console does.
struct PlacedControl {
  PlacedControl() {
    made = CoCreateInstance(kControlClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(control.Out()));
    if (SUCCEEDED(made))
      made = control->QueryInterface(IID_IControlWindow, reinterpret_cast<void**>(window.Out()));
    if (SUCCEEDED(made))
      made = window->CreateControlWindow(0, CRect{0, 0, 640, 400});
  }
  ~PlacedControl() {
    if (window.Get() != nullptr)
      window->DestroyControlWindow();
  }

  HRESULT made = E_FAIL;
  ComPtr<IDispatch> control;
  ComPtr<IControlWindow> window;
};

// Each test starts with the module unloaded, so that its start-up runs again.
class Module : public ::testing::Test {
 protected:
  void SetUp() override {
    CoFreeUnusedLibraries();
    ASSERT_TRUE(qv::com::LoadedModules().empty()) << "a module of another test is still loaded";
  }
  void TearDown() override { CoFreeUnusedLibraries(); }

  void Install() {
    std::string why;
    HRESULT result = E_FAIL;
    ASSERT_TRUE(qv::InstallModule(&why, &result)) << why;
    EXPECT_EQ(result, S_OK);
    ASSERT_TRUE(qv::FlushRegistry());
  }
  std::string Hive() { return FileBytes(world_.World().RegistryDir("ADMIN7") + "/HKLM.reg"); }
  std::string UserHive() { return FileBytes(world_.World().RegistryDir("ADMIN7") + "/HKCU.reg"); }
  std::string ModuleHost() { return world_.Host(kModulePath); }
  // Calls an entry point of the installed module.
  HRESULT Call(const char* entry) {
    std::string why;
    auto function =
        reinterpret_cast<HRESULT (*)()>(qv::com::ModuleEntry(ModuleHost(), entry, &why));
    EXPECT_NE(function, nullptr) << why;
    return function != nullptr ? function() : E_FAIL;
  }
  // True while this process has the installed module loaded.
  bool Loaded() {
    void* handle = dlopen(ModuleHost().c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr)
      dlclose(handle);
    return handle != nullptr;
  }
  ComPtr<IConsolePlugIn> PlugIn() {
    ComPtr<IConsolePlugIn> plugIn;
    EXPECT_EQ(CoCreateInstance(kPlugInClass, nullptr, CLSCTX_INPROC_SERVER, IID_IConsolePlugIn,
                               reinterpret_cast<void**>(plugIn.Out())),
              S_OK)
        << qv::com::LastCreationProblem();
    return plugIn;
  }
  std::string DisplayName() {
    char name[256] = {};
    LONG value = 5;
    ComPtr<IConsolePlugIn> plugIn = PlugIn();
    return plugIn.Get() != nullptr && plugIn->GetDisplayName(0, name, &value) == 1 ? name : "";
  }
  TestWorld world_;
  // The user's language: none (the module's own, English) unless a test says otherwise.
  ClearedEnvironment language_{{"LC_ALL", "LC_MESSAGES", "LANG"}};
};

// The hive after registration, byte for byte; registering again changes nothing.
TEST_F(Module, RegistrationWritesTheClassesTheLibraryAndOnePlugInKey) {
  Install();
  std::string expected = FileBytes(std::string(QV_TEST_DATA) + "/registry/registered.reg");
  EXPECT_EQ(Hive(), expected);
  EXPECT_EQ(Call("DllRegisterServer"), S_OK);
  EXPECT_EQ(Hive(), expected);
}

// Unregistering takes away what registration wrote and nothing beside or above it.
TEST_F(Module, UnregistrationRemovesThePlugInKeyAndNothingBesideOrAboveIt) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE,
                          "Software\\Arvex\\Quovant\\QVNX\\Console\\PlugIns\\{OTHER}", &key),
            ERROR_SUCCESS);
  const char value[] = "kept";
  RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}", &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_TRUE(qv::FlushRegistry());
  const std::string before = Hive();
  Install();
  EXPECT_EQ(Call("DllUnregisterServer"), S_OK);
  ASSERT_TRUE(qv::FlushRegistry());
  // What registration made stays only as the empty keys above what it removed.
  EXPECT_EQ(Hive(), before +
                        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\TypeLib]\r\n"
                        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Interface]\r\n");
  // Unregistering what is not registered is no failure.
  EXPECT_EQ(Call("DllUnregisterServer"), S_OK);
}

// A module outside the world, or a damaged hive, fails the type library step; nothing written.
TEST_F(Module, RegistrationFailsForAModuleOutsideTheWorldAndForADamagedHive) {
  std::string why;
  auto outside = reinterpret_cast<HRESULT (*)()>(
      qv::com::ModuleEntry(qv::BuiltModulePath(), "DllRegisterServer", &why));
  ASSERT_NE(outside, nullptr) << why;
  EXPECT_EQ(static_cast<unsigned>(outside()), 0x80040200u);
  ASSERT_TRUE(qv::FlushRegistry());
  EXPECT_EQ(Hive(), "");
  CoFreeUnusedLibraries();

  const std::string host = world_.World().RegistryDir("ADMIN7") + "/HKLM.reg";
  ASSERT_TRUE(qv::WriteHostFileAtomic(host, "REGEDIT4\r\nnot a key\r\n"));
  qv::ResetRegistry();
  HRESULT result = S_OK;
  EXPECT_FALSE(qv::InstallModule(&why, &result));
  EXPECT_EQ(static_cast<unsigned>(result), 0x80040200u);
  EXPECT_EQ(FileBytes(host), "REGEDIT4\r\nnot a key\r\n");
  qv::TakeRegistryProblems();
}

// The registered control answers by the names its type library gives; the module serves its
// property page too, and no other class.
TEST_F(Module, TheControlAnswersByTheNamesOfItsTypeLibraryAndNoOtherClassIsServed) {
  Install();
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(CoCreateInstance(kControlClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(dispatch.Out())),
            S_OK);
  qv::com::TypeLibrary library;
  ASSERT_EQ(LoadRegTypeLib(kLibrary, 1, 0, 0, &library), S_OK);
  EXPECT_EQ(library.help, "QVccfg ActiveX Control module");
  EXPECT_EQ(library.modulePath, kModulePath);
  ASSERT_NE(library.Find(kDispatchIid), nullptr);
  ASSERT_NE(library.Find(kEventsIid), nullptr);
  EXPECT_EQ(library.Find(kEventsIid)->members.size(), 3u);
  for (const char* name : {"GetSharedMenu", "OnCommand", "GetMessageString", "AboutBox"}) {
    DISPID byLibrary = qv::com::FindDispId(*library.Find(kDispatchIid), name);
    DISPID byControl = DISPID_UNKNOWN;
    EXPECT_EQ(dispatch->GetIDOfName(name, &byControl), S_OK) << name;
    EXPECT_EQ(byLibrary, byControl) << name;
  }

  ComPtr<IUnknown> page;
  EXPECT_EQ(CoCreateInstance(kPropPageClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(page.Out())),
            S_OK);
  std::string why;
  auto getClassObject = reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(
      qv::com::ModuleEntry(ModuleHost(), "DllGetClassObject", &why));
  ASSERT_NE(getClassObject, nullptr) << why;
  void* factory = &why;
  const CLSID other{0xAE399779, 0x76F3, 0x11D1, {0x89, 0x69, 0, 0xA0, 0xC9, 0x32, 0x38, 7}};
  EXPECT_EQ(getClassObject(other, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
}

// The module stays loaded while an object lives or a factory is locked, and no longer.
TEST_F(Module, TheModuleUnloadsWhenItsLastObjectGoesAndNotBefore) {
  Install();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(Loaded());

  {
    ComPtr<IConsolePlugIn> plugIn = PlugIn();
    PlacedControl placed;
    ASSERT_EQ(placed.made, S_OK);
    EXPECT_TRUE(Loaded());
    plugIn.Reset();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(Loaded() && !qv::com::LoadedModules().empty()) << "unloaded under a living control";
  }

  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(kPlugInClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  factory->LockServer(TRUE);
  CoFreeUnusedLibraries();
  EXPECT_TRUE(Loaded() && !qv::com::LoadedModules().empty()) << "unloaded under a locked factory";
  factory->LockServer(FALSE);
  CoFreeUnusedLibraries();
  EXPECT_FALSE(Loaded());
  EXPECT_TRUE(qv::com::LoadedModules().empty());

  // The list the control showed kept its settings under the module's key, and nowhere else.
  ASSERT_TRUE(qv::FlushRegistry());
  std::vector<std::string> keys;
  for (const std::string& line : Lines(UserHive(), "\r\n"))
    if (line.starts_with("["))
      keys.push_back(line);
  EXPECT_EQ(keys, std::vector<std::string>{
                      "[HKEY_CURRENT_USER\\Software\\Arvex\\Quovant\\QVNX\\QVccfg]"});
  EXPECT_NE(UserHive().find("\"LastViewType\"="), std::string::npos) << UserHive();
}

// Each start of the module, after it was unloaded, takes the strings, the name and the help of
// the user's language: its own without a language library, else its German library's.
TEST_F(Module, StartUpTakesTheResourcesAndHelpOfTheUsersLanguage) {
  Install();
  const std::string folder = ModuleHost().substr(0, ModuleHost().rfind('/'));
  for (const auto& [lang, resources, help] :
       {std::tuple{"", &qv::OwnResources(), "QVCC.HLP"},
        std::tuple{"de_DE.UTF-8", &qv::GermanResources(), "QVCCDEU.HLP"}}) {
    SCOPED_TRACE(lang);
    setenv("LANG", lang, 1);
    qv::SetAppName("QVCCFG");
    CoFreeUnusedLibraries();
    EXPECT_EQ(DisplayName(), resources->FindString(IDS_PLUGIN_NAME));
    EXPECT_EQ(qv::AppName(), resources->FindString(IDS_APP_NAME));
    EXPECT_EQ(qv::HelpFilePath(), folder + "/help/" + help + "/index.html>ref");
  }
}

}  // namespace
