#include "host/QVccfgApp.h"

#include <cstdint>

#include "platform/langrt/LangRt.h"
#include "platform/ui/DialogTemplate.h"
#include "resources/Dialogs.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

namespace {

// A value of NL_LOADLANGUAGELIBRARY that names a library: 32 or more.
bool IsLibrary(HINSTANCE handle) {
  return reinterpret_cast<std::uintptr_t>(handle) >= 32;
}

}  // namespace

BOOL CQVccfgApp::InitInstance() {
  QVsetlocale(0, " ");
  QVLCONV conventions;
  QVlocaleconv(&conventions);

  m_hLangLib = NL_LOADLANGUAGELIBRARY(m_hInstance, "QVCC");
  const qv::ResourceModule* language =
      IsLibrary(m_hLangLib) ? qv::LanguageResources(m_hLangLib) : nullptr;
  m_bLangLibLoaded = language != nullptr ? TRUE : FALSE;
  qv::SetResourceModule(language != nullptr ? language : &qv::OwnResources());

  char helpFile[MAX_PATH] = {};
  NL_GetHelpLanguageFileName(m_hInstance, "QVCC", helpFile);
  SetHelpFilePath(std::string(helpFile) + ">ref");

  SetProfileName("");
  SetRegistryKey("Arvex\\Quovant\\QVNX\\QVccfg");

  if (!AppName().empty())
    SetAppName(LoadResString(IDS_APP_NAME));

  return COleControlModule::InitInstance();
}

int CQVccfgApp::ExitInstance() {
  // Our resources go with the module; a language library stays loaded, but its resources are
  // no longer this process's to show.
  const qv::ResourceModule* current = qv::CurrentResourceModule();
  if (current == &qv::OwnResources() ||
      (m_bLangLibLoaded && current == qv::LanguageResources(m_hLangLib)))
    qv::SetResourceModule(nullptr);
  return COleControlModule::ExitInstance();
}
