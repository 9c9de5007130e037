#include "resources/Menus.h"

#include "resources/ResourceIds.h"

namespace qv {
namespace {

MenuItemResource Command(const char* text, UINT id) {
  return MenuItemResource{text, id, false, {}};
}

MenuItemResource Popup(const char* text, std::vector<MenuItemResource> items) {
  return MenuItemResource{text, 0, false, std::move(items)};
}

// The shared menu that the console merges into its own.
const MenuResource kSharedMenu{IDR_FORMS,
                               {Popup("Fo&rms", {Command("&New Form...", ID_FORMS_NEWFORM),
                                                 Command("&Modify...", ID_FORMS_MODIFY)})}};

// The list's context menu: its first pop-up is what the view shows.
const MenuResource kPopupMenu{IDR_CONTEXT_MENU,
                              {Popup("PopUp", {Command("&Schedule a Form", ID_FORMS_SCHEDULE),
                                               Command("&Delete\tDel", ID_FORMS_DELETE),
                                               Command("&Modify...", ID_FORMS_PROPERTIES)})}};

// Schedule | Delete, Modify, Refresh | Large icons, Small icons, List, Details | Multiple
// forms.
const ToolBarResource kToolBar{IDR_FORMS,
                               16,
                               16,
                               {ID_TOOLBAR_SCHEDULE, 0, ID_TOOLBAR_DELETE, ID_FORMS_MODIFY,
                                ID_TOOLBAR_REFRESH, 0, ID_VIEW_LARGEICONS, ID_VIEW_SMALLICONS,
                                ID_VIEW_LIST, ID_VIEW_DETAILS, 0, ID_TOOLBAR_MULTIPLEFORMS}};

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
