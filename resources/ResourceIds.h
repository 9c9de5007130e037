// The module's resource ids: its strings, commands, dialogs, controls, menus, toolbar and
// bitmaps. The values are fixed: language modules and files written by other programs name
// resources by these numbers, so an id never changes once given.
//
// A command's string has the command's id: its status-bar prompt, a line break and its
// tooltip. A dialog's id is also the help context of its Help button and F1.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/ui/FrameworkIds.h"

// ---- The control (its name, its property page and its about box)

inline constexpr UINT IDS_QVCCFG = 1;                // "QVccfg Control"
inline constexpr UINT IDS_QVCCFG_PPG = 2;            // "QVccfg Property Page"
inline constexpr UINT IDS_QVCCFG_PPG_CAPTION = 200;  // "General"
inline constexpr int IDD_ABOUTBOX_QVCCFG = 1;
inline constexpr int IDD_PROPPAGE_QVCCFG = 200;

// ---- Commands (menus 204 and 207, toolbar 204)

inline constexpr UINT ID_FORMS_MODIFY = 32768;
inline constexpr UINT ID_FORMS_NEWFORM = 32770;
inline constexpr UINT ID_FORMS_SCHEDULE = 32771;
inline constexpr UINT ID_FORMS_DELETE = 32772;
inline constexpr UINT ID_FORMS_PROPERTIES = 32773;
inline constexpr UINT ID_VIEW_LARGEICONS = 32778;
inline constexpr UINT ID_VIEW_SMALLICONS = 32779;
inline constexpr UINT ID_VIEW_LIST = 32780;
inline constexpr UINT ID_VIEW_DETAILS = 32781;
inline constexpr UINT ID_TOOLBAR_SCHEDULE = 32783;
inline constexpr UINT ID_TOOLBAR_DELETE = 32784;
inline constexpr UINT ID_TOOLBAR_MULTIPLEFORMS = 32786;
inline constexpr UINT ID_TOOLBAR_REFRESH = 32787;

// ---- Strings

inline constexpr UINT IDS_PLUGIN_NAME = 32782;  // "C&ustom Data Forms"
inline constexpr UINT IDS_REGISTRATION_FAILED = 32785;
inline constexpr UINT IDS_SELECT_QUESTION = 32788;
inline constexpr UINT IDS_UNABLE_TO_ADD_FORM = 32789;
inline constexpr UINT IDS_SELECT_ITEM = 32790;
inline constexpr UINT IDS_GROUP_NAME_REQUIRED = 32791;
inline constexpr UINT IDS_QUESTION_FIELDS_REQUIRED = 32792;
inline constexpr UINT IDS_EXEC_OUT_OF_MEMORY = 32793;
inline constexpr UINT IDS_EXEC_BAD_FORMAT = 32794;
inline constexpr UINT IDS_EXEC_FILE_NOT_FOUND = 32795;
inline constexpr UINT IDS_EXEC_PATH_NOT_FOUND = 32796;
inline constexpr UINT IDS_VIEWER_LAUNCH_FAILED = 32797;
inline constexpr UINT IDS_FORM_ALLOCATION_FAILED = 32798;
inline constexpr UINT IDS_DELETE_PROMPT = 32800;
inline constexpr UINT IDS_FIELD_ALLOCATION_ERROR = 32801;
inline constexpr UINT IDS_FIELD_PARSING_ERROR = 32803;
inline constexpr UINT IDS_SCHEDULED_CANNOT_DELETE = 32805;
inline constexpr UINT IDS_FORM_NAME_HEADING = 32806;
inline constexpr UINT IDS_FORM_DESCRIPTION_HEADING = 32807;
inline constexpr UINT IDS_ADD_NEW_FORM = 32808;
inline constexpr UINT IDS_APP_NAME = 32809;  // "Form Designer"
inline constexpr UINT IDS_CAPTION = 32810;   // "Custom Data Forms"
inline constexpr UINT IDS_DUPLICATE_QUESTION = 32811;
inline constexpr UINT IDS_DUPLICATE_DATABASE_ID = 32812;
inline constexpr UINT IDS_DUPLICATE_GROUP = 32813;
inline constexpr UINT IDS_DUPLICATE_FORM = 32814;
inline constexpr UINT IDS_FINISH = 32815;
inline constexpr UINT IDS_NEXT = 32816;
inline constexpr UINT IDS_PAGE_BREAK = 32817;
inline constexpr UINT IDS_EDIT_FORM_CAPTION = 32818;
inline constexpr UINT IDS_EDIT_QUESTION_CAPTION = 32819;
inline constexpr UINT IDS_FORM_NAME_REQUIRED = 32820;
inline constexpr UINT IDS_GROUP_NEEDS_FORM = 32821;
inline constexpr UINT IDS_SAVE_FAILED = 32822;
inline constexpr UINT IDS_FORM_NAME_SEPARATOR = 32823;
inline constexpr UINT IDS_INVENTORY_NAME_SEPARATOR = 32824;
inline constexpr UINT IDS_FIXED_LIST_NEEDS_ITEM = 32825;
// Beyond the system's own: why a scheduled task cannot run.
inline constexpr UINT IDS_TASK_NAME_BAD_CHARACTER = 33024;
inline constexpr UINT IDS_TASK_NO_SCRIPTS_DIRECTORY = 33025;
inline constexpr UINT IDS_TASK_SCRIPT_NOT_WRITTEN = 33026;
inline constexpr UINT IDS_TASK_NAME_TOO_LONG = 33027;

// ---- Dialogs

inline constexpr int IDD_QUESTION = 101;
inline constexpr int IDD_ITEM_LIST = 102;
inline constexpr int IDD_FORM_EDITOR = 103;
inline constexpr int IDD_FORM_GROUP = 104;

// ---- Controls (besides IDOK, IDCANCEL and IDHELP)

// The question dialog.
inline constexpr int IDC_QUESTION_TEXT = 1000;
inline constexpr int IDC_INVENTORY_NAME = 1002;
inline constexpr int IDC_QUESTION_DESCRIPTION = 1003;
inline constexpr int IDC_EDIT_BOX = 1004;
inline constexpr int IDC_COMBO_EDIT_LIST = 1005;
inline constexpr int IDC_COMBO_FIXED_LIST = 1006;
inline constexpr int IDC_REQUIRED = 201;
// The item list dialog.
inline constexpr int IDC_INSERT_ITEM = 6;
inline constexpr int IDC_DELETE_ITEM = 7;
inline constexpr int IDC_ITEM_NAME = 1010;
inline constexpr int IDC_ITEM_LIST = 1011;
// The form editor.
inline constexpr int IDC_ADD_QUESTION = 1012;
inline constexpr int IDC_FORM_NAME = 1013;
inline constexpr int IDC_FORM_DESCRIPTION = 1014;
inline constexpr int IDC_EDIT_QUESTION = 1015;
inline constexpr int IDC_PAGE_BREAK = 1017;
inline constexpr int IDC_MOVE_UP = 1018;
inline constexpr int IDC_MOVE_DOWN = 1019;
inline constexpr int IDC_QUESTION_LIST = 1020;
inline constexpr int IDC_DELETE_QUESTION = 202;
inline constexpr int IDC_PREVIEW = 203;
// The group dialog.
inline constexpr int IDC_GROUP_NAME = 1021;
inline constexpr int IDC_GROUP_FORMS = 1022;

// ---- Menus, toolbar and bitmaps

inline constexpr int IDR_FORMS = 204;  // the shared menu, the toolbar and its bitmap
inline constexpr int IDR_CONTEXT_MENU = 207;
inline constexpr int IDB_LARGE_IMAGES = 201;
inline constexpr int IDB_SMALL_IMAGES = 208;

// ---- The console's own texts (its menus, prompts and task pane), 0xE200 to 0xE2FF

inline constexpr UINT IDS_CONSOLE_LANGUAGE = 0xE200;  // the texts' language tag: "en"
inline constexpr UINT IDS_CONSOLE_TITLE = 0xE201;
inline constexpr UINT IDS_CONSOLE_READY = 0xE202;
inline constexpr UINT IDS_CONSOLE_FILE_MENU = 0xE203;
inline constexpr UINT IDS_CONSOLE_PROPERTIES = 0xE204;
inline constexpr UINT IDS_CONSOLE_PROPERTIES_PROMPT = 0xE205;
inline constexpr UINT IDS_CONSOLE_EXIT = 0xE206;
inline constexpr UINT IDS_CONSOLE_EXIT_PROMPT = 0xE207;
inline constexpr UINT IDS_CONSOLE_VIEW_MENU = 0xE208;
inline constexpr UINT IDS_CONSOLE_NAVIGATION_PANE = 0xE209;
inline constexpr UINT IDS_CONSOLE_NAVIGATION_PANE_PROMPT = 0xE20A;
inline constexpr UINT IDS_CONSOLE_TASK_PANE = 0xE20B;
inline constexpr UINT IDS_CONSOLE_TASK_PANE_PROMPT = 0xE20C;
inline constexpr UINT IDS_CONSOLE_HELP_MENU = 0xE20D;
inline constexpr UINT IDS_CONSOLE_HELP_TOPICS = 0xE20E;
inline constexpr UINT IDS_CONSOLE_HELP_TOPICS_PROMPT = 0xE20F;
inline constexpr UINT IDS_CONSOLE_ABOUT = 0xE210;
inline constexpr UINT IDS_CONSOLE_ABOUT_PROMPT = 0xE211;
inline constexpr UINT IDS_CONSOLE_ANSWERS = 0xE212;  // on the Forms menu and the context menu
inline constexpr UINT IDS_CONSOLE_ANSWERS_PROMPT = 0xE213;
// The task pane and the page.
inline constexpr UINT IDS_PANE_TASKS = 0xE220;
inline constexpr UINT IDS_PANE_NO_TASKS = 0xE221;
inline constexpr UINT IDS_PANE_RUN_NOW = 0xE222;
inline constexpr UINT IDS_PANE_REMOVE = 0xE223;
inline constexpr UINT IDS_PANE_RUNNING = 0xE224;
inline constexpr UINT IDS_PANE_NOT_RUNNABLE = 0xE225;
inline constexpr UINT IDS_PANE_NOT_RUN_YET = 0xE226;
inline constexpr UINT IDS_PANE_RUN_OK = 0xE227;
inline constexpr UINT IDS_PANE_RUN_FAILED = 0xE228;
inline constexpr UINT IDS_PANE_CLIENTS = 0xE229;
inline constexpr UINT IDS_PANE_NO_FORMS = 0xE22A;
inline constexpr UINT IDS_PANE_CONFIGURATIONS = 0xE22B;
inline constexpr UINT IDS_PANE_NO_CONFIGURATIONS = 0xE22C;
inline constexpr UINT IDS_PAGE_STOPPED = 0xE22D;
inline constexpr UINT IDS_PANE_PROGRESS = 0xE22E;
inline constexpr UINT IDS_PANE_NOT_REACHED = 0xE22F;
inline constexpr UINT IDS_PANE_SUMMARY = 0xE230;
inline constexpr UINT IDS_PANE_PAGE = 0xE231;
inline constexpr UINT IDS_PANE_PREVIOUS = 0xE232;
inline constexpr UINT IDS_PANE_NEXT = 0xE233;
inline constexpr UINT IDS_PANE_FIND = 0xE234;
// The Answers window: %1 the form's name, a count, or the clients not read.
inline constexpr UINT IDS_ANSWERS_CAPTION = 0xE240;
inline constexpr UINT IDS_ANSWERS_CLIENT = 0xE241;
inline constexpr UINT IDS_ANSWERS_ANSWERED = 0xE242;
inline constexpr UINT IDS_ANSWERS_NOT_ANSWERED = 0xE243;
inline constexpr UINT IDS_ANSWERS_UNREAD = 0xE244;
inline constexpr UINT IDS_ANSWERS_EXPORT = 0xE245;
inline constexpr UINT IDS_ANSWERS_CLOSE = 0xE246;

// ---- The form viewer's own words on its pages, 0xE300 to 0xE3FF. They are plain text; the
// viewer escapes them for HTML.

inline constexpr UINT IDS_VIEWER_LANGUAGE = 0xE300;  // the page's language tag: "en"
inline constexpr UINT IDS_VIEWER_UNTITLED = 0xE301;
inline constexpr UINT IDS_VIEWER_REQUIRED = 0xE302;         // the required mark's tooltip
inline constexpr UINT IDS_VIEWER_REQUIRED_LEGEND = 0xE303;  // what the mark means
inline constexpr UINT IDS_VIEWER_PAGE = 0xE304;             // "Page " N
inline constexpr UINT IDS_VIEWER_OF = 0xE305;               // " of " M
inline constexpr UINT IDS_VIEWER_BACK = 0xE306;
inline constexpr UINT IDS_VIEWER_NEXT = 0xE307;
inline constexpr UINT IDS_VIEWER_NO_FORM = 0xE308;
inline constexpr UINT IDS_VIEWER_NO_FORM_TEXT = 0xE309;
// The viewer's checks of a user's answers: %1 names the question, %2 its page.
inline constexpr UINT IDS_VIEWER_ANSWER_MISSING = 0xE30A;
inline constexpr UINT IDS_VIEWER_ANSWER_NOT_CHOICE = 0xE30B;
inline constexpr UINT IDS_VIEWER_ANSWER_TOO_LONG = 0xE30C;
inline constexpr UINT IDS_VIEWER_ANSWER_LINE = 0xE30D;
inline constexpr UINT IDS_VIEWER_NO_QUESTION = 0xE30E;
inline constexpr UINT IDS_VIEWER_ANSWER_TWICE = 0xE30F;
inline constexpr UINT IDS_VIEWER_FINISH = 0xE310;
inline constexpr UINT IDS_VIEWER_RECORDED = 0xE311;
