// What a module writes into HKEY_CLASSES_ROOT when it registers its classes, and removes when
// it unregisters them: the class key (its name, InprocServer32 with the module's Windows path
// and threading model, ProgID), the program id key that leads back to the class, and for a
// control the keys a container reads (Control, ToolboxBitmap32, MiscStatus, TypeLib, Version).
//
// Each returns true on success; false when the registry refused a key or value (a damaged or
// unreadable hive).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/com/Guid.h"
#include "platform/registry/Registry.h"

namespace qv::com {

// The Windows path of the module file that holds `address` (any function or object of it),
// as the world names it; "" when the file lies outside every drive of the world.
std::string ModuleWindowsPath(const void* address);

struct ControlClass {
  CLSID clsid{};
  std::string progId;
  std::string typeName;  // the class key's default value
  int toolboxBitmap = 0;
  DWORD miscStatus = 0;
  GUID libid{};
  WORD major = 0, minor = 0;
};

// A control class served by the module at `modulePath`, apartment threaded.
bool RegisterControlClass(const ControlClass& control, const std::string& modulePath);
// A property page class named `name`, apartment threaded.
bool RegisterPropertyPageClass(REFCLSID clsid, const std::string& name,
                               const std::string& modulePath);
// A class known by its program id only: the class key and the program id key both carry the
// program id as their name.
bool RegisterServerClass(REFCLSID clsid, const std::string& progId, const std::string& modulePath);
// Removes the class key and the program id key (when `progId` is not empty) with everything
// below them. Keys already gone are no failure.
bool UnregisterClass(REFCLSID clsid, const std::string& progId);

// An open registry key, closed when it goes.
struct RegistryKeyCloser {
  void operator()(HKEY__* key) const { RegCloseKey(key); }
};
using RegistryKey = std::unique_ptr<HKEY__, RegistryKeyCloser>;
// Opens the key `path` below `root` into *key: ERROR_SUCCESS, or the error
// (ERROR_FILE_NOT_FOUND for a missing key).
LONG OpenKey(HKEY root, const std::string& path, RegistryKey* key);
// The names of the keys directly below `path`; false when the key cannot be read (a missing
// key has none).
bool SubKeyNames(HKEY root, const std::string& path, std::vector<std::string>* names);

// Deletes the key `path` below `root` and every key below it. True when it is gone (also when
// it never was).
bool DeleteKeyTree(HKEY root, const std::string& path);
// Sets the string value `name` ("" the default) of the key `path` below `root`, creating it.
bool SetKeyString(HKEY root, const std::string& path, const std::string& name,
                  const std::string& value);
// The same for a 32-bit value.
bool SetKeyDword(HKEY root, const std::string& path, const std::string& name, DWORD value);

}  // namespace qv::com
