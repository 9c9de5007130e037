// CFrameWnd: a window that holds a view in its client area (pane id AFX_IDW_PANE_FIRST) and
// control bars along its edges (a toolbar has id AFX_IDW_TOOLBAR). Commands reach the frame
// from its bars and its menus; it routes each to the active view (which asks its document),
// then handles it itself, then passes it to the window it lives in. A frame deletes itself
// when its window is destroyed.
//
// Tooltips: a bar asks its frame for a tip with TTN_NEEDTEXTA (or the wide TTN_NEEDTEXTW);
// the frame's own answer is the part of the command's string after its newline.
#pragma once

#include <string>

#include "platform/ui/CmdTarget.h"
#include "platform/ui/View.h"
#include "platform/ui/Wnd.h"

inline constexpr int AFX_IDW_PANE_FIRST = 0xE900;
inline constexpr int AFX_IDW_TOOLBAR = 0xE800;

inline constexpr UINT TTN_NEEDTEXTA = static_cast<UINT>(-520);
inline constexpr UINT TTN_NEEDTEXTW = static_cast<UINT>(-530);

// The tooltip notifications: the bar names the command in hdr.idFrom; the frame answers with
// lpszText, or with szText when lpszText is left null.
struct TOOLTIPTEXTA {
  NMHDR hdr;
  char* lpszText = nullptr;
  char szText[80] = {};
  UINT uFlags = 0;
};
struct TOOLTIPTEXTW {
  NMHDR hdr;
  char16_t* lpszText = nullptr;
  char16_t szText[80] = {};
  UINT uFlags = 0;
};

// What a frame needs to make its view: the view's class and the document it shows.
struct CCreateContext {
  const CRuntimeClass* m_pNewViewClass = nullptr;
  CDocument* m_pCurrentDoc = nullptr;
  void* m_pNewDocTemplate = nullptr;
  CView* m_pLastView = nullptr;
  CFrameWnd* m_pCurrentFrame = nullptr;
};

class CFrameWnd : public CWnd {
 public:
  CFrameWnd();

  // Makes the frame window, and with a context its view. FALSE when either fails.
  BOOL Create(const std::string& className, const std::string& title, DWORD style,
              const CRect& rect, CWnd* parent = nullptr, const char* menu = nullptr,
              DWORD exStyle = 0, CCreateContext* context = nullptr);

  CView* GetActiveView() const { return activeView_; }
  void SetActiveView(CView* view, BOOL notify = TRUE);
  // Makes the view of the context's class as child `id`, for the context's document. Null
  // when the class cannot be made or is not a view, or its window fails.
  CWnd* CreateView(CCreateContext* context, UINT id = AFX_IDW_PANE_FIRST);
  // Bars along the top (in the order they were made), the view in the rest.
  void RecalcLayout();

  BOOL OnCmdMsg(UINT id, int code, void* extra, bool probe = false) override;

 protected:
  // Makes the client: by default the view of the context.
  virtual BOOL OnCreateClient(CCreateContext* context);
  int OnCreate() override;
  void OnSize(int cx, int cy) override;
  void PostNcDestroy() override;
  // The framework's tooltip answer: the part of command `id`'s string after its newline,
  // into the narrow or wide notification. Always TRUE.
  BOOL OnToolTipText(UINT id, NMHDR* header, LRESULT* result);

 private:
  CCreateContext* createContext_ = nullptr;  // during Create only
  CView* activeView_ = nullptr;
};
