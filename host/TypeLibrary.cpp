#include "host/TypeLibrary.h"

#include "host/QVccfgCtrl.h"

const qv::com::TypeLibrary& QVccfgTypeLibrary() {
  static const qv::com::TypeLibrary library = [] {
    qv::com::TypeLibrary lib;
    lib.libid = LIBID_QVCCFGLib;
    lib.major = kQVCCFGLibMajor;
    lib.minor = kQVCCFGLibMinor;
    lib.name = "QVCCFGLib";
    lib.help = "QVccfg ActiveX Control module";
    lib.helpFile = "QVccfg.hlp";
    lib.interfaces.push_back({CQVccfgCtrl::kDispatchIid,
                              "_DQVccfg",
                              "Dispatch interface for QVccfg Control",
                              {{CQVccfgCtrl::kGetSharedMenu, "GetSharedMenu"},
                               {CQVccfgCtrl::kOnUpdateCommandUI, "OnUpdateCommandUI"},
                               {CQVccfgCtrl::kOnCommand, "OnCommand"},
                               {CQVccfgCtrl::kGetMessageString, "GetMessageString"},
                               {CQVccfgCtrl::kOnInitialUpdate, "OnInitialUpdate"},
                               {CQVccfgCtrl::kOnNetmapSelChange, "OnNetmapSelChange"},
                               {DISPID_ABOUTBOX, "AboutBox"}}});
    lib.interfaces.push_back({CQVccfgCtrl::kEventsIid,
                              "_DQVccfgEvents",
                              "Event interface for QVccfg Control",
                              {{CQVccfgCtrl::kEventCreateWindow, "CreateWindow"},
                               {CQVccfgCtrl::kEventStatus, "Status"},
                               {CQVccfgCtrl::kEventGetClassInterface, "GetClassInterface"}}});
    lib.classes.push_back({CQVccfgCtrl::kClassId, "QVccfg", "QVccfg Control"});
    return lib;
  }();
  return library;
}
