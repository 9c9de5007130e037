// The module's string table, looked up by id through the current resource module.
#pragma once

#include <string>

#include "platform/wintypes.h"

// The string of `id`, or "" when the table has none.
std::string LoadResString(UINT id);

// The framework's AfxFormatString1/2: the string of `id` with every %1 (and %2) replaced.
std::string AfxFormatString1(UINT id, const std::string& s1);
std::string AfxFormatString2(UINT id, const std::string& s1, const std::string& s2);
