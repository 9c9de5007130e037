// The window tree as the page receives it: qv::ui::Snapshot (platform/ui/Ui.h) as JSON, its
// members named as there, texts in UTF-8.
//
//   {"windows":[W...], "modals":[W...], "menu":M, "drag":D, "status":"...", "waitCursor":b}
//   W = {"className","id","handle","text","rect":{"left","top","right","bottom"},"style",
//        "enabled","focused","isDefault","checked","modified","pixels",
//        "selection","caret","top","insertMark",
//        "lines":[s],"checks":[n],"columns":[s],"columnWidths":[n],"rows":[[s]],"images":[s],
//        "buttons":[{"id","image","enabled","checked","tip"}],"children":[W...]}
//   M = {"open","x","y","flags","owner","items":[{"text","id","separator","popup"}]}
//   D = {"running","formats":[s],"allowedEffects","over","target","effect"}
//
// Every member of the snapshot, of M and D with a single value, and of W with a single value
// is always there; the arrays of W, M and D are left out when they are empty (a missing one
// reads as []), while "windows" and "modals" are always there. The rectangle is in dialog units
// unless "pixels" is true (the windows a host made rather than dialogs).
#pragma once

#include <nlohmann/json.hpp>

#include "platform/ui/Ui.h"

namespace qv::console {

nlohmann::json SnapshotToJson(const qv::ui::Snapshot& snapshot);

}  // namespace qv::console
