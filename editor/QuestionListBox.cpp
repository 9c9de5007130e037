#include "editor/QuestionListBox.h"

#include "editor/FormEditorDlg.h"

CFormField* CQuestionListBox::EntryAt(int line) const {
  if (m_definition == nullptr || line < 0)
    return nullptr;
  for (const auto& entry : m_definition->Entries()) {
    if (entry->kind == CFormField::kSeparator)
      continue;
    if (line-- == 0)
      return entry.get();
  }
  return nullptr;
}

BOOL CQuestionListBox::BeginDrag(CPoint point) {
  m_dragSource = ItemFromPt(point, TRUE);
  return CDragListBox::BeginDrag(point);
}

UINT CQuestionListBox::Dragging(CPoint point) {
  m_dragging = 1;
  return CDragListBox::Dragging(point);
}

void CQuestionListBox::Dropped(int sourceIndex, CPoint point) {
  if (m_dragging == 0)
    return;
  DrawInsert(-1);
  m_dropTarget = ItemFromPt(point, TRUE);
  if (m_dropTarget >= 0 && sourceIndex >= 0) {
    CFormField* source = EntryAt(m_dragSource);
    CFormField* target = EntryAt(m_dropTarget);
    bool stays = m_dropTarget == sourceIndex || m_dropTarget == sourceIndex + 1;
    if (source != nullptr && target != nullptr && !stays)
      m_definition->MoveBefore(target, source);
    if (!stays) {
      std::string text = GetText(sourceIndex);
      DeleteString(sourceIndex);
      int landed = sourceIndex < m_dropTarget ? m_dropTarget - 1 : m_dropTarget;
      InsertString(landed, text);
    }
    SetCurSel(sourceIndex < m_dropTarget ? m_dropTarget - 1 : m_dropTarget);
    if (m_owner != nullptr)
      m_owner->EnableRules();
  }
  m_dragging = 0;
}
