// The module's string table, looked up by id through the current resource module.
#pragma once

#include <string>

#include "platform/base/wintypes.h"

// The string of `id` in the current resource module (the module's own table while none is
// set), or "" when there is none.
std::string LoadResString(UINT id);

namespace qv {
// The module's own string of `id`; null when its table has none.
const char* OwnString(UINT id);
}  // namespace qv

// The framework's AfxFormatString1/2: the string of `id` with every %1 (and %2) replaced.
std::string AfxFormatString1(UINT id, const std::string& s1);
std::string AfxFormatString2(UINT id, const std::string& s1, const std::string& s2);
