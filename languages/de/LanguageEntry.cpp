// The entry point of the German language library QVCCDEU.DLL, its only exported symbol
// (languages/Language.map): the loader (platform/langrt) finds it with dlsym.
#include "languages/de/GermanResources.h"
#include "platform/langrt/LangRt.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) const qv::ResourceModule* QvLanguageResources(
    unsigned interfaceVersion) {
  if (interfaceVersion != qv::kLanguageInterface)
    return nullptr;
  return &qv::GermanResources();
}

static_assert(std::is_same_v<decltype(&QvLanguageResources), qv::LanguageEntry>,
              "the entry point has the type the loader calls");
