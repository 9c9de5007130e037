#include "platform/ui/Controls.h"

#include <algorithm>
#include <utility>

#include "platform/text/WordOrder.h"

namespace {

bool BadLine(int index, int count, const char* what, std::string* problem) {
  if (index >= 0 && index < count)
    return false;
  *problem = std::string(what) + ": there is no line " + std::to_string(index);
  return true;
}

// The drag list box whose drag runs, by handle.
int g_dragging = 0;

int FloorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

// ---- CEdit

void CEdit::SetWindowText(const std::string& text) {
  text_ = text;
  modified_ = false;
  if ((GetStyle() & ES_MULTILINE) == 0) {
    NotifyParent(EN_UPDATE);
    NotifyParent(EN_CHANGE);
  }
}

int CEdit::Capacity() const {
  if ((GetStyle() & (ES_MULTILINE | ES_AUTOHSCROLL)) != 0)
    return -1;
  return std::max(0, (Rect().Width() - 2) / 4);
}

bool CEdit::OnUserInput(const UserInput& input, std::string* problem) {
  if (input.kind == UserInput::kClick) {
    SetFocus();  // a click puts the caret into the box and changes nothing else
    return true;
  }
  if (input.kind != UserInput::kText)
    return CWnd::OnUserInput(input, problem);
  SetFocus();
  std::string text = input.text;
  int capacity = Capacity();
  if (capacity >= 0 && static_cast<int>(text.size()) > capacity)
    text.resize(static_cast<std::size_t>(capacity));  // the box shows no more
  if ((GetStyle() & ES_MULTILINE) == 0)
    text.erase(
        std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }),
        text.end());
  text_ = text;
  modified_ = true;
  NotifyParent(EN_UPDATE);
  NotifyParent(EN_CHANGE);
  return true;
}

// ---- CListBox

int CListBox::AddString(const std::string& text) {
  int index = GetCount();
  if ((GetStyle() & LBS_SORT) != 0) {
    auto at = std::find_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
      return qv::CompareWordOrder(line, text) >= 0;
    });
    index = static_cast<int>(at - lines_.begin());
  }
  return InsertString(index, text);
}

int CListBox::InsertString(int index, const std::string& text) {
  if (index < 0 || index > GetCount())
    index = GetCount();
  lines_.insert(lines_.begin() + index, text);
  if (selection_ >= index)
    ++selection_;
  if (GetCount() == 1)
    caret_ = 0;  // the first line of an empty box takes the caret
  else if (caret_ >= index)
    ++caret_;
  OnLineAdded(index);
  return index;
}

int CListBox::DeleteString(int index) {
  if (index < 0 || index >= GetCount())
    return LB_ERR;
  lines_.erase(lines_.begin() + index);
  if (selection_ == index)
    selection_ = -1;
  else if (selection_ > index)
    --selection_;
  if (caret_ >= GetCount() || caret_ > index)
    --caret_;
  top_ = std::min(top_, std::max(0, GetCount() - 1));
  OnLineRemoved(index);
  return GetCount();
}

void CListBox::ResetContent() {
  while (!lines_.empty())
    DeleteString(GetCount() - 1);
  selection_ = -1;
  caret_ = -1;
  top_ = 0;
}

int CListBox::GetText(int index, std::string& text) const {
  if (index < 0 || index >= GetCount())
    return LB_ERR;
  text = lines_[static_cast<std::size_t>(index)];
  return static_cast<int>(text.size());
}

std::string CListBox::GetText(int index) const {
  std::string text;
  GetText(index, text);
  return text;
}

int CListBox::GetTextLen(int index) const {
  return index < 0 || index >= GetCount()
             ? LB_ERR
             : static_cast<int>(lines_[static_cast<std::size_t>(index)].size());
}

int CListBox::SetCurSel(int index) {
  if (index < -1 || index >= GetCount()) {
    selection_ = -1;
    return LB_ERR;
  }
  selection_ = index;
  if (index >= 0) {
    caret_ = index;
    if (index < top_)
      top_ = index;
    else if (index >= top_ + VisibleLines())
      top_ = index - VisibleLines() + 1;
  }
  return index;
}

int CListBox::SetCaretIndex(int index) {
  if (index < 0 || index >= GetCount())
    return LB_ERR;
  caret_ = index;
  return 0;
}

int CListBox::SetTopIndex(int index) {
  if (index < 0 || (index >= GetCount() && index != 0))
    return LB_ERR;
  top_ = index;
  return 0;
}

int CListBox::VisibleLines() const {
  return std::max(1, Rect().Height() / kLineHeight);
}

void CListBox::UserSelect(int index) {
  SetFocus();
  SetCurSel(index);
  if ((GetStyle() & LBS_NOTIFY) != 0)
    NotifyParent(LBN_SELCHANGE);
}

void CListBox::DefaultKey(int key, int index) {
  int count = GetCount();
  if (count == 0)
    return;
  int target = index;
  if (key == VK_UP)
    target = std::max(0, index - 1);
  else if (key == VK_DOWN)
    target = std::min(count - 1, index + 1);
  else if (key == VK_HOME)
    target = 0;
  else if (key == VK_END)
    target = count - 1;
  else
    return;
  if (target != selection_)
    UserSelect(target);
}

bool CListBox::OnUserInput(const UserInput& input, std::string* problem) {
  switch (input.kind) {
    case UserInput::kSelect:
      if (BadLine(input.index, GetCount(), "select", problem))
        return false;
      UserSelect(input.index);
      return true;
    case UserInput::kDoubleClick:
      if (BadLine(input.index, GetCount(), "double-click", problem))
        return false;
      UserSelect(input.index);
      if ((GetStyle() & LBS_NOTIFY) != 0)
        NotifyParent(LBN_DBLCLK);
      return true;
    case UserInput::kKey: {
      SetFocus();
      LRESULT result = -1;
      if ((GetStyle() & LBS_WANTKEYBOARDINPUT) != 0 && GetParent() != nullptr)
        result = GetParent()->SendMessage(
            WM_VKEYTOITEM,
            MAKEWPARAM(static_cast<unsigned>(input.key), caret_ < 0 ? 0xFFFF : caret_),
            static_cast<LPARAM>(Handle()));
      if (result == -2 || !IsWindow())
        return true;
      DefaultKey(input.key, result >= 0 ? static_cast<int>(result) : caret_);
      return true;
    }
    default:
      return CWnd::OnUserInput(input, problem);
  }
}

// ---- CDragListBox

BOOL CDragListBox::BeginDrag(CPoint point) {
  DrawInsert(ItemFromPt(point));
  return TRUE;
}

UINT CDragListBox::Dragging(CPoint point) {
  DrawInsert(ItemFromPt(point));
  return 0;
}

void CDragListBox::Dropped(int sourceIndex, CPoint point) {
  DrawInsert(-1);
  int dest = ItemFromPt(point);
  if (sourceIndex == -1 || dest == -1 || sourceIndex == dest || sourceIndex == dest - 1)
    return;
  std::string text = GetText(sourceIndex);
  DeleteString(sourceIndex);
  if (sourceIndex < dest)
    --dest;
  InsertString(dest, text);
  SetCurSel(dest);
}

void CDragListBox::CancelDrag(CPoint /*point*/) {
  DrawInsert(-1);
}

int CDragListBox::ItemFromPt(CPoint point, BOOL autoScroll) {
  int line = GetTopIndex() + FloorDiv(point.y, kLineHeight);
  if (line < 0 || line >= GetCount())
    return -1;
  if (autoScroll != FALSE) {
    if (line < GetTopIndex())
      SetTopIndex(line);
    else if (line >= GetTopIndex() + VisibleLines())
      SetTopIndex(line - VisibleLines() + 1);
  }
  return line;
}

void CDragListBox::DrawInsert(int index) {
  insertMark_ = index;
}

CPoint CDragListBox::PointOfLine(int index) const {
  return CPoint{4, (index - GetTopIndex()) * kLineHeight + kLineHeight / 2};
}

CDragListBox* CDragListBox::RunningDrag() {
  auto* box = dynamic_cast<CDragListBox*>(CWnd::FromHandle(g_dragging));
  if (box == nullptr)
    g_dragging = 0;  // the box has gone while it had the mouse
  return box;
}

// The mouse is over a line, wherever the box has scrolled it: its point is taken anew at each
// step. Below the last line (-1) is the point just past it.
CPoint CDragListBox::DragPoint() const {
  return PointOfLine(dragLine_ < 0 ? GetCount() : dragLine_);
}

bool CDragListBox::StartDrag(int line) {
  dragLine_ = line;
  if (BeginDrag(DragPoint()) == FALSE || !IsWindow())
    return false;
  g_dragging = Handle();
  return true;
}

void CDragListBox::MoveDrag(int line) {
  dragLine_ = line;
  Dragging(DragPoint());
}

void CDragListBox::EndDrag(bool drop) {
  g_dragging = 0;
  if (drop)
    Dropped(GetCurSel(), DragPoint());
  else
    CancelDrag(DragPoint());
  if (IsWindow())
    DrawInsert(-1);
}

bool CDragListBox::CarryOutDragInput(const UserInput& input, std::string* problem) {
  switch (input.kind) {
    case UserInput::kDragOver:
      if (input.target != Handle())
        MoveDrag(-1);
      else if (input.index != -1 && BadLine(input.index, GetCount(), "drag over", problem))
        return true;
      else
        MoveDrag(input.index);
      return true;
    case UserInput::kDrop:
      EndDrag(true);
      return true;
    case UserInput::kCancelDrag:
      EndDrag(false);
      return true;
    default:
      EndDrag(false);
      return input.kind == UserInput::kKey && input.key == VK_ESCAPE;
  }
}

bool CDragListBox::OnUserInput(const UserInput& input, std::string* problem) {
  if (input.kind == UserInput::kBeginDrag) {
    if (BadLine(input.index, GetCount(), "drag from", problem))
      return false;
    if (GetCurSel() != input.index)
      UserSelect(input.index);  // the press that selects the line was not seen
    if (IsWindow())
      StartDrag(input.index);
    return true;
  }
  if (input.kind != UserInput::kDrag)
    return CListBox::OnUserInput(input, problem);
  if (BadLine(input.index, GetCount(), "drag from", problem) ||
      BadLine(input.to, GetCount(), "drag onto", problem))
    return false;
  UserSelect(input.index);  // the press selects the line
  if (!IsWindow() || !StartDrag(input.index))
    return true;
  MoveDrag(input.to);
  EndDrag(true);
  return true;
}

// ---- CCheckListBox

int CCheckListBox::GetCheck(int index) const {
  return index < 0 || index >= static_cast<int>(checks_.size())
             ? LB_ERR
             : checks_[static_cast<std::size_t>(index)];
}

int CCheckListBox::SetCheck(int index, int check) {
  if (index < 0 || index >= static_cast<int>(checks_.size()))
    return LB_ERR;
  checks_[static_cast<std::size_t>(index)] = check;
  return 0;
}

void CCheckListBox::OnLineRemoved(int index) {
  checks_.erase(checks_.begin() + index);
}

void CCheckListBox::OnLineAdded(int index) {
  checks_.insert(checks_.begin() + index, BST_UNCHECKED);
}

bool CCheckListBox::OnUserInput(const UserInput& input, std::string* problem) {
  if (input.kind != UserInput::kCheck)
    return CListBox::OnUserInput(input, problem);
  if (BadLine(input.index, GetCount(), "check", problem))
    return false;
  UserSelect(input.index);
  if (!IsWindow())
    return true;
  SetCheck(input.index, GetCheck(input.index) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  NotifyParent(CLBN_CHKCHANGE);
  return true;
}

// ---- CButton

void CButton::CheckInGroup() {
  CWnd* parent = GetParent();
  if (parent == nullptr) {
    check_ = BST_CHECKED;
    return;
  }
  // The group runs from the last control at or before this one that starts a group to the
  // next one that starts another.
  const std::vector<CWnd*>& all = parent->Children();
  auto self = std::find(all.begin(), all.end(), this);
  auto first = self;
  while (first != all.begin() && ((*first)->GetStyle() & WS_GROUP) == 0)
    --first;
  for (auto it = first; it != all.end(); ++it) {
    if (it != first && ((*it)->GetStyle() & WS_GROUP) != 0)
      break;
    auto* button = dynamic_cast<CButton*>(*it);
    if (button != nullptr && button->ButtonType() == BS_AUTORADIOBUTTON)
      button->check_ = button == this ? BST_CHECKED : BST_UNCHECKED;
  }
}

bool CButton::OnUserInput(const UserInput& input, std::string* problem) {
  if (input.kind != UserInput::kClick || ButtonType() == BS_GROUPBOX)
    return CWnd::OnUserInput(input, problem);
  SetFocus();
  if (!IsWindow())
    return true;
  if (ButtonType() == BS_AUTOCHECKBOX)
    check_ = check_ == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
  else if (ButtonType() == BS_AUTORADIOBUTTON)
    CheckInGroup();
  NotifyParent(BN_CLICKED);
  return true;
}

// ---- CTabCtrl

int CTabCtrl::InsertItem(int index, const std::string& text) {
  if (index < 0 || index > GetItemCount())
    return -1;
  tabs_.insert(tabs_.begin() + index, text);
  if (selection_ < 0)
    selection_ = 0;
  else if (index <= selection_)
    ++selection_;
  return index;
}

std::string CTabCtrl::GetItemText(int index) const {
  return index >= 0 && index < GetItemCount() ? tabs_[static_cast<std::size_t>(index)] : "";
}

int CTabCtrl::SetCurSel(int index) {
  if (index < 0 || index >= GetItemCount())
    return -1;
  return std::exchange(selection_, index);
}

bool CTabCtrl::OnUserInput(const UserInput& input, std::string* problem) {
  if (input.kind != UserInput::kSelect)
    return CWnd::OnUserInput(input, problem);
  if (BadLine(input.index, GetItemCount(), "select the tab", problem))
    return false;
  SetFocus();
  if (input.index == selection_ || !IsWindow())
    return true;
  selection_ = input.index;
  NMHDR header{0, 0, TCN_SELCHANGE};
  SendNotify(&header);
  return true;
}
