// The entry points of QVCCFG.OCX, the only names it exports (host/QVCCFG.map): class
// factories for the control, its property page and the console plug-in object, the answer to
// whether the module may be unloaded, and its registration.
#include <cstdint>

#include "host/ModuleLock.h"
#include "host/QVccfgApp.h"
#include "host/QVccfgCtrl.h"
#include "host/QVccfgPlugIn.h"
#include "host/QVccfgPropPage.h"
#include "host/TypeLibrary.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/Registration.h"
#include "platform/registry/Registry.h"
#include "resources/StringTable.h"

extern "C" HRESULT DllRegisterServer();
extern "C" HRESULT DllUnregisterServer();
extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
extern "C" HRESULT DllCanUnloadNow();

namespace {

constexpr const char* kControlProgId = "QVCCFG.QVccfgCtrl.1";
constexpr UINT kControlTypeName = 1;
constexpr UINT kPropPageName = 2;
constexpr int kToolboxBitmap = 1;
// Activate when visible, set client site first, inside-out, cannot link inside, recompose on
// resize.
constexpr DWORD kControlMiscStatus = 0x20191;

void Lock(BOOL lock) {
  if (lock)
    LockModule();
  else
    UnlockModule();
}

IUnknown* CreateControl() {
  return static_cast<IDispatch*>(new CQVccfgCtrl());
}
IUnknown* CreatePropPage() {
  return static_cast<IUnknown*>(static_cast<IPropertyPage*>(new CQVccfgPropPage()));
}
IUnknown* CreatePlugIn() {
  return new CQVccfgPlugIn();
}

qv::com::ObjectFactory g_controlFactory(CQVccfgCtrl::kClassId, CreateControl, Lock);
qv::com::ObjectFactory g_propPageFactory(CQVccfgPropPage::kClassId, CreatePropPage, Lock);
qv::com::ObjectFactory g_plugInFactory(CQVccfgPlugIn::kClassId, CreatePlugIn, Lock);
qv::com::ObjectFactory* const g_factories[] = {&g_controlFactory, &g_propPageFactory,
                                               &g_plugInFactory};

// Each factory's part of the registration; false when the registry refused it.
bool UpdateRegistry(const qv::com::ObjectFactory& factory, bool add, const std::string& path) {
  if (&factory == &g_controlFactory) {
    if (!add)
      return qv::com::UnregisterClass(CQVccfgCtrl::kClassId, kControlProgId);
    qv::com::ControlClass control;
    control.clsid = CQVccfgCtrl::kClassId;
    control.progId = kControlProgId;
    control.typeName = LoadResString(kControlTypeName);
    control.toolboxBitmap = kToolboxBitmap;
    control.miscStatus = kControlMiscStatus;
    control.libid = LIBID_QVCCFGLib;
    control.major = kQVCCFGLibMajor;
    control.minor = kQVCCFGLibMinor;
    return qv::com::RegisterControlClass(control, path);
  }
  if (&factory == &g_propPageFactory) {
    if (!add)
      return qv::com::UnregisterClass(CQVccfgPropPage::kClassId, "");
    return qv::com::RegisterPropertyPageClass(CQVccfgPropPage::kClassId,
                                              LoadResString(kPropPageName), path);
  }
  // The plug-in: the console's key first, made and closed at once, its result not asked.
  if (add) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, CQVccfgPlugIn::kConsoleKey, &key) == ERROR_SUCCESS)
      RegCloseKey(key);
    return qv::com::RegisterServerClass(CQVccfgPlugIn::kClassId, CQVccfgPlugIn::kProgId, path);
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, CQVccfgPlugIn::kConsoleKey);
  return qv::com::UnregisterClass(CQVccfgPlugIn::kClassId, CQVccfgPlugIn::kProgId);
}

// The folder of a Windows path.
std::string FolderOf(const std::string& path) {
  return path.substr(0, path.rfind('\\'));
}

}  // namespace

CQVccfgApp& TheApp() {
  static CQVccfgApp app(reinterpret_cast<HINSTANCE>(&TheApp));
  return app;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                            REFIID iid,
                                                                            void** object) {
  if (object == nullptr)
    return E_POINTER;
  *object = nullptr;
  if (!TheApp().Start())
    return E_UNEXPECTED;
  for (qv::com::ObjectFactory* factory : g_factories) {
    if (factory->ClassId() == clsid)
      return factory->QueryInterface(iid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {
  if (!TheApp().Start())
    return E_UNEXPECTED;
  // The module's path as the world names it: what a host maps back to load it.
  std::string path = qv::com::ModuleWindowsPath(reinterpret_cast<const void*>(&TheApp));
  if (path.empty() || FAILED(RegisterTypeLib(QVccfgTypeLibrary(), path, FolderOf(path))) ||
      !qv::FlushRegistry())
    return SELFREG_E_TYPELIB;
  for (const qv::com::ObjectFactory* factory : g_factories) {
    if (!UpdateRegistry(*factory, true, path))
      return SELFREG_E_CLASS;
  }
  return qv::FlushRegistry() ? S_OK : SELFREG_E_CLASS;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
  if (!TheApp().Start())
    return E_UNEXPECTED;
  if (FAILED(UnRegisterTypeLib(LIBID_QVCCFGLib, kQVCCFGLibMajor, kQVCCFGLibMinor, 0)) ||
      !qv::FlushRegistry())
    return SELFREG_E_TYPELIB;
  for (const qv::com::ObjectFactory* factory : g_factories) {
    if (!UpdateRegistry(*factory, false, ""))
      return SELFREG_E_CLASS;
  }
  return qv::FlushRegistry() ? S_OK : SELFREG_E_CLASS;
}
