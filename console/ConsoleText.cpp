#include "console/ConsoleText.h"

#include "platform/langrt/LangRt.h"
#include "tools/common/Cp1252.h"
#include "tools/common/ModuleText.h"

namespace qv::console {

std::string Text(UINT id) {
  // The user's language when the console first speaks; it does not change while it runs.
  static const Language language = UserLanguage();
  return ModuleText(id, language);
}

std::string Say(UINT id) {
  return text::Cp1252ToUtf8(Text(id));
}

}  // namespace qv::console
