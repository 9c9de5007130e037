// The module's string table: plain data in id order, looked up by binary search.
// A command's string is its status-bar prompt, a line break and its tooltip.
#include "resources/StringTable.h"

#include <algorithm>
#include <iterator>

#include "platform/ui/DialogTemplate.h"

namespace {

struct StringEntry {
  UINT id;
  const char* text;
};

const StringEntry kStrings[] = {
    {1, "QVccfg Control"},
    {2, "QVccfg Property Page"},
    {200, "General"},
    {32768, "Modify a Form\nModify"},
    {32770, "New Form\nNew Form"},
    {32771, "Schedule a form\nSchedule a form"},
    {32772, "Delete an existing form\nDelete"},
    {32773, "Edit properties of an existing form\nProperties..."},
    {32778, "Display items by using large icons\nLarge icons"},
    {32779, "Display items by using small icons\nSmall icons"},
    {32780, "Display items in a list view\nList"},
    {32781, "Display information about each item in the window\nDetails"},
    {32782, "C&ustom Data Forms"},
    {32783, "Schedule a form\nSchedule a form"},
    {32784, "Delete the selected forms\nDelete"},
    {32785,
     "The Form Designer tool cannot run because its database registration failed.  You may "
     "need to run TBLFIX to update tables."},
    {32786, "Add a new multiple form\nMultiple forms"},
    {32787, "Refresh item information\nRefresh"},
    {32788, "Select an item from the question list."},
    {32789, "Unable to add form"},
    {32790, "Select an item."},
    {32791, "A group name must be entered."},
    {32792, "The Question text and the Inventory name must be filled in."},
    {32793, "%1  Out of memory or resources."},
    {32794, "%1  The .EXE file is invalid."},
    {32795, "%1  The file was not found."},
    {32796, "%1  The path was not found."},
    {32797, "Could not launch the form viewer for the following reason: "},
    {32798, "Unable to allocate memory for the form!"},
    {32800, "Delete '%1'?"},
    {32801, "Field memory allocation error!"},
    {32803, "Field parsing error!"},
    {32805, "Unable to delete %s, because it is currently a scheduled task."},
    {32806, "Form Name"},
    {32807, "Form Description"},
    {32808, "Add new form"},
    {32809, "Form Designer"},
    {32810, "Custom Data Forms"},
    {32811, "Duplicate Question Text in the same form is not allowed."},
    {32812, "Duplicate Database ID's in the same form are not allowed."},
    {32813, "Duplicate group names are not allowed."},
    {32814, "Duplicate form names are not allowed."},
    {32815, "&Finish"},
    {32816, "&Next >"},
    {32817, "-----Page Break-----"},
    {32818, "Edit a Custom Data Form"},
    {32819, "Edit Question"},
    {32820, "A form name must be entered."},
    {32821, "At least one form must be selected in order to schedule this group."},
    {32822,
     "An error occured while trying to save the form \"%1\".\nIf this is an additional "
     "console, Administrative rights are required on the core server \"%2\"."},
    {32823, "The character sequence \" - \" is not allowed as part of the form name."},
    {32824, "The character sequence \" - \" is not allowed as part of the Inventory name."},
    {32825, "At least one item must be entered for the Combo box - (fixed list) field type."},
    // The console's own messages, beyond the system's ids.
    {33024,
     "The task '%1' cannot run: its name holds a character that a file name cannot hold "
     "(\\ / : * ? \" < > |), so it has no distribution script."},
    {33025,
     "The task '%1' cannot run: the core server's scripts directory was not found, so it has no "
     "distribution script."},
    {33026, "The task '%1' cannot run: its distribution script could not be written."},
    {33027, "The task '%1' cannot run: a task's name may hold at most 255 characters."},
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
