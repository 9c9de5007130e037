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
