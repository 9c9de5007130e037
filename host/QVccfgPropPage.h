// CQVccfgPropPage: the control's one property page, shown by the control's Properties verb.
// The control's only property is the framework's stock border style, which the page does not
// offer: it shows one line of text, exchanges no value and so never has changes to apply.
#pragma once

#include "host/ModuleLock.h"
#include "platform/base/wintypes.h"
#include "platform/com/Guid.h"
#include "platform/control/PropertyPage.h"
#include "resources/ResourceIds.h"

class CQVccfgPropPage final : public COlePropertyPage {
 public:
  static constexpr CLSID kClassId{
      0xAE399778, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};
  static constexpr const char* kProgId = "QVCCFG.QVccfgPropPage.1";
  static constexpr int kTemplateId = IDD_PROPPAGE_QVCCFG;
  static constexpr UINT kCaptionId = IDS_QVCCFG_PPG_CAPTION;
  // The string the page's class is registered with.
  static constexpr UINT kNameId = 2;

  CQVccfgPropPage();

 private:
  ~CQVccfgPropPage() override = default;

  ModuleLock lock_;  // the module stays loaded while the page lives
};
