#include "platform/ui/ListCtrl.h"

namespace {
constexpr int kMaxColumns = 64;  // more than any list here shows
}

int CListCtrl::InsertItem(int index, const std::string& text, int image) {
  if (index < 0)
    return -1;
  if (index > GetItemCount())
    index = GetItemCount();
  Row row;
  row.texts.push_back(text);
  row.image = image;
  rows_.insert(rows_.begin() + index, std::move(row));
  return index;
}

BOOL CListCtrl::DeleteItem(int item) {
  if (!Valid(item))
    return FALSE;
  rows_.erase(rows_.begin() + item);
  return TRUE;
}

BOOL CListCtrl::DeleteAllItems() {
  rows_.clear();
  return TRUE;
}

BOOL CListCtrl::SetItemText(int item, int subItem, const std::string& text) {
  if (!Valid(item) || subItem < 0 || subItem >= kMaxColumns)
    return FALSE;
  std::vector<std::string>& texts = rows_[item].texts;
  if (static_cast<std::size_t>(subItem) >= texts.size())
    texts.resize(subItem + 1);
  texts[subItem] = text;
  return TRUE;
}

std::string CListCtrl::GetItemText(int item, int subItem) const {
  if (!Valid(item) || subItem < 0 || static_cast<std::size_t>(subItem) >= rows_[item].texts.size())
    return std::string();
  return rows_[item].texts[subItem];
}

BOOL CListCtrl::SetItemData(int item, DWORD_PTR data) {
  if (!Valid(item))
    return FALSE;
  rows_[item].data = data;
  return TRUE;
}

DWORD_PTR CListCtrl::GetItemData(int item) const {
  return Valid(item) ? rows_[item].data : 0;
}

BOOL CListCtrl::SetItemImage(int item, int image) {
  if (!Valid(item))
    return FALSE;
  rows_[item].image = image;
  return TRUE;
}

int CListCtrl::GetItemImage(int item) const {
  return Valid(item) ? rows_[item].image : -1;
}

UINT CListCtrl::GetItemState(int item, UINT mask) const {
  return Valid(item) ? rows_[item].state & mask : 0;
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
  if (!Valid(item))
    return FALSE;
  rows_[item].state = (rows_[item].state & ~mask) | (state & mask);
  return TRUE;
}

int CListCtrl::GetNextItem(int start, int flags) const {
  UINT wanted = 0;
  if (flags & LVNI_SELECTED)
    wanted |= LVIS_SELECTED;
  if (flags & LVNI_FOCUSED)
    wanted |= LVIS_FOCUSED;
  for (int item = start < 0 ? 0 : start + 1; item < GetItemCount(); ++item)
    if ((rows_[item].state & wanted) == wanted)
      return item;
  return -1;
}
