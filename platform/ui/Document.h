// CDocument: the data that the views of a frame show. A document is a command target (a view
// passes on the commands it does not handle to its document). It keeps the views that show
// it; when the last one goes, a document that deletes itself (the default) closes and is
// deleted.
#pragma once

#include <vector>

#include "platform/ui/CmdTarget.h"

class CView;

class CDocument : public CCmdTarget {
 public:
  CDocument() = default;
  CDocument(const CDocument&) = delete;
  CDocument& operator=(const CDocument&) = delete;

  // Called when the last view has gone; deletes the document when it deletes itself.
  virtual void OnCloseDocument();

  void AddView(CView* view);
  void RemoveView(CView* view);

  bool m_bAutoDelete = true;

 private:
  std::vector<CView*> views_;
};
