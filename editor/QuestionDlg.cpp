#include "editor/QuestionDlg.h"

#include "editor/ItemListDlg.h"
#include "forms/ProfileFile.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/MessageBox.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

namespace {

CButton* Radio(CWnd* dialog, int id) {
  return dynamic_cast<CButton*>(dialog->GetDlgItem(id));
}

}  // namespace

CQuestionDlg::CQuestionDlg(CWnd* parent, int editMode, CFormField* entry,
                           const CFormDefinition::FieldList* entries)
    : CDialog(kTemplate, parent), m_entry(entry), m_editMode(editMode), m_entries(entries) {
  for (int id : {IDC_EDIT_BOX, IDC_COMBO_EDIT_LIST, IDC_COMBO_FIXED_LIST, IDC_REQUIRED})
    OnCommand(BN_CLICKED, id, [this] { OnChange(); });
  for (int id : {IDC_QUESTION_TEXT, IDC_INVENTORY_NAME, IDC_QUESTION_DESCRIPTION})
    OnCommand(EN_UPDATE, id, [this] { OnChange(); });
  OnHelp(IDHELP, kTemplate);
}

BOOL CQuestionDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_editBoxRadio = Radio(this, IDC_EDIT_BOX);
  m_description = dynamic_cast<CEdit*>(GetDlgItem(IDC_QUESTION_DESCRIPTION));
  m_inventoryName = dynamic_cast<CEdit*>(GetDlgItem(IDC_INVENTORY_NAME));
  m_questionText = dynamic_cast<CEdit*>(GetDlgItem(IDC_QUESTION_TEXT));
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
    SetWindowText(LoadResString(IDS_EDIT_QUESTION_CAPTION));
    switch (m_entry->controlType) {
      case CFormField::kEditBox:
        Radio(this, IDC_EDIT_BOX)->SetCheck(BST_CHECKED);
        m_listType = 0;
        break;
      case CFormField::kFixedList:
        Radio(this, IDC_COMBO_FIXED_LIST)->SetCheck(BST_CHECKED);
        m_listType = 1;
        break;
      case CFormField::kEditList:
        Radio(this, IDC_COMBO_EDIT_LIST)->SetCheck(BST_CHECKED);
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
    Radio(this, IDC_EDIT_BOX)->SetCheck(BST_CHECKED);
    SetDefaultButtonText();
  }
  m_questionText->SetFocus();
  m_initialised = 1;
  return FALSE;
}

void CQuestionDlg::SetDefaultButtonText() {
  GetDlgItem(IDOK)->SetWindowText(LoadResString(m_listType == 1 ? IDS_NEXT : IDS_FINISH));
}

void CQuestionDlg::Exchange(bool toControls) {
  CButton* box = Radio(this, IDC_REQUIRED);
  if (toControls)
    box->SetCheck(m_required != 0 ? BST_CHECKED : BST_UNCHECKED);
  else
    m_required = box->GetCheck() == BST_CHECKED ? 1 : 0;
}

void CQuestionDlg::OnChange() {
  if (m_initialised != 1)
    return;
  m_dirty = 1;
  if (Radio(this, IDC_COMBO_EDIT_LIST)->GetCheck() == BST_CHECKED ||
      Radio(this, IDC_COMBO_FIXED_LIST)->GetCheck() == BST_CHECKED)
    m_listType = 1;
  else if (Radio(this, IDC_EDIT_BOX)->GetCheck() == BST_CHECKED)
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
  if (Radio(this, IDC_EDIT_BOX)->GetCheck() == BST_CHECKED)
    m_entry->controlType = CFormField::kEditBox;
  else if (Radio(this, IDC_COMBO_FIXED_LIST)->GetCheck() == BST_CHECKED)
    m_entry->controlType = CFormField::kFixedList;
  else if (Radio(this, IDC_COMBO_EDIT_LIST)->GetCheck() == BST_CHECKED)
    m_entry->controlType = CFormField::kEditList;
  m_controlType = m_entry->controlType;
  m_entry->required = m_required != 0;
  return 0;
}

void CQuestionDlg::OnOK() {
  if (m_dirty == 1) {
    static constexpr UINT kMessages[] = {0, IDS_QUESTION_FIELDS_REQUIRED, IDS_DUPLICATE_QUESTION,
                                         IDS_DUPLICATE_DATABASE_ID, IDS_INVENTORY_NAME_SEPARATOR};
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
