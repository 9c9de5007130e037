// Core server access: where this console reaches the core server's main directory and its
// scripts directory.
//
// CRemoteRegistry reads one value of another computer's HKEY_LOCAL_MACHINE over the network.
// It lives for one lookup; its destruction closes the key and, when it was connected to
// another computer, cancels the IPC$ connection that the connection opened.
#pragma once

#include <optional>
#include <string>

#include "platform/registry/Registry.h"

class CRemoteRegistry {
 public:
  static constexpr DWORD kValueBufferSize = 260;

  CRemoteRegistry() = default;
  ~CRemoteRegistry();
  CRemoteRegistry(const CRemoteRegistry&) = delete;
  CRemoteRegistry& operator=(const CRemoteRegistry&) = delete;

  // Connects to HKEY_LOCAL_MACHINE of `computerName` (kept as the computer name when not
  // empty). 1 on success, else 0.
  int Connect(const std::string& computerName);
  // Reads value `valueName` of key `keyPath` into value (at most 259 characters; the type is
  // not looked at). 1 when the key opened and the value was read, else 0.
  int QueryValue(const std::string& keyPath, const std::string& valueName, std::string& value);

 private:
  HKEY m_hKey = nullptr;
  int m_bConnected = 0;
  std::string m_strComputerName;
};

// The core server's main path as this console reaches it: its "Main Path" registry value when
// the core server is this computer, else "\\<CORE>\QVMAIN". False when the core server name
// is unknown, its registry cannot be reached, or the value is missing (also when it would
// not be used). The lookup connects through a CRemoteRegistry made in `registry` once the core
// server's name is known; the caller's destruction of it ends the connection.
bool FindMainPath(std::optional<CRemoteRegistry>& registry, std::string* mainPath);

// The scripts directory, main path + "\SCRIPTS\", or "" when the main path is not found.
// Shows the wait cursor while it works.
std::string FindScriptsDirectory();
