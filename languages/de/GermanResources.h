// The German language module: every resource of the module (string table, dialog templates,
// menus, toolbar, bitmaps) in German. Make it current with
//   qv::SetResourceModule(&qv::GermanResources());
// Texts are Windows-1252, as the module's own are.
#pragma once

#include "platform/ui/DialogTemplate.h"

namespace qv {
const ResourceModule& GermanResources();
}  // namespace qv
