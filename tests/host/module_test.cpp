// QVCCFG.OCX as the console meets it: installed into the world, registered, its objects made
// by class id, its start-up (language, help, profile key), and its unloading. Nothing of the
// module is linked in here: every call goes through the module's four entry points.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/ConsolePlugIn.h"
#include "languages/de/GermanResources.h"
#include "platform/com/Bstr.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/Creation.h"
#include "platform/com/Dispatch.h"
#include "platform/com/TypeLib.h"
#include "platform/control/OleControl.h"
#include "platform/control/PropertyFrame.h"
#include "platform/path/HostFile.h"
#include "platform/registry/AppProfile.h"
#include "platform/registry/Registry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Ui.h"
#include "platform/ui/Wnd.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"
#include "tools/common/Install.h"

namespace {

using qv::com::ComPtr;

constexpr char kPlugInKey[] =
    "Software\\Arvex\\Quovant\\QVNX\\Console\\PlugIns\\{A48C4D90-9281-11d1-8971-00A0C9323807}";
constexpr char kModulePath[] = "C:\\Program Files\\Arvex\\QVNX\\Console\\QVCCFG.OCX";
const CLSID kPlugInClass{
    0xA48C4D90, 0x9281, 0x11D1, {0x89, 0x71, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};
const CLSID kControlClass{
    0xAE399777, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};
const CLSID kPropPageClass{
    0xAE399778, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};
const GUID kLibrary{0xAE399774, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};
const IID kDispatchIid{
    0xAE399775, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};
const IID kEventsIid{0xAE399776, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};

// The control made by its class id and placed in a window of its own, as the console does;
// taken down when it goes.
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
  PlacedControl(const PlacedControl&) = delete;
  PlacedControl& operator=(const PlacedControl&) = delete;

  HRESULT made = E_FAIL;
  ComPtr<IDispatch> control;
  ComPtr<IControlWindow> window;
};

// Every test starts with the module unloaded, so that its start-up runs again, in a world
// the module is installed and registered in.
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
    char name[256];
    std::memset(name, 'x', sizeof name);
    LONG value = 5;
    ComPtr<IConsolePlugIn> plugIn = PlugIn();
    if (plugIn.Get() == nullptr)
      return "";
    EXPECT_EQ(plugIn->GetDisplayName(0, name, &value), 1);
    EXPECT_EQ(value, 0);
    return name;
  }

  TestWorld world_;
  // The user's language: none (the module's own, English) unless a test says otherwise.
  ClearedEnvironment language_{{"LC_ALL", "LC_MESSAGES", "LANG"}};
};

// The hive after registration, line by line; registering again changes nothing, so there is
// one plug-in key.
TEST_F(Module, RegistrationWritesTheClassesTheLibraryAndOnePlugInKey) {
  Install();
  std::string expected = FileBytes(std::string(QV_TEST_DATA) + "/registry/registered.reg");
  ASSERT_FALSE(expected.empty());
  std::vector<std::string> want = Lines(expected, "\r\n"), got = Lines(Hive(), "\r\n");
  for (std::size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
    EXPECT_EQ(i < got.size() ? got[i] : "<missing>", i < want.size() ? want[i] : "<extra>")
        << "line " << i + 1;
  }
  std::string once = Hive();
  EXPECT_EQ(Call("DllRegisterServer"), S_OK);
  EXPECT_EQ(Hive(), once);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Arvex\\Quovant\\QVNX\\Console\\PlugIns", 0,
                          KEY_QUERY_VALUE, &key),
            ERROR_SUCCESS);
  char name[64];
  EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "{A48C4D90-9281-11d1-8971-00A0C9323807}");
  EXPECT_EQ(RegEnumKeyA(key, 1, name, sizeof name), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

// Unregistering takes away exactly what registration wrote: the plug-in key goes, its
// parent and a neighbour stay, and so does everything else in the hive.
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
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPlugInKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  // Unregistering what is not registered is no failure.
  EXPECT_EQ(Call("DllUnregisterServer"), S_OK);
  CLSID clsid{};
  EXPECT_EQ(CoCreateInstance(kPlugInClass, nullptr, CLSCTX_INPROC_SERVER, IID_IConsolePlugIn,
                             reinterpret_cast<void**>(&clsid)),
            REGDB_E_CLASSNOTREG);
}

// A module outside the world cannot name itself to the registry: the type library step
// fails and nothing is written. A damaged hive fails the same step.
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

// The console's way to the control: the plug-in key, the plug-in object, the class id it
// gives, which is the one registration wrote, and the control made by that id, callable by
// the names the registered type library gives.
TEST_F(Module, ThePlugInGivesTheRegisteredControlWhichAnswersByNameAndId) {
  Install();
  EXPECT_EQ(DisplayName(), "C&ustom Data Forms");
  ComPtr<IConsolePlugIn> plugIn = PlugIn();
  ASSERT_NE(plugIn.Get(), nullptr);
  EXPECT_EQ(plugIn->QueryFlagA(), 1);
  EXPECT_EQ(plugIn->QueryFlagB(), 1);
  EXPECT_EQ(plugIn->DeclineRequest(1, 2), 0);
  CLSID control{};
  EXPECT_EQ(plugIn->GetControlClsid(0, &control), 1);
  char text[64] = {};
  DWORD size = sizeof text;
  ASSERT_EQ(RegGetValueA(HKEY_CLASSES_ROOT, "QVCCFG.QVccfgCtrl.1\\CLSID", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(qv::com::FormatGuid(control), text);

  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(CoCreateInstance(control, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
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
  qv::com::Bstr message;
  VARIANT args[] = {VARIANT::FromLong(ID_TOOLBAR_REFRESH), VARIANT::RefString(message.Out())};
  ASSERT_EQ(dispatch->Invoke(4, DISPATCH_METHOD, args, nullptr), S_OK);
  EXPECT_EQ(message.Text(), "Refresh item information");

  // The property page is served too; the module serves nothing else.
  IUnknown* page = nullptr;
  EXPECT_EQ(CoCreateInstance(kPropPageClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&page)),
            S_OK);
  if (page != nullptr)
    page->Release();
  std::string why;
  auto getClassObject = reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(
      qv::com::ModuleEntry(ModuleHost(), "DllGetClassObject", &why));
  ASSERT_NE(getClassObject, nullptr) << why;
  void* factory = &why;
  const CLSID other{0xAE399779, 0x76F3, 0x11D1, {0x89, 0x69, 0, 0xA0, 0xC9, 0x32, 0x38, 7}};
  EXPECT_EQ(getClassObject(other, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
}

// The module stays loaded while any object of it lives, or a factory is locked, and goes
// when the last one does.
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
    EXPECT_TRUE(Loaded()) << "unloaded under a living control";
  }

  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(kPlugInClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  factory->LockServer(TRUE);
  CoFreeUnusedLibraries();
  EXPECT_TRUE(Loaded()) << "unloaded under a locked factory";
  factory->LockServer(FALSE);
  CoFreeUnusedLibraries();
  EXPECT_FALSE(Loaded());
  EXPECT_TRUE(qv::com::LoadedModules().empty());

  // Made again after unloading: the module is loaded afresh and starts again.
  EXPECT_EQ(DisplayName(), "C&ustom Data Forms");
}

// Start-up without a language library: the module's own strings, the help file with its
// window, and the profile directly under the module's key, where the view keeps its
// settings.
TEST_F(Module, StartUpUsesTheModulesOwnResourcesAndItsProfileKey) {
  Install();
  qv::SetAppName("QVCCFG");
  CoFreeUnusedLibraries();
  ComPtr<IConsolePlugIn> plugIn = PlugIn();
  EXPECT_EQ(qv::AppName(), "Form Designer");
  const std::string folder = ModuleHost().substr(0, ModuleHost().rfind('/'));
  EXPECT_EQ(qv::HelpFilePath(), folder + "/help/QVCC.HLP/index.html>ref");
  ASSERT_EQ(PlacedControl().made, S_OK);
  ASSERT_TRUE(qv::FlushRegistry());
  std::vector<std::string> lines = Lines(UserHive(), "\r\n");
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2], "[HKEY_CURRENT_USER\\Software\\Arvex\\Quovant\\QVNX\\QVccfg]");
  for (const std::string& line : lines) {
    if (line.starts_with("[")) {
      EXPECT_EQ(line, "[HKEY_CURRENT_USER\\Software\\Arvex\\Quovant\\QVNX\\QVccfg]");
    }
  }
  EXPECT_NE(UserHive().find("\"LastViewType\"="), std::string::npos) << UserHive();
}

// The user at the property sheet: presses Apply (which is not offered, so nothing happens),
// then OK.
class SheetUser : public qv::ui::EventSource {
 public:
  SheetUser() { qv::ui::SetEventSource(this); }
  ~SheetUser() override { qv::ui::SetEventSource(nullptr); }
  SheetUser(const SheetUser&) = delete;
  SheetUser& operator=(const SheetUser&) = delete;

  bool WaitForInput() override {
    qv::ui::Snapshot snapshot = qv::ui::TakeSnapshot();
    const qv::ui::WindowState* sheet = snapshot.Top();
    if (sheet == nullptr || step > 1)
      return false;
    if (step++ == 0) {
      caption = sheet->text;
      const qv::ui::WindowState* apply = sheet->Find(ID_APPLY_NOW);
      applyOffered = apply != nullptr && apply->enabled;
      qv::ui::Click(ID_APPLY_NOW);
    } else {
      qv::ui::Click(IDOK);
    }
    return true;
  }

  int step = 0;
  std::string caption;
  bool applyOffered = true;
};

// The control made by class id shows its property page by its Properties verb; applying it
// and pressing OK change nothing: not the border style, not a hive.
TEST_F(Module, ThePropertyPageAppliedChangesNothing) {
  Install();
  PlacedControl placed;
  ASSERT_EQ(placed.made, S_OK);
  IDispatch* control = placed.control.Get();
  qv::ui::RunMessageLoop();
  ASSERT_TRUE(qv::FlushRegistry());
  const std::string machine = Hive(), user = UserHive();
  VARIANT border;
  ASSERT_EQ(control->Invoke(DISPID_BORDERSTYLE, DISPATCH_PROPERTYGET, {}, &border), S_OK);
  {
    SheetUser user;
    EXPECT_EQ(placed.window->DoVerb(OLEIVERB_PROPERTIES), S_OK);
    EXPECT_EQ(user.caption, "QVccfg Control Properties");
    EXPECT_FALSE(user.applyOffered);
    EXPECT_EQ(user.step, 2);
  }
  VARIANT after;
  ASSERT_EQ(control->Invoke(DISPID_BORDERSTYLE, DISPATCH_PROPERTYGET, {}, &after), S_OK);
  EXPECT_EQ(after.Short(), border.Short());
  ASSERT_TRUE(qv::FlushRegistry());
  EXPECT_EQ(Hive(), machine);
  EXPECT_EQ(UserHive(), user);
}

// With German chosen, the module takes its resources from its German library: the plug-in's
// name, the application's name, the help and the control's prompts.
TEST_F(Module, WithGermanChosenTheModuleSpeaksGerman) {
  setenv("LANG", "de_DE.UTF-8", 1);
  Install();
  const qv::ResourceModule& german = qv::GermanResources();
  EXPECT_EQ(DisplayName(), german.FindString(IDS_PLUGIN_NAME));
  EXPECT_EQ(qv::AppName(), german.FindString(IDS_APP_NAME));
  EXPECT_TRUE(qv::HelpFilePath().ends_with("/help/QVCCDEU.HLP/index.html>ref"))
      << qv::HelpFilePath();
  PlacedControl placed;
  ASSERT_EQ(placed.made, S_OK);
  qv::com::Bstr prompt;
  VARIANT args[] = {VARIANT::FromLong(ID_TOOLBAR_REFRESH), VARIANT::RefString(prompt.Out())};
  ASSERT_EQ(placed.control->Invoke(4, DISPATCH_METHOD, args, nullptr), S_OK);
  const std::string text = german.FindString(ID_TOOLBAR_REFRESH);
  EXPECT_EQ(prompt.Text(), text.substr(0, text.find('\n')));
}

// A language library without string IDS_PLUGIN_NAME gives the plug-in the name "PlugIn".
// (Installed while no language is chosen, so that the registration loads no language library,
// which would then stay loaded.)
TEST_F(Module, ALanguageLibraryWithoutTheDisplayNameGivesPlugIn) {
  Install();
  std::string bytes;
  ASSERT_TRUE(qv::ReadHostFile(QV_LACKING_LANGUAGE, &bytes));
  const std::string folder = ModuleHost().substr(0, ModuleHost().rfind('/'));
  ASSERT_TRUE(qv::WriteHostFileAtomic(folder + "/languages/QVCCDEU.DLL", bytes));
  CoFreeUnusedLibraries();
  setenv("LC_ALL", "de_AT", 1);
  EXPECT_EQ(DisplayName(), "PlugIn");
  EXPECT_EQ(qv::AppName(), qv::GermanResources().FindString(IDS_APP_NAME));
}

}  // namespace
