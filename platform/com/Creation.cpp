#include "platform/com/Creation.h"

#include <dlfcn.h>

#include <vector>

#include "platform/com/ClassFactory.h"
#include "platform/path/World.h"
#include "platform/registry/Registry.h"

namespace qv::com {
namespace {

using GetClassObjectEntry = HRESULT (*)(REFCLSID, REFIID, void**);
using CanUnloadNowEntry = HRESULT (*)();

struct LoadedModule {
  std::string host;
  void* handle = nullptr;
};

std::vector<LoadedModule>& Loaded() {
  static std::vector<LoadedModule> modules;
  return modules;
}

std::string& Problem() {
  static std::string problem;
  return problem;
}

HRESULT Fail(HRESULT result, std::string why) {
  Problem() = std::move(why);
  return result;
}

void* Load(const std::string& host, std::string* why) {
  for (const LoadedModule& module : Loaded()) {
    if (module.host == host)
      return module.handle;
  }
  // Local symbols: two modules never see each other's names.
  void* handle = ::dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = ::dlerror();
    *why = "cannot load " + host + ": " + (error != nullptr ? error : "unknown error");
    return nullptr;
  }
  Loaded().push_back({host, handle});
  return handle;
}

// The registered module path of a class: its Windows path, mapped through the world.
HRESULT ServerPath(REFCLSID clsid, std::string* host) {
  std::string key = "CLSID\\" + FormatGuid(clsid) + "\\InprocServer32";
  char path[1024] = {};
  DWORD size = sizeof path;
  DWORD type = 0;
  LONG error = RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(path), &size);
  if (error != ERROR_SUCCESS || type != REG_SZ || path[0] == '\0')
    return Fail(REGDB_E_CLASSNOTREG, "the class " + FormatGuid(clsid) + " is not registered");
  World* world = World::Current();
  std::string why = "there is no world";
  if (world == nullptr || !world->MapPath(path, host, &why))
    return Fail(CO_E_DLLNOTFOUND, std::string("the module ") + path + " of the class " +
                                      FormatGuid(clsid) + " cannot be reached: " + why);
  return S_OK;
}

}  // namespace

void* ModuleEntry(const std::string& hostPath, const char* name, std::string* why) {
  void* handle = Load(hostPath, why);
  if (handle == nullptr)
    return nullptr;
  void* entry = ::dlsym(handle, name);
  if (entry == nullptr)
    *why = hostPath + " exports no " + name;
  return entry;
}

std::string LastCreationProblem() {
  return Problem();
}

std::vector<std::string> LoadedModules() {
  std::vector<std::string> hosts;
  for (const LoadedModule& module : Loaded())
    hosts.push_back(module.host);
  return hosts;
}

}  // namespace qv::com

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* /*reserved*/, REFIID iid,
                         void** object) {
  if (object == nullptr)
    return E_POINTER;
  *object = nullptr;
  if ((context & CLSCTX_INPROC_SERVER) == 0)
    return E_INVALIDARG;
  std::string host;
  if (HRESULT result = qv::com::ServerPath(clsid, &host); FAILED(result))
    return result;
  std::string why;
  void* handle = qv::com::Load(host, &why);
  if (handle == nullptr)
    return qv::com::Fail(CO_E_DLLNOTFOUND, why);
  auto entry = reinterpret_cast<qv::com::GetClassObjectEntry>(::dlsym(handle, "DllGetClassObject"));
  if (entry == nullptr)
    return qv::com::Fail(CO_E_ERRORINDLL, host + " exports no DllGetClassObject");
  HRESULT result = entry(clsid, iid, object);
  if (FAILED(result)) {
    *object = nullptr;
    return qv::com::Fail(result,
                         host + " gives no factory for the class " + qv::com::FormatGuid(clsid));
  }
  return result;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
  if (object == nullptr)
    return E_POINTER;
  *object = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT result = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory,
                                    reinterpret_cast<void**>(&factory));
  if (FAILED(result))
    return result;
  result = factory->CreateInstance(outer, iid, object);
  factory->Release();
  if (FAILED(result)) {
    *object = nullptr;
    return qv::com::Fail(
        result, "the factory of the class " + qv::com::FormatGuid(clsid) + " made no object");
  }
  return result;
}

void CoFreeUnusedLibraries() {
  auto& loaded = qv::com::Loaded();
  for (auto it = loaded.begin(); it != loaded.end();) {
    auto canUnload =
        reinterpret_cast<qv::com::CanUnloadNowEntry>(::dlsym(it->handle, "DllCanUnloadNow"));
    if (canUnload != nullptr && canUnload() == S_OK) {
      ::dlclose(it->handle);
      it = loaded.erase(it);
    } else {
      ++it;
    }
  }
}
