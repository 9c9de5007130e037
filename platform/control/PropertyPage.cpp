#include "platform/control/PropertyPage.h"

COlePropertyPage::COlePropertyPage(int templateId, UINT captionId)
    : CDialog(templateId), templateId_(templateId), captionId_(captionId) {}

COlePropertyPage::~COlePropertyPage() = default;

void* COlePropertyPage::FindInterface(REFIID iid) {
  if (iid == IID_IUnknown || iid == IID_IPropertyPage)
    return static_cast<IPropertyPage*>(this);
  return nullptr;
}

HRESULT COlePropertyPage::SetPageSite(IPropertyPageSite* site) {
  site_ = qv::com::ComPtr<IPropertyPageSite>(site);
  return S_OK;
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

HRESULT COlePropertyPage::SetObjects(ULONG count, IUnknown* const* objects) {
  if (count > 0 && objects == nullptr)
    return E_POINTER;
  objects_.clear();
  for (ULONG i = 0; i < count; ++i)
    objects_.emplace_back(objects[i]);
  return S_OK;
}

HRESULT COlePropertyPage::IsPageDirty() {
  return modified_ ? S_OK : S_FALSE;
}

HRESULT COlePropertyPage::Apply() {
  if (!modified_)
    return S_OK;
  HRESULT result = OnApply();
  if (SUCCEEDED(result))
    SetModifiedFlag(FALSE);
  return result;
}

void COlePropertyPage::SetModifiedFlag(BOOL modified) {
  modified_ = modified != FALSE;
  if (site_)
    site_->OnStatusChange(modified_ ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
}
