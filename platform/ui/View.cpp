#include "platform/ui/View.h"

#include "platform/ui/FrameWnd.h"

CView::~CView() {
  if (m_pDocument != nullptr)
    m_pDocument->RemoveView(this);
}

CFrameWnd* CView::GetParentFrame() {
  for (CWnd* window = GetViewWindow()->GetParent(); window != nullptr;
       window = window->GetParent()) {
    if (auto* frame = dynamic_cast<CFrameWnd*>(window))
      return frame;
  }
  return nullptr;
}

BOOL CListView::OnCmdMsg(UINT id, int code, void* extra, bool probe) {
  if (CListCtrl::OnCmdMsg(id, code, extra, probe) != FALSE)
    return TRUE;
  return GetDocument() != nullptr ? GetDocument()->OnCmdMsg(id, code, extra, probe) : FALSE;
}

BOOL CListView::PreCreateWindow(CREATESTRUCT& cs) {
  cs.className = "SysListView32";
  return TRUE;
}

void CListView::PostNcDestroy() {
  delete this;  // made by its frame with new
}
