// CQuestionListBox: the form editor's list of questions and page breaks. A line dragged onto
// another line lands before it, and its entry moves with it.
//
// Lines and entries: a form read from a file may hold separators, which get no line. Line n
// therefore stands for the n-th entry that is not a separator; EntryAt() gives it.
#pragma once

#include "forms/FormDefinition.h"
#include "platform/ui/Controls.h"

class CFormEditorDlg;

class CQuestionListBox : public CDragListBox {
 public:
  void SetDefinition(CFormDefinition* definition) { m_definition = definition; }
  void SetOwner(CFormEditorDlg* owner) { m_owner = owner; }
  // The entry that line `line` shows; null when there is none.
  CFormField* EntryAt(int line) const;

  BOOL BeginDrag(CPoint point) override;
  UINT Dragging(CPoint point) override;
  void Dropped(int sourceIndex, CPoint point) override;

 private:
  int m_dragSource = 0;
  int m_dropTarget = 0;
  CFormDefinition* m_definition = nullptr;
  CFormEditorDlg* m_owner = nullptr;
  int m_dragging = 0;
};
