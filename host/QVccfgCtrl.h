// CQVccfgCtrl: the control the console hosts as its Form Designer. Inside it run the frame,
// the document and the list view. The console drives it through its dispatch interface
// (shared menu, command routing and enabling, prompts) and it calls back by events: above
// all for the console's database, which it hands to the task library, and to hand over the
// record of a task to schedule.
//
// Parameters typed long are 32-bit: the command-update object (qv::ui::CmdUIHandles), the
// database pointer (qv::DatabaseHandles), the task record (qv::TaskRecordHandles) and menus
// (platform/ui/Menu.h) travel as handles of our tables, not as addresses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/ModuleLock.h"
#include "platform/com/Guid.h"
#include "platform/control/OleControl.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/Menu.h"
#include "view/HostControl.h"

class CCustomFrame;
class CCustomView;

class CQVccfgCtrl : public COleControl, public IHostControl {
 public:
  static constexpr CLSID kClassId{
      0xAE399777, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};
  static constexpr IID kDispatchIid{
      0xAE399775, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};
  static constexpr IID kEventsIid{
      0xAE399776, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};

  // Dispatch ids of the methods, and of the events (their positions in the event interface).
  enum : DISPID {
    kGetSharedMenu = 1,
    kOnUpdateCommandUI = 2,
    kOnCommand = 3,
    kGetMessageString = 4,
    kOnInitialUpdate = 5,
    kOnNetmapSelChange = 6,
  };
  enum : DISPID {
    kEventCreateWindow = 1,
    kEventStatus = 2,
    kEventGetClassInterface = 3,
    kEventGetDatabasePointer = 4,
    kEventGetNetmapBrowserObject = 5,
    kEventRequestActivation = 6,
    kEventNoLogStatus = 7,
  };
  static constexpr UINT_PTR kTimerId = 0x363;
  static constexpr UINT kTimerPeriod = 300;

  CQVccfgCtrl();

  // The dispatch methods.
  LONG GetSharedMenu();
  void OnUpdateCommandUI(LONG cmdUI);
  void OnCommand(LONG id);
  // The string of `id` up to its first newline, as a new string the caller frees.
  void GetMessageString(LONG id, BSTR* message) override;
  void OnInitialUpdate(LONG lParam);
  void OnNetmapSelChange();
  void AboutBox();

  // The console's database pointer (a handle); 0 when the console gave none.
  LONG GetDatabasePointer() const override { return m_databasePointer; }
  // Hands `record` to the console's host object; its method's result, 0 when there is none.
  LONG CallHostClassInterface(TaskRecord* record) override;
  void FireNoLogStatus(const char* text) override;

  CCustomFrame* GetFrame() const { return m_pFrame; }
  CCustomView* GetView() const;

 protected:
  ~CQVccfgCtrl() override;
  int OnCreate() override;
  void OnDestroy() override;
  void OnSize(int cx, int cy) override;
  void OnTimer(UINT_PTR id) override;
  void OnFinalRelease() override;
  // One page: CQVccfgPropPage.
  std::vector<qv::com::PropertyPageClass> GetPropertyPageClasses() const override;
  // String 1.
  std::string GetUserTypeName() const override;

 private:
  void AddDispatchMethods();

  UINT_PTR m_nTimerId = 0;
  CCustomFrame* m_pFrame = nullptr;  // null once its window has gone (it deletes itself)
  CMenu m_sharedMenu;
  LONG m_databasePointer = 0;
  ModuleLock m_lock;  // the module stays loaded while the control lives
};
