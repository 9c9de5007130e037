// CQVccfgPlugIn: the object through which the console finds the Form Designer. It gives the
// console the plug-in's display name and the class id of the control to host. The console
// knows the object's class id from the plug-in key, whose presence registers the plug-in.
// While an object lives it holds a lock on the module.
#pragma once

#include "host/ConsolePlugIn.h"
#include "host/ModuleLock.h"
#include "platform/base/wintypes.h"
#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"
#include "resources/ResourceIds.h"

class CQVccfgPlugIn final : public qv::com::Object<IConsolePlugIn> {
 public:
  static constexpr CLSID kClassId{
      0xA48C4D90, 0x9281, 0x11D1, {0x89, 0x71, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};
  static constexpr const char* kProgId = "QVCCCFG.PlugIn.1";
  // The console's key for this plug-in under HKEY_LOCAL_MACHINE: created at registration
  // without values, deleted at unregistration.
  static constexpr const char* kConsoleKey =
      "Software\\Arvex\\Quovant\\QVNX\\Console\\PlugIns\\{A48C4D90-9281-11d1-8971-00A0C9323807}";
  // The display name's string, and the name given when that string cannot be loaded.
  static constexpr UINT kDisplayNameId = IDS_PLUGIN_NAME;
  static constexpr const char* kDefaultDisplayName = "PlugIn";

  CQVccfgPlugIn() = default;

  LONG QueryFlagA() override;
  LONG QueryFlagB() override;
  LONG GetDisplayName(LONG unused, char* buffer, LONG* value) override;
  LONG GetControlClsid(LONG unused, CLSID* clsid) override;
  LONG DeclineRequest(LONG first, LONG second) override;
  LONG CallBackHost(LONG unused, IPlugInConsole* console) override;

 private:
  ~CQVccfgPlugIn() override = default;
  void* FindInterface(REFIID iid) override;

  ModuleLock lock_;
};
