#include "platform/text/Language.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace qv {

Language LanguageOfLocale(std::string_view name) {
  std::string language(name.substr(0, name.find_first_of("_.@")));
  for (char& c : language)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (language == "de")
    return Language::kGerman;
  if (language == "en")
    return Language::kEnglish;
  return Language::kNone;
}

Language UserLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0')
      return LanguageOfLocale(value);
  }
  return Language::kNone;
}

}  // namespace qv
