// The user's language, chosen as Linux programs choose the language of their messages: from
// the first of the environment variables LC_ALL, LC_MESSAGES and LANG that is set and not
// empty. The language is the part of that locale name before any "_", "." or "@", its letter
// case ignored: "de", "de_DE", "de_AT.UTF-8" and "de_CH@euro" are German, "en_US" is English,
// and "C", "POSIX", an empty name or any other language give no language. LANGUAGE (GNU's
// list of fall-back languages) is not read, and locale aliases ("german") are not resolved.
//
// The localisation library (platform/langrt/LangRt.h) finds its language files by it; the
// window framework reads it too, which is why it lives below both.
#pragma once

#include <string_view>

namespace qv {

enum class Language { kNone, kEnglish, kGerman };

// The language of a locale name (see the head of this file).
Language LanguageOfLocale(std::string_view name);
// The user's language: that of the first of LC_ALL, LC_MESSAGES and LANG set and not empty.
Language UserLanguage();

}  // namespace qv
