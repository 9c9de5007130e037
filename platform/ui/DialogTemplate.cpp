#include "platform/ui/DialogTemplate.h"

#include "platform/ui/FrameworkIds.h"

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

namespace qv {
namespace {

struct FrameworkText {
  UINT id;
  const char* text;
};

// What the framework shows when the current module does not give the text.
constexpr FrameworkText kFrameworkTexts[] = {
    {AFX_IDS_OK, "OK"},
    {AFX_IDS_CANCEL, "Cancel"},
    {AFX_IDS_YES, "&Yes"},
    {AFX_IDS_NO, "&No"},
    {AFX_IDS_APPLY, "&Apply"},
    {AFX_IDS_PROPERTIES, "Properties"},
    {AFX_IDS_PROPERTIES_OF, "%1 Properties"},
};

}  // namespace

std::string LoadFrameworkString(UINT id) {
  std::string text = LoadModuleString(id);
  if (!text.empty())
    return text;
  for (const FrameworkText& own : kFrameworkTexts)
    if (own.id == id)
      return own.text;
  return "";
}
}  // namespace qv
