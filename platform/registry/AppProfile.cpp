#include "platform/registry/AppProfile.h"

#include <cstring>

#include "platform/registry/Registry.h"

namespace qv {
namespace {

// Closes the key at the end of a scope.
class KeyHolder {
 public:
  KeyHolder() = default;
  KeyHolder(const KeyHolder&) = delete;
  KeyHolder& operator=(const KeyHolder&) = delete;
  ~KeyHolder() {
    if (key != nullptr)
      RegCloseKey(key);
  }
  HKEY key = nullptr;
};

}  // namespace

std::string AppProfile::KeyPath(const std::string& section) const {
  std::string path = "Software\\" + registryKey_;
  if (!profileName_.empty())
    path += "\\" + profileName_;
  if (!section.empty())
    path += "\\" + section;
  return path;
}

std::string AppProfile::GetProfileString(const std::string& section, const std::string& entry,
                                         const std::string& def) const {
  // Most values fit the first buffer; a longer one is read again at its size.
  std::string path = KeyPath(section);
  DWORD type = 0;
  std::string value(256, '\0');
  DWORD size = static_cast<DWORD>(value.size());
  LONG result = RegGetValueA(HKEY_CURRENT_USER, path.c_str(), entry.c_str(), &type,
                             reinterpret_cast<BYTE*>(value.data()), &size);
  if (result == ERROR_MORE_DATA) {
    value.assign(size, '\0');
    result = RegGetValueA(HKEY_CURRENT_USER, path.c_str(), entry.c_str(), &type,
                          reinterpret_cast<BYTE*>(value.data()), &size);
  }
  if (result != ERROR_SUCCESS || type != REG_SZ)
    return def;
  value.resize(strnlen(value.c_str(), size));
  return value;
}

BOOL AppProfile::WriteProfileString(const std::string& section, const std::string& entry,
                                    const char* value) const {
  KeyHolder holder;
  if (value == nullptr) {
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath(section).c_str(), 0, KEY_SET_VALUE, &holder.key) !=
        ERROR_SUCCESS)
      return FALSE;
    return RegDeleteValueA(holder.key, entry.c_str()) == ERROR_SUCCESS;
  }
  if (RegCreateKeyA(HKEY_CURRENT_USER, KeyPath(section).c_str(), &holder.key) != ERROR_SUCCESS)
    return FALSE;
  return RegSetValueExA(holder.key, entry.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                        static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
}

UINT AppProfile::GetProfileInt(const std::string& section, const std::string& entry,
                               int def) const {
  DWORD type = 0;
  DWORD number = 0;
  DWORD size = sizeof number;
  if (RegGetValueA(HKEY_CURRENT_USER, KeyPath(section).c_str(), entry.c_str(), &type,
                   reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return static_cast<UINT>(def);
  return number;
}

BOOL AppProfile::WriteProfileInt(const std::string& section, const std::string& entry,
                                 int value) const {
  KeyHolder holder;
  if (RegCreateKeyA(HKEY_CURRENT_USER, KeyPath(section).c_str(), &holder.key) != ERROR_SUCCESS)
    return FALSE;
  DWORD number = static_cast<DWORD>(value);
  return RegSetValueExA(holder.key, entry.c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&number), sizeof number) == ERROR_SUCCESS;
}

AppProfile& TheAppProfile() {
  static AppProfile profile;
  return profile;
}

}  // namespace qv
