#include "tools/common/ModuleText.h"

#include <cstdint>
#include <map>
#include <mutex>

#include "resources/StringTable.h"

namespace qv {

const ResourceModule* LanguageTable(Language language) {
  // Any thread may ask; the first ask for a language loads its library under the lock.
  static std::mutex lock;
  static std::map<Language, const ResourceModule*> tables;
  std::lock_guard<std::mutex> hold(lock);
  auto [table, added] = tables.try_emplace(language, nullptr);
  if (added) {
    // Beside the program, else beside the platform library it runs on: a program copied out
    // of the build (the viewer that `qvccfg init` puts in the forms share) still runs on the
    // build's platform library, which the build puts beside the programs and their languages.
    for (HINSTANCE where :
         {HINSTANCE{nullptr}, reinterpret_cast<HINSTANCE>(&LoadLanguageLibrary)}) {
      HINSTANCE handle = LoadLanguageLibrary(where, "QVCC", language);
      if (reinterpret_cast<std::uintptr_t>(handle) >= 32) {
        table->second = LanguageResources(handle);
        break;
      }
    }
  }
  return table->second;
}

std::string ModuleText(UINT id, Language language) {
  const ResourceModule* table = LanguageTable(language);
  const char* text = table != nullptr ? table->FindString(id) : nullptr;
  if (text == nullptr)
    text = OwnString(id);
  return text != nullptr ? text : "";
}

}  // namespace qv
