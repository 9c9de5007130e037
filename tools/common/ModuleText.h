// The module's texts for the programs built beside it (the console, the form viewer): strings
// of its string table (resources/ResourceIds.h), taken as the module takes its own, from the
// language library of the language beside the program (languages/QVCC<LANG>.DLL,
// platform/langrt/LangRt.h) or, for a program copied out of the build, beside the platform
// library it runs on; else from the module's own table, which is English.
#pragma once

#include <string>

#include "platform/base/wintypes.h"
#include "platform/langrt/LangRt.h"

namespace qv {

// The string table of `language`'s library beside the program, loaded on first use and kept
// for the life of the process; null for the module's own language, English, and for none, or
// when the library is missing or does not load.
const ResourceModule* LanguageTable(Language language);

// The text of string `id` in `language` as the table holds it, Windows-1252: the language
// library's, else the module's own; "" when no table has it.
std::string ModuleText(UINT id, Language language);

}  // namespace qv
