// A German language library that lacks string 32782, the plug-in's display name: installed
// as QVCCDEU.DLL, it shows what the module gives when its language library has no such
// string.
#include "languages/de/GermanResources.h"
#include "platform/langrt/LangRt.h"
#include "resources/ResourceIds.h"

namespace {

class WithoutDisplayName : public qv::ResourceModule {
 public:
  const DialogTemplate* FindDialog(int id) const override { return German().FindDialog(id); }
  const BitmapResource* FindBitmap(int id) const override { return German().FindBitmap(id); }
  const char* FindString(UINT id) const override {
    return id == IDS_PLUGIN_NAME ? nullptr : German().FindString(id);
  }
  const MenuResource* FindMenu(int id) const override { return German().FindMenu(id); }
  const ToolBarResource* FindToolBar(int id) const override { return German().FindToolBar(id); }

 private:
  static const qv::ResourceModule& German() { return qv::GermanResources(); }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const qv::ResourceModule* QvLanguageResources(
    unsigned interfaceVersion) {
  static const WithoutDisplayName resources;
  return interfaceVersion == qv::kLanguageInterface ? &resources : nullptr;
}
