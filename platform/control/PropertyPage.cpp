#include "platform/control/PropertyPage.h"

COlePropertyPage::COlePropertyPage(int templateId, UINT captionId)
    : CDialog(templateId), templateId_(templateId), captionId_(captionId) {}

COlePropertyPage::~COlePropertyPage() = default;

void* COlePropertyPage::FindInterface(REFIID iid) {
  if (iid == IID_IUnknown || iid == IID_IPropertyPage)
    return static_cast<IPropertyPage*>(this);
  return nullptr;
}

HRESULT COlePropertyPage::Activate(int parent, const CRect& rect) {
  CWnd* parentWindow = CWnd::FromHandle(parent);
  if (parentWindow == nullptr)
    return E_INVALIDARG;
  if (CreateChild(parentWindow, CPoint{rect.left, rect.top}) == FALSE)
    return E_FAIL;
  ModifyStyle(0, WS_VISIBLE);
  return S_OK;
}

HRESULT COlePropertyPage::Deactivate() {
  if (!IsWindow())
    return S_FALSE;
  DestroyWindow();
  return S_OK;
}

HRESULT COlePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr)
    return E_POINTER;
  info->title = qv::LoadModuleString(captionId_);
  const qv::ResourceModule* module = qv::CurrentResourceModule();
  const DialogTemplate* page = module != nullptr ? module->FindDialog(templateId_) : nullptr;
  info->cx = page != nullptr ? page->cx : 0;
  info->cy = page != nullptr ? page->cy : 0;
  return S_OK;
}
