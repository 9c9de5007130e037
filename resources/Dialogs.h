// The module's own resources: its dialog templates (the string table is resources/
// StringTable.h). The program's start-up makes them current with qv::SetResourceModule.
#pragma once

#include "platform/ui/DialogTemplate.h"

namespace qv {
const ResourceModule& OwnResources();
}  // namespace qv
