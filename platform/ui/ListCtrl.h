// CListCtrl: the data side of the list view control: rows of column texts, each with an image
// index, an item data value and a state (selected, focused). Row and column indices count
// from 0. The window framework grows this into the full control (columns, view modes,
// notifications); the rows stay here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/wintypes.h"

using DWORD_PTR = std::uintptr_t;

inline constexpr UINT LVIS_FOCUSED = 0x0001;
inline constexpr UINT LVIS_SELECTED = 0x0002;
inline constexpr int LVNI_ALL = 0x0000;
inline constexpr int LVNI_FOCUSED = 0x0001;
inline constexpr int LVNI_SELECTED = 0x0002;

class CListCtrl {
 public:
  int GetItemCount() const { return static_cast<int>(rows_.size()); }

  // Inserts a row with `text` in column 0 before row `index` (at the end when index is past
  // it). Returns the new row's index, or -1 for a negative index.
  int InsertItem(int index, const std::string& text, int image = 0);
  BOOL DeleteItem(int item);
  BOOL DeleteAllItems();

  // Column texts; a column past the row's texts reads as "". FALSE for a bad row or column.
  BOOL SetItemText(int item, int subItem, const std::string& text);
  std::string GetItemText(int item, int subItem) const;

  BOOL SetItemData(int item, DWORD_PTR data);
  DWORD_PTR GetItemData(int item) const;  // 0 for a bad row
  BOOL SetItemImage(int item, int image);
  int GetItemImage(int item) const;  // -1 for a bad row

  // The state bits of `mask`; SetItemState changes only the bits of `mask`.
  UINT GetItemState(int item, UINT mask) const;
  BOOL SetItemState(int item, UINT state, UINT mask);
  // The first row after `start` (-1: from the top) whose state has the LVNI_ bits of
  // `flags` (LVNI_ALL: any row); -1 when there is none.
  int GetNextItem(int start, int flags) const;

 private:
  struct Row {
    std::vector<std::string> texts;  // column 0 first
    int image = 0;
    DWORD_PTR data = 0;
    UINT state = 0;
  };
  bool Valid(int item) const { return item >= 0 && item < GetItemCount(); }

  std::vector<Row> rows_;
};
