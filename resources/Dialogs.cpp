// The module's dialog templates: 101 the question, 102 the item list, 103 the form editor,
// 104 the group dialog, 1 the about box, 200 the control's property page; the list view's
// bitmaps 201 (large) and 208 (small) and the toolbar's bitmap 204. Controls stand in tab order;
// labels and group boxes have id -1.
#include <map>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/DialogTemplate.h"
#include "resources/Dialogs.h"

#include "resources/Menus.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kTab = kChild | WS_TABSTOP;
constexpr DWORD kDialog = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;

DialogItemTemplate Label(const char* text, int x, int y, int cx, int cy) {
  return {"Static", -1, text, kChild | SS_LEFT, x, y, cx, cy};
}
DialogItemTemplate Group(const char* text, int x, int y, int cx, int cy) {
  return {"Button", -1, text, kChild | BS_GROUPBOX, x, y, cx, cy};
}
DialogItemTemplate Push(int id, const char* text, int x, int y, int cx = 50, int cy = 14) {
  return {"Button", id, text, kTab | BS_PUSHBUTTON, x, y, cx, cy};
}
DialogItemTemplate DefPush(int id, const char* text, int x, int y, int cx = 50, int cy = 14) {
  return {"Button", id, text, kTab | BS_DEFPUSHBUTTON, x, y, cx, cy};
}

DialogTemplate QuestionDialog() {
  DialogTemplate t{IDD_QUESTION, "Add Question", kDialog, 287, 183, "MS Sans Serif", 8, {}};
  t.items = {
      Label("&Question text:", 7, 7, 100, 8),
      {"Edit", IDC_QUESTION_TEXT, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 17, 216, 12},
      Label("&Inventory name:", 7, 34, 100, 8),
      {"Edit", IDC_INVENTORY_NAME, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 44, 216, 12},
      Label("&Description:", 7, 61, 100, 8),
      {"Edit", IDC_QUESTION_DESCRIPTION, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 71, 216, 24},
      Group("Control type options", 7, 100, 216, 52),
      {"Button", IDC_EDIT_BOX, "&Edit box", kTab | WS_GROUP | BS_AUTORADIOBUTTON, 15, 112, 120, 10},
      {"Button", IDC_COMBO_EDIT_LIST, "&Combo box - (edit list)", kChild | BS_AUTORADIOBUTTON, 15,
       124, 120, 10},
      {"Button", IDC_COMBO_FIXED_LIST, "C&ombo box - (fixed list)", kChild | BS_AUTORADIOBUTTON, 15,
       136, 120, 10},
      {"Static", -1, "", kChild | SS_ETCHEDHORZ, 7, 156, 216, 1},
      {"Button", IDC_REQUIRED, "&Make the control a required field to fill out",
       kTab | WS_GROUP | BS_AUTOCHECKBOX, 7, 162, 216, 10},
      DefPush(IDOK, "&Finish", 230, 7),
      Push(IDCANCEL, "Cancel", 230, 24),
      Push(IDHELP, "&Help", 230, 41),
  };
  return t;
}

DialogTemplate ItemListDialog() {
  DialogTemplate t{IDD_ITEM_LIST, "Add Items", kDialog, 287, 183, "MS Sans Serif", 8, {}};
  t.items = {
      Group("Enter items to display in control list", 7, 7, 216, 169),
      Label("Item &name:", 15, 20, 100, 8),
      {"Edit", IDC_ITEM_NAME, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 15, 30, 145, 12},
      DefPush(IDC_INSERT_ITEM, "&Insert", 166, 29),
      Label("Items &list:", 15, 48, 100, 8),
      {"ListBox", IDC_ITEM_LIST, "",
       kTab | WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT |
           LBS_NOINTEGRALHEIGHT,
       15, 58, 145, 112},
      Push(IDC_DELETE_ITEM, "&Delete", 166, 58),
      Push(IDOK, "&Finish", 230, 7),
      Push(IDCANCEL, "Cancel", 230, 24),
      Push(IDHELP, "&Help", 230, 41),
  };
  return t;
}

DialogTemplate FormEditorDialog() {
  DialogTemplate t{
      IDD_FORM_EDITOR, "Create a Custom Data Form", kDialog, 287, 183, "MS Sans Serif", 8, {}};
  t.items = {
      Label("&Form name:", 7, 7, 60, 8),
      {"Edit", IDC_FORM_NAME, "", kTab | WS_BORDER, 70, 5, 153, 12},
      Label("&Description:", 7, 22, 60, 8),
      {"Edit", IDC_FORM_DESCRIPTION, "",
       kTab | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 70, 20, 153, 24},
      Group("C&reate questions for the data form", 7, 48, 216, 128),
      {"ListBox", IDC_QUESTION_LIST, "",
       kTab | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT |
           LBS_NOINTEGRALHEIGHT,
       15, 60, 145, 110},
      Push(IDC_MOVE_UP, "&Move Up", 166, 60),
      Push(IDC_MOVE_DOWN, "Mo&ve Down", 166, 77),
      Push(IDC_ADD_QUESTION, "&Add...", 166, 100),
      Push(IDC_EDIT_QUESTION, "&Edit...", 166, 117),
      Push(IDC_DELETE_QUESTION, "De&lete", 166, 134),
      Push(IDC_PAGE_BREAK, "&Page Break", 166, 156),
      DefPush(IDOK, "&Close", 230, 7),
      Push(IDC_PREVIEW, "Prev&iew", 230, 24),
      Push(IDHELP, "&Help", 230, 41),
  };
  return t;
}

DialogTemplate GroupDialog() {
  DialogTemplate t{IDD_FORM_GROUP,
                   "Select Multiple Forms to Distribute",
                   kDialog,
                   199,
                   164,
                   "MS Sans Serif",
                   8,
                   {}};
  t.items = {
      Label("&Name of new group:", 7, 7, 130, 8),
      {"Edit", IDC_GROUP_NAME, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 17, 130, 12},
      Label("&Available forms:", 7, 34, 130, 8),
      {"ListBox", IDC_GROUP_FORMS, "",
       kTab | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
           LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
       7, 44, 130, 113},
      DefPush(IDOK, "OK", 142, 7),
      Push(IDCANCEL, "Cancel", 142, 24),
      Push(IDHELP, "&Help", 142, 41),
  };
  return t;
}

// The control's about box.
DialogTemplate AboutDialog() {
  DialogTemplate t{
      IDD_ABOUTBOX_QVCCFG, "About QVccfg Control", kDialog, 234, 50, "MS Sans Serif", 8, {}};
  t.items = {
      {"Static", -1, "control", WS_CHILD | WS_VISIBLE | SS_ICON, 10, 10, 20, 20},
      Label("QVccfg, Version 6.1", 40, 10, 119, 8),
      DefPush(IDOK, "&Close", 176, 7),
  };
  return t;
}

// The control's property page: a child page, its caption string 200. The control has no
// property of its own to set, and the page says so.
DialogTemplate PropertyPage() {
  DialogTemplate t{IDD_PROPPAGE_QVCCFG, "", WS_CHILD | DS_SETFONT, 250, 62, "MS Sans Serif", 8, {}};
  t.items = {
      Label("No properties can be set for this control.", 13, 23, 224, 16),
  };
  return t;
}

// A bitmap of square images `size` pixels wide, side by side: each image's name and its
// picture, images/<folder>/<file>.svg under the resources folder.
struct Picture {
  const char* name;
  const char* file;
};
BitmapResource Bitmap(int id, int size, const char* folder, const std::vector<Picture>& pictures) {
  BitmapResource b;
  b.id = id;
  b.width = size * static_cast<int>(pictures.size());
  b.height = size;
  for (const Picture& picture : pictures) {
    b.images.push_back(picture.name);
    b.files.push_back(std::string("images/") + folder + "/" + picture.file + ".svg");
  }
  return b;
}

// The list view's images: the add-new row, a form, a group.
std::vector<Picture> ListPictures() {
  return {{"add new form", "add-new-form"}, {"form", "form"}, {"group", "group"}};
}
BitmapResource LargeImages() {
  return Bitmap(IDB_LARGE_IMAGES, 32, "large", ListPictures());
}
BitmapResource SmallImages() {
  return Bitmap(IDB_SMALL_IMAGES, 16, "small", ListPictures());
}
// One image per toolbar button, in button order.
BitmapResource ToolbarImages() {
  return Bitmap(IDR_FORMS, 16, "toolbar",
                {{"schedule", "schedule"},
                 {"delete", "delete"},
                 {"modify", "modify"},
                 {"refresh", "refresh"},
                 {"large icons", "large-icons"},
                 {"small icons", "small-icons"},
                 {"list", "list"},
                 {"details", "details"},
                 {"multiple forms", "multiple-forms"}});
}

class OwnModule : public qv::ResourceModule {
 public:
  OwnModule() {
    for (DialogTemplate t : {QuestionDialog(), ItemListDialog(), FormEditorDialog(), GroupDialog(),
                             AboutDialog(), PropertyPage()})
      dialogs_.emplace(t.id, std::move(t));
    for (BitmapResource b : {LargeImages(), SmallImages(), ToolbarImages()})
      bitmaps_.emplace(b.id, std::move(b));
  }
  const DialogTemplate* FindDialog(int id) const override {
    auto it = dialogs_.find(id);
    return it == dialogs_.end() ? nullptr : &it->second;
  }
  const char* FindString(UINT id) const override { return qv::OwnString(id); }
  const MenuResource* FindMenu(int id) const override { return qv::OwnMenu(id); }
  const ToolBarResource* FindToolBar(int id) const override { return qv::OwnToolBar(id); }
  const BitmapResource* FindBitmap(int id) const override {
    auto it = bitmaps_.find(id);
    return it == bitmaps_.end() ? nullptr : &it->second;
  }

 private:
  std::map<int, DialogTemplate> dialogs_;
  std::map<int, BitmapResource> bitmaps_;
};

}  // namespace

namespace qv {

const ResourceModule& OwnResources() {
  static const OwnModule own;
  return own;
}

}  // namespace qv
