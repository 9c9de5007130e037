#include "view/CustomFrame.h"

#include "forms/CustomDoc.h"
#include "view/CustomView.h"
#include "view/HostControl.h"

IMPLEMENT_DYNCREATE(CCustomFrame)

LRESULT CCustomToolBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{Handle(), message, wParam, lParam, {}};
  GetCursorPos(&msg.pt);
  FilterToolTipMessage(&msg);
  return CToolBar::WindowProc(message, wParam, lParam);
}

CCustomFrame::CCustomFrame()
    : m_pDocument(static_cast<CCustomDoc*>(RUNTIME_CLASS(CCustomDoc)->CreateObject())),
      m_pToolBar(std::make_unique<CCustomToolBar>()) {
  for (UINT code : {TTN_NEEDTEXTW, TTN_NEEDTEXTA}) {
    OnNotifyExRange(code, 0, 0xFFFF, [this](UINT id, NMHDR* header, LRESULT* result) {
      return OnToolTipText(id, header, result);
    });
  }
}

CCustomFrame::~CCustomFrame() {
  m_pToolBar.reset();
  // A document that no view ever showed is not deleted by its views.
  if (!m_bDocumentShown)
    delete m_pDocument;
}

BOOL CCustomFrame::OnCreateClient(CCreateContext* /*context*/) {
  CCreateContext context;
  context.m_pNewViewClass = RUNTIME_CLASS(CCustomView);
  context.m_pCurrentDoc = m_pDocument;
  m_bDocumentShown = true;
  return CreateView(&context, AFX_IDW_PANE_FIRST) != nullptr ? TRUE : FALSE;
}

int CCustomFrame::OnCreate() {
  if (CFrameWnd::OnCreate() == -1)  // makes the client, the view
    return -1;
  if (GetActiveView() == nullptr) {
    if (auto* view = dynamic_cast<CCustomView*>(GetDescendantWindow(AFX_IDW_PANE_FIRST))) {
      m_pView = view;
      SetActiveView(view, FALSE);
    }
  }
  if (m_pToolBar->Create(this, WS_CHILD | WS_VISIBLE | CBRS_TOP, AFX_IDW_TOOLBAR) == FALSE ||
      m_pToolBar->LoadToolBar(kToolBar) == FALSE)
    return -1;
  m_pToolBar->SetBarStyle(m_pToolBar->GetBarStyle() | CBRS_TOOLTIPS | CBRS_ALIGN_TOP);
  RecalcLayout();
  return 0;
}

BOOL CCustomFrame::OnToolTipText(UINT id, NMHDR* header, LRESULT* result) {
  if (auto* control = dynamic_cast<IHostControl*>(GetParent())) {
    BSTR prompt = nullptr;
    control->GetMessageString(static_cast<long>(header->idFrom), &prompt);
    control->FireNoLogStatus(prompt != nullptr ? prompt : "");
    SysFreeString(prompt);
  }
  return CFrameWnd::OnToolTipText(id, header, result);
}
