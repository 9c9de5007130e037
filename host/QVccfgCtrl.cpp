#include "host/QVccfgCtrl.h"

#include <cstring>

#include "distribution/Configurations.h"
#include "host/HostInterfaces.h"
#include "host/QVccfgPropPage.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WaitCursor.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "view/CustomFrame.h"
#include "view/CustomView.h"

namespace {}  // namespace

CQVccfgCtrl::CQVccfgCtrl()
    : COleControl(kDispatchIid, kEventsIid),
      m_pFrame(static_cast<CCustomFrame*>(RUNTIME_CLASS(CCustomFrame)->CreateObject())) {
  AddDispatchMethods();
}

CQVccfgCtrl::~CQVccfgCtrl() {
  m_sharedMenu.DestroyMenu();
  FreeDatabasePtr();
  // A frame whose window was never made does not delete itself.
  delete m_pFrame;
}

void CQVccfgCtrl::AddDispatchMethods() {
  AddDispatch({kGetSharedMenu,
               "GetSharedMenu",
               DISPATCH_METHOD,
               {},
               [this](std::span<const VARIANT>, VARIANT* result) {
                 *result = VARIANT::FromLong(GetSharedMenu());
                 return S_OK;
               }});
  AddDispatch({kOnUpdateCommandUI,
               "OnUpdateCommandUI",
               DISPATCH_METHOD,
               {VT_I4},
               [this](std::span<const VARIANT> args, VARIANT*) {
                 OnUpdateCommandUI(args[0].Long());
                 return S_OK;
               }});
  AddDispatch({kOnCommand,
               "OnCommand",
               DISPATCH_METHOD,
               {VT_I4},
               [this](std::span<const VARIANT> args, VARIANT*) {
                 OnCommand(args[0].Long());
                 return S_OK;
               }});
  AddDispatch({kGetMessageString,
               "GetMessageString",
               DISPATCH_METHOD,
               {VT_I4, VT_BYREF | VT_BSTR},
               [this](std::span<const VARIANT> args, VARIANT*) {
                 GetMessageString(args[0].Long(), args[1].StringRef());
                 return S_OK;
               }});
  AddDispatch({kOnInitialUpdate,
               "OnInitialUpdate",
               DISPATCH_METHOD,
               {VT_I4},
               [this](std::span<const VARIANT> args, VARIANT*) {
                 OnInitialUpdate(args[0].Long());
                 return S_OK;
               }});
  AddDispatch({kOnNetmapSelChange,
               "OnNetmapSelChange",
               DISPATCH_METHOD,
               {},
               [this](std::span<const VARIANT>, VARIANT*) {
                 OnNetmapSelChange();
                 return S_OK;
               }});
  AddDispatch({DISPID_ABOUTBOX,
               "AboutBox",
               DISPATCH_METHOD,
               {},
               [this](std::span<const VARIANT>, VARIANT*) {
                 AboutBox();
                 return S_OK;
               }});
}

CCustomView* CQVccfgCtrl::GetView() const {
  return m_pFrame != nullptr && m_pFrame->IsWindow() ? m_pFrame->GetView() : nullptr;
}

int CQVccfgCtrl::OnCreate() {
  CRect client;
  GetClientRect(&client);
  m_nTimerId = SetTimer(kTimerId, kTimerPeriod);
  CWaitCursor wait;
  VARIANT pointer[] = {VARIANT::RefLong(&m_databasePointer)};
  FireEvent(kEventGetDatabasePointer, pointer);
  if (m_databasePointer != 0) {
    SetDatabasePtr(qv::DatabaseHandles().Resolve(m_databasePointer));
    SnapinRecord snapin;
    std::memset(&snapin, 0, sizeof snapin);
    if (FindSnapin(kSnapinName, &snapin) == FALSE &&
        RegisterTaskSnapin(kSnapinName, kSnapinProgram, "") == FALSE) {
      AfxMessageBox(LoadResString(IDS_REGISTRATION_FAILED), MB_ICONEXCLAMATION | MB_OK);
      return -1;
    }
  }
  if (m_pFrame->Create("", "", WS_CHILD | WS_VISIBLE, client, this) == FALSE) {
    m_pFrame = nullptr;  // a frame whose window failed has deleted itself with it
    return -1;
  }
  return COleControl::OnCreate();
}

void CQVccfgCtrl::OnDestroy() {
  // A frame whose window goes with this one deletes itself with it; one whose window was
  // never made stays to be deleted with the control.
  if (m_pFrame != nullptr && m_pFrame->IsWindow())
    m_pFrame = nullptr;
  COleControl::OnDestroy();
}

void CQVccfgCtrl::OnSize(int cx, int cy) {
  COleControl::OnSize(cx, cy);
  if (m_pFrame != nullptr && m_pFrame->IsWindow())
    m_pFrame->MoveWindow(CRect{0, 0, cx, cy}, TRUE);
}

void CQVccfgCtrl::OnTimer(UINT_PTR id) {
  SendMessageToDescendants(WM_IDLEUPDATECMDUI, 1, 0, true);
  COleControl::OnTimer(id);
}

void CQVccfgCtrl::OnFinalRelease() {
  if (m_nTimerId != 0) {
    KillTimer(m_nTimerId);
    m_nTimerId = 0;
  }
  COleControl::OnFinalRelease();
}

std::vector<qv::com::PropertyPageClass> CQVccfgCtrl::GetPropertyPageClasses() const {
  return {{CQVccfgPropPage::kClassId, []() -> IPropertyPage* { return new CQVccfgPropPage(); }}};
}

std::string CQVccfgCtrl::GetUserTypeName() const {
  return LoadResString(IDS_QVCCFG);
}

LONG CQVccfgCtrl::GetSharedMenu() {
  if (m_sharedMenu.GetSafeHmenu() == 0)
    m_sharedMenu.LoadMenu(IDR_FORMS);
  return static_cast<LONG>(m_sharedMenu.GetSafeHmenu());
}

void CQVccfgCtrl::OnUpdateCommandUI(LONG cmdUI) {
  CCmdUI* ui = qv::ui::CmdUIHandles().Resolve(cmdUI);
  if (ui == nullptr)
    return;
  switch (ui->m_nID) {
    case ID_FORMS_MODIFY:
    case ID_FORMS_SCHEDULE:
    case ID_FORMS_DELETE:
    case ID_FORMS_PROPERTIES: {
      CCustomView* view = GetView();
      ui->Enable(view != nullptr && view->GetItemSelected() == 1);
      break;
    }
    case ID_FORMS_NEWFORM:
      ui->Enable(TRUE);
      break;
    default:
      ui->Enable(FALSE);
      break;
  }
}

void CQVccfgCtrl::OnCommand(LONG id) {
  auto command = static_cast<UINT>(id);
  if (command != ID_FORMS_MODIFY && command != ID_FORMS_NEWFORM && command != ID_FORMS_SCHEDULE &&
      command != ID_FORMS_DELETE && command != ID_FORMS_PROPERTIES)
    return;
  if (CCustomView* view = GetView())
    view->SendMessage(WM_COMMAND, MAKEWPARAM(command, 0));
}

void CQVccfgCtrl::GetMessageString(LONG id, BSTR* message) {
  std::string text = LoadResString(static_cast<UINT>(id));
  std::size_t newline = text.find('\n');
  if (newline != std::string::npos)
    text.erase(newline);
  *message = SysAllocString(text.c_str());
}

void CQVccfgCtrl::OnInitialUpdate(LONG /*lParam*/) {}

void CQVccfgCtrl::OnNetmapSelChange() {}

void CQVccfgCtrl::AboutBox() {
  CDialog about(IDD_ABOUTBOX_QVCCFG, this);
  about.DoModal();
}

void CQVccfgCtrl::FireNoLogStatus(const char* text) {
  VARIANT status[] = {VARIANT::FromString(text)};
  FireEvent(kEventNoLogStatus, status);
}

LONG CQVccfgCtrl::CallHostClassInterface(TaskRecord* record) {
  CLSID hostClass = CLSID_ConsoleTaskHost;
  IUnknown* object = nullptr;
  VARIANT args[] = {VARIANT::RefLong(reinterpret_cast<LONG*>(&hostClass)),
                    VARIANT::RefUnknown(&object), VARIANT::FromLong(0)};
  FireEvent(kEventGetClassInterface, args);
  if (object == nullptr)
    return 0;
  qv::com::ComPtr<IUnknown> held;
  held.Attach(object);
  qv::com::ComPtr<IConsoleTaskHost> host;
  if (FAILED(held.As(IID_IConsoleTaskHost, &host)))
    return 0;
  qv::com::ScopedHandle<TaskRecord> handle(qv::TaskRecordHandles(), record);
  LONG frame = m_pFrame != nullptr && m_pFrame->IsWindow() ? m_pFrame->Handle() : 0;
  return host->HandOver(handle.Get(), frame);
}
