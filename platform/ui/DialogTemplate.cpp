#include "platform/ui/DialogTemplate.h"

namespace qv {
namespace {
const ResourceModule* g_module = nullptr;
}  // namespace

const ResourceModule* CurrentResourceModule() {
  return g_module;
}

void SetResourceModule(const ResourceModule* module) {
  g_module = module;
}

}  // namespace qv

namespace qv {
std::string LoadModuleString(UINT id) {
  const ResourceModule* module = CurrentResourceModule();
  const char* text = module != nullptr ? module->FindString(id) : nullptr;
  return text != nullptr ? text : "";
}
}  // namespace qv
