#include "platform/ui/FrameWnd.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/ToolBar.h"

CFrameWnd::CFrameWnd() {
  OnNotifyExRange(TTN_NEEDTEXTA, 0, 0xFFFF, [this](UINT id, NMHDR* header, LRESULT* result) {
    return OnToolTipText(id, header, result);
  });
  OnNotifyExRange(TTN_NEEDTEXTW, 0, 0xFFFF, [this](UINT id, NMHDR* header, LRESULT* result) {
    return OnToolTipText(id, header, result);
  });
}

BOOL CFrameWnd::Create(const std::string& className, const std::string& title, DWORD style,
                       const CRect& rect, CWnd* parent, const char* /*menu*/, DWORD /*exStyle*/,
                       CCreateContext* context) {
  createContext_ = context;
  BOOL made =
      CWnd::Create(className.empty() ? "AfxFrameOrView" : className, title, style, rect, parent, 0);
  createContext_ = nullptr;
  return made;
}

int CFrameWnd::OnCreate() {
  CCreateContext none;  // a frame made without a context still makes its client
  if (OnCreateClient(createContext_ != nullptr ? createContext_ : &none) == FALSE)
    return -1;
  return 0;
}

BOOL CFrameWnd::OnCreateClient(CCreateContext* context) {
  if (context->m_pNewViewClass == nullptr)
    return TRUE;
  return CreateView(context) != nullptr ? TRUE : FALSE;
}

CWnd* CFrameWnd::CreateView(CCreateContext* context, UINT id) {
  CObject* made = context->m_pNewViewClass->CreateObject();
  auto* view = dynamic_cast<CView*>(made);
  if (view == nullptr) {
    delete made;
    return nullptr;
  }
  if (context->m_pCurrentDoc != nullptr)
    context->m_pCurrentDoc->AddView(view);
  CRect client;
  GetClientRect(&client);
  CWnd* window = view->GetViewWindow();
  // A view whose window fails has deleted itself (and left its document) already.
  if (window->Create("", "", WS_CHILD | WS_VISIBLE | WS_BORDER, client, this,
                     static_cast<int>(id)) == FALSE)
    return nullptr;
  return window;
}

void CFrameWnd::SetActiveView(CView* view, BOOL notify) {
  activeView_ = view;
  if (notify != FALSE && view != nullptr)
    view->GetViewWindow()->SetFocus();
}

void CFrameWnd::RecalcLayout() {
  CRect client;
  GetClientRect(&client);
  int top = 0;
  for (CWnd* child : Children()) {
    if (auto* bar = dynamic_cast<CControlBar*>(child)) {
      int height = bar->Rect().Height();
      bar->MoveWindow(CRect{0, top, client.right, top + height});
      top += height;
    }
  }
  if (CWnd* pane = GetDlgItem(AFX_IDW_PANE_FIRST))
    pane->MoveWindow(CRect{0, top, client.right, std::max(top, client.bottom)});
}

void CFrameWnd::OnSize(int /*cx*/, int /*cy*/) {
  RecalcLayout();
}

BOOL CFrameWnd::OnCmdMsg(UINT id, int code, void* extra, bool probe) {
  if (activeView_ != nullptr &&
      activeView_->GetViewWindow()->OnCmdMsg(id, code, extra, probe) != FALSE)
    return TRUE;
  if (CWnd::OnCmdMsg(id, code, extra, probe) != FALSE)
    return TRUE;
  return GetParent() != nullptr ? GetParent()->OnCmdMsg(id, code, extra, probe) : FALSE;
}

void CFrameWnd::PostNcDestroy() {
  delete this;  // a frame is made with new and goes with its window
}

BOOL CFrameWnd::OnToolTipText(UINT id, NMHDR* header, LRESULT* result) {
  std::string text = qv::LoadModuleString(id);
  std::size_t newline = text.find('\n');
  std::string tip = newline == std::string::npos ? std::string() : text.substr(newline + 1);
  if (header->code == TTN_NEEDTEXTA) {
    auto* ttt = reinterpret_cast<TOOLTIPTEXTA*>(header);
    std::size_t n = std::min(tip.size(), sizeof ttt->szText - 1);
    std::memcpy(ttt->szText, tip.data(), n);
    ttt->szText[n] = '\0';
  } else {
    auto* ttt = reinterpret_cast<TOOLTIPTEXTW*>(header);
    std::size_t n = std::min(tip.size(), std::size(ttt->szText) - 1);
    for (std::size_t i = 0; i < n; ++i)  // the string table is 8-bit: each byte one character
      ttt->szText[i] = static_cast<char16_t>(static_cast<unsigned char>(tip[i]));
    ttt->szText[n] = u'\0';
  }
  *result = 0;
  return TRUE;
}
