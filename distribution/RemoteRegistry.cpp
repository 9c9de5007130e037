#include "distribution/RemoteRegistry.h"

#include <cstring>

#include "platform/tasklib/TaskLib.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/WaitCursor.h"

namespace {

constexpr const char* kInstallKey = "SOFTWARE\\Arvex\\Quovant\\QVNX\\Install";
constexpr const char* kMainPathValue = "Main Path";

// This computer's name from a buffer of `size` characters; "" when it does not fit.
std::string ComputerName(DWORD size) {
  std::string buffer(size, '\0');
  if (!GetComputerNameA(buffer.data(), &size))
    return std::string();
  buffer.resize(size);
  return buffer;
}

}  // namespace

CRemoteRegistry::~CRemoteRegistry() {
  if (m_hKey != nullptr)
    RegCloseKey(m_hKey);
  std::string self = ComputerName(256);
  if (!qv::EqualsNoCase(self, m_strComputerName)) {
    std::string connection = "\\\\" + m_strComputerName + "\\ipc$";
    WNetCancelConnection2A(connection.c_str(), 0, FALSE);
  }
}

int CRemoteRegistry::Connect(const std::string& computerName) {
  if (!computerName.empty())
    m_strComputerName = computerName;
  std::string machine = "\\\\" + computerName;
  m_bConnected =
      RegConnectRegistryA(machine.c_str(), HKEY_LOCAL_MACHINE, &m_hKey) == ERROR_SUCCESS ? 1 : 0;
  return m_bConnected;
}

int CRemoteRegistry::QueryValue(const std::string& keyPath, const std::string& valueName,
                                std::string& value) {
  if (m_bConnected == 0)
    return 0;
  HKEY key = nullptr;
  bool ok = RegOpenKeyExA(m_hKey, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS;
  char buffer[kValueBufferSize] = {};
  if (ok) {
    DWORD size = sizeof buffer;
    DWORD type = 0;
    ok = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                          &size) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  value.assign(buffer, strnlen(buffer, sizeof buffer));
  return ok ? 1 : 0;
}

bool FindMainPath(std::optional<CRemoteRegistry>& registry, std::string* mainPath) {
  char core[256] = {};
  if (!GetCoreServerName(core, sizeof core))
    return false;
  std::string coreName = qv::ToUpper(std::string(core, strnlen(core, sizeof core)));
  std::string self = qv::ToUpper(ComputerName(16));
  registry.emplace();
  if (!registry->Connect(coreName))
    return false;
  if (!registry->QueryValue(kInstallKey, kMainPathValue, *mainPath))
    return false;
  if (self != coreName)
    *mainPath = "\\\\" + coreName + "\\QVMAIN";
  return true;
}

std::string FindScriptsDirectory() {
  CWaitCursor wait;
  std::optional<CRemoteRegistry> registry;
  std::string mainPath;
  if (!FindMainPath(registry, &mainPath))
    return std::string();
  return mainPath + "\\SCRIPTS\\";
}
