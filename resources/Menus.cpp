#include "resources/Menus.h"

namespace qv {
namespace {

MenuItemResource Command(const char* text, UINT id) {
  return MenuItemResource{text, id, false, {}};
}

MenuItemResource Popup(const char* text, std::vector<MenuItemResource> items) {
  return MenuItemResource{text, 0, false, std::move(items)};
}

// The shared menu that the console merges into its own.
const MenuResource kSharedMenu{
    204, {Popup("Fo&rms", {Command("&New Form...", 32770), Command("&Modify...", 32768)})}};

// The list's context menu: its first pop-up is what the view shows.
const MenuResource kPopupMenu{
    207,
    {Popup("PopUp", {Command("&Schedule a Form", 32771), Command("&Delete\tDel", 32772),
                     Command("&Modify...", 32773)})}};

// Schedule | Delete, Modify, Refresh | Large icons, Small icons, List, Details | Multiple
// forms.
const ToolBarResource kToolBar{
    204, 16, 16, {32783, 0, 32784, 32768, 32787, 0, 32778, 32779, 32780, 32781, 0, 32786}};

}  // namespace

const MenuResource* OwnMenu(int id) {
  if (id == kSharedMenu.id)
    return &kSharedMenu;
  if (id == kPopupMenu.id)
    return &kPopupMenu;
  return nullptr;
}

const ToolBarResource* OwnToolBar(int id) {
  return id == kToolBar.id ? &kToolBar : nullptr;
}

}  // namespace qv
