#include "host/QVccfgPropPage.h"

CQVccfgPropPage::CQVccfgPropPage() : COlePropertyPage(kTemplateId, kCaptionId) {}
