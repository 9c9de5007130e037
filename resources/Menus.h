// The module's menus and toolbar, as data of its resources (resources/Dialogs.h gives the
// module that serves them).
#pragma once

#include "platform/ui/DialogTemplate.h"

namespace qv {
// Menu 204 (the shared menu "Fo&rms") and 207 (the list's pop-up menu); null for another id.
const MenuResource* OwnMenu(int id);
// Toolbar 204; null for another id.
const ToolBarResource* OwnToolBar(int id);
}  // namespace qv
