// Views: windows that show a document inside a frame. CView is what makes a window a view
// (its document, its frame); CListView is a view that is itself a list view control (window
// class "SysListView32"), as a control view is. A view made by its frame is deleted when its
// window is destroyed; it leaves its document then.
#pragma once

#include "platform/ui/Document.h"
#include "platform/ui/ListCtrl.h"

class CFrameWnd;

class CView {
 public:
  virtual ~CView();
  CDocument* GetDocument() const { return m_pDocument; }
  // The view's window.
  virtual CWnd* GetViewWindow() = 0;
  // The frame the view lies in: the nearest ancestor that is a frame; null when none.
  CFrameWnd* GetParentFrame();
  // Called by the frame once the view and its document are in place.
  virtual void OnInitialUpdate() {}

 private:
  friend class CDocument;
  CDocument* m_pDocument = nullptr;
};

class CListView : public CListCtrl, public CView {
 public:
  CWnd* GetViewWindow() override { return this; }
  // Its own handlers first, then its document's.
  BOOL OnCmdMsg(UINT id, int code, void* extra, bool probe = false) override;

 protected:
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  void PostNcDestroy() override;
};
