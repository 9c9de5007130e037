// A control hosted as the console hosts it: made by its class id from the registered module,
// placed as a top-level window of the framework, reached only through its dispatch methods by
// id, its events and the window tree. The site answers the control's events as the console
// does: GetDatabasePointer with the handle of the console database, GetClassInterface for the
// task host's class with the site's task host (which schedules the handed-over task), and
// NoLogStatus by showing the text in the status bar.
//
// Shared by the console and by qvccfg, which hosts the Form Designer the same way.
#pragma once

#include <string>
#include <vector>

#include "platform/com/Dispatch.h"
#include "platform/com/Guid.h"
#include "platform/control/OleControl.h"
#include "platform/ui/Menu.h"
#include "tools/hosting/TaskHost.h"

namespace qv {

class SiteEvents;

// What every control hosted here answers: its dispatch methods and events by id.
enum : DISPID {
  kDispGetSharedMenu = 1,
  kDispOnUpdateCommandUI = 2,
  kDispOnCommand = 3,
  kDispGetMessageString = 4,
  kEventGetClassInterface = 3,
  kEventGetDatabasePointer = 4,
  kEventNoLogStatus = 7,
};

class ControlSite {
 public:
  // Makes the control of class `control` and its window at `rect` (pixels).
  ControlSite(const CLSID& control, const CRect& rect);
  ~ControlSite();
  ControlSite(const ControlSite&) = delete;
  ControlSite& operator=(const ControlSite&) = delete;

  // True when the control was made and its window created; else Problem() says why and
  // Result() holds the failed creation's answer (S_OK when it was the window that failed).
  bool Created() const { return created_; }
  const std::string& Problem() const { return problem_; }
  HRESULT Result() const { return result_; }

  // The control's window handle; 0 when it has none.
  int Handle();
  // Calls a dispatch method by id. E_FAIL without a control.
  HRESULT Call(DISPID id, std::vector<VARIANT> args = {}, VARIANT* result = nullptr);
  // Carries out a verb (OLEIVERB_PROPERTIES shows the property sheet).
  HRESULT Verb(LONG verb);

  // The shared menu's items (its pop-ups); empty when the control has none.
  std::vector<ui::MenuItemState> SharedMenu();
  // What OnUpdateCommandUI says of command `id`.
  struct CommandState {
    bool enabled = false;
    bool checked = false;
  };
  CommandState Update(UINT id);
  // GetMessageString's prompt of command `id`.
  std::string Prompt(UINT id);

  const CConsoleTaskHost& TaskHost() const { return *host_.Get(); }

 private:
  int database_ = 0;  // the console database's object: its handle is what the control gets
  com::ComPtr<SiteEvents> events_;
  com::ComPtr<CConsoleTaskHost> host_ = com::MakeObject<CConsoleTaskHost>();
  com::ComPtr<IDispatch> control_;
  com::ComPtr<IControlWindow> window_;
  com::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
  bool created_ = false;
  HRESULT result_ = S_OK;
  std::string problem_;
};

}  // namespace qv
