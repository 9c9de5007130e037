#include "tools/hosting/ControlSite.h"

#include "host/HostInterfaces.h"
#include "platform/com/Bstr.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/com/Creation.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/Ui.h"

namespace qv {
namespace {

// The controls' event interface, {AE399776-76F3-11D1-8969-00A0C9323807}.
constexpr IID kControlEvents{
    0xAE399776, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};

// The console's command-update object: what the control says of one command.
class SiteCmdUI : public CCmdUI {
 public:
  void Enable(BOOL on) override {
    state.enabled = on != FALSE;
    m_bEnableChanged = true;
  }
  void SetCheck(int check) override { state.checked = check != 0; }
  ControlSite::CommandState state;
};

}  // namespace

// The console's end of the control's events.
class SiteEvents final : public com::Object<IDispatch> {
 public:
  LONG database = 0;
  IUnknown* host = nullptr;  // not owned

  HRESULT GetIDOfName(const char*, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, WORD, std::span<const VARIANT> args, VARIANT*) override {
    if (id == kEventGetDatabasePointer && args.size() == 1 && args[0].LongRef() != nullptr)
      *args[0].LongRef() = database;
    if (id == kEventGetClassInterface && args.size() == 3 && args[0].LongRef() != nullptr &&
        args[1].UnknownRef() != nullptr && host != nullptr &&
        *reinterpret_cast<const CLSID*>(args[0].LongRef()) == CLSID_ConsoleTaskHost) {
      host->AddRef();
      *args[1].UnknownRef() = host;
    }
    if (id == kEventNoLogStatus && args.size() == 1)
      ui::SetStatusText(args[0].Text());
    return S_OK;
  }

 private:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kControlEvents)
      return static_cast<IDispatch*>(this);
    return nullptr;
  }
};

ControlSite::ControlSite(const CLSID& control, const CRect& rect)
    : events_(com::MakeObject<SiteEvents>()) {
  events_->database = DatabaseHandles().Register(&database_);
  events_->host = host_.Get();
  result_ = CoCreateInstance(control, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(control_.Out()));
  if (FAILED(result_)) {
    problem_ = com::LastCreationProblem();
    return;
  }
  com::ComPtr<IConnectionPointContainer> points;
  if (control_->QueryInterface(IID_IConnectionPointContainer,
                               reinterpret_cast<void**>(points.Out())) == S_OK &&
      points->FindConnectionPoint(kControlEvents, point_.Out()) == S_OK)
    point_->Advise(static_cast<IDispatch*>(events_.Get()), &cookie_);
  if (control_->QueryInterface(IID_IControlWindow, reinterpret_cast<void**>(window_.Out())) !=
      S_OK) {
    problem_ = "the control cannot be placed in a window";
    return;
  }
  created_ = window_->CreateControlWindow(0, rect) == S_OK;
  if (!created_)
    problem_ = "the control could not make its window";
}

ControlSite::~ControlSite() {
  if (window_.Get() != nullptr)
    window_->DestroyControlWindow();
  if (point_.Get() != nullptr)
    point_->Unadvise(cookie_);
  point_.Reset();
  window_.Reset();
  control_.Reset();
  CoFreeUnusedLibraries();
  DatabaseHandles().Unregister(events_->database);
}

int ControlSite::Handle() {
  return window_.Get() != nullptr ? window_->ControlWindowHandle() : 0;
}

HRESULT ControlSite::Call(DISPID id, std::vector<VARIANT> args, VARIANT* result) {
  if (control_.Get() == nullptr)
    return E_FAIL;
  return control_->Invoke(id, DISPATCH_METHOD, args, result);
}

HRESULT ControlSite::Verb(LONG verb) {
  return window_.Get() != nullptr ? window_->DoVerb(verb) : E_FAIL;
}

std::vector<ui::MenuItemState> ControlSite::SharedMenu() {
  VARIANT menu;
  if (Call(kDispGetSharedMenu, {}, &menu) != S_OK)
    return {};
  return ui::MenuItems(static_cast<HMENU>(menu.Long()));
}

ControlSite::CommandState ControlSite::Update(UINT id) {
  SiteCmdUI cmdUI;
  cmdUI.m_nID = id;
  LONG handle = ui::CmdUIHandles().Register(&cmdUI);
  Call(kDispOnUpdateCommandUI, {VARIANT::FromLong(handle)});
  ui::CmdUIHandles().Unregister(handle);
  return cmdUI.state;
}

std::string ControlSite::Prompt(UINT id) {
  BSTR prompt = nullptr;
  Call(kDispGetMessageString,
       {VARIANT::FromLong(static_cast<LONG>(id)), VARIANT::RefString(&prompt)});
  std::string text = com::BstrText(prompt);
  SysFreeString(prompt);
  return text;
}

}  // namespace qv
