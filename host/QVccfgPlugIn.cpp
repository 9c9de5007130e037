#include "host/QVccfgPlugIn.h"

#include <cstring>
#include <string>

#include "host/QVccfgCtrl.h"
#include "resources/StringTable.h"

void* CQVccfgPlugIn::FindInterface(REFIID iid) {
  if (iid == IID_IUnknown || iid == IID_IConsolePlugIn)
    return static_cast<IConsolePlugIn*>(this);
  return nullptr;
}

LONG CQVccfgPlugIn::QueryFlagA() {
  return 1;
}

LONG CQVccfgPlugIn::QueryFlagB() {
  return 1;
}

LONG CQVccfgPlugIn::GetDisplayName(LONG /*unused*/, char* buffer, LONG* value) {
  std::string name = LoadResString(kDisplayNameId);
  if (name.empty())
    name = kDefaultDisplayName;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *value = 0;
  return 1;
}

LONG CQVccfgPlugIn::GetControlClsid(LONG /*unused*/, CLSID* clsid) {
  *clsid = CQVccfgCtrl::kClassId;
  return 1;
}

LONG CQVccfgPlugIn::DeclineRequest(LONG /*first*/, LONG /*second*/) {
  return 0;
}

LONG CQVccfgPlugIn::CallBackHost(LONG /*unused*/, IPlugInConsole* console) {
  return console->PlugInCallBack();
}
