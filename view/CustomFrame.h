// CCustomFrame: the window the control makes in its client area. It makes the document and,
// as its client, the list view; it carries the toolbar; and it hands each tooltip's prompt to
// the console as status text.
#pragma once

#include <memory>

#include "platform/ui/FrameWnd.h"
#include "platform/ui/ToolBar.h"
#include "resources/ResourceIds.h"

class CCustomDoc;
class CCustomView;

// The frame's toolbar: it hands every message it gets to its tooltip, as the control's
// window gets no message filtering of its own.
class CCustomToolBar : public CToolBar {
 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class CCustomFrame : public CFrameWnd {
  DECLARE_DYNCREATE(CCustomFrame)

 public:
  static constexpr int kToolBar = IDR_FORMS;

  CCustomFrame();
  ~CCustomFrame() override;

  CCustomView* GetView() const { return m_pView; }
  CCustomDoc* GetDocument() const { return m_pDocument; }
  CCustomToolBar* GetToolBar() const { return m_pToolBar.get(); }

 protected:
  BOOL OnCreateClient(CCreateContext* context) override;
  int OnCreate() override;

 private:
  BOOL OnToolTipText(UINT id, NMHDR* header, LRESULT* result);

  CCustomView* m_pView = nullptr;
  CCustomDoc* m_pDocument = nullptr;
  bool m_bDocumentShown = false;  // a view took the document: it goes with its last view
  std::unique_ptr<CCustomToolBar> m_pToolBar;
};
