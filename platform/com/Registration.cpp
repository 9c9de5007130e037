#include "platform/com/Registration.h"

#include <dlfcn.h>
#include <stdlib.h>

#include "platform/path/World.h"

namespace qv::com {
namespace {

std::string ClassKey(REFCLSID clsid) {
  return "CLSID\\" + FormatGuid(clsid);
}

bool RegisterInproc(REFCLSID clsid, const std::string& name, const std::string& modulePath) {
  std::string key = ClassKey(clsid);
  return SetKeyString(HKEY_CLASSES_ROOT, key, "", name) &&
         SetKeyString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "", modulePath) &&
         SetKeyString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel", "Apartment");
}

// A key that says what it says by being there.
bool CreateKey(HKEY root, const std::string& path) {
  HKEY opened = nullptr;
  if (RegCreateKeyA(root, path.c_str(), &opened) != ERROR_SUCCESS)
    return false;
  RegCloseKey(opened);
  return true;
}

bool RegisterProgId(REFCLSID clsid, const std::string& progId, const std::string& name) {
  return SetKeyString(HKEY_CLASSES_ROOT, ClassKey(clsid) + "\\ProgID", "", progId) &&
         SetKeyString(HKEY_CLASSES_ROOT, progId, "", name) &&
         SetKeyString(HKEY_CLASSES_ROOT, progId + "\\CLSID", "", FormatGuid(clsid));
}

}  // namespace

std::string ModuleWindowsPath(const void* address) {
  Dl_info info{};
  World* world = World::Current();
  if (world == nullptr || ::dladdr(address, &info) == 0 || info.dli_fname == nullptr)
    return "";
  char* real = ::realpath(info.dli_fname, nullptr);
  if (real == nullptr)
    return "";
  std::string host = real;
  ::free(real);
  std::string windows;
  return world->HostToWindows(host, &windows) ? windows : "";
}

LONG OpenKey(HKEY root, const std::string& path, RegistryKey* key) {
  HKEY opened = nullptr;
  LONG error = RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &opened);
  if (error == ERROR_SUCCESS)
    key->reset(opened);
  return error;
}

bool SubKeyNames(HKEY root, const std::string& path, std::vector<std::string>* names) {
  RegistryKey key;
  LONG error = OpenKey(root, path, &key);
  if (error == ERROR_FILE_NOT_FOUND)
    return true;
  char name[MAX_PATH];
  for (DWORD i = 0; error == ERROR_SUCCESS; ++i) {
    error = RegEnumKeyA(key.get(), i, name, sizeof name);
    if (error == ERROR_SUCCESS)
      names->push_back(name);
  }
  return error == ERROR_NO_MORE_ITEMS;
}

namespace {

// Sets one value of the key `path`, creating the key.
bool SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const void* data, DWORD size) {
  HKEY opened = nullptr;
  if (RegCreateKeyA(root, path.c_str(), &opened) != ERROR_SUCCESS)
    return false;
  RegistryKey key(opened);
  return RegSetValueExA(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
         ERROR_SUCCESS;
}

}  // namespace

bool SetKeyString(HKEY root, const std::string& path, const std::string& name,
                  const std::string& value) {
  return SetValue(root, path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool SetKeyDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
  return SetValue(root, path, name, REG_DWORD, &value, sizeof value);
}

bool DeleteKeyTree(HKEY root, const std::string& path) {
  RegistryKey key;
  LONG error = OpenKey(root, path, &key);
  if (error == ERROR_FILE_NOT_FOUND)
    return true;
  std::vector<std::string> names;
  if (error != ERROR_SUCCESS || !SubKeyNames(key.get(), "", &names))
    return false;
  for (const std::string& name : names) {
    if (!DeleteKeyTree(key.get(), name))
      return false;
  }
  key.reset();
  error = RegDeleteKeyA(root, path.c_str());
  return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND;
}

bool RegisterControlClass(const ControlClass& control, const std::string& modulePath) {
  std::string key = ClassKey(control.clsid);
  std::string version = std::to_string(control.major) + "." + std::to_string(control.minor);
  return RegisterInproc(control.clsid, control.typeName, modulePath) &&
         RegisterProgId(control.clsid, control.progId, control.typeName) &&
         CreateKey(HKEY_CLASSES_ROOT, key + "\\Control") &&
         SetKeyString(HKEY_CLASSES_ROOT, key + "\\ToolboxBitmap32", "",
                      modulePath + ", " + std::to_string(control.toolboxBitmap)) &&
         SetKeyString(HKEY_CLASSES_ROOT, key + "\\MiscStatus", "", "0") &&
         SetKeyString(HKEY_CLASSES_ROOT, key + "\\MiscStatus\\1", "",
                      std::to_string(control.miscStatus)) &&
         SetKeyString(HKEY_CLASSES_ROOT, key + "\\TypeLib", "", FormatGuid(control.libid)) &&
         SetKeyString(HKEY_CLASSES_ROOT, key + "\\Version", "", version);
}

bool RegisterPropertyPageClass(REFCLSID clsid, const std::string& name,
                               const std::string& modulePath) {
  return RegisterInproc(clsid, name, modulePath);
}

bool RegisterServerClass(REFCLSID clsid, const std::string& progId, const std::string& modulePath) {
  return RegisterInproc(clsid, progId, modulePath) && RegisterProgId(clsid, progId, progId);
}

bool UnregisterClass(REFCLSID clsid, const std::string& progId) {
  bool ok = DeleteKeyTree(HKEY_CLASSES_ROOT, ClassKey(clsid));
  if (!progId.empty())
    ok = DeleteKeyTree(HKEY_CLASSES_ROOT, progId) && ok;
  return ok;
}

}  // namespace qv::com
