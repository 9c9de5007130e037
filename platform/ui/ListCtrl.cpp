#include "platform/ui/ListCtrl.h"

#include <algorithm>

namespace {

constexpr int kMaxColumns = 64;  // more than any list here shows

// Dialog units of the dialog font (MS Sans Serif 8) in pixels: 6 by 13 for 4 by 8.
int PixelsX(int units) {
  return units * 3 / 2;
}
int PixelsY(int units) {
  return units * 13 / 8;
}

}  // namespace

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
  ++emptied_;
  return TRUE;
}

BOOL CListCtrl::SetItemText(int item, int subItem, const std::string& text) {
  if (!Valid(item) || subItem < 0 || subItem >= kMaxColumns)
    return FALSE;
  std::vector<std::string>& texts = rows_[item].texts;
  if (static_cast<std::size_t>(subItem) >= texts.size())
    texts.resize(subItem + 1);
  if (texts[subItem] == text)
    return TRUE;
  texts[subItem] = text;
  ItemChanged(item, LVIF_TEXT, rows_[item].state);
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
  if (rows_[item].data != data) {
    rows_[item].data = data;
    ItemChanged(item, LVIF_PARAM, rows_[item].state);
  }
  return TRUE;
}

DWORD_PTR CListCtrl::GetItemData(int item) const {
  return Valid(item) ? rows_[item].data : 0;
}

int CListCtrl::GetItemImage(int item) const {
  return Valid(item) ? rows_[item].image : -1;
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
  if (!Valid(item))
    return FALSE;
  // The bits that only one row may carry leave the other rows first.
  UINT single = LVIS_FOCUSED | ((GetStyle() & LVS_SINGLESEL) != 0 ? LVIS_SELECTED : 0);
  UINT taken = state & mask & single;
  if (taken != 0)
    for (int other = 0; other < GetItemCount(); ++other)
      if (other != item && (rows_[other].state & taken) != 0)
        ChangeState(other, 0, taken);
  ChangeState(item, state, mask);
  return TRUE;
}

void CListCtrl::ChangeState(int item, UINT state, UINT mask) {
  UINT old = rows_[item].state;
  rows_[item].state = (old & ~mask) | (state & mask);
  if (rows_[item].state != old)
    ItemChanged(item, LVIF_STATE, old);
}

void CListCtrl::ItemChanged(int item, UINT changed, UINT oldState) {
  NMLISTVIEW change;
  change.hdr.code = LVN_ITEMCHANGED;
  change.iItem = item;
  change.uChanged = changed;
  change.uOldState = oldState;
  change.uNewState = rows_[item].state;
  change.lParam = static_cast<LPARAM>(rows_[item].data);
  SendNotify(&change.hdr);
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

int CListCtrl::InsertColumn(int column, const std::string& heading, int format, int width) {
  if (column < 0)
    return -1;
  column = std::min(column, GetColumnCount());
  columns_.insert(columns_.begin() + column,
                  Column{heading, format, width < 0 ? GetStringWidth(heading) : width});
  return column;
}

int CListCtrl::GetColumnWidth(int column) const {
  return column >= 0 && column < GetColumnCount() ? columns_[column].width : 0;
}

BOOL CListCtrl::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= GetColumnCount() || width < 0)
    return FALSE;
  columns_[column].width = width;
  return TRUE;
}

std::string CListCtrl::GetColumnHeading(int column) const {
  return column >= 0 && column < GetColumnCount() ? columns_[column].heading : std::string();
}

int CListCtrl::GetStringWidth(const std::string& text) const {
  return static_cast<int>(text.size()) * kCharWidth;
}

CImageList* CListCtrl::SetImageList(CImageList* list, int which) {
  CImageList*& slot = which == LVSIL_SMALL ? smallImages_ : normalImages_;
  CImageList* before = slot;
  slot = list;
  return before;
}

CImageList* CListCtrl::GetImageList(int which) const {
  return which == LVSIL_SMALL ? smallImages_ : normalImages_;
}

void CListCtrl::SetClientSize(int cx, int cy) {
  clientWidth_ = std::max(cx, 0);
  clientHeight_ = std::max(cy, 0);
}

int CListCtrl::ClientWidth() const {
  return clientWidth_ > 0 ? clientWidth_ : PixelsX(Rect().Width());
}

int CListCtrl::ClientHeight() const {
  return clientHeight_ > 0 ? clientHeight_ : PixelsY(Rect().Height());
}

BOOL CListCtrl::GetItemRect(int item, CRect* rect, int code) const {
  if (!Valid(item) || rect == nullptr)
    return FALSE;
  CRect bounds, icon;
  switch (ViewType()) {
    case LVS_ICON: {
      int perRow = std::max(1, ClientWidth() / kIconCell);
      int x = item % perRow * kIconCell, y = item / perRow * kIconCell;
      bounds = {x, y, x + kIconCell, y + kIconCell};
      icon = {x + (kIconCell - 32) / 2, y + 2, x + (kIconCell + 32) / 2, y + 34};
      break;
    }
    case LVS_REPORT: {
      int width = 0;
      for (const Column& column : columns_)
        width += column.width;
      int y = kHeaderHeight + item * kRowHeight;
      bounds = {0, y, width, y + kRowHeight};
      break;
    }
    case LVS_SMALLICON: {
      int perRow = std::max(1, ClientWidth() / kSmallCellWidth);
      int x = item % perRow * kSmallCellWidth, y = item / perRow * kRowHeight;
      bounds = {x, y, x + kSmallCellWidth, y + kRowHeight};
      break;
    }
    default: {  // LVS_LIST
      int perColumn = std::max(1, ClientHeight() / kRowHeight);
      int x = item / perColumn * kSmallCellWidth, y = item % perColumn * kRowHeight;
      bounds = {x, y, x + kSmallCellWidth, y + kRowHeight};
      break;
    }
  }
  if (ViewType() != LVS_ICON)
    icon = {bounds.left + 2, bounds.top, bounds.left + 18, bounds.top + 16};
  CRect label = ViewType() == LVS_ICON
                    ? CRect{bounds.left, icon.bottom + 2, bounds.right, bounds.bottom}
                    : CRect{icon.right + 2, bounds.top, bounds.right, bounds.bottom};
  *rect = code == LVIR_ICON ? icon : code == LVIR_LABEL ? label : bounds;
  return TRUE;
}

LRESULT CListCtrl::Notify(UINT code, int item) {
  NMLISTVIEW info;
  info.hdr.code = code;
  info.iItem = item;
  if (Valid(item)) {
    info.lParam = static_cast<LPARAM>(rows_[item].data);
    CRect bounds;
    GetItemRect(item, &bounds, LVIR_ICON);
    info.ptAction = {(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
  }
  return SendNotify(&info.hdr);
}

void CListCtrl::ClickRow(int item) {
  SetFocus();
  if (!Valid(item)) {
    for (int row = 0; row < GetItemCount(); ++row)
      ChangeState(row, 0, LVIS_SELECTED);
    return;
  }
  for (int row = 0; row < GetItemCount(); ++row)
    if (row != item)
      ChangeState(row, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ChangeState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void CListCtrl::DefaultKey(int key) {
  int focused = GetNextItem(-1, LVNI_FOCUSED);
  int to = -1;
  switch (key) {
    case VK_RETURN:
      Notify(NM_RETURN, focused);
      return;
    case VK_APPS:
      SendMessage(WM_CONTEXTMENU, static_cast<WPARAM>(Handle()), MAKELPARAM(-1, -1));
      return;
    case VK_UP:
      to = focused > 0 ? focused - 1 : 0;
      break;
    case VK_DOWN:
      to = focused < 0 ? 0 : std::min(focused + 1, GetItemCount() - 1);
      break;
    case VK_HOME:
      to = 0;
      break;
    case VK_END:
      to = GetItemCount() - 1;
      break;
    default:
      return;
  }
  if (Valid(to))
    ClickRow(to);
}

bool CListCtrl::OnUserInput(const UserInput& input, std::string* problem) {
  if ((input.kind == UserInput::kSelect || input.kind == UserInput::kDoubleClick ||
       input.kind == UserInput::kRightClick || input.kind == UserInput::kDrag) &&
      input.index >= GetItemCount()) {
    *problem =
        "the list " + std::to_string(GetDlgCtrlID()) + " has no row " + std::to_string(input.index);
    return false;
  }
  switch (input.kind) {
    case UserInput::kSelect:  // a click; -1 clicks where no row is
      ClickRow(input.index);
      if (IsWindow())
        Notify(NM_CLICK, input.index);
      return true;
    case UserInput::kDoubleClick:
      ClickRow(input.index);
      if (IsWindow())
        Notify(NM_DBLCLK, input.index);
      return true;
    case UserInput::kRightClick: {
      ClickRow(input.index);
      if (IsWindow())
        Notify(NM_RCLICK, input.index);
      CRect bounds{0, 0, 0, 0};
      GetItemRect(input.index, &bounds, LVIR_BOUNDS);
      if (IsWindow())
        SendMessage(WM_CONTEXTMENU, static_cast<WPARAM>(Handle()),
                    MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2));
      return true;
    }
    case UserInput::kDrag:
      if (input.index < 0) {
        *problem = "a drag starts on a row";
        return false;
      }
      ClickRow(input.index);
      if (IsWindow())
        Notify(LVN_BEGINDRAG, input.index);
      return true;
    case UserInput::kColumnWidth:
      // The header shows in the report presentation only; the width is the user's, kept until
      // the control's owner reads or sets it again.
      if (ViewType() != LVS_REPORT || input.index < 0 || input.index >= GetColumnCount() ||
          input.to < 0 || input.to > kMaxColumnWidth) {
        *problem = "the list " + std::to_string(GetDlgCtrlID()) + " has no header divider " +
                   std::to_string(input.index) + " to drag to " + std::to_string(input.to);
        return false;
      }
      SetColumnWidth(input.index, input.to);
      return true;
    case UserInput::kKey: {
      SetFocus();
      SendMessage(WM_KEYDOWN, static_cast<WPARAM>(input.key));
      NMLVKEYDOWN key;
      key.hdr.code = LVN_KEYDOWN;
      key.wVKey = input.key;
      if (IsWindow())
        SendNotify(&key.hdr);
      if (IsWindow())
        DefaultKey(input.key);
      if (IsWindow())
        SendMessage(WM_KEYUP, static_cast<WPARAM>(input.key));
      return true;
    }
    default:
      return CWnd::OnUserInput(input, problem);
  }
}
