// CItemListDlg: the choices of a combo-box question. The dialog edits the question's own item
// list in place; every change stays provisional (marked on the item) until Finish makes the
// marks final or Cancel undoes them. The list box shows the items sorted; the record keeps the
// order in which they were entered.
#pragma once

#include "forms/FormField.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "resources/ResourceIds.h"

class CItemListDlg : public CDialog {
 public:
  static constexpr int kTemplate = IDD_ITEM_LIST;

  CItemListDlg(CWnd* parent, BOOL hasItems, CFormField::ItemList* items, const int* controlType);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;  // Finish
  void OnCancel() override;

 private:
  void OnInsert();
  void OnDelete();
  void OnDblclkList();
  LRESULT OnVKeyToItem(WPARAM wParam, LPARAM lParam);
  void Commit();
  void RollBack();
  // The item a line of the list box shows, its own among items of equal text.
  CFieldItem* ItemOfLine(int line) const;

  CButton* m_insertButton = nullptr;
  CButton* m_deleteButton = nullptr;
  CListBox* m_itemList = nullptr;
  CEdit* m_itemName = nullptr;
  int m_hasItems;
  CFormField::ItemList* m_items;
  int m_controlType;
};
