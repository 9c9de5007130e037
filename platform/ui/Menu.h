// Menus. A menu is loaded from a menu resource of the current resource module and named by a
// handle: a number from a table of ours, which fits the 32-bit fields a host passes menus
// through, as a pointer would not. A pop-up menu can be tracked: it opens as a modal menu
// that the user picks an item from or dismisses (it shows in the snapshot,
// platform/ui/Ui.h); a pick sends the item's command to the owner window as WM_COMMAND.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Wnd.h"

using HMENU = std::uint32_t;  // 0 is no menu

inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_CENTERALIGN = 0x0004;
inline constexpr UINT TPM_RIGHTALIGN = 0x0008;
inline constexpr UINT TPM_LEFTBUTTON = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_NONOTIFY = 0x0080;

class CMenu {
 public:
  CMenu() = default;
  // Destroys the menu it holds, unless it is a pop-up of another menu.
  ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  // Loads menu resource `id`; FALSE when the module has none.
  BOOL LoadMenu(UINT id);
  // Destroys the menu and its pop-ups; their handles name nothing afterwards.
  BOOL DestroyMenu();
  HMENU GetSafeHmenu() const { return m_hMenu; }

  // The pop-up at `pos`, as an object this menu keeps; null when that item is no pop-up.
  CMenu* GetSubMenu(int pos);

  // Opens the menu at (x, y) for `owner` and waits until the user picks an item or dismisses
  // it; sends the command picked to the owner (a host's own item goes to its PopupMenuHook
  // instead, and FALSE is returned) and returns TRUE when one was picked.
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, const CRect* rect = nullptr);

  HMENU m_hMenu = 0;

 private:
  bool owned_ = true;  // false for a pop-up handed out by GetSubMenu
  std::vector<std::unique_ptr<CMenu>> subMenus_;
};

namespace qv::ui {

// One item of a menu as a front end shows it.
struct MenuItemState {
  std::string text;
  UINT id = 0;  // 0 separator; for a pop-up, 0 and `popup` set
  bool separator = false;
  HMENU popup = 0;
  bool enabled = true;
  bool checked = false;
};
// The items of the menu of a handle; empty for a handle that names no menu.
std::vector<MenuItemState> MenuItems(HMENU menu);
bool IsMenu(HMENU menu);

// The pop-up menu that is open now, if any.
struct OpenMenuState {
  bool open = false;
  HMENU menu = 0;
  int x = 0, y = 0;
  UINT flags = 0;
  int owner = 0;                         // window handle
  std::vector<MenuItemState> hostItems;  // PopupMenuHook's, shown after a separator
};

// A host's own commands in the pop-up menus its windows track (a console's command on a
// plug-in's context menu). Items gives them for the owner window when a menu opens, shown
// after the menu's own items and a separator; a pick of one goes to Picked, after the menu
// has closed, and never to the owner.
class PopupMenuHook {
 public:
  virtual ~PopupMenuHook() = default;
  virtual std::vector<MenuItemState> Items(CWnd* owner) = 0;
  virtual void Picked(UINT id) = 0;
};
// Null: none.
void SetPopupMenuHook(PopupMenuHook* hook);
const OpenMenuState& OpenMenu();
// Carries out a pick of the open menu: command `id`, or 0 to dismiss it. False when no menu
// is open or it has no such command.
bool PickOpenMenu(UINT id, std::string* problem);

}  // namespace qv::ui
