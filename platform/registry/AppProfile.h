// The application profile of the framework: named string and integer values kept in the
// registry under HKEY_CURRENT_USER\Software\<registry key>\<profile name>\<section>, where an
// empty profile name or section adds no level. With the registry key
// "Arvex\Quovant\QVNX\QVccfg" and both empty, the values lie directly under
// HKEY_CURRENT_USER\Software\Arvex\Quovant\QVNX\QVccfg.
#pragma once

#include <string>

#include "platform/base/wintypes.h"

namespace qv {

class AppProfile {
 public:
  void SetRegistryKey(std::string key) { registryKey_ = std::move(key); }
  void SetProfileName(std::string name) { profileName_ = std::move(name); }

  // The string value, or `def` when it is missing or not a string.
  std::string GetProfileString(const std::string& section, const std::string& entry,
                               const std::string& def = "") const;
  // Writes the value; a null value deletes it. TRUE on success (deleting a missing value
  // fails).
  BOOL WriteProfileString(const std::string& section, const std::string& entry,
                          const char* value) const;
  // The integer value, or `def` when it is missing or not an integer.
  UINT GetProfileInt(const std::string& section, const std::string& entry, int def) const;
  BOOL WriteProfileInt(const std::string& section, const std::string& entry, int value) const;

 private:
  std::string KeyPath(const std::string& section) const;

  std::string registryKey_;
  std::string profileName_;
};

// The one profile of this program.
AppProfile& TheAppProfile();

}  // namespace qv
