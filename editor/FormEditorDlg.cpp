#include "editor/FormEditorDlg.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "forms/FieldException.h"
#include "forms/ProfileFile.h"
#include "platform/process/WinExec.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/MessageBox.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

namespace {

std::string PageBreakLine() {
  return LoadResString(IDS_PAGE_BREAK);
}

void Enable(CWnd* dialog, int id, bool enable) {
  dialog->GetDlgItem(id)->EnableWindow(enable ? TRUE : FALSE);
}

}  // namespace

CFormEditorDlg::CFormEditorDlg(CWnd* parent, int editMode, const std::string& formName,
                               CCustomDoc* document)
    : CDialog(kTemplate, parent),
      m_formName(formName),
      m_document(document),
      m_editMode(editMode),
      m_newFile(editMode == 1 ? 0 : 1) {
  try {
    m_form = std::make_unique<CCustomForm>();
  } catch (const std::bad_alloc&) {
    std::fputs("Form Designer: the form could not be created\n", stderr);
    std::abort();
  }
  m_document->SetCurrentForm(m_form.get());

  OnCommand(BN_CLICKED, IDC_ADD_QUESTION, [this] { OnAdd(); });
  OnCommand(BN_CLICKED, IDC_EDIT_QUESTION, [this] { OnEditButton(); });
  OnCommand(LBN_DBLCLK, IDC_QUESTION_LIST, [this] { OnEdit(); });
  OnCommand(LBN_SELCHANGE, IDC_QUESTION_LIST, [this] { EnableRules(); });
  OnMessage(WM_VKEYTOITEM, [this](WPARAM w, LPARAM) {
    return OnKey(static_cast<int>(LOWORD(w)), static_cast<short>(HIWORD(w)));
  });
  OnCommand(BN_CLICKED, IDC_DELETE_QUESTION,
            [this] { OnKey(VK_DELETE, m_questionList->GetCurSel()); });
  OnCommand(BN_CLICKED, IDC_PAGE_BREAK, [this] { OnPageBreak(); });
  OnCommand(BN_CLICKED, IDC_MOVE_UP, [this] { OnMoveUp(); });
  OnCommand(BN_CLICKED, IDC_MOVE_DOWN, [this] { OnMoveDown(); });
  OnCommand(EN_CHANGE, IDC_FORM_NAME, [this] { TakeName(false); });
  OnCommand(EN_CHANGE, IDC_FORM_DESCRIPTION, [this] { TakeDescription(false); });
  OnCommand(EN_KILLFOCUS, IDC_FORM_NAME, [this] { TakeName(true); });
  OnCommand(EN_KILLFOCUS, IDC_FORM_DESCRIPTION, [this] { TakeDescription(true); });
  OnCommand(BN_CLICKED, IDC_PREVIEW, [this] { OnPreview(); });
  OnHelp(IDHELP, kTemplate);
}

CFormEditorDlg::~CFormEditorDlg() {
  if (m_modified == 1 && m_previewed == 0)
    m_form->SetSaveFlags(true, m_newFile == 1);
  else
    m_form->SetSaveFlags(false, false);
  m_form.reset();  // saves when asked to
  m_document->ClearCurrentForm();
}

std::unique_ptr<CWnd> CFormEditorDlg::CreateControl(const DialogItemTemplate& item) {
  if (item.id == IDC_QUESTION_LIST)
    return std::make_unique<CQuestionListBox>();
  return nullptr;
}

BOOL CFormEditorDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_deleteButton = dynamic_cast<CButton*>(GetDlgItem(IDC_DELETE_QUESTION));
  m_editButton = dynamic_cast<CButton*>(GetDlgItem(IDC_EDIT_QUESTION));
  m_questionList = dynamic_cast<CQuestionListBox*>(GetDlgItem(IDC_QUESTION_LIST));
  m_descriptionBox = dynamic_cast<CEdit*>(GetDlgItem(IDC_FORM_DESCRIPTION));
  m_nameBox = dynamic_cast<CEdit*>(GetDlgItem(IDC_FORM_NAME));
  if (m_editMode == 1) {
    SetWindowText(LoadResString(IDS_EDIT_FORM_CAPTION));
    const CMapStringToString* map = m_document->GetFormMap();
    if (map != nullptr && map->Lookup(m_formName, m_filePath)) {
      Form().SetFilePath(m_filePath);
      Form().Load();
      m_nameBox->SetModify(FALSE);
      m_descriptionBox->SetModify(FALSE);
      RefreshList();
      m_openingName = m_formName;
    }
  }
  m_questionList->SetDefinition(&Form().Definition());
  m_questionList->SetOwner(this);
  m_nameBox->SetFocus();
  return FALSE;
}

void CFormEditorDlg::RefreshList() {
  CFormDefinition& definition = Form().Definition();
  m_nameBox->SetWindowText(definition.formName);
  m_descriptionBox->SetWindowText(definition.formDescription);
  m_questionList->ResetContent();
  CProfileFile text;
  for (const auto& entry : definition.Entries()) {
    if (entry->kind == CFormField::kQuestion) {
      text.UnquoteText(entry->questionText);
      m_questionList->AddString(entry->questionText);
    } else if (entry->kind == CFormField::kPageBreak) {
      m_questionList->AddString(PageBreakLine());
    }
  }
  EnableRules();
}

void CFormEditorDlg::EnableRules() {
  int count = m_questionList->GetCount();
  int sel = m_questionList->GetCurSel();
  if (count == 0) {
    for (int id :
         {IDC_DELETE_QUESTION, IDC_PAGE_BREAK, IDC_EDIT_QUESTION, IDC_MOVE_DOWN, IDC_MOVE_UP})
      Enable(this, id, false);
  } else {
    for (int id : {IDC_DELETE_QUESTION, IDC_PAGE_BREAK, IDC_EDIT_QUESTION})
      Enable(this, id, true);
    Enable(this, IDC_MOVE_DOWN, count > 1);
    Enable(this, IDC_MOVE_UP, count > 1);
  }
  Enable(this, IDC_ADD_QUESTION, true);
  if (sel == 0 && count > 1) {
    Enable(this, IDC_MOVE_UP, false);
    Enable(this, IDC_MOVE_DOWN, true);
  } else if (sel == count - 1 && count > 1) {
    Enable(this, IDC_MOVE_DOWN, false);
    Enable(this, IDC_MOVE_UP, true);
  }
  if (sel >= 0) {
    m_editButton->EnableWindow(m_questionList->GetText(sel) != PageBreakLine() ? TRUE : FALSE);
    m_modified = 1;
  }
}

void CFormEditorDlg::TakeName(bool onlyWhenModified) {
  if (onlyWhenModified && m_nameBox->GetModify() == FALSE)
    return;
  Form().Definition().formName = m_nameBox->GetWindowText();
  m_modified = 1;
  m_nameBox->SetModify(FALSE);
}

void CFormEditorDlg::TakeDescription(bool onlyWhenModified) {
  if (onlyWhenModified && m_descriptionBox->GetModify() == FALSE)
    return;
  Form().Definition().formDescription = m_descriptionBox->GetWindowText();
  m_modified = 1;
  m_descriptionBox->SetModify(FALSE);
}

void CFormEditorDlg::OnEditButton() {
  if (m_questionList->GetCurSel() < 0) {
    AfxMessageBox(LoadResString(IDS_SELECT_QUESTION), MB_OK);
    return;
  }
  OnEdit();
}

void CFormEditorDlg::OnEdit() {
  int index = m_questionList->GetCurSel();
  CFormField* entry = m_questionList->EntryAt(index);
  if (entry == nullptr || entry->marker)
    return;
  try {
    try {
      m_questionDlg = new CQuestionDlg(nullptr, 1, entry, &Form().Definition().Entries());
    } catch (const std::bad_alloc&) {
      throw CFieldException(CFieldException::kMemoryAllocation);
    }
  } catch (const CFieldException& e) {
    AfxMessageBox(e.GetMessage(), MB_OK);
    return;
  }
  if (m_questionDlg->DoModal() == IDOK) {
    RefreshList();
    m_modified = 1;
  }
  delete m_questionDlg;
  m_questionDlg = nullptr;
  m_questionList->SetFocus();
  m_questionList->SetCurSel(index);
}

void CFormEditorDlg::OnAdd() {
  int index = m_questionList->GetCurSel();
  if (index < 0)
    index = 0;
  std::unique_ptr<CFormField> entry;
  try {
    try {
      entry = std::make_unique<CFormField>();
      m_questionDlg = new CQuestionDlg(nullptr, 0, entry.get(), &Form().Definition().Entries());
    } catch (const std::bad_alloc&) {
      throw CFieldException(CFieldException::kMemoryAllocation);
    }
  } catch (const CFieldException& e) {
    AfxMessageBox(e.GetMessage(), MB_OK);
    return;
  }
  if (m_questionDlg->DoModal() == IDOK && m_questionDlg->GetDirty() == 1) {
    if (index != 0)
      Form().Definition().InsertAfter(m_questionList->EntryAt(index), std::move(entry));
    else
      Form().Definition().Append(std::move(entry));
    RefreshList();
    m_modified = 1;
  }
  entry.reset();  // a question not taken is destroyed
  delete m_questionDlg;
  m_questionDlg = nullptr;
  m_questionList->SetFocus();
  m_questionList->SetCurSel(index + 1);
}

void CFormEditorDlg::OnPageBreak() {
  int sel = m_questionList->GetCurSel();
  if (sel < 0)
    return;
  CFormField* after = m_questionList->EntryAt(sel);
  if (after == nullptr)
    return;
  try {
    std::unique_ptr<CFormField> pageBreak;
    try {
      pageBreak = std::make_unique<CFormField>();
    } catch (const std::bad_alloc&) {
      throw CFieldException(CFieldException::kMemoryAllocation);
    }
    pageBreak->kind = CFormField::kPageBreak;
    pageBreak->marker = true;
    Form().Definition().InsertAfter(after, std::move(pageBreak));
  } catch (const CFieldException& e) {
    AfxMessageBox(e.GetMessage(), MB_OK);
    return;
  }
  m_questionList->InsertString(sel + 1, PageBreakLine());
  m_questionList->SetCurSel(sel + 1);
  EnableRules();
}

void CFormEditorDlg::OnMoveUp() {
  int i = m_questionList->GetCurSel();
  if (i <= 0)
    return;
  std::string text = m_questionList->GetText(i);
  m_questionList->DeleteString(i);
  m_questionList->InsertString(i - 1, text);
  m_questionList->SetCurSel(i - 1);
  CFormField* moving = m_questionList->EntryAt(i);
  CFormField* before = m_questionList->EntryAt(i - 1);
  if (moving != nullptr && before != nullptr)
    Form().Definition().MoveBefore(before, moving);
  EnableRules();
}

void CFormEditorDlg::OnMoveDown() {
  int i = m_questionList->GetCurSel();
  if (i < 0 || i >= m_questionList->GetCount() - 1)
    return;
  std::string text = m_questionList->GetText(i);
  m_questionList->DeleteString(i);
  m_questionList->InsertString(i + 1, text);
  m_questionList->SetCurSel(i + 1);
  CFormField* at = m_questionList->EntryAt(i);
  CFormField* below = m_questionList->EntryAt(i + 1);
  if (at != nullptr && below != nullptr)
    Form().Definition().MoveBefore(at, below);
  EnableRules();
}

LRESULT CFormEditorDlg::OnKey(int key, int index) {
  if (index < 0)
    return -2;
  if (key == VK_DELETE) {
    std::string line = m_questionList->GetText(index);
    if (AfxMessageBox(AfxFormatString1(IDS_DELETE_PROMPT, line), MB_YESNO) != IDYES)
      return -2;
    Form().Definition().Remove(m_questionList->EntryAt(index));
    m_questionList->DeleteString(index);
    m_modified = 1;
  } else if (key == VK_INSERT) {
    OnAdd();
  }
  int count = m_questionList->GetCount();
  int select = count == 0 ? -1 : (index >= count ? count - 1 : index);
  m_questionList->SetFocus();
  m_questionList->SetCurSel(select);
  EnableRules();
  return CDialog::DefWindowProc(WM_VKEYTOITEM, 0, 0);
}

bool CFormEditorDlg::NameCheck() {
  const std::string& name = Form().Definition().formName;
  if (name.empty()) {
    AfxMessageBox(LoadResString(IDS_FORM_NAME_REQUIRED), MB_OK);
    return false;
  }
  if (const CMapStringToString* map = m_document->GetFormMap()) {
    for (const auto& [key, path] : *map) {
      if (qv::EqualsNoCase(key, name) && !qv::EqualsNoCase(m_openingName, name)) {
        AfxMessageBox(LoadResString(IDS_DUPLICATE_FORM), MB_OK);
        m_nameBox->SetWindowText("");
        m_nameBox->SetFocus();
        return false;
      }
    }
  }
  return true;
}

void CFormEditorDlg::Finish(int result) {
  if (Form().Definition().formName.find(" - ") != std::string::npos) {
    AfxMessageBox(LoadResString(IDS_FORM_NAME_SEPARATOR), MB_OK);
    m_nameBox->SetFocus();
    return;
  }
  if (Form().Definition().formName != m_openingName)
    m_newFile = 1;
  EndDialog(result);
}

void CFormEditorDlg::OnOK() {
  if (!NameCheck())
    return;
  Finish(IDOK);
}

void CFormEditorDlg::OnCancel() {
  bool emptyNewForm = m_editMode == 0 && m_questionList->GetCount() == 0;
  if (!emptyNewForm && !NameCheck())
    return;
  Finish(IDCANCEL);
}

bool CFormEditorDlg::SaveForPreview() {
  bool newFile;
  if (!m_previewFile.empty())
    newFile = false;  // a new form that an earlier preview saved: rewrite that file
  else if (m_newFile == 1)
    newFile = true;
  else
    newFile = Form().Definition().formName != m_openingName;
  Form().SetSaveFlags(true, newFile);
  if (Form().Save() == 0)
    return false;
  if (m_newFile == 1)
    m_previewFile = Form().GetFilePath();
  return true;
}

void CFormEditorDlg::OnPreview() {
  // A save that fails has told the user; nothing changes, so that the form is still saved
  // when the dialog closes, and the viewer is started all the same.
  bool saved = true;
  if (m_modified == 1) {
    saved = SaveForPreview();
    if (saved) {
      m_modified = 0;
      m_filePath = Form().GetFilePath();
    }
  }
  if (saved)
    m_previewed = 1;
  char server[256] = {};
  if (GetCoreServerName(server, sizeof server) == FALSE)
    return;
  char share[300];
  std::snprintf(share, sizeof share, "\\\\%s\\qvlogon\\", server);
  std::string command = std::string(share) + "QVCstm32.exe /d /i=" + m_filePath;
  UINT result = WinExec(command.c_str(), SW_SHOWNORMAL);
  if (result > 11)
    return;
  UINT message = 0;
  switch (result) {
    case 0:
      message = IDS_EXEC_OUT_OF_MEMORY;
      break;
    case 2:
      message = IDS_EXEC_FILE_NOT_FOUND;
      break;
    case 3:
      message = IDS_EXEC_PATH_NOT_FOUND;
      break;
    case 11:
      message = IDS_EXEC_BAD_FORMAT;
      break;
    default:
      return;  // not reported
  }
  AfxMessageBox(AfxFormatString1(message, LoadResString(IDS_VIEWER_LAUNCH_FAILED)), MB_OK);
}
