#include "platform/ui/ToolBar.h"

#include "platform/ui/FrameWnd.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Ui.h"

namespace {

// A command's state as a toolbar button shows it.
class CToolCmdUI : public CCmdUI {
 public:
  explicit CToolCmdUI(CToolBar::Button* button) : button_(button) {}
  void Enable(BOOL on) override {
    CCmdUI::Enable(on);
    button_->enabled = on != FALSE;
  }
  void SetCheck(int check) override { button_->checked = check != 0; }

 private:
  CToolBar::Button* button_;
};

CFrameWnd* FrameOf(CWnd* window) {
  for (; window != nullptr; window = window->GetParent())
    if (auto* frame = dynamic_cast<CFrameWnd*>(window))
      return frame;
  return nullptr;
}

}  // namespace

CControlBar::CControlBar() {
  OnMessage(WM_IDLEUPDATECMDUI, [this](WPARAM wParam, LPARAM) {
    if (CFrameWnd* frame = FrameOf(GetParent()))
      OnUpdateCmdUI(frame, static_cast<BOOL>(wParam));
    return LRESULT{0};
  });
}

BOOL CToolBar::Create(CWnd* parent, DWORD style, UINT id) {
  SetBarStyle(style & 0xFFFF);  // the bar styles live in the low word
  return CWnd::Create("ToolbarWindow32", "", style & 0xFFFF0000u, CRect{0, 0, 0, kButtonHeight + 4},
                      parent, static_cast<int>(id));
}

BOOL CToolBar::LoadToolBar(int id) {
  const qv::ResourceModule* module = qv::CurrentResourceModule();
  const ToolBarResource* bar = module != nullptr ? module->FindToolBar(id) : nullptr;
  if (bar == nullptr)
    return FALSE;
  buttons_.clear();
  int image = 0;
  for (UINT command : bar->buttons)
    buttons_.push_back(Button{command, command == 0 ? -1 : image++, true, false});
  bitmapId_ = id;
  return TRUE;
}

std::string CToolBar::ImageName(int index) const {
  if (index < 0 || index >= GetCount() || buttons_[static_cast<std::size_t>(index)].image < 0)
    return "";
  const qv::ResourceModule* module = qv::CurrentResourceModule();
  const BitmapResource* bitmap = module != nullptr ? module->FindBitmap(bitmapId_) : nullptr;
  int image = buttons_[static_cast<std::size_t>(index)].image;
  if (bitmap == nullptr || image >= static_cast<int>(bitmap->images.size()))
    return "";
  return bitmap->images[static_cast<std::size_t>(image)];
}

CRect CToolBar::ButtonRect(int index) const {
  int left = 2;
  for (int i = 0; i < index && i < GetCount(); ++i)
    left += buttons_[static_cast<std::size_t>(i)].id == 0 ? kSeparatorWidth : kButtonWidth;
  int width = index >= 0 && index < GetCount() && buttons_[static_cast<std::size_t>(index)].id == 0
                  ? kSeparatorWidth
                  : kButtonWidth;
  return CRect{left, 2, left + width, 2 + kButtonHeight};
}

int CToolBar::HitTest(CPoint point) const {
  for (int i = 0; i < GetCount(); ++i) {
    CRect r = ButtonRect(i);
    if (point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom)
      return buttons_[static_cast<std::size_t>(i)].id == 0 ? -1 : i;
  }
  return -1;
}

void CToolBar::FilterToolTipMessage(MSG* msg) {
  if ((GetBarStyle() & CBRS_TOOLTIPS) == 0 || msg->message != WM_MOUSEMOVE)
    return;
  int button = HitTest(msg->pt);
  if (button == tipButton_)
    return;
  HideTip();
  if (button < 0 || GetParent() == nullptr)
    return;
  tipButton_ = button;
  TOOLTIPTEXTA ttt;
  ttt.hdr.hwndFrom = Handle();
  ttt.hdr.idFrom = static_cast<int>(buttons_[static_cast<std::size_t>(button)].id);
  ttt.hdr.code = TTN_NEEDTEXTA;
  GetParent()->SendMessage(WM_NOTIFY, static_cast<WPARAM>(ttt.hdr.idFrom),
                           reinterpret_cast<LPARAM>(&ttt.hdr));
  tip_ = ttt.lpszText != nullptr ? ttt.lpszText : ttt.szText;
}

std::string CToolBar::ButtonTip(int index) const {
  if (index < 0 || index >= GetCount() || buttons_[static_cast<std::size_t>(index)].id == 0)
    return "";
  std::string text = qv::LoadModuleString(buttons_[static_cast<std::size_t>(index)].id);
  std::size_t newline = text.find('\n');
  return newline == std::string::npos ? std::string() : text.substr(newline + 1);
}

void CToolBar::HideTip() {
  if (tipButton_ < 0)
    return;
  tipButton_ = -1;
  tip_.clear();
  qv::ui::ShowIdleStatus();
}

void CToolBar::OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) {
  for (int i = 0; i < GetCount(); ++i) {
    Button& button = buttons_[static_cast<std::size_t>(i)];
    if (button.id == 0)
      continue;
    CToolCmdUI ui(&button);
    ui.m_nID = button.id;
    ui.m_nIndex = static_cast<UINT>(i);
    ui.DoUpdate(target, disableIfNoHandler != FALSE);
  }
}

bool CToolBar::OnUserInput(const UserInput& input, std::string* problem) {
  bool valid = input.index >= 0 && input.index < GetCount();
  switch (input.kind) {
    case UserInput::kClick: {
      if (!valid || buttons_[static_cast<std::size_t>(input.index)].id == 0) {
        *problem = "the toolbar has no button " + std::to_string(input.index);
        return false;
      }
      const Button& button = buttons_[static_cast<std::size_t>(input.index)];
      if (!button.enabled) {
        *problem = "the toolbar button " + std::to_string(button.id) + " is disabled";
        return false;
      }
      // A press hides the tip, and the prompt with it, before the command runs (it may open a
      // dialog, whose end leaves the status idle).
      HideTip();
      if (GetParent() != nullptr)
        GetParent()->SendMessage(WM_COMMAND, MAKEWPARAM(button.id, 0),
                                 static_cast<LPARAM>(Handle()));
      return true;
    }
    case UserInput::kHover: {
      // The mouse rests on the button's middle, or leaves the bar.
      CRect r = valid ? ButtonRect(input.index) : CRect{-1, -1, -1, -1};
      CPoint at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
      SetCursorPos(at.x, at.y);
      SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
      return true;
    }
    default:
      return CWnd::OnUserInput(input, problem);
  }
}
