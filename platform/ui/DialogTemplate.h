// Dialog templates as data: what a dialog resource holds. Rectangles are in dialog units;
// controls are listed in tab order. The current resource module gives them by id, so a
// language module can replace them.
#pragma once

#include <string>
#include <vector>

#include "platform/base/wintypes.h"

struct DialogItemTemplate {
  std::string className;  // "Edit", "ListBox", "Button", "Static"
  int id = -1;            // -1 for labels and group boxes that nothing refers to
  std::string text;
  DWORD style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogTemplate {
  int id = 0;
  std::string caption;
  DWORD style = 0;
  int cx = 0, cy = 0;
  std::string font;
  int pointSize = 8;
  std::vector<DialogItemTemplate> items;
};

// A bitmap resource: its size in pixels and the names of the images side by side in it, left
// first, for a front end that draws them its own way; and, image by image, the file of its
// picture, a path relative to the resources folder (the build copies the pictures beside the
// programs, at the same path).
struct BitmapResource {
  int id = 0;
  int width = 0, height = 0;
  std::vector<std::string> images;
  std::vector<std::string> files;
};

// A menu resource: items in order; an item is a command, a separator or a pop-up of items.
struct MenuItemResource {
  std::string text;  // with its "&" mnemonic and any "\t" accelerator text
  UINT id = 0;       // the command; 0 for a separator or a pop-up
  bool separator = false;
  std::vector<MenuItemResource> popup;  // a pop-up's items (a pop-up has text and no id)
};
struct MenuResource {
  int id = 0;
  std::vector<MenuItemResource> items;
};

// A toolbar resource: the buttons in order (command ids, 0 for a separator), each button but
// the separators taking the next image of the bitmap of the same id.
struct ToolBarResource {
  int id = 0;
  int buttonWidth = 16, buttonHeight = 16;  // image size in pixels
  std::vector<UINT> buttons;
};

namespace qv {

// Where resources come from: the module's own, or a language module that replaces them.
class ResourceModule {
 public:
  virtual ~ResourceModule() = default;
  // The dialog template of an id; null when the module has none.
  virtual const DialogTemplate* FindDialog(int id) const = 0;
  // The bitmap of an id; null when the module has none.
  virtual const BitmapResource* FindBitmap(int /*id*/) const { return nullptr; }
  // The string of an id; null when the module has none.
  virtual const char* FindString(UINT /*id*/) const { return nullptr; }
  // The menu and the toolbar of an id; null when the module has none.
  virtual const MenuResource* FindMenu(int /*id*/) const { return nullptr; }
  virtual const ToolBarResource* FindToolBar(int /*id*/) const { return nullptr; }
};

// The current module's string of `id`; "" when there is none (or no module).
std::string LoadModuleString(UINT id);

// A text of the framework's own (platform/ui/FrameworkIds.h): the current module's string of
// `id` when it has one, else the framework's English; "" for an id the framework does not know.
std::string LoadFrameworkString(UINT id);

// The module resources are taken from: null until the program's start-up sets the module's
// own (resources/Dialogs.h), and a language module may replace it.
const ResourceModule* CurrentResourceModule();
void SetResourceModule(const ResourceModule* module);

}  // namespace qv
