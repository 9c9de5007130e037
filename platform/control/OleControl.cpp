#include "platform/control/OleControl.h"

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/FrameworkIds.h"

COleControl::COleControl(REFIID dispatchIid, REFIID eventsIid)
    : events_(qv::com::MakeObject<qv::com::ConnectionPoint>(eventsIid)),
      dispatchIid_(dispatchIid),
      eventsIid_(eventsIid) {
  AddDispatch({DISPID_BORDERSTYLE,
               "BorderStyle",
               DISPATCH_PROPERTYGET,
               {},
               [this](std::span<const VARIANT>, VARIANT* result) {
                 *result = VARIANT::FromShort(borderStyle_);
                 return S_OK;
               }});
  AddDispatch({DISPID_BORDERSTYLE,
               "BorderStyle",
               DISPATCH_PROPERTYPUT,
               {VT_I2},
               [this](std::span<const VARIANT> args, VARIANT*) {
                 borderStyle_ = args[0].Short();
                 return S_OK;
               }});
}

COleControl::~COleControl() = default;

HRESULT COleControl::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr)
    return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == dispatchIid_)
    *object = static_cast<IDispatch*>(this);
  else if (iid == IID_IConnectionPointContainer)
    *object = static_cast<IConnectionPointContainer*>(this);
  else if (iid == IID_IControlWindow)
    *object = static_cast<IControlWindow*>(this);
  else
    *object = nullptr;
  if (*object == nullptr)
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG COleControl::AddRef() {
  return ++references_;
}

ULONG COleControl::Release() {
  ULONG left = --references_;
  if (left == 0)
    OnFinalRelease();  // deletes this object: nothing may follow
  return left;
}

void COleControl::OnFinalRelease() {
  DestroyWindow();
  delete this;
}

HRESULT COleControl::GetIDOfName(const char* name, DISPID* id) {
  return dispatch_.GetIDOfName(name, id);
}

HRESULT COleControl::Invoke(DISPID id, WORD flags, std::span<const VARIANT> args, VARIANT* result) {
  return dispatch_.Invoke(id, flags, args, result);
}

HRESULT COleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr)
    return E_POINTER;
  *point = nullptr;
  if (iid != eventsIid_)
    return CONNECT_E_NOCONNECTION;
  events_->AddRef();
  *point = events_.Get();
  return S_OK;
}

HRESULT COleControl::CreateControlWindow(int parent, const CRect& rect) {
  CWnd* parentWindow = parent != 0 ? CWnd::FromHandle(parent) : nullptr;
  if (parent != 0 && parentWindow == nullptr)
    return E_INVALIDARG;
  DWORD style = WS_VISIBLE | (parentWindow != nullptr ? WS_CHILD : 0) | WS_CLIPCHILDREN;
  return Create("QVccfgControl", "", style, rect, parentWindow, 0) != FALSE ? S_OK : E_FAIL;
}

HRESULT COleControl::DestroyControlWindow() {
  if (!IsWindow())
    return S_FALSE;
  DestroyWindow();
  return S_OK;
}

HRESULT COleControl::DoVerb(LONG verb) {
  if (verb != OLEIVERB_PROPERTIES)
    return E_NOTIMPL;
  std::vector<qv::com::PropertyPageClass> pages = GetPropertyPageClasses();
  std::string name = GetUserTypeName();
  // The sheet is named after its object, in the language of the current resource module.
  std::string caption =
      qv::LoadFrameworkString(name.empty() ? AFX_IDS_PROPERTIES : AFX_IDS_PROPERTIES_OF);
  if (std::size_t at = caption.find("%1"); !name.empty() && at != std::string::npos)
    caption.replace(at, 2, name);
  // The control stays while the sheet is open, whatever its container lets go of meanwhile.
  qv::com::ComPtr<IUnknown> held(static_cast<IDispatch*>(this));
  return qv::com::ShowPropertyFrame(IsWindow() ? this : nullptr, caption, pages) == -1 ? E_FAIL
                                                                                       : S_OK;
}

void COleControl::FireEvent(DISPID id, std::span<const VARIANT> args) {
  events_->Fire(id, args);
}
