#include "console/ConsoleText.h"

#include <cstdint>

#include "platform/langrt/LangRt.h"
#include "resources/StringTable.h"
#include "tools/common/Cp1252.h"

namespace qv::console {
namespace {

// The language library of the user's language beside the console, loaded on first use and
// kept for the life of the process; null when the user's language is the module's own or its
// library is missing.
const ResourceModule* LanguageTable() {
  static const ResourceModule* const table = [] {
    HINSTANCE handle = NL_LOADLANGUAGELIBRARY(nullptr, "QVCC");
    return reinterpret_cast<std::uintptr_t>(handle) >= 32 ? LanguageResources(handle) : nullptr;
  }();
  return table;
}

}  // namespace

std::string Text(UINT id) {
  const ResourceModule* language = LanguageTable();
  const char* text = language != nullptr ? language->FindString(id) : nullptr;
  if (text == nullptr)
    text = OwnString(id);
  return text != nullptr ? text : "";
}

std::string Say(UINT id) {
  return text::Cp1252ToUtf8(Text(id));
}

}  // namespace qv::console
