// Type libraries: what a module says about its classes and their dispatch interfaces, so that
// a host can call a control by member name as well as by dispatch id, and name the events it
// receives.
//
// A module keeps its library as data (TypeLibrary below). RegisterTypeLib records it under
// HKEY_CLASSES_ROOT, with the keys Windows writes:
//
//   TypeLib\{library id}\<major>.<minor>        @ = the library's help string
//   TypeLib\{library id}\<major>.<minor>\0\win32 @ = the module's Windows path
//   TypeLib\{library id}\<major>.<minor>\FLAGS   @ = "0"
//   TypeLib\{library id}\<major>.<minor>\HELPDIR @ = the module's folder
//   Interface\{interface id}                     @ = the interface's name
//   Interface\{interface id}\ProxyStubClsid32    @ = the automation marshaller's class id
//   Interface\{interface id}\TypeLib             @ = {library id}, "Version" = "<major>.<minor>"
//
// and one key of ours: the member names and dispatch ids, which Windows reads from the module
// file, lie under Interface\{interface id}\Members ("name" = dword:id), so that a host reads
// them without loading the module.
#pragma once

#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/com/Dispatch.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

using LCID = DWORD;

// The registry could not be read or written.
inline constexpr HRESULT TYPE_E_REGISTRYACCESS = static_cast<HRESULT>(0x8002801C);
// No such library (or version) is registered.
inline constexpr HRESULT TYPE_E_LIBNOTREGISTERED = static_cast<HRESULT>(0x8002801D);

namespace qv::com {

struct TypeMember {
  DISPID id = 0;
  std::string name;
};

struct TypeInterface {
  IID iid{};
  std::string name;
  std::string help;
  std::vector<TypeMember> members;
};

// A class the library describes (kept in the module only: the class's own registration says
// where it is served).
struct TypeClass {
  CLSID clsid{};
  std::string name;
  std::string help;
};

struct TypeLibrary {
  GUID libid{};
  WORD major = 0, minor = 0;
  std::string name;      // kept in the module only
  std::string help;      // the library's help string
  std::string helpFile;  // kept in the module only
  std::vector<TypeInterface> interfaces;
  std::vector<TypeClass> classes;  // kept in the module only
  // Read back from the registry: where the module and its help lie.
  std::string modulePath, helpDir;

  // The interface of an id; null when the library has none.
  const TypeInterface* Find(REFIID iid) const;
};

// The dispatch id of a member name (letter case ignored) in an interface; DISPID_UNKNOWN when
// there is none.
DISPID FindDispId(const TypeInterface& type, const std::string& name);

}  // namespace qv::com

// Records `library` as the library of the module at `modulePath` (its Windows path), whose
// help files lie in `helpDir`. S_OK, or TYPE_E_REGISTRYACCESS when the registry refused a
// key or value.
HRESULT RegisterTypeLib(const qv::com::TypeLibrary& library, const std::string& modulePath,
                        const std::string& helpDir);
// Removes the library's version key (and the library key when no version is left) and the
// Interface keys that name this library and version. S_OK, also when nothing was registered;
// TYPE_E_REGISTRYACCESS when the registry could not be read or changed.
HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid);
// Reads the registered library back: help string, module path, help folder, and each
// interface recorded for it with its members. TYPE_E_LIBNOTREGISTERED when that version is
// not registered.
HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid,
                       qv::com::TypeLibrary* library);
