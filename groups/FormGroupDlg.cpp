#include "groups/FormGroupDlg.h"

#include <new>

#include "forms/CustomDoc.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/text/CaseFold.h"
#include "platform/text/IniText.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WaitCursor.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

CFormGroupDlg::CFormGroupDlg(CWnd* parent, int mode, CCustomDoc* document,
                             const std::string& groupName, IGroupScheduling* view)
    : CDialog(kTemplate, parent), m_pDocument(document), m_bNewName(mode), m_pView(view) {
  char server[256] = {};
  GetCoreServerName(server, sizeof server);
  m_strCoreServerName = server;
  m_strFormsSharePath = "\\\\" + m_strCoreServerName + "\\qvlogon\\";

  m_strGroupName = groupName;
  if (!groupName.empty())
    m_strOpeningName = groupName;

  {
    CWaitCursor wait;
    m_pGroupList.reset(new (std::nothrow)
                           CFormGroupList(m_strFormsSharePath + CFormGroupList::kFileName));
    m_bListValid = m_pGroupList != nullptr ? 1 : 0;
  }

  OnCommand(EN_CHANGE, IDC_GROUP_NAME, [this] { OnChangeGroupName(); });
  OnCommand(LBN_SELCHANGE, IDC_GROUP_FORMS, [this] { OnSelchangeFormList(); });
  OnCommand(CLBN_CHKCHANGE, IDC_GROUP_FORMS, [this] { OnCheckChangeFormList(); });
  OnHelp(IDHELP, kTemplate);
}

CFormGroupDlg::~CFormGroupDlg() = default;

std::unique_ptr<CWnd> CFormGroupDlg::CreateControl(const DialogItemTemplate& item) {
  if (item.id == IDC_GROUP_FORMS)
    return std::make_unique<CCheckListBox>();
  return nullptr;
}

BOOL CFormGroupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_groupNameBox = dynamic_cast<CEdit*>(GetDlgItem(IDC_GROUP_NAME));
  m_formList = dynamic_cast<CCheckListBox*>(GetDlgItem(IDC_GROUP_FORMS));
  // Putting the name in raises EN_CHANGE: a group opened for change starts changed.
  if (!m_strGroupName.empty())
    m_groupNameBox->SetWindowText(m_strGroupName);
  FillFormList();
  m_groupNameBox->SetFocus();
  return FALSE;
}

void CFormGroupDlg::FillFormList() {
  const CMapStringToString* forms = m_pDocument != nullptr ? m_pDocument->GetFormMap() : nullptr;
  if (m_bListValid == 0 || forms == nullptr || forms->IsEmpty())
    return;
  // The map's own order: the list is not sorted.
  for (const auto& [formName, path] : *forms) {
    int line = m_formList->AddString(formName);
    CFormGroup* group = m_pGroupList->FindGroupWithForm(formName, m_strGroupName);
    if (group == nullptr)
      continue;
    for (CGroupFormEntry* entry = group->GetFirstForm(); entry != nullptr;
         entry = group->GetNextForm()) {
      if (entry->GetFormName() == formName) {
        m_formList->SetCheck(line, BST_CHECKED);
        break;
      }
    }
  }
  m_pGroupList->Rewind();
}

std::string CFormGroupDlg::GroupNameOf(const std::string& text) {
  return std::string(qv::TrimProfileBlanks(text));
}

std::string CFormGroupDlg::NameInBox() const {
  return GroupNameOf(m_groupNameBox->GetWindowText());
}

void CFormGroupDlg::OnChangeGroupName() {
  m_bChanged = 1;
  m_strGroupName = NameInBox();
  if (!m_strOpeningName.empty())
    m_bNewName = m_strGroupName != m_strOpeningName ? 1 : 0;
}

void CFormGroupDlg::OnSelchangeFormList() {
  m_bChanged = 1;
}

// A check mark set or cleared changes the group as much as a new name does. A click on the
// check box of the line already selected need not change the selection, and without this a
// user who only checked forms would see OK close the dialog and keep nothing.
void CFormGroupDlg::OnCheckChangeFormList() {
  m_bChanged = 1;
}

void CFormGroupDlg::Tell(UINT id) {
  MessageBoxA(this, LoadResString(id).c_str(), LoadResString(IDS_CAPTION).c_str(), MB_OK);
}

void CFormGroupDlg::OnOK() {
  if (m_bChanged == 0) {
    EndDialog(IDOK);
    return;
  }

  m_selectedForms.clear();
  for (int line = 0; line < m_formList->GetCount(); ++line)
    if (m_formList->GetCheck(line) == BST_CHECKED)
      m_selectedForms.push_back(m_formList->GetText(line));

  if (m_bNewName == 1) {
    if (m_selectedForms.empty()) {
      Tell(IDS_GROUP_NEEDS_FORM);
      return;
    }
    m_strGroupName = NameInBox();
    if (m_strGroupName.empty()) {
      Tell(IDS_GROUP_NAME_REQUIRED);
      m_groupNameBox->SetFocus();
      return;
    }
    for (CFormGroup* group = m_pGroupList->GetFirstGroup(); group != nullptr;
         group = m_pGroupList->GetNextGroup()) {
      if (qv::EqualsNoCase(group->GetGroupName(), m_strGroupName)) {
        Tell(IDS_DUPLICATE_GROUP);
        m_groupNameBox->SetWindowText("");
        m_groupNameBox->SetFocus();
        return;
      }
    }
    m_pGroupList->AddGroup(m_strGroupName, m_selectedForms);
  } else {
    if (m_selectedForms.empty()) {
      Tell(IDS_GROUP_NEEDS_FORM);
      return;
    }
    std::string text = NameInBox();
    if (text != m_strGroupName && !text.empty())
      m_strGroupName = text;
    m_pGroupList->ReplaceGroupForms(m_strGroupName, m_selectedForms);
  }

  m_pGroupList->Save();

  // A scheduled group's task copies what its script lists: the script follows the group.
  TaskConfigRecord record{};
  if (m_pView != nullptr && m_pView->IsScheduled(&record, m_strGroupName) == 1)
    m_pView->WriteGroupScript(m_strGroupName);

  EndDialog(IDOK);
}

void CFormGroupDlg::OnCancel() {
  m_bChanged = 0;
  EndDialog(IDCANCEL);
}
