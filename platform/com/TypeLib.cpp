#include "platform/com/TypeLib.h"

#include <cstring>

#include "platform/com/Registration.h"
#include "platform/registry/Registry.h"
#include "platform/text/CaseFold.h"

namespace qv::com {
namespace {

// The automation marshaller, which carries calls on dispatch interfaces.
constexpr const char* kDispatchMarshaller = "{00020420-0000-0000-C000-000000000046}";

std::string Version(WORD major, WORD minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}

std::string LibraryKey(REFGUID libid) {
  return "TypeLib\\" + FormatGuid(libid);
}

// A string value; false when missing, not a string, or unreadable.
bool ReadString(HKEY root, const std::string& path, const char* name, std::string* value) {
  char buffer[1024] = {};
  DWORD size = sizeof buffer;
  DWORD type = 0;
  if (RegGetValueA(root, path.c_str(), name, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  *value = buffer;
  return true;
}

// The interfaces registered for this library and version, by their keys' names.
bool InterfacesOf(REFGUID libid, const std::string& version, std::vector<std::string>* keys) {
  std::vector<std::string> all;
  if (!SubKeyNames(HKEY_CLASSES_ROOT, "Interface", &all))
    return false;
  for (const std::string& name : all) {
    std::string lib, ver;
    std::string path = "Interface\\" + name + "\\TypeLib";
    GUID found{};
    if (ReadString(HKEY_CLASSES_ROOT, path, nullptr, &lib) && ParseGuid(lib, &found) &&
        found == libid && ReadString(HKEY_CLASSES_ROOT, path, "Version", &ver) && ver == version)
      keys->push_back("Interface\\" + name);
  }
  return true;
}

// The member names and ids recorded under an interface key.
bool ReadMembers(const std::string& path, std::vector<TypeMember>* members) {
  RegistryKey key;
  LONG error = OpenKey(HKEY_CLASSES_ROOT, path + "\\Members", &key);
  if (error == ERROR_FILE_NOT_FOUND)
    return true;
  if (error != ERROR_SUCCESS)
    return false;
  char name[MAX_PATH];
  DWORD nameSize = sizeof name, type = 0, id = 0, size = sizeof id;
  for (DWORD i = 0;
       (error = RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type,
                              reinterpret_cast<BYTE*>(&id), &size)) != ERROR_NO_MORE_ITEMS;
       ++i, nameSize = sizeof name, size = sizeof id) {
    if (error == ERROR_SUCCESS && type == REG_DWORD)
      members->push_back({static_cast<DISPID>(id), name});
    else if (error != ERROR_MORE_DATA)
      return false;
  }
  return true;
}

}  // namespace

const TypeInterface* TypeLibrary::Find(REFIID iid) const {
  for (const TypeInterface& type : interfaces) {
    if (type.iid == iid)
      return &type;
  }
  return nullptr;
}

DISPID FindDispId(const TypeInterface& type, const std::string& name) {
  for (const TypeMember& member : type.members) {
    if (EqualsNoCase(member.name, name))
      return member.id;
  }
  return DISPID_UNKNOWN;
}

}  // namespace qv::com

HRESULT RegisterTypeLib(const qv::com::TypeLibrary& library, const std::string& modulePath,
                        const std::string& helpDir) {
  using qv::com::SetKeyString;
  std::string version = qv::com::Version(library.major, library.minor);
  std::string key = qv::com::LibraryKey(library.libid) + "\\" + version;
  std::string libid = qv::com::FormatGuid(library.libid);
  bool ok = SetKeyString(HKEY_CLASSES_ROOT, key, "", library.help) &&
            SetKeyString(HKEY_CLASSES_ROOT, key + "\\0\\win32", "", modulePath) &&
            SetKeyString(HKEY_CLASSES_ROOT, key + "\\FLAGS", "", "0") &&
            SetKeyString(HKEY_CLASSES_ROOT, key + "\\HELPDIR", "", helpDir);
  for (const qv::com::TypeInterface& type : library.interfaces) {
    std::string path = "Interface\\" + qv::com::FormatGuid(type.iid);
    ok = ok && SetKeyString(HKEY_CLASSES_ROOT, path, "", type.name) &&
         SetKeyString(HKEY_CLASSES_ROOT, path + "\\ProxyStubClsid32", "",
                      qv::com::kDispatchMarshaller) &&
         SetKeyString(HKEY_CLASSES_ROOT, path + "\\TypeLib", "", libid) &&
         SetKeyString(HKEY_CLASSES_ROOT, path + "\\TypeLib", "Version", version);
    for (const qv::com::TypeMember& member : type.members) {
      ok = ok && qv::com::SetKeyDword(HKEY_CLASSES_ROOT, path + "\\Members", member.name,
                                      static_cast<DWORD>(member.id));
    }
  }
  return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID /*lcid*/) {
  std::string version = qv::com::Version(major, minor);
  std::string key = qv::com::LibraryKey(libid);
  std::vector<std::string> interfaces, versions;
  if (!qv::com::InterfacesOf(libid, version, &interfaces))
    return TYPE_E_REGISTRYACCESS;
  bool ok = true;
  for (const std::string& path : interfaces)
    ok = qv::com::DeleteKeyTree(HKEY_CLASSES_ROOT, path) && ok;
  ok = ok && qv::com::DeleteKeyTree(HKEY_CLASSES_ROOT, key + "\\" + version) &&
       qv::com::SubKeyNames(HKEY_CLASSES_ROOT, key, &versions) &&
       (!versions.empty() || qv::com::DeleteKeyTree(HKEY_CLASSES_ROOT, key));
  return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID /*lcid*/,
                       qv::com::TypeLibrary* library) {
  std::string version = qv::com::Version(major, minor);
  std::string key = qv::com::LibraryKey(libid) + "\\" + version;
  qv::com::TypeLibrary found;
  found.libid = libid;
  found.major = major;
  found.minor = minor;
  if (!qv::com::ReadString(HKEY_CLASSES_ROOT, key, nullptr, &found.help) ||
      !qv::com::ReadString(HKEY_CLASSES_ROOT, key + "\\0\\win32", nullptr, &found.modulePath))
    return TYPE_E_LIBNOTREGISTERED;
  qv::com::ReadString(HKEY_CLASSES_ROOT, key + "\\HELPDIR", nullptr, &found.helpDir);
  std::vector<std::string> interfaces;
  if (!qv::com::InterfacesOf(libid, version, &interfaces))
    return TYPE_E_REGISTRYACCESS;
  for (const std::string& path : interfaces) {
    qv::com::TypeInterface type;
    qv::com::ParseGuid(path.substr(path.find('\\') + 1), &type.iid);
    qv::com::ReadString(HKEY_CLASSES_ROOT, path, nullptr, &type.name);
    if (!qv::com::ReadMembers(path, &type.members))
      return TYPE_E_REGISTRYACCESS;
    found.interfaces.push_back(std::move(type));
  }
  *library = std::move(found);
  return S_OK;
}
