// The module's string table: plain data in id order, looked up by binary search.
// A command's string is its status-bar prompt, a line break and its tooltip.
#include "resources/StringTable.h"

#include <algorithm>
#include <iterator>

#include "platform/ui/DialogTemplate.h"
#include "resources/ResourceIds.h"

namespace {

struct StringEntry {
  UINT id;
  const char* text;
};

const StringEntry kStrings[] = {
    {IDS_QVCCFG, "QVccfg Control"},
    {IDS_QVCCFG_PPG, "QVccfg Property Page"},
    {IDS_QVCCFG_PPG_CAPTION, "General"},
    {ID_FORMS_MODIFY, "Modify a Form\nModify"},
    {ID_FORMS_NEWFORM, "New Form\nNew Form"},
    {ID_FORMS_SCHEDULE, "Schedule a form\nSchedule a form"},
    {ID_FORMS_DELETE, "Delete an existing form\nDelete"},
    {ID_FORMS_PROPERTIES, "Edit properties of an existing form\nProperties..."},
    {ID_VIEW_LARGEICONS, "Display items by using large icons\nLarge icons"},
    {ID_VIEW_SMALLICONS, "Display items by using small icons\nSmall icons"},
    {ID_VIEW_LIST, "Display items in a list view\nList"},
    {ID_VIEW_DETAILS, "Display information about each item in the window\nDetails"},
    {IDS_PLUGIN_NAME, "C&ustom Data Forms"},
    {ID_TOOLBAR_SCHEDULE, "Schedule a form\nSchedule a form"},
    {ID_TOOLBAR_DELETE, "Delete the selected forms\nDelete"},
    {IDS_REGISTRATION_FAILED,
     "The Form Designer tool cannot run because its database registration failed.  You may "
     "need to run TBLFIX to update tables."},
    {ID_TOOLBAR_MULTIPLEFORMS, "Add a new multiple form\nMultiple forms"},
    {ID_TOOLBAR_REFRESH, "Refresh item information\nRefresh"},
    {IDS_SELECT_QUESTION, "Select an item from the question list."},
    {IDS_UNABLE_TO_ADD_FORM, "Unable to add form"},
    {IDS_SELECT_ITEM, "Select an item."},
    {IDS_GROUP_NAME_REQUIRED, "A group name must be entered."},
    {IDS_QUESTION_FIELDS_REQUIRED, "The Question text and the Inventory name must be filled in."},
    {IDS_EXEC_OUT_OF_MEMORY, "%1  Out of memory or resources."},
    {IDS_EXEC_BAD_FORMAT, "%1  The .EXE file is invalid."},
    {IDS_EXEC_FILE_NOT_FOUND, "%1  The file was not found."},
    {IDS_EXEC_PATH_NOT_FOUND, "%1  The path was not found."},
    {IDS_VIEWER_LAUNCH_FAILED, "Could not launch the form viewer for the following reason: "},
    {IDS_FORM_ALLOCATION_FAILED, "Unable to allocate memory for the form!"},
    {IDS_DELETE_PROMPT, "Delete '%1'?"},
    {IDS_FIELD_ALLOCATION_ERROR, "Field memory allocation error!"},
    {IDS_FIELD_PARSING_ERROR, "Field parsing error!"},
    {IDS_SCHEDULED_CANNOT_DELETE, "Unable to delete %s, because it is currently a scheduled task."},
    {IDS_FORM_NAME_HEADING, "Form Name"},
    {IDS_FORM_DESCRIPTION_HEADING, "Form Description"},
    {IDS_ADD_NEW_FORM, "Add new form"},
    {IDS_APP_NAME, "Form Designer"},
    {IDS_CAPTION, "Custom Data Forms"},
    {IDS_DUPLICATE_QUESTION, "Duplicate Question Text in the same form is not allowed."},
    {IDS_DUPLICATE_DATABASE_ID, "Duplicate Database ID's in the same form are not allowed."},
    {IDS_DUPLICATE_GROUP, "Duplicate group names are not allowed."},
    {IDS_DUPLICATE_FORM, "Duplicate form names are not allowed."},
    {IDS_FINISH, "&Finish"},
    {IDS_NEXT, "&Next >"},
    {IDS_PAGE_BREAK, "-----Page Break-----"},
    {IDS_EDIT_FORM_CAPTION, "Edit a Custom Data Form"},
    {IDS_EDIT_QUESTION_CAPTION, "Edit Question"},
    {IDS_FORM_NAME_REQUIRED, "A form name must be entered."},
    {IDS_GROUP_NEEDS_FORM, "At least one form must be selected in order to schedule this group."},
    {IDS_SAVE_FAILED,
     "An error occured while trying to save the form \"%1\".\nIf this is an additional "
     "console, Administrative rights are required on the core server \"%2\"."},
    {IDS_FORM_NAME_SEPARATOR,
     "The character sequence \" - \" is not allowed as part of the form name."},
    {IDS_INVENTORY_NAME_SEPARATOR,
     "The character sequence \" - \" is not allowed as part of the Inventory name."},
    {IDS_FIXED_LIST_NEEDS_ITEM,
     "At least one item must be entered for the Combo box - (fixed list) field type."},
    // The console's own messages, beyond the system's ids.
    {IDS_TASK_NAME_BAD_CHARACTER,
     "The task '%1' cannot run: its name holds a character that a file name cannot hold "
     "(\\ / : * ? \" < > |), so it has no distribution script."},
    {IDS_TASK_NO_SCRIPTS_DIRECTORY,
     "The task '%1' cannot run: the core server's scripts directory was not found, so it has no "
     "distribution script."},
    {IDS_TASK_SCRIPT_NOT_WRITTEN,
     "The task '%1' cannot run: its distribution script could not be written."},
    {IDS_TASK_NAME_TOO_LONG,
     "The task '%1' cannot run: a task's name may hold at most 255 characters."},
    // The framework's own texts.
    {AFX_IDS_OK, "OK"},
    {AFX_IDS_CANCEL, "Cancel"},
    {AFX_IDS_YES, "&Yes"},
    {AFX_IDS_NO, "&No"},
    {AFX_IDS_APPLY, "&Apply"},
    {AFX_IDS_PROPERTIES, "Properties"},
    {AFX_IDS_PROPERTIES_OF, "%1 Properties"},
    // The console's texts: its menus, prompts, task pane and page.
    {IDS_CONSOLE_LANGUAGE, "en"},
    {IDS_CONSOLE_TITLE, "Console"},
    {IDS_CONSOLE_READY, "Ready"},
    {IDS_CONSOLE_FILE_MENU, "&File"},
    {IDS_CONSOLE_PROPERTIES, "P&roperties..."},
    {IDS_CONSOLE_PROPERTIES_PROMPT, "Shows the properties of the plug-in"},
    {IDS_CONSOLE_EXIT, "E&xit"},
    {IDS_CONSOLE_EXIT_PROMPT, "Stops the console"},
    {IDS_CONSOLE_VIEW_MENU, "&View"},
    {IDS_CONSOLE_NAVIGATION_PANE, "&Navigation Pane"},
    {IDS_CONSOLE_NAVIGATION_PANE_PROMPT, "Shows or hides the navigation pane"},
    {IDS_CONSOLE_TASK_PANE, "&Task Pane"},
    {IDS_CONSOLE_TASK_PANE_PROMPT, "Shows or hides the task pane"},
    {IDS_CONSOLE_HELP_MENU, "&Help"},
    {IDS_CONSOLE_HELP_TOPICS, "&Help Topics"},
    {IDS_CONSOLE_HELP_TOPICS_PROMPT, "Lists the help topics of the plug-in"},
    {IDS_CONSOLE_ABOUT, "&About the Plug-In..."},
    {IDS_CONSOLE_ABOUT_PROMPT, "Shows the plug-in's version"},
    {IDS_CONSOLE_ANSWERS, "&Answers..."},
    {IDS_CONSOLE_ANSWERS_PROMPT, "Shows the answers the clients' users gave to the selected form"},
    {IDS_PANE_TASKS, "Tasks"},
    {IDS_PANE_NO_TASKS, "No tasks are scheduled."},
    {IDS_PANE_RUN_NOW, "Run now"},
    {IDS_PANE_REMOVE, "Remove"},
    {IDS_PANE_RUNNING, "Running\x85"},
    {IDS_PANE_NOT_RUNNABLE, "Cannot run: its script is missing."},
    {IDS_PANE_NOT_RUN_YET, "Not run yet."},
    {IDS_PANE_RUN_OK, "ok"},
    {IDS_PANE_RUN_FAILED, "failed"},
    {IDS_PANE_CLIENTS, "Clients"},
    {IDS_PANE_NO_FORMS, "No forms."},
    {IDS_PANE_CONFIGURATIONS, "Configurations"},
    {IDS_PANE_NO_CONFIGURATIONS, "None."},
    {IDS_PAGE_STOPPED, "The console is no longer running. Start it again, then reload this page."},
    {IDS_PANE_PROGRESS, "%1 of %2 remote clients done"},
    {IDS_PANE_NOT_REACHED, "not reached"},
    {IDS_PANE_SUMMARY, "Last run on each client: %1 done, %2 failed, %3 not reached"},
    {IDS_PANE_PAGE, "%1-%2 of %3"},
    {IDS_PANE_PREVIOUS, "Previous"},
    {IDS_PANE_NEXT, "Next"},
    {IDS_PANE_FIND, "Find a client:"},
    // The Answers window.
    {IDS_ANSWERS_CAPTION, "Answers to %1"},
    {IDS_ANSWERS_CLIENT, "Client"},
    {IDS_ANSWERS_ANSWERED, "Answered"},
    {IDS_ANSWERS_NOT_ANSWERED, "Clients that hold the form but have not answered: %1"},
    {IDS_ANSWERS_UNREAD, "Not read: %1"},
    {IDS_ANSWERS_EXPORT, "&Export"},
    {IDS_ANSWERS_CLOSE, "Close"},
    // The form viewer's pages.
    {IDS_VIEWER_LANGUAGE, "en"},
    {IDS_VIEWER_UNTITLED, "Untitled form"},
    {IDS_VIEWER_REQUIRED, "An answer is required"},
    {IDS_VIEWER_REQUIRED_LEGEND, "An answer is required."},
    {IDS_VIEWER_PAGE, "Page "},
    {IDS_VIEWER_OF, " of "},
    {IDS_VIEWER_BACK, "< Back"},
    {IDS_VIEWER_NEXT, "Next >"},
    {IDS_VIEWER_NO_FORM, "No form to show yet"},
    {IDS_VIEWER_NO_FORM_TEXT,
     "There is no form to show yet: the new form has neither a name nor questions. Give it a "
     "name and questions, then choose Preview again."},
    {IDS_VIEWER_ANSWER_MISSING, "Please answer the question \"%1\" on page %2."},
    {IDS_VIEWER_ANSWER_NOT_CHOICE, "The answer to \"%1\" must be one of its choices."},
    {IDS_VIEWER_ANSWER_TOO_LONG, "The answer to \"%1\" is longer than 255 characters."},
    {IDS_VIEWER_ANSWER_LINE, "The answer to \"%1\" must be one line of text."},
    {IDS_VIEWER_NO_QUESTION, "The form has no question \"%1\" to answer."},
    {IDS_VIEWER_ANSWER_TWICE, "The question \"%1\" is answered twice."},
    {IDS_VIEWER_FINISH, "Finish"},
    {IDS_VIEWER_RECORDED, "Thank you. Your answers have been recorded."},
};

// Replaces %1 .. %<count> in one pass, so a replacement text is never scanned again.
std::string FormatStrings(UINT id, const std::string* args, int count) {
  std::string format = LoadResString(id);
  std::string result;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      int n = format[i + 1] - '1';
      if (n >= 0 && n < count) {
        result += args[n];
        ++i;
        continue;
      }
    }
    result += format[i];
  }
  return result;
}

}  // namespace

namespace qv {
const char* OwnString(UINT id) {
  auto found = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                [](const StringEntry& entry, UINT key) { return entry.id < key; });
  return found == std::end(kStrings) || found->id != id ? nullptr : found->text;
}
}  // namespace qv

std::string LoadResString(UINT id) {
  // The current resource module's string (a language module's, once one is loaded); the
  // module's own table before start-up has set one.
  const qv::ResourceModule* module = qv::CurrentResourceModule();
  const char* text = module != nullptr ? module->FindString(id) : qv::OwnString(id);
  return text != nullptr ? text : "";
}

std::string AfxFormatString1(UINT id, const std::string& s1) {
  return FormatStrings(id, &s1, 1);
}

std::string AfxFormatString2(UINT id, const std::string& s1, const std::string& s2) {
  const std::string args[] = {s1, s2};
  return FormatStrings(id, args, 2);
}
