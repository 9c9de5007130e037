// CQVccfgApp: the module's application object. Its start-up chooses the locale, takes the
// resources from the language library of the user's language when there is one, names the
// help file, and puts the module's profile under
// HKEY_CURRENT_USER\Software\Arvex\Quovant\QVNX\QVccfg.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/control/ControlModule.h"

class CQVccfgApp : public COleControlModule {
 public:
  explicit CQVccfgApp(HINSTANCE instance) : COleControlModule(instance) {}
  ~CQVccfgApp() override { Stop(); }
  CQVccfgApp(const CQVccfgApp&) = delete;
  CQVccfgApp& operator=(const CQVccfgApp&) = delete;

  BOOL InitInstance() override;
  int ExitInstance() override;

  HINSTANCE m_hLangLib = nullptr;  // below 32: no language library
  BOOL m_bLangLibLoaded = FALSE;   // the language library is the resource module
};

// The module's one application object.
CQVccfgApp& TheApp();
