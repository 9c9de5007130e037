// The console's own texts (its menus, prompts, task pane and page) in the user's language.
// They are strings of the module's string table (resources/ResourceIds.h, IDS_CONSOLE_... and
// IDS_PANE_...), taken as the module takes its own: from the language library of the user's
// language when there is one beside the console (languages/QVCC<LANG>.DLL), else from the
// module's own table, which is English.
#pragma once

#include <string>

#include "platform/base/wintypes.h"

namespace qv::console {

// The text of string `id` as the table holds it, Windows-1252; "" when no table has it.
std::string Text(UINT id);
// The same text as UTF-8, for the page.
std::string Say(UINT id);

}  // namespace qv::console
