// CListCtrl: the list view control ("SysListView32"). Rows of column texts, each with an image
// index, an item data value and a state (selected, focused); header columns with widths; the
// presentation in the low two style bits; the normal and small image lists. Row and column
// indices count from 0.
//
// It tells its parent what happens with WM_NOTIFY, as the platform's control does: every change
// of a row's state, text, image or data raises LVN_ITEMCHANGED (none when nothing changed, and
// none for InsertItem); the user's clicks raise NM_CLICK, NM_DBLCLK and NM_RCLICK, Enter
// NM_RETURN, a drag LVN_BEGINDRAG. Keys reach the control itself as WM_KEYDOWN and WM_KEYUP; a
// right click or the menu key sends it WM_CONTEXTMENU.
//
// Geometry is in pixels of the control's client area, whose origin stands for the screen's
// until a host places the control: large icons in cells of kIconCell pixels filling rows, small
// icons in cells kSmallCellWidth wide filling rows, a list in columns of the same width, and a
// report under a header of kHeaderHeight pixels. Every text is taken as kCharWidth pixels a
// character. The control can be used without a window (the catalogue fills one in tests).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Wnd.h"

using DWORD_PTR = std::uintptr_t;

inline constexpr UINT LVIS_FOCUSED = 0x0001;
inline constexpr UINT LVIS_SELECTED = 0x0002;
inline constexpr int LVNI_ALL = 0x0000;
inline constexpr int LVNI_FOCUSED = 0x0001;
inline constexpr int LVNI_SELECTED = 0x0002;

inline constexpr DWORD LVS_ICON = 0x0000;
inline constexpr DWORD LVS_REPORT = 0x0001;
inline constexpr DWORD LVS_SMALLICON = 0x0002;
inline constexpr DWORD LVS_LIST = 0x0003;
inline constexpr DWORD LVS_TYPEMASK = 0x0003;
inline constexpr DWORD LVS_SINGLESEL = 0x0004;
inline constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;

inline constexpr int LVCFMT_LEFT = 0x0000;
inline constexpr int LVSIL_NORMAL = 0;
inline constexpr int LVSIL_SMALL = 1;
inline constexpr int LVIR_BOUNDS = 0;
inline constexpr int LVIR_ICON = 1;
inline constexpr int LVIR_LABEL = 2;

inline constexpr UINT LVIF_TEXT = 0x0001;
inline constexpr UINT LVIF_IMAGE = 0x0002;
inline constexpr UINT LVIF_PARAM = 0x0004;
inline constexpr UINT LVIF_STATE = 0x0008;

inline constexpr UINT NM_CLICK = static_cast<UINT>(-2);
inline constexpr UINT NM_DBLCLK = static_cast<UINT>(-3);
inline constexpr UINT NM_RETURN = static_cast<UINT>(-4);
inline constexpr UINT NM_RCLICK = static_cast<UINT>(-5);
inline constexpr UINT LVN_ITEMCHANGED = static_cast<UINT>(-101);
inline constexpr UINT LVN_BEGINDRAG = static_cast<UINT>(-109);
inline constexpr UINT LVN_KEYDOWN = static_cast<UINT>(-155);

// LVN_ITEMCHANGED, LVN_BEGINDRAG and the clicks carry this.
struct NMLISTVIEW {
  NMHDR hdr;
  int iItem = -1;
  int iSubItem = 0;
  UINT uNewState = 0;
  UINT uOldState = 0;
  UINT uChanged = 0;
  CPoint ptAction;
  LPARAM lParam = 0;  // the row's item data
};

struct NMLVKEYDOWN {
  NMHDR hdr;
  int wVKey = 0;
  UINT flags = 0;
};

class CListCtrl : public CWnd {
 public:
  static constexpr int kCharWidth = 6;
  static constexpr int kIconCell = 75;
  static constexpr int kSmallCellWidth = 150;
  static constexpr int kRowHeight = 17;
  static constexpr int kHeaderHeight = 20;

  int GetItemCount() const { return static_cast<int>(rows_.size()); }

  // Inserts a row with `text` in column 0 before row `index` (at the end when index is past
  // it). Returns the new row's index, or -1 for a negative index.
  int InsertItem(int index, const std::string& text, int image = 0);
  BOOL DeleteItem(int item);
  BOOL DeleteAllItems();
  // How many times DeleteAllItems has emptied the list: a host learns that its owner filled it
  // anew.
  unsigned Emptied() const { return emptied_; }

  // Column texts; a column past the row's texts reads as "". FALSE for a bad row or column.
  BOOL SetItemText(int item, int subItem, const std::string& text);
  std::string GetItemText(int item, int subItem) const;

  BOOL SetItemData(int item, DWORD_PTR data);
  DWORD_PTR GetItemData(int item) const;  // 0 for a bad row
  int GetItemImage(int item) const;       // -1 for a bad row

  // Changes only the state bits of `mask`. One row at most has the focus, and with
  // LVS_SINGLESEL one row at most is selected: giving a row the bit takes it from the row
  // that had it, which is told first.
  BOOL SetItemState(int item, UINT state, UINT mask);
  // The first row after `start` (-1: from the top) whose state has the LVNI_ bits of
  // `flags` (LVNI_ALL: any row); -1 when there is none.
  int GetNextItem(int start, int flags) const;

  // Header columns. InsertColumn returns the new column's index, -1 for a negative index;
  // a width below 0 takes the heading's string width.
  int InsertColumn(int column, const std::string& heading, int format = LVCFMT_LEFT,
                   int width = -1);
  int GetColumnCount() const { return static_cast<int>(columns_.size()); }
  int GetColumnWidth(int column) const;  // 0 for a bad column
  BOOL SetColumnWidth(int column, int width);
  // The widest a header drag makes a column (pixels).
  static constexpr int kMaxColumnWidth = 4096;
  std::string GetColumnHeading(int column) const;
  int GetStringWidth(const std::string& text) const;

  // The image lists (not owned); returns the list attached before.
  CImageList* SetImageList(CImageList* list, int which);
  CImageList* GetImageList(int which) const;

  // The presentation: LVS_ICON, LVS_REPORT, LVS_SMALLICON or LVS_LIST.
  DWORD ViewType() const { return GetStyle() & LVS_TYPEMASK; }
  // The client area's size in pixels; taken from the window's rectangle at Create (dialog
  // units of the dialog font) until a host sets it.
  void SetClientSize(int cx, int cy);
  int ClientWidth() const;
  int ClientHeight() const;
  // A row's rectangle in the current presentation: LVIR_BOUNDS, LVIR_ICON or LVIR_LABEL.
  BOOL GetItemRect(int item, CRect* rect, int code) const;

  bool OnUserInput(const UserInput& input, std::string* problem) override;

 private:
  unsigned emptied_ = 0;
  struct Row {
    std::vector<std::string> texts;  // column 0 first
    int image = 0;
    DWORD_PTR data = 0;
    UINT state = 0;
  };
  struct Column {
    std::string heading;
    int format = LVCFMT_LEFT;
    int width = 0;
  };
  bool Valid(int item) const { return item >= 0 && item < GetItemCount(); }
  // Sets the state bits and tells the parent when they changed.
  void ChangeState(int item, UINT state, UINT mask);
  void ItemChanged(int item, UINT changed, UINT oldState);
  LRESULT Notify(UINT code, int item);
  // A click on a row (-1: on no row): the row alone ends selected and focused.
  void ClickRow(int item);
  void DefaultKey(int key);

  std::deque<Row> rows_;  // the catalogue inserts every row at the top
  std::vector<Column> columns_;
  CImageList* normalImages_ = nullptr;
  CImageList* smallImages_ = nullptr;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
};
