#include "tools/qvccfg/ModuleCommands.h"

#include <cstdio>
#include <cstring>

#include "host/ConsolePlugIn.h"
#include "platform/com/Creation.h"
#include "platform/com/Registration.h"
#include "platform/path/World.h"
#include "platform/registry/Registry.h"
#include "tools/common/Json.h"
#include "tools/common/Programs.h"

namespace qv {
namespace {

// Where the console looks for its plug-ins, below HKEY_LOCAL_MACHINE.
constexpr char kPlugInsKey[] = "Software\\Arvex\\Quovant\\QVNX\\Console\\PlugIns";
// Room the console gives a display name.
constexpr std::size_t kDisplayNameRoom = 256;

std::string Hex(HRESULT result) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
  return code;
}

// One plug-in as JSON; false (the error in the item, a line in *err) when it could not be
// made.
bool PlugInJson(const std::string& key, json::Value* item, std::string* err) {
  (*item)["classId"] = key;
  CLSID clsid{};
  IConsolePlugIn* plugIn = nullptr;
  HRESULT result = com::ParseGuid(key, &clsid) ? S_OK : REGDB_E_CLASSNOTREG;
  if (SUCCEEDED(result))
    result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IConsolePlugIn,
                              reinterpret_cast<void**>(&plugIn));
  if (FAILED(result)) {
    std::string why =
        com::ParseGuid(key, &clsid) ? com::LastCreationProblem() : "the key's name is no class id";
    (*item)["error"] = Hex(result) + ": " + why;
    *err += "qvccfg: the plug-in " + Printable(key) + " could not be made (" + Hex(result) +
            "): " + Printable(why) + "\n";
    return false;
  }
  char name[kDisplayNameRoom] = {};
  LONG value = -1;
  plugIn->GetDisplayName(0, name, &value);
  CLSID control{};
  plugIn->GetControlClsid(0, &control);
  (*item)["displayName"] = json::Cp1252ToUtf8(std::string_view(name, strnlen(name, sizeof name)));
  (*item)["controlClassId"] = com::FormatGuid(control);
  (*item)["queryFlagA"] = plugIn->QueryFlagA();
  (*item)["queryFlagB"] = plugIn->QueryFlagB();
  plugIn->Release();
  return true;
}

}  // namespace

int RegServerCommand(const World& world, const std::string& file, bool unregister, std::string* out,
                     std::string* err) {
  std::string win, host, why;
  if (!FormPath(world, file, &win, err) || !world.MapPath(win, &host, &why))
    return 2;
  const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  using Entry = HRESULT (*)();
  auto entry = reinterpret_cast<Entry>(com::ModuleEntry(host, entryName, &why));
  if (entry == nullptr) {
    *err = "qvccfg: " + Printable(why) + "\n";
    return 1;
  }
  HRESULT result = entry();
  *out += Hex(result) + "\n";
  CoFreeUnusedLibraries();
  return result == S_OK ? 0 : 1;
}

int PlugInsCommand(std::string* out, std::string* err) {
  std::vector<std::string> keys;
  if (!com::SubKeyNames(HKEY_LOCAL_MACHINE, kPlugInsKey, &keys)) {
    *err = "qvccfg: the console's plug-in key cannot be read\n";
    return 1;
  }
  json::Value list = json::Array{};
  int status = 0;
  for (const std::string& key : keys) {
    json::Value item = json::Object{};
    if (!PlugInJson(key, &item, err))
      status = 1;
    list.push_back(item);
  }
  *out += json::Write(list, true) + "\n";
  CoFreeUnusedLibraries();
  return status;
}

}  // namespace qv
