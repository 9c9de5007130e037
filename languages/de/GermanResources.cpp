// The German language module. The string table, the dialog templates, the menus and the
// toolbar are its own data; its bitmaps name the module's pictures, as the module's own
// bitmaps do. It uses nothing of the module's code, so that it can be built as a library of
// its own (languages/de/LanguageEntry.cpp).
//
// Texts are Windows-1252 and written with escapes, so this file stays ASCII: \xE4 a-umlaut,
// \xF6 o-umlaut, \xFC u-umlaut, \xC4 A-umlaut, \xD6 O-umlaut, \xDC U-umlaut, \xDF sharp s.
// A literal is split after an escape that a hexadecimal letter would follow ("f\xFC" "ber").
//
// The layouts follow the module's own, with room for the longer German texts: the buttons
// of the form editing dialogs are wider, and those dialogs are 297 units wide instead of 287.
// Edit boxes that do not scroll keep their width, so they take as many characters as before.
#include "languages/de/GermanResources.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/Controls.h"

namespace {

struct StringEntry {
  UINT id;
  const char* text;
};

// In id order: looked up by binary search.
const StringEntry kStrings[] = {
    {1, "QVccfg-Steuerelement"},
    {2, "QVccfg-Eigenschaftenseite"},
    {200, "Allgemein"},
    {32768, "\xC4ndert ein vorhandenes Formular\n\xC4ndern"},
    {32770, "Erstellt ein neues Formular\nNeues Formular"},
    {32771, "Plant die Verteilung eines Formulars\nFormular einplanen"},
    {32772, "L\xF6scht ein vorhandenes Formular\nL\xF6schen"},
    {32773, "Bearbeitet die Eigenschaften eines vorhandenen Formulars\nEigenschaften..."},
    {32778,
     "Zeigt die Elemente mit gro\xDF"
     "en Symbolen an\nGro\xDF"
     "e Symbole"},
    {32779, "Zeigt die Elemente mit kleinen Symbolen an\nKleine Symbole"},
    {32780, "Zeigt die Elemente in einer Liste an\nListe"},
    {32781, "Zeigt Informationen zu jedem Element im Fenster an\nDetails"},
    {32782, "Ben&utzerdefinierte Datenformulare"},
    {32783, "Plant die Verteilung eines Formulars\nFormular einplanen"},
    {32784, "L\xF6scht die markierten Formulare\nL\xF6schen"},
    {32785,
     "Der Formular-Designer kann nicht ausgef\xFChrt werden, weil seine Registrierung in der "
     "Datenbank fehlgeschlagen ist.  F\xFChren Sie gegebenenfalls TBLFIX aus, um die Tabellen "
     "zu aktualisieren."},
    {32786, "F\xFCgt eine neue Gruppe aus mehreren Formularen hinzu\nMehrere Formulare"},
    {32787, "Aktualisiert die Informationen der Elemente\nAktualisieren"},
    {32788, "W\xE4hlen Sie einen Eintrag aus der Fragenliste aus."},
    {32789, "Das Formular kann nicht hinzugef\xFCgt werden"},
    {32790, "W\xE4hlen Sie ein Element aus."},
    {32791, "Sie m\xFCssen einen Gruppennamen eingeben."},
    {32792, "Sie m\xFCssen den Fragetext und den Inventarnamen angeben."},
    {32793, "%1  Nicht gen\xFCgend Arbeitsspeicher oder Ressourcen."},
    {32794, "%1  Die .EXE-Datei ist ung\xFCltig."},
    {32795, "%1  Die Datei wurde nicht gefunden."},
    {32796, "%1  Der Pfad wurde nicht gefunden."},
    {32797,
     "Das Anzeigeprogramm f\xFCr Formulare konnte aus folgendem Grund nicht gestartet "
     "werden: "},
    {32798, "F\xFCr das Formular kann kein Speicher reserviert werden!"},
    {32800, "Soll '%1' gel\xF6scht werden?"},
    {32801, "Fehler beim Reservieren von Speicher f\xFCr ein Feld!"},
    {32803, "Fehler beim Auswerten eines Feldes!"},
    {32805, "%s kann nicht gel\xF6scht werden, da derzeit ein geplanter Task daf\xFCr besteht."},
    {32806, "Formularname"},
    {32807, "Formularbeschreibung"},
    {32808, "Neues Formular hinzuf\xFCgen"},
    {32809, "Formular-Designer"},
    {32810, "Benutzerdefinierte Datenformulare"},
    {32811, "Doppelte Fragetexte sind in einem Formular nicht zul\xE4ssig."},
    {32812, "Doppelte Datenbank-IDs sind in einem Formular nicht zul\xE4ssig."},
    {32813, "Doppelte Gruppennamen sind nicht zul\xE4ssig."},
    {32814, "Doppelte Formularnamen sind nicht zul\xE4ssig."},
    {32815, "&Fertig stellen"},
    {32816, "&Weiter >"},
    {32817, "-----Seitenumbruch-----"},
    {32818, "Benutzerdefiniertes Datenformular bearbeiten"},
    {32819, "Frage bearbeiten"},
    {32820, "Sie m\xFCssen einen Formularnamen eingeben."},
    {32821,
     "Sie m\xFCssen mindestens ein Formular ausw\xE4hlen, um diese Gruppe einplanen zu "
     "k\xF6nnen."},
    {32822,
     "Beim Speichern des Formulars \"%1\" ist ein Fehler aufgetreten.\nWenn dies eine "
     "zus\xE4tzliche Konsole ist, ben\xF6tigen Sie Administratorrechte auf dem Zentralserver "
     "\"%2\"."},
    {32823, "Die Zeichenfolge \" - \" ist im Formularnamen nicht zul\xE4ssig."},
    {32824, "Die Zeichenfolge \" - \" ist im Inventarnamen nicht zul\xE4ssig."},
    {32825,
     "F\xFCr den Feldtyp \"Kombinationsfeld - (feste Liste)\" m\xFCssen Sie mindestens einen "
     "Eintrag eingeben."},
    {33024,
     "Der Task '%1' kann nicht ausgef\xFChrt werden: Sein Name enth\xE4lt ein Zeichen, das ein "
     "Dateiname nicht enthalten kann (\\ / : * ? \" < > |), daher hat er kein Verteilungsskript."},
    {33025,
     "Der Task '%1' kann nicht ausgef\xFChrt werden: Das Skriptverzeichnis des Core-Servers wurde "
     "nicht gefunden, daher hat er kein Verteilungsskript."},
    {33026,
     "Der Task '%1' kann nicht ausgef\xFChrt werden: Sein Verteilungsskript konnte nicht "
     "geschrieben werden."},
    {33027,
     "Der Task '%1' kann nicht ausgef\xFChrt werden: Der Name eines Tasks kann nicht mehr als 255 "
     "Zeichen enthalten."},
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kTab = kChild | WS_TABSTOP;
constexpr DWORD kDialog = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr const char* kFont = "MS Sans Serif";

DialogItemTemplate Label(const char* text, int x, int y, int cx, int cy) {
  return {"Static", -1, text, kChild | SS_LEFT, x, y, cx, cy};
}
DialogItemTemplate Group(const char* text, int x, int y, int cx, int cy) {
  return {"Button", -1, text, kChild | BS_GROUPBOX, x, y, cx, cy};
}
DialogItemTemplate Push(int id, const char* text, int x, int y, int cx, int cy = 14) {
  return {"Button", id, text, kTab | BS_PUSHBUTTON, x, y, cx, cy};
}
DialogItemTemplate DefPush(int id, const char* text, int x, int y, int cx, int cy = 14) {
  return {"Button", id, text, kTab | BS_DEFPUSHBUTTON, x, y, cx, cy};
}

// "Frage hinzuf\xFCgen": the question dialog.
DialogTemplate QuestionDialog() {
  DialogTemplate t{101, "Frage hinzuf\xFCgen", kDialog, 297, 183, kFont, 8, {}};
  t.items = {
      Label("F&ragetext:", 7, 7, 100, 8),
      {"Edit", 1000, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 17, 216, 12},
      Label("&Inventarname:", 7, 34, 100, 8),
      {"Edit", 1002, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 44, 216, 12},
      Label("&Beschreibung:", 7, 61, 100, 8),
      {"Edit", 1003, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 71, 216, 24},
      Group("Steuerelementtyp", 7, 100, 216, 52),
      {"Button", 1004, "&Eingabefeld", kTab | WS_GROUP | BS_AUTORADIOBUTTON, 15, 112, 200, 10},
      {"Button", 1005, "&Kombinationsfeld - (freie Eingabe)", kChild | BS_AUTORADIOBUTTON, 15, 124,
       200, 10},
      {"Button", 1006, "K&ombinationsfeld - (feste Liste)", kChild | BS_AUTORADIOBUTTON, 15, 136,
       200, 10},
      {"Static", -1, "", kChild | SS_ETCHEDHORZ, 7, 156, 216, 1},
      {"Button", 201, "Das Steuerelement als &Pflichtfeld festlegen",
       kTab | WS_GROUP | BS_AUTOCHECKBOX, 7, 162, 216, 10},
      DefPush(1, "&Fertig stellen", 230, 7, 60),
      Push(2, "Abbrechen", 230, 24, 60),
      Push(9, "&Hilfe", 230, 41, 60),
  };
  return t;
}

// "Eintr\xE4ge hinzuf\xFCgen": the item list dialog.
DialogTemplate ItemListDialog() {
  DialogTemplate t{102, "Eintr\xE4ge hinzuf\xFCgen", kDialog, 297, 183, kFont, 8, {}};
  t.items = {
      Group("Eintr\xE4ge f\xFCr die Liste des Steuerelements eingeben", 7, 7, 216, 169),
      Label("&Name des Eintrags:", 15, 20, 100, 8),
      {"Edit", 1010, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 15, 30, 145, 12},
      DefPush(6, "E&inf\xFCgen", 166, 29, 50),
      Label("&Eintr\xE4ge:", 15, 48, 100, 8),
      {"ListBox", 1011, "",
       kTab | WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT |
           LBS_NOINTEGRALHEIGHT,
       15, 58, 145, 112},
      Push(7, "&L\xF6schen", 166, 58, 50),
      Push(1, "&Fertig stellen", 230, 7, 60),
      Push(2, "Abbrechen", 230, 24, 60),
      Push(9, "&Hilfe", 230, 41, 60),
  };
  return t;
}

// "Benutzerdefiniertes Datenformular erstellen": the form editor.
DialogTemplate FormEditorDialog() {
  static constexpr char kClose[] =
      "S&chlie\xDF"
      "en";
  DialogTemplate t{103, "Benutzerdefiniertes Datenformular erstellen", kDialog, 297, 183, kFont, 8,
                   {}};
  t.items = {
      Label("Formular&name:", 7, 7, 60, 8),
      {"Edit", 1013, "", kTab | WS_BORDER, 70, 5, 153, 12},
      Label("&Beschreibung:", 7, 22, 60, 8),
      {"Edit", 1014, "", kTab | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 70, 20, 153,
       24},
      Group("&Fragen f\xFCr das Datenformular erstellen", 7, 48, 226, 128),
      {"ListBox", 1020, "",
       kTab | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT |
           LBS_NOINTEGRALHEIGHT,
       15, 60, 145, 110},
      Push(1018, "Nach &oben", 166, 60, 60),
      Push(1019, "Nach &unten", 166, 77, 60),
      Push(1012, "Hin&zuf\xFCgen...", 166, 100, 60),
      Push(1015, "B&earbeiten...", 166, 117, 60),
      Push(202, "&L\xF6schen", 166, 134, 60),
      Push(1017, "&Seitenumbruch", 166, 156, 60),
      DefPush(1, kClose, 240, 7, 50),
      Push(203, "&Vorschau", 240, 24, 50),
      Push(9, "&Hilfe", 240, 41, 50),
  };
  return t;
}

// "Mehrere Formulare zur Verteilung ausw\xE4hlen": the group dialog.
DialogTemplate GroupDialog() {
  DialogTemplate t{
      104, "Mehrere Formulare zur Verteilung ausw\xE4hlen", kDialog, 199, 164, kFont, 8, {}};
  t.items = {
      Label("&Name der neuen Gruppe:", 7, 7, 130, 8),
      {"Edit", 1021, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 17, 130, 12},
      Label("&Verf\xFCgbare Formulare:", 7, 34, 130, 8),
      {"ListBox", 1022, "",
       kTab | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
           LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
       7, 44, 130, 113},
      DefPush(1, "OK", 142, 7, 50),
      Push(2, "Abbrechen", 142, 24, 50),
      Push(9, "&Hilfe", 142, 41, 50),
  };
  return t;
}

// The control's about box.
DialogTemplate AboutDialog() {
  static constexpr char kCaption[] =
      "Info \xFC"
      "ber QVccfg-Steuerelement";
  static constexpr char kClose[] =
      "&Schlie\xDF"
      "en";
  DialogTemplate t{1, kCaption, kDialog, 234, 50, kFont, 8, {}};
  t.items = {
      {"Static", -1, "control", WS_CHILD | WS_VISIBLE | SS_ICON, 10, 10, 20, 20},
      Label("QVccfg, Version 6.1", 40, 10, 119, 8),
      DefPush(IDOK, kClose, 176, 7, 50),
  };
  return t;
}

// The control's property page: a child page whose caption is string 200. The control has
// no property of its own to set, and the page says so.
DialogTemplate PropertyPage() {
  DialogTemplate t{200, "", WS_CHILD | DS_SETFONT, 250, 62, kFont, 8, {}};
  t.items = {
      Label("F\xFCr dieses Steuerelement sind keine Eigenschaften einstellbar.", 13, 23, 224, 16),
  };
  return t;
}

MenuItemResource Command(const char* text, UINT id) {
  return MenuItemResource{text, id, false, {}};
}
MenuItemResource Popup(const char* text, std::vector<MenuItemResource> items) {
  return MenuItemResource{text, 0, false, std::move(items)};
}

// The shared menu that the console merges into its own.
MenuResource SharedMenu() {
  return {204,
          {Popup("F&ormulare",
                 {Command("&Neues Formular...", 32770), Command("&\xC4ndern...", 32768)})}};
}

// The list's context menu: its first pop-up is what the view shows.
MenuResource ContextMenu() {
  return {207,
          {Popup("Kontextmen\xFC",
                 {Command("Formular &einplanen", 32771), Command("&L\xF6schen\tEntf", 32772),
                  Command("&\xC4ndern...", 32773)})}};
}

// Schedule | Delete, Modify, Refresh | Large icons, Small icons, List, Details | Multiple
// forms: the same buttons in the same order as the module's, so they take its pictures.
ToolBarResource ToolBar() {
  return {204, 16, 16, {32783, 0, 32784, 32768, 32787, 0, 32778, 32779, 32780, 32781, 0, 32786}};
}

// The module's bitmaps, whose pictures the German module shows as they are: the list view's
// images, large (201) and small (208), and the toolbar's (204), one per button. Each image
// has its name and its picture, images/<folder>/<file>.svg under the resources folder.
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
std::vector<Picture> ListPictures() {
  return {{"add new form", "add-new-form"}, {"form", "form"}, {"group", "group"}};
}
std::vector<BitmapResource> Bitmaps() {
  return {Bitmap(201, 32, "large", ListPictures()), Bitmap(208, 16, "small", ListPictures()),
          Bitmap(204, 16, "toolbar",
                 {{"schedule", "schedule"},
                  {"delete", "delete"},
                  {"modify", "modify"},
                  {"refresh", "refresh"},
                  {"large icons", "large-icons"},
                  {"small icons", "small-icons"},
                  {"list", "list"},
                  {"details", "details"},
                  {"multiple forms", "multiple-forms"}})};
}

class GermanModule : public qv::ResourceModule {
 public:
  GermanModule() {
    for (DialogTemplate t : {QuestionDialog(), ItemListDialog(), FormEditorDialog(), GroupDialog(),
                             AboutDialog(), PropertyPage()})
      dialogs_.emplace(t.id, std::move(t));
    for (MenuResource m : {SharedMenu(), ContextMenu()})
      menus_.emplace(m.id, std::move(m));
    ToolBarResource bar = ToolBar();
    toolBars_.emplace(bar.id, std::move(bar));
    for (BitmapResource b : Bitmaps())
      bitmaps_.emplace(b.id, std::move(b));
  }

  const DialogTemplate* FindDialog(int id) const override { return Find(dialogs_, id); }
  const BitmapResource* FindBitmap(int id) const override { return Find(bitmaps_, id); }
  const MenuResource* FindMenu(int id) const override { return Find(menus_, id); }
  const ToolBarResource* FindToolBar(int id) const override { return Find(toolBars_, id); }
  const char* FindString(UINT id) const override {
    auto found =
        std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                         [](const StringEntry& entry, UINT key) { return entry.id < key; });
    return found == std::end(kStrings) || found->id != id ? nullptr : found->text;
  }

 private:
  template <typename T>
  static const T* Find(const std::map<int, T>& resources, int id) {
    auto it = resources.find(id);
    return it == resources.end() ? nullptr : &it->second;
  }

  std::map<int, DialogTemplate> dialogs_;
  std::map<int, BitmapResource> bitmaps_;
  std::map<int, MenuResource> menus_;
  std::map<int, ToolBarResource> toolBars_;
};

}  // namespace

namespace qv {

const ResourceModule& GermanResources() {
  static const GermanModule german;
  return german;
}

}  // namespace qv
