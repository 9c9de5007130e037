#include "editor/ItemListDlg.h"

#include "platform/ui/MessageBox.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

CItemListDlg::CItemListDlg(CWnd* parent, BOOL hasItems, CFormField::ItemList* items,
                           const int* controlType)
    : CDialog(kTemplate, parent),
      m_hasItems(hasItems != FALSE ? 1 : 0),
      m_items(items),
      m_controlType(*controlType) {
  OnCommand(BN_CLICKED, IDC_INSERT_ITEM, [this] { OnInsert(); });
  OnCommand(BN_CLICKED, IDC_DELETE_ITEM, [this] { OnDelete(); });
  OnCommand(LBN_DBLCLK, IDC_ITEM_LIST, [this] { OnDblclkList(); });
  OnMessage(WM_VKEYTOITEM, [this](WPARAM w, LPARAM l) { return OnVKeyToItem(w, l); });
  OnHelp(IDHELP, kTemplate);
}

BOOL CItemListDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_insertButton = dynamic_cast<CButton*>(GetDlgItem(IDC_INSERT_ITEM));
  m_deleteButton = dynamic_cast<CButton*>(GetDlgItem(IDC_DELETE_ITEM));
  m_itemList = dynamic_cast<CListBox*>(GetDlgItem(IDC_ITEM_LIST));
  m_itemName = dynamic_cast<CEdit*>(GetDlgItem(IDC_ITEM_NAME));
  if (m_hasItems == 1)
    for (const auto& item : *m_items)
      m_itemList->AddString(item->text);
  m_itemName->SetFocus();
  return FALSE;
}

void CItemListDlg::OnInsert() {
  std::string text = m_itemName->GetWindowText();
  if (text.empty())
    return;
  auto item = std::make_unique<CFieldItem>(text);
  item->pendingAdd = true;
  m_items->push_back(std::move(item));
  m_itemList->AddString(text);
  m_itemName->SetFocus();
  m_itemName->SetWindowText("");
}

CFieldItem* CItemListDlg::ItemOfLine(int line) const {
  // A sorted list box puts a line before the lines equal to it (ignoring letter case), so
  // among lines of one text the newest item's line stands on top: the n-th such line from
  // the top belongs to the n-th shown item of that text counted from the end of the list.
  std::string text = m_itemList->GetText(line);
  int rank = 0;
  for (int i = 0; i < line; ++i)
    if (m_itemList->GetText(i) == text)
      ++rank;
  for (auto it = m_items->rbegin(); it != m_items->rend(); ++it) {
    if ((*it)->text != text || (*it)->pendingDelete)
      continue;
    if (rank-- == 0)
      return it->get();
  }
  return nullptr;
}

void CItemListDlg::OnDelete() {
  int line = m_itemList->GetCurSel();
  if (line < 0)
    return;
  if (CFieldItem* item = ItemOfLine(line))
    item->pendingDelete = true;
  m_itemList->DeleteString(line);
}

void CItemListDlg::OnDblclkList() {
  int line = m_itemList->GetCurSel();
  if (line < 0)
    return;
  m_itemName->SetWindowText(m_itemList->GetText(line));
  OnDelete();
}

LRESULT CItemListDlg::OnVKeyToItem(WPARAM wParam, LPARAM /*lParam*/) {
  if (LOWORD(wParam) == VK_DELETE)
    OnDelete();
  return -2;
}

void CItemListDlg::OnOK() {
  if (m_controlType == CFormField::kFixedList) {
    bool anyLeft = false;
    for (const auto& item : *m_items)
      anyLeft = anyLeft || !item->pendingDelete;
    if (!anyLeft) {
      AfxMessageBox(LoadResString(IDS_FIXED_LIST_NEEDS_ITEM), MB_OK);
      m_itemName->SetFocus();
      return;
    }
  }
  Commit();
  EndDialog(IDOK);
}

void CItemListDlg::OnCancel() {
  RollBack();
  EndDialog(IDCANCEL);
}

void CItemListDlg::Commit() {
  for (auto it = m_items->begin(); it != m_items->end();) {
    if ((*it)->pendingDelete) {
      it = m_items->erase(it);
      continue;
    }
    (*it)->pendingAdd = false;
    ++it;
  }
}

void CItemListDlg::RollBack() {
  for (auto it = m_items->begin(); it != m_items->end();) {
    if ((*it)->pendingAdd) {
      it = m_items->erase(it);
      continue;
    }
    (*it)->pendingDelete = false;
    ++it;
  }
}
