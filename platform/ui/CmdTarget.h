// CCmdTarget: an object that commands reach. Windows and documents are command targets: a
// command (a menu pick, a toolbar button, a control's notification) and a request to update a
// command's state (CCmdUI) are looked up in the target's message map, and targets that hold
// others pass on what they do not handle themselves (a frame asks its view, which asks its
// document, then the frame itself, then the window the frame lives in).
//
// CRuntimeClass gives the framework's dynamic creation: a class that declares it can be made
// by name, as frames make their documents and views.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <cstdint>

#include "platform/base/HandleTable.h"
#include "platform/base/wintypes.h"

using UINT_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// OnCmdMsg's code: a command, a request to update a command's state, or (MAKELONG(code,
// WM_NOTIFY)) a notification whose extra is an AFX_NOTIFY.
inline constexpr int CN_COMMAND = 0;
inline constexpr int CN_UPDATE_COMMAND_UI = -1;

// The idle-update message: toolbars and other bars update their commands' states on it.
inline constexpr UINT WM_IDLEUPDATECMDUI = 0x0363;

struct NMHDR;
struct AFX_NOTIFY {
  LRESULT* pResult;
  NMHDR* pNMHDR;
};

class CObject;
// A class that the framework can make by name.
struct CRuntimeClass {
  const char* m_lpszClassName;
  CObject* (*m_pfnCreateObject)();
  CObject* CreateObject() const {
    return m_pfnCreateObject != nullptr ? m_pfnCreateObject() : nullptr;
  }
};

class CObject {
 public:
  virtual ~CObject() = default;
};

// Declares and defines dynamic creation: DECLARE_DYNCREATE(CMyFrame) in the class,
// IMPLEMENT_DYNCREATE(CMyFrame) in its source, RUNTIME_CLASS(CMyFrame) to name it.
#define DECLARE_DYNCREATE(class_name) \
 public:                              \
  static const CRuntimeClass classInfo;
#define IMPLEMENT_DYNCREATE(class_name)                     \
  const CRuntimeClass class_name::classInfo = {#class_name, \
                                               []() -> CObject* { return new class_name(); }};
#define RUNTIME_CLASS(class_name) (&class_name::classInfo)

class CCmdTarget;

// What an update handler is given: the command's id, and operations that set its state on
// whatever shows it (a toolbar button, a menu item). Enable is its first operation.
class CCmdUI {
 public:
  virtual ~CCmdUI() = default;
  virtual void Enable(BOOL on = TRUE);
  virtual void SetCheck(int check = 1);  // 0 clear, 1 checked, 2 indeterminate
  virtual void SetRadio(BOOL on = TRUE);
  virtual void SetText(const std::string& text);

  // Asks `target` to update this command: its update handler runs, or, when none, the
  // command is enabled exactly when some target would run it (unless `disableIfNoHandler` is
  // false). True when a handler or a command handler was found.
  bool DoUpdate(CCmdTarget* target, bool disableIfNoHandler);

  UINT m_nID = 0;
  UINT m_nIndex = 0;  // the item's position in what shows it
  bool m_bEnableChanged = false;
};

namespace qv::ui {
// The command-update objects a console hands to a control through a 32-bit parameter: the
// console registers its CCmdUI here and passes the handle.
qv::com::HandleTable<CCmdUI>& CmdUIHandles();
}  // namespace qv::ui

class CCmdTarget : public CObject {
 public:
  // Runs the handler for a command (`code` CN_COMMAND or a control's notification code), an
  // update request (CN_UPDATE_COMMAND_UI, `extra` the CCmdUI) or a notification
  // (MAKELONG(code, WM_NOTIFY), `extra` an AFX_NOTIFY). With `probe`, only says whether there
  // is a handler and runs nothing. True when handled. Targets that hold others override this
  // to ask them too.
  virtual BOOL OnCmdMsg(UINT id, int code, void* extra, bool probe = false);

 protected:
  // Message map entries, added by the constructor of a derived class. The newest entry that
  // matches runs, so a derived class's entry replaces its base's.
  void OnMessage(UINT message, std::function<LRESULT(WPARAM, LPARAM)> handler);
  void OnCommand(UINT code, int id, std::function<void()> handler);
  // ON_COMMAND and ON_UPDATE_COMMAND_UI of one command or of a range of them.
  void OnCommandId(UINT id, std::function<void()> handler);
  void OnCommandRange(UINT first, UINT last, std::function<void(UINT)> handler);
  void OnUpdateCommandUI(UINT id, std::function<void(CCmdUI*)> handler);
  void OnUpdateCommandUIRange(UINT first, UINT last, std::function<void(CCmdUI*)> handler);
  // WM_NOTIFY with `code` from child `id`, and a notification of this window reflected to it.
  void OnNotify(UINT code, int id, std::function<LRESULT(NMHDR*)> handler);
  void OnNotifyReflect(UINT code, std::function<LRESULT(NMHDR*)> handler);
  // ON_NOTIFY_EX_RANGE: a notification from any id in [first, last]; the handler returns TRUE
  // when it handled it, FALSE to let the next target try.
  void OnNotifyExRange(UINT code, UINT first, UINT last,
                       std::function<BOOL(UINT, NMHDR*, LRESULT*)> handler);

  struct MapEntry {
    UINT message;  // WM_COMMAND, WM_NOTIFY, OCM_NOTIFY, CN_UPDATE_COMMAND_UI or another
    UINT code;
    UINT first, last;  // the ids the entry is for
    std::function<LRESULT(UINT id, WPARAM, LPARAM, bool* handled)> handler;
  };
  const MapEntry* FindEntry(UINT message, UINT code, UINT id) const;

 private:
  std::vector<MapEntry> map_;
};
