#include "editor/QuestionDlg.h"

#include "editor/ItemListDlg.h"
#include "forms/ProfileFile.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/MessageBox.h"
#include "resources/StringTable.h"

namespace {

constexpr int kQuestionBox = 1000;
constexpr int kInventoryBox = 1002;
constexpr int kDescriptionBox = 1003;
constexpr int kEditBoxRadio = 1004;
constexpr int kEditListRadio = 1005;
constexpr int kFixedListRadio = 1006;
constexpr int kRequiredBox = 201;

CButton* Radio(CWnd* dialog, int id) {
  return dynamic_cast<CButton*>(dialog->GetDlgItem(id));
}

}  // namespace

CQuestionDlg::CQuestionDlg(CWnd* parent, int editMode, CFormField* entry,
                           const CFormDefinition::FieldList* entries)
    : CDialog(kTemplate, parent), m_entry(entry), m_editMode(editMode), m_entries(entries) {
  for (int id : {kEditBoxRadio, kEditListRadio, kFixedListRadio, kRequiredBox})
    OnCommand(BN_CLICKED, id, [this] { OnChange(); });
  for (int id : {kQuestionBox, kInventoryBox, kDescriptionBox})
    OnCommand(EN_UPDATE, id, [this] { OnChange(); });
  OnHelp(9, kTemplate);
}

BOOL CQuestionDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_editBoxRadio = Radio(this, kEditBoxRadio);
  m_description = dynamic_cast<CEdit*>(GetDlgItem(kDescriptionBox));
  m_inventoryName = dynamic_cast<CEdit*>(GetDlgItem(kInventoryBox));
  m_questionText = dynamic_cast<CEdit*>(GetDlgItem(kQuestionBox));
  m_oldQuestion = m_entry->questionText;
  m_oldInventory = m_entry->inventoryName;
  m_oldDescription = m_entry->description;
  if (m_editMode == 1) {
    CProfileFile text;
    text.UnquoteText(m_entry->questionText);
    text.UnquoteText(m_entry->inventoryName);
    m_oldQuestion = m_entry->questionText;
    m_oldInventory = m_entry->inventoryName;
    m_questionText->SetWindowText(m_entry->questionText);
    m_inventoryName->SetWindowText(m_entry->inventoryName);
    m_description->SetWindowText(m_entry->description);
    SetWindowText(LoadResString(32819));
    switch (m_entry->controlType) {
      case CFormField::kEditBox:
        Radio(this, kEditBoxRadio)->SetCheck(BST_CHECKED);
        m_listType = 0;
        break;
      case CFormField::kFixedList:
        Radio(this, kFixedListRadio)->SetCheck(BST_CHECKED);
        m_listType = 1;
        break;
      case CFormField::kEditList:
        Radio(this, kEditListRadio)->SetCheck(BST_CHECKED);
        m_listType = 1;
        break;
      default:
        break;  // no type: no radio button
    }
    m_controlType = m_entry->controlType;
    m_required = m_entry->required ? 1 : 0;
    SetDefaultButtonText();
    Exchange(true);
  } else {
    Radio(this, kEditBoxRadio)->SetCheck(BST_CHECKED);
    SetDefaultButtonText();
  }
  m_questionText->SetFocus();
  m_initialised = 1;
  return FALSE;
}

void CQuestionDlg::SetDefaultButtonText() {
  GetDlgItem(IDOK)->SetWindowText(LoadResString(m_listType == 1 ? 32816 : 32815));
}

void CQuestionDlg::Exchange(bool toControls) {
  CButton* box = Radio(this, kRequiredBox);
  if (toControls)
    box->SetCheck(m_required != 0 ? BST_CHECKED : BST_UNCHECKED);
  else
    m_required = box->GetCheck() == BST_CHECKED ? 1 : 0;
}

void CQuestionDlg::OnChange() {
  if (m_initialised != 1)
    return;
  m_dirty = 1;
  if (Radio(this, kEditListRadio)->GetCheck() == BST_CHECKED ||
      Radio(this, kFixedListRadio)->GetCheck() == BST_CHECKED)
    m_listType = 1;
  else if (Radio(this, kEditBoxRadio)->GetCheck() == BST_CHECKED)
    m_listType = 0;
  SetDefaultButtonText();
  Exchange(false);
}

int CQuestionDlg::Validate() {
  std::string inventory = m_inventoryName->GetWindowText();
  if (inventory.find(" - ") != std::string::npos)
    return 4;
  m_entry->questionText.clear();
  m_entry->questionText = m_questionText->GetWindowText();
  if (m_entry->questionText.empty())
    return 1;
  m_entry->inventoryName.clear();
  m_entry->inventoryName = inventory;
  if (m_entry->inventoryName.empty())
    return 1;
  for (const auto& other : *m_entries) {
    if (other.get() == m_entry)
      continue;
    if (qv::EqualsNoCase(other->questionText, m_entry->questionText))
      return 2;
    if (qv::EqualsNoCase(other->inventoryName, m_entry->inventoryName))
      return 3;
  }
  m_entry->description.clear();
  m_entry->description = m_description->GetWindowText();
  if (Radio(this, kEditBoxRadio)->GetCheck() == BST_CHECKED)
    m_entry->controlType = CFormField::kEditBox;
  else if (Radio(this, kFixedListRadio)->GetCheck() == BST_CHECKED)
    m_entry->controlType = CFormField::kFixedList;
  else if (Radio(this, kEditListRadio)->GetCheck() == BST_CHECKED)
    m_entry->controlType = CFormField::kEditList;
  m_controlType = m_entry->controlType;
  m_entry->required = m_required != 0;
  return 0;
}

void CQuestionDlg::OnOK() {
  if (m_dirty == 1) {
    static constexpr UINT kMessages[] = {0, 32792, 32811, 32812, 32824};
    int error = Validate();
    if (error != 0) {
      AfxMessageBox(LoadResString(kMessages[error]), MB_OK);
      if (error == 4)
        m_inventoryName->SetFocus();
      return;
    }
  }
  if (m_listType == 1) {
    CItemListDlg items(nullptr, m_entry->items.empty() ? FALSE : TRUE, &m_entry->items,
                       &m_controlType);
    items.DoModal();
  }
  EndDialog(IDOK);
}

void CQuestionDlg::OnCancel() {
  // A cancelled edit leaves the entry as it was, also when a failed check had already
  // stored the texts typed.
  if (m_editMode == 1 && m_dirty == 1) {
    m_entry->questionText = m_oldQuestion;
    m_entry->inventoryName = m_oldInventory;
    m_entry->description = m_oldDescription;
  }
  m_dirty = 0;
  EndDialog(IDCANCEL);
}
