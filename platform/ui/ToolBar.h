// Control bars and the toolbar. A bar lies along an edge of its frame; on the idle-update
// message (WM_IDLEUPDATECMDUI) it asks the frame's command routing for the state of each of
// its commands. A toolbar's buttons come from a toolbar resource, one image each from the
// bitmap of the same id; a click sends the button's command to the frame.
//
// Tooltips: a toolbar with CBRS_TOOLTIPS shows a tip for the button the mouse rests on when its
// messages are handed to FilterToolTipMessage (a bar's window procedure may do so for every
// message). The tip's text comes from the frame: TTN_NEEDTEXTA with the button's command.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/Wnd.h"

inline constexpr DWORD CBRS_TOOLTIPS = 0x0010;
inline constexpr DWORD CBRS_FLYBY = 0x0800;
inline constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
inline constexpr DWORD CBRS_TOP = CBRS_ALIGN_TOP;

class CControlBar : public CWnd {
 public:
  CControlBar();
  DWORD GetBarStyle() const { return barStyle_; }
  void SetBarStyle(DWORD style) { barStyle_ = style; }
  // Updates the bar's commands through `target`'s routing.
  virtual void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) = 0;

 private:
  DWORD barStyle_ = 0;
};

class CToolBar : public CControlBar {
 public:
  static constexpr int kButtonWidth = 23;  // pixels, for a 16 x 16 image
  static constexpr int kButtonHeight = 22;
  static constexpr int kSeparatorWidth = 8;

  struct Button {
    UINT id = 0;  // 0 for a separator
    int image = -1;
    bool enabled = true;
    bool checked = false;
  };

  // Makes the bar as a child of `parent` (its frame), along the top.
  BOOL Create(CWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_TOP,
              UINT id = AFX_IDW_TOOLBAR);
  // Takes the buttons of toolbar resource `id` from the current resource module; FALSE when
  // it has none.
  BOOL LoadToolBar(int id);

  int GetCount() const { return static_cast<int>(buttons_.size()); }
  const Button& GetButton(int index) const { return buttons_[static_cast<std::size_t>(index)]; }
  int BitmapId() const { return bitmapId_; }
  // The name of a button's image in the bitmap; "" for a separator.
  std::string ImageName(int index) const;
  // The button under a point of the bar (pixels); -1 when none.
  int HitTest(CPoint point) const;
  CRect ButtonRect(int index) const;

  // A button's tip, whether it shows or not: the text after the newline of its command's
  // string in the current resource module, as the frame gives it; "" for a separator.
  std::string ButtonTip(int index) const;
  // The tip shown now and the button it is for (-1: none).
  const std::string& TipText() const { return tip_; }
  int TipButton() const { return tipButton_; }
  // Hands the tooltip one message of the bar: a mouse move onto a button asks the frame for
  // its tip text and shows it; a move off every button hides it, and the host's status gives
  // the button's prompt up for its idle text.
  void FilterToolTipMessage(MSG* msg);

  void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) override;
  bool OnUserInput(const UserInput& input, std::string* problem) override;

 private:
  void HideTip();

  std::vector<Button> buttons_;
  int bitmapId_ = 0;
  std::string tip_;
  int tipButton_ = -1;
};
