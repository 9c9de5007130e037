// The controls of our framework: edit boxes, list boxes (plain, drag and check), buttons and
// labels. Each keeps the state a user sees and sends its parent the notifications the
// platform's control sends for the same action.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/Wnd.h"

inline constexpr int LB_ERR = -1;
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;

// Edit control. Putting text in with SetWindowText clears the modified state; a single-line
// box then raises EN_UPDATE and EN_CHANGE, a multi-line box raises nothing. Typing sets the
// modified state and raises EN_UPDATE, then EN_CHANGE. A single-line box that does not scroll
// takes no more characters than it can show (4 dialog units each).
class CEdit : public CWnd {
 public:
  void SetWindowText(const std::string& text) override;
  BOOL GetModify() const { return modified_ ? TRUE : FALSE; }
  void SetModify(BOOL modified = TRUE) { modified_ = modified != FALSE; }
  // Characters a user can type into the box; -1 for no limit.
  int Capacity() const;

  bool OnUserInput(const UserInput& input, std::string* problem) override;

 protected:
  void OnSetFocus() override { NotifyParent(EN_SETFOCUS); }
  void OnKillFocus() override { NotifyParent(EN_KILLFOCUS); }

 private:
  bool modified_ = false;
};

// List box. A sorted box places each added line in word order (qv::CompareWordOrder), before
// the lines equal to it without regard to letter case; InsertString always places at the
// index given. Programmatic selection raises nothing; a user's selection raises LBN_SELCHANGE
// (with LBS_NOTIFY), a double-click LBN_SELCHANGE then LBN_DBLCLK. A key in a box with
// LBS_WANTKEYBOARDINPUT first goes to the parent as WM_VKEYTOITEM: -2 means handled, -1 (or
// an index) lets the box do its own handling (the arrow, Home and End keys move the
// selection from the caret line). The caret line of a box that holds lines is 0 until
// something moves it, also when nothing is selected; an empty box has none (-1).
class CListBox : public CWnd {
 public:
  static constexpr int kLineHeight = 8;  // dialog units per line

  int GetCount() const { return static_cast<int>(lines_.size()); }
  int AddString(const std::string& text);
  int InsertString(int index, const std::string& text);  // -1: at the end
  int DeleteString(int index);                           // the count left, or LB_ERR
  void ResetContent();
  int GetText(int index, std::string& text) const;  // length, or LB_ERR
  std::string GetText(int index) const;             // "" for a bad index
  int GetTextLen(int index) const;
  int GetCurSel() const { return selection_; }
  int SetCurSel(int index);  // -1 clears; LB_ERR for a bad index (selection cleared)
  int GetCaretIndex() const { return caret_; }
  int SetCaretIndex(int index);
  int GetTopIndex() const { return top_; }
  int SetTopIndex(int index);
  int VisibleLines() const;

  bool OnUserInput(const UserInput& input, std::string* problem) override;

 protected:
  // Selects a line as a click does, telling the parent.
  void UserSelect(int index);
  virtual void OnLineRemoved(int /*index*/) {}
  virtual void OnLineAdded(int /*index*/) {}

  std::vector<std::string> lines_;

 private:
  void DefaultKey(int key, int index);

  int selection_ = -1;
  int caret_ = -1;
  int top_ = 0;
};

// Drag list box: a line is dragged with the mouse and dropped onto another line. The
// framework calls BeginDrag at the line pressed once the mouse has moved from it (after
// selecting it, as the press does), Dragging as the mouse moves over the lines, and, when the
// button is released, Dropped with the selected line and the drop point, or CancelDrag on
// Escape or a release outside the box. The insertion mark is drawn before the line under the
// cursor. While a drag runs the box has the mouse: the drag's moves, the drop and the cancel
// go to it, and any other input cancels the drag before it is carried out (platform/ui/Ui.h).
class CDragListBox : public CListBox {
 public:
  virtual BOOL BeginDrag(CPoint point);
  virtual UINT Dragging(CPoint point);
  virtual void Dropped(int sourceIndex, CPoint point);
  virtual void CancelDrag(CPoint point);
  // The line at a point in the box (line kLineHeight units high from the top line); -1 past
  // the last line. With autoScroll, a line outside the visible ones is scrolled into view.
  int ItemFromPt(CPoint point, BOOL autoScroll = TRUE);
  void DrawInsert(int index);
  int InsertMark() const { return insertMark_; }
  // The point at the middle of a line, as a front end gives it.
  CPoint PointOfLine(int index) const;

  bool OnUserInput(const UserInput& input, std::string* problem) override;

  // The box whose drag runs now; null when none.
  static CDragListBox* RunningDrag();
  // Carries out input while this box's drag runs: a move over a line of the box (over another
  // window, or index -1: over no line), the drop, the cancel or Escape. Any other input
  // cancels the drag and gives false: the caller then carries it out as usual.
  bool CarryOutDragInput(const UserInput& input, std::string* problem);

 private:
  bool StartDrag(int line);  // BeginDrag there; true when the drag runs
  void MoveDrag(int line);   // Dragging over the line; -1: below the last line
  void EndDrag(bool drop);   // Dropped or CancelDrag where the mouse was last; the mark goes
  CPoint DragPoint() const;

  int insertMark_ = -1;
  int dragLine_ = -1;  // the line the mouse is over in the drag; -1: below the last line
};

// List box whose lines carry a check box each; a user's check raises CLBN_CHKCHANGE.
class CCheckListBox : public CListBox {
 public:
  int GetCheck(int index) const;
  int SetCheck(int index, int check);

  bool OnUserInput(const UserInput& input, std::string* problem) override;

 protected:
  void OnLineRemoved(int index) override;
  void OnLineAdded(int index) override;

 private:
  std::vector<int> checks_;
};

// Push button, check box, radio button or group box, by its style. Clicking takes the focus
// (not a group box); an automatic check box toggles; an automatic radio button checks itself
// and clears the others of its group; then BN_CLICKED goes to the parent.
class CButton : public CWnd {
 public:
  int GetCheck() const { return check_; }
  void SetCheck(int check) { check_ = check; }
  DWORD ButtonType() const { return GetStyle() & BS_TYPEMASK; }
  bool IsPushButton() const {
    return ButtonType() == BS_PUSHBUTTON || ButtonType() == BS_DEFPUSHBUTTON;
  }

  bool OnUserInput(const UserInput& input, std::string* problem) override;

 private:
  void CheckInGroup();

  int check_ = BST_UNCHECKED;
};

// Label or etched line.
class CStatic : public CWnd {};

// Tab control: a row of tabs named by their texts, one of them selected. Programmatic
// selection raises nothing; a user's selection of another tab takes the focus and sends the
// parent TCN_SELCHANGE (WM_NOTIFY); selecting the selected tab does nothing more.
inline constexpr UINT TCN_SELCHANGE = static_cast<UINT>(-551);
class CTabCtrl : public CWnd {
 public:
  // Inserts a tab before `index` (the count: at the end); its index, or -1 for a bad index.
  int InsertItem(int index, const std::string& text);
  int GetItemCount() const { return static_cast<int>(tabs_.size()); }
  std::string GetItemText(int index) const;  // "" for a bad index
  int GetCurSel() const { return selection_; }
  // Selects a tab; returns the one selected before, -1 for a bad index (nothing changes).
  int SetCurSel(int index);

  bool OnUserInput(const UserInput& input, std::string* problem) override;

 private:
  std::vector<std::string> tabs_;
  int selection_ = -1;
};
