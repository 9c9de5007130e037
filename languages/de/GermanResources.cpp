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
#include "resources/ResourceIds.h"

namespace {

struct StringEntry {
  UINT id;
  const char* text;
};

// In id order: looked up by binary search.
const StringEntry kStrings[] = {
    {IDS_QVCCFG, "QVccfg-Steuerelement"},
    {IDS_QVCCFG_PPG, "QVccfg-Eigenschaftenseite"},
    {IDS_QVCCFG_PPG_CAPTION, "Allgemein"},
    {ID_FORMS_MODIFY, "\xC4ndert ein vorhandenes Formular\n\xC4ndern"},
    {ID_FORMS_NEWFORM, "Erstellt ein neues Formular\nNeues Formular"},
    {ID_FORMS_SCHEDULE, "Plant die Verteilung eines Formulars\nFormular einplanen"},
    {ID_FORMS_DELETE, "L\xF6scht ein vorhandenes Formular\nL\xF6schen"},
    {ID_FORMS_PROPERTIES,
     "Bearbeitet die Eigenschaften eines vorhandenen Formulars\nEigenschaften..."},
    {ID_VIEW_LARGEICONS,
     "Zeigt die Elemente mit gro\xDF"
     "en Symbolen an\nGro\xDF"
     "e Symbole"},
    {ID_VIEW_SMALLICONS, "Zeigt die Elemente mit kleinen Symbolen an\nKleine Symbole"},
    {ID_VIEW_LIST, "Zeigt die Elemente in einer Liste an\nListe"},
    {ID_VIEW_DETAILS, "Zeigt Informationen zu jedem Element im Fenster an\nDetails"},
    {IDS_PLUGIN_NAME, "Ben&utzerdefinierte Datenformulare"},
    {ID_TOOLBAR_SCHEDULE, "Plant die Verteilung eines Formulars\nFormular einplanen"},
    {ID_TOOLBAR_DELETE, "L\xF6scht die markierten Formulare\nL\xF6schen"},
    {IDS_REGISTRATION_FAILED,
     "Der Formular-Designer kann nicht ausgef\xFChrt werden, weil seine Registrierung in der "
     "Datenbank fehlgeschlagen ist.  F\xFChren Sie gegebenenfalls TBLFIX aus, um die Tabellen "
     "zu aktualisieren."},
    {ID_TOOLBAR_MULTIPLEFORMS,
     "F\xFCgt eine neue Gruppe aus mehreren Formularen hinzu\nMehrere Formulare"},
    {ID_TOOLBAR_REFRESH, "Aktualisiert die Informationen der Elemente\nAktualisieren"},
    {IDS_SELECT_QUESTION, "W\xE4hlen Sie einen Eintrag aus der Fragenliste aus."},
    {IDS_UNABLE_TO_ADD_FORM, "Das Formular kann nicht hinzugef\xFCgt werden"},
    {IDS_SELECT_ITEM, "W\xE4hlen Sie ein Element aus."},
    {IDS_GROUP_NAME_REQUIRED, "Sie m\xFCssen einen Gruppennamen eingeben."},
    {IDS_QUESTION_FIELDS_REQUIRED, "Sie m\xFCssen den Fragetext und den Inventarnamen angeben."},
    {IDS_EXEC_OUT_OF_MEMORY, "%1  Nicht gen\xFCgend Arbeitsspeicher oder Ressourcen."},
    {IDS_EXEC_BAD_FORMAT, "%1  Die .EXE-Datei ist ung\xFCltig."},
    {IDS_EXEC_FILE_NOT_FOUND, "%1  Die Datei wurde nicht gefunden."},
    {IDS_EXEC_PATH_NOT_FOUND, "%1  Der Pfad wurde nicht gefunden."},
    {IDS_VIEWER_LAUNCH_FAILED,
     "Das Anzeigeprogramm f\xFCr Formulare konnte aus folgendem Grund nicht gestartet "
     "werden: "},
    {IDS_FORM_ALLOCATION_FAILED, "F\xFCr das Formular kann kein Speicher reserviert werden!"},
    {IDS_DELETE_PROMPT, "Soll '%1' gel\xF6scht werden?"},
    {IDS_FIELD_ALLOCATION_ERROR, "Fehler beim Reservieren von Speicher f\xFCr ein Feld!"},
    {IDS_FIELD_PARSING_ERROR, "Fehler beim Auswerten eines Feldes!"},
    {IDS_SCHEDULED_CANNOT_DELETE,
     "%s kann nicht gel\xF6scht werden, da derzeit ein geplanter Task daf\xFCr besteht."},
    {IDS_FORM_NAME_HEADING, "Formularname"},
    {IDS_FORM_DESCRIPTION_HEADING, "Formularbeschreibung"},
    {IDS_ADD_NEW_FORM, "Neues Formular hinzuf\xFCgen"},
    {IDS_APP_NAME, "Formular-Designer"},
    {IDS_CAPTION, "Benutzerdefinierte Datenformulare"},
    {IDS_DUPLICATE_QUESTION, "Doppelte Fragetexte sind in einem Formular nicht zul\xE4ssig."},
    {IDS_DUPLICATE_DATABASE_ID, "Doppelte Datenbank-IDs sind in einem Formular nicht zul\xE4ssig."},
    {IDS_DUPLICATE_GROUP, "Doppelte Gruppennamen sind nicht zul\xE4ssig."},
    {IDS_DUPLICATE_FORM, "Doppelte Formularnamen sind nicht zul\xE4ssig."},
    {IDS_FINISH, "&Fertig stellen"},
    {IDS_NEXT, "&Weiter >"},
    {IDS_PAGE_BREAK, "-----Seitenumbruch-----"},
    {IDS_EDIT_FORM_CAPTION, "Benutzerdefiniertes Datenformular bearbeiten"},
    {IDS_EDIT_QUESTION_CAPTION, "Frage bearbeiten"},
    {IDS_FORM_NAME_REQUIRED, "Sie m\xFCssen einen Formularnamen eingeben."},
    {IDS_GROUP_NEEDS_FORM,
     "Sie m\xFCssen mindestens ein Formular ausw\xE4hlen, um diese Gruppe einplanen zu "
     "k\xF6nnen."},
    {IDS_SAVE_FAILED,
     "Beim Speichern des Formulars \"%1\" ist ein Fehler aufgetreten.\nWenn dies eine "
     "zus\xE4tzliche Konsole ist, ben\xF6tigen Sie Administratorrechte auf dem Zentralserver "
     "\"%2\"."},
    {IDS_FORM_NAME_SEPARATOR, "Die Zeichenfolge \" - \" ist im Formularnamen nicht zul\xE4ssig."},
    {IDS_INVENTORY_NAME_SEPARATOR,
     "Die Zeichenfolge \" - \" ist im Inventarnamen nicht zul\xE4ssig."},
    {IDS_FIXED_LIST_NEEDS_ITEM,
     "F\xFCr den Feldtyp \"Kombinationsfeld - (feste Liste)\" m\xFCssen Sie mindestens einen "
     "Eintrag eingeben."},
    {IDS_TASK_NAME_BAD_CHARACTER,
     "Der Task '%1' kann nicht ausgef\xFChrt werden: Sein Name enth\xE4lt ein Zeichen, das ein "
     "Dateiname nicht enthalten kann (\\ / : * ? \" < > |), daher hat er kein Verteilungsskript."},
    {IDS_TASK_NO_SCRIPTS_DIRECTORY,
     "Der Task '%1' kann nicht ausgef\xFChrt werden: Das Skriptverzeichnis des Core-Servers wurde "
     "nicht gefunden, daher hat er kein Verteilungsskript."},
    {IDS_TASK_SCRIPT_NOT_WRITTEN,
     "Der Task '%1' kann nicht ausgef\xFChrt werden: Sein Verteilungsskript konnte nicht "
     "geschrieben werden."},
    {IDS_TASK_NAME_TOO_LONG,
     "Der Task '%1' kann nicht ausgef\xFChrt werden: Der Name eines Tasks kann nicht mehr als 255 "
     "Zeichen enthalten."},
    // The framework's own texts.
    {AFX_IDS_OK, "OK"},
    {AFX_IDS_CANCEL, "Abbrechen"},
    {AFX_IDS_YES, "&Ja"},
    {AFX_IDS_NO, "&Nein"},
    {AFX_IDS_APPLY, "\xDC&bernehmen"},
    {AFX_IDS_PROPERTIES, "Eigenschaften"},
    {AFX_IDS_PROPERTIES_OF, "Eigenschaften von %1"},
    // The console's texts: its menus, prompts, task pane and page.
    {IDS_CONSOLE_LANGUAGE, "de"},
    {IDS_CONSOLE_TITLE, "Konsole"},
    {IDS_CONSOLE_READY, "Bereit"},
    {IDS_CONSOLE_FILE_MENU, "&Datei"},
    {IDS_CONSOLE_PROPERTIES, "&Eigenschaften..."},
    {IDS_CONSOLE_PROPERTIES_PROMPT, "Zeigt die Eigenschaften des Plug-Ins"},
    {IDS_CONSOLE_EXIT, "&Beenden"},
    {IDS_CONSOLE_EXIT_PROMPT, "Beendet die Konsole"},
    {IDS_CONSOLE_VIEW_MENU, "&Ansicht"},
    {IDS_CONSOLE_NAVIGATION_PANE, "&Navigationsbereich"},
    {IDS_CONSOLE_NAVIGATION_PANE_PROMPT, "Blendet den Navigationsbereich ein oder aus"},
    {IDS_CONSOLE_TASK_PANE, "&Aufgabenbereich"},
    {IDS_CONSOLE_TASK_PANE_PROMPT, "Blendet den Aufgabenbereich ein oder aus"},
    {IDS_CONSOLE_HELP_MENU, "&Hilfe"},
    {IDS_CONSOLE_HELP_TOPICS, "&Hilfethemen"},
    {IDS_CONSOLE_HELP_TOPICS_PROMPT, "Listet die Hilfethemen des Plug-Ins auf"},
    {IDS_CONSOLE_ABOUT, "&Info zum Plug-In..."},
    {IDS_CONSOLE_ABOUT_PROMPT, "Zeigt die Version des Plug-Ins"},
    {IDS_CONSOLE_ANSWERS, "&Antworten..."},
    {IDS_CONSOLE_ANSWERS_PROMPT,
     "Zeigt die Antworten der Benutzer der Clients auf das ausgew\xE4hlte Formular"},
    {IDS_PANE_TASKS, "Aufgaben"},
    {IDS_PANE_NO_TASKS, "Keine Aufgaben geplant."},
    {IDS_PANE_RUN_NOW, "Jetzt ausf\xFChren"},
    {IDS_PANE_REMOVE, "Entfernen"},
    {IDS_PANE_RUNNING, "L\xE4uft\x85"},
    {IDS_PANE_NOT_RUNNABLE, "Nicht ausf\xFChrbar: Das Skript fehlt."},
    {IDS_PANE_NOT_RUN_YET, "Noch nicht ausgef\xFChrt."},
    {IDS_PANE_RUN_OK, "ok"},
    {IDS_PANE_RUN_FAILED, "fehlgeschlagen"},
    {IDS_PANE_CLIENTS, "Clients"},
    {IDS_PANE_NO_FORMS, "Keine Formulare."},
    {IDS_PANE_CONFIGURATIONS, "Konfigurationen"},
    {IDS_PANE_NO_CONFIGURATIONS, "Keine."},
    {IDS_PAGE_STOPPED,
     "Die Konsole l\xE4uft nicht mehr. Starten Sie sie erneut und laden Sie dann diese Seite neu."},
    {IDS_PANE_PROGRESS, "%1 von %2 entfernten Computern fertig"},
    {IDS_PANE_NOT_REACHED, "nicht erreicht"},
    {IDS_PANE_SUMMARY,
     "Letzter Lauf je Computer: %1 erledigt, %2 fehlgeschlagen, %3 nicht erreicht"},
    {IDS_PANE_PAGE, "%1-%2 von %3"},
    {IDS_PANE_PREVIOUS,
     "Zur\xFC"
     "ck"},
    {IDS_PANE_NEXT, "Weiter"},
    {IDS_PANE_FIND, "Computer suchen:"},
    // The Answers window.
    {IDS_ANSWERS_CAPTION, "Antworten auf %1"},
    {IDS_ANSWERS_CLIENT, "Computer"},
    {IDS_ANSWERS_ANSWERED, "Beantwortet"},
    {IDS_ANSWERS_NOT_ANSWERED, "Clients mit dem Formular ohne Antwort: %1"},
    {IDS_ANSWERS_UNREAD, "Nicht gelesen: %1"},
    {IDS_ANSWERS_EXPORT, "&Exportieren"},
    {IDS_ANSWERS_CLOSE,
     "Schlie\xDF"
     "en"},
    // The form viewer's pages.
    {IDS_VIEWER_LANGUAGE, "de"},
    {IDS_VIEWER_UNTITLED, "Formular ohne Namen"},
    {IDS_VIEWER_REQUIRED, "Eine Antwort ist erforderlich"},
    {IDS_VIEWER_REQUIRED_LEGEND, "Eine Antwort ist erforderlich."},
    {IDS_VIEWER_PAGE, "Seite "},
    {IDS_VIEWER_OF, " von "},
    {IDS_VIEWER_BACK,
     "< Zur\xFC"
     "ck"},
    {IDS_VIEWER_NEXT, "Weiter >"},
    {IDS_VIEWER_NO_FORM, "Noch kein Formular"},
    {IDS_VIEWER_NO_FORM_TEXT,
     "Es gibt noch kein Formular zum Anzeigen: Das neue Formular hat noch keinen Namen und keine "
     "Fragen. Geben Sie ihm einen Namen und Fragen, und w\xE4hlen Sie dann erneut Vorschau."},
    {IDS_VIEWER_ANSWER_MISSING, "Bitte beantworten Sie die Frage \"%1\" auf Seite %2."},
    {IDS_VIEWER_ANSWER_NOT_CHOICE, "Die Antwort auf \"%1\" muss eine der Auswahlen sein."},
    {IDS_VIEWER_ANSWER_TOO_LONG, "Die Antwort auf \"%1\" ist l\xE4nger als 255 Zeichen."},
    {IDS_VIEWER_ANSWER_LINE, "Die Antwort auf \"%1\" muss eine Textzeile sein."},
    {IDS_VIEWER_NO_QUESTION, "Das Formular hat keine Frage \"%1\" zum Beantworten."},
    {IDS_VIEWER_ANSWER_TWICE, "Die Frage \"%1\" ist zweimal beantwortet."},
    {IDS_VIEWER_FINISH, "Fertig stellen"},
    {IDS_VIEWER_RECORDED, "Vielen Dank. Ihre Antworten wurden gespeichert."},
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
  DialogTemplate t{IDD_QUESTION, "Frage hinzuf\xFCgen", kDialog, 297, 183, kFont, 8, {}};
  t.items = {
      Label("F&ragetext:", 7, 7, 100, 8),
      {"Edit", IDC_QUESTION_TEXT, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 17, 216, 12},
      Label("&Inventarname:", 7, 34, 100, 8),
      {"Edit", IDC_INVENTORY_NAME, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 44, 216, 12},
      Label("&Beschreibung:", 7, 61, 100, 8),
      {"Edit", IDC_QUESTION_DESCRIPTION, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 71, 216, 24},
      Group("Steuerelementtyp", 7, 100, 216, 52),
      {"Button", IDC_EDIT_BOX, "&Eingabefeld", kTab | WS_GROUP | BS_AUTORADIOBUTTON, 15, 112, 200,
       10},
      {"Button", IDC_COMBO_EDIT_LIST, "&Kombinationsfeld - (freie Eingabe)",
       kChild | BS_AUTORADIOBUTTON, 15, 124, 200, 10},
      {"Button", IDC_COMBO_FIXED_LIST, "K&ombinationsfeld - (feste Liste)",
       kChild | BS_AUTORADIOBUTTON, 15, 136, 200, 10},
      {"Static", -1, "", kChild | SS_ETCHEDHORZ, 7, 156, 216, 1},
      {"Button", IDC_REQUIRED, "Das Steuerelement als &Pflichtfeld festlegen",
       kTab | WS_GROUP | BS_AUTOCHECKBOX, 7, 162, 216, 10},
      DefPush(IDOK, "&Fertig stellen", 230, 7, 60),
      Push(IDCANCEL, "Abbrechen", 230, 24, 60),
      Push(IDHELP, "&Hilfe", 230, 41, 60),
  };
  return t;
}

// "Eintr\xE4ge hinzuf\xFCgen": the item list dialog.
DialogTemplate ItemListDialog() {
  DialogTemplate t{IDD_ITEM_LIST, "Eintr\xE4ge hinzuf\xFCgen", kDialog, 297, 183, kFont, 8, {}};
  t.items = {
      Group("Eintr\xE4ge f\xFCr die Liste des Steuerelements eingeben", 7, 7, 216, 169),
      Label("&Name des Eintrags:", 15, 20, 100, 8),
      {"Edit", IDC_ITEM_NAME, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 15, 30, 145, 12},
      DefPush(IDC_INSERT_ITEM, "E&inf\xFCgen", 166, 29, 50),
      Label("&Eintr\xE4ge:", 15, 48, 100, 8),
      {"ListBox", IDC_ITEM_LIST, "",
       kTab | WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT |
           LBS_NOINTEGRALHEIGHT,
       15, 58, 145, 112},
      Push(IDC_DELETE_ITEM, "&L\xF6schen", 166, 58, 50),
      Push(IDOK, "&Fertig stellen", 230, 7, 60),
      Push(IDCANCEL, "Abbrechen", 230, 24, 60),
      Push(IDHELP, "&Hilfe", 230, 41, 60),
  };
  return t;
}

// "Benutzerdefiniertes Datenformular erstellen": the form editor.
DialogTemplate FormEditorDialog() {
  static constexpr char kClose[] =
      "S&chlie\xDF"
      "en";
  DialogTemplate t{IDD_FORM_EDITOR,
                   "Benutzerdefiniertes Datenformular erstellen",
                   kDialog,
                   297,
                   183,
                   kFont,
                   8,
                   {}};
  t.items = {
      Label("Formular&name:", 7, 7, 60, 8),
      {"Edit", IDC_FORM_NAME, "", kTab | WS_BORDER, 70, 5, 153, 12},
      Label("&Beschreibung:", 7, 22, 60, 8),
      {"Edit", IDC_FORM_DESCRIPTION, "",
       kTab | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 70, 20, 153, 24},
      Group("&Fragen f\xFCr das Datenformular erstellen", 7, 48, 226, 128),
      {"ListBox", IDC_QUESTION_LIST, "",
       kTab | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT |
           LBS_NOINTEGRALHEIGHT,
       15, 60, 145, 110},
      Push(IDC_MOVE_UP, "Nach &oben", 166, 60, 60),
      Push(IDC_MOVE_DOWN, "Nach &unten", 166, 77, 60),
      Push(IDC_ADD_QUESTION, "Hin&zuf\xFCgen...", 166, 100, 60),
      Push(IDC_EDIT_QUESTION, "B&earbeiten...", 166, 117, 60),
      Push(IDC_DELETE_QUESTION, "&L\xF6schen", 166, 134, 60),
      Push(IDC_PAGE_BREAK, "&Seitenumbruch", 166, 156, 60),
      DefPush(IDOK, kClose, 240, 7, 50),
      Push(IDC_PREVIEW, "&Vorschau", 240, 24, 50),
      Push(IDHELP, "&Hilfe", 240, 41, 50),
  };
  return t;
}

// "Mehrere Formulare zur Verteilung ausw\xE4hlen": the group dialog.
DialogTemplate GroupDialog() {
  DialogTemplate t{IDD_FORM_GROUP,
                   "Mehrere Formulare zur Verteilung ausw\xE4hlen",
                   kDialog,
                   199,
                   164,
                   kFont,
                   8,
                   {}};
  t.items = {
      Label("&Name der neuen Gruppe:", 7, 7, 130, 8),
      {"Edit", IDC_GROUP_NAME, "", kTab | WS_BORDER | ES_AUTOHSCROLL, 7, 17, 130, 12},
      Label("&Verf\xFCgbare Formulare:", 7, 34, 130, 8),
      {"ListBox", IDC_GROUP_FORMS, "",
       kTab | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
           LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
       7, 44, 130, 113},
      DefPush(IDOK, "OK", 142, 7, 50),
      Push(IDCANCEL, "Abbrechen", 142, 24, 50),
      Push(IDHELP, "&Hilfe", 142, 41, 50),
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
  DialogTemplate t{IDD_ABOUTBOX_QVCCFG, kCaption, kDialog, 234, 50, kFont, 8, {}};
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
  DialogTemplate t{IDD_PROPPAGE_QVCCFG, "", WS_CHILD | DS_SETFONT, 250, 62, kFont, 8, {}};
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
  return {IDR_FORMS,
          {Popup("F&ormulare", {Command("&Neues Formular...", ID_FORMS_NEWFORM),
                                Command("&\xC4ndern...", ID_FORMS_MODIFY)})}};
}

// The list's context menu: its first pop-up is what the view shows.
MenuResource ContextMenu() {
  return {IDR_CONTEXT_MENU,
          {Popup("Kontextmen\xFC", {Command("Formular &einplanen", ID_FORMS_SCHEDULE),
                                    Command("&L\xF6schen\tEntf", ID_FORMS_DELETE),
                                    Command("&\xC4ndern...", ID_FORMS_PROPERTIES)})}};
}

// Schedule | Delete, Modify, Refresh | Large icons, Small icons, List, Details | Multiple
// forms: the same buttons in the same order as the module's, so they take its pictures.
ToolBarResource ToolBar() {
  return {IDR_FORMS,
          16,
          16,
          {ID_TOOLBAR_SCHEDULE, 0, ID_TOOLBAR_DELETE, ID_FORMS_MODIFY, ID_TOOLBAR_REFRESH, 0,
           ID_VIEW_LARGEICONS, ID_VIEW_SMALLICONS, ID_VIEW_LIST, ID_VIEW_DETAILS, 0,
           ID_TOOLBAR_MULTIPLEFORMS}};
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
  return {Bitmap(IDB_LARGE_IMAGES, 32, "large", ListPictures()),
          Bitmap(IDB_SMALL_IMAGES, 16, "small", ListPictures()),
          Bitmap(IDR_FORMS, 16, "toolbar",
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
