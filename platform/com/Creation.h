// Creation of objects by class id, as a container makes the controls and plug-ins it hosts.
//
// A class is registered under HKEY_CLASSES_ROOT\CLSID\{class id}\InprocServer32, whose default
// value is the Windows path of the module (a shared library) that serves it. Creation reads
// that path from the world's registry, maps it through the world, loads the module once per
// process (later requests find it loaded), asks its exported DllGetClassObject for the class
// factory, and asks the factory for the object. CoFreeUnusedLibraries unloads the modules
// whose DllCanUnloadNow answers S_OK: no object of theirs lives and none is locked.
//
// The entry points a module exports, with C linkage:
//   HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
//   HRESULT DllCanUnloadNow();
//   HRESULT DllRegisterServer();
//   HRESULT DllUnregisterServer();
//
// Errors come back as HRESULTs; LastCreationProblem() says in words what went wrong with the
// last failed load or creation.
#pragma once

#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"

// Where the object runs: only in this process, from a module it loads.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;

// The module named by the registry cannot be found or loaded.
inline constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8);
// The module lacks an entry point it must export.
inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9);

// Finds the class's factory and stores its interface `iid` in *object. REGDB_E_CLASSNOTREG
// when the class or its InprocServer32 path is not registered, CO_E_DLLNOTFOUND when the path
// cannot be mapped or the module not loaded, CO_E_ERRORINDLL when it exports no
// DllGetClassObject, else what DllGetClassObject answers (CLASS_E_CLASSNOTAVAILABLE for a
// class the module does not serve). E_INVALIDARG for a context without
// CLSCTX_INPROC_SERVER. *object is null on failure.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID iid, void** object);
// CoGetClassObject, then the factory's CreateInstance(outer, iid, object); the factory is
// released again.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);
// Unloads every module loaded by creation whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();

namespace qv::com {

// The entry point `name` of the module file at `hostPath`, loading it when this process has
// not (it then stays loaded until CoFreeUnusedLibraries finds it idle). Null, with the
// reason in *why, when the file cannot be loaded or lacks the entry.
void* ModuleEntry(const std::string& hostPath, const char* name, std::string* why);
// The words for the last failure of creation or ModuleEntry.
std::string LastCreationProblem();
// The host paths of the modules loaded now, in loading order.
std::vector<std::string> LoadedModules();

}  // namespace qv::com
