#include "platform/ui/Dialog.h"

#include <algorithm>
#include <cctype>

#include "platform/ui/Controls.h"
#include "platform/ui/ListCtrl.h"
#include "platform/ui/Ui.h"

CDialog::CDialog(int templateId, CWnd* parent) : templateId_(templateId), parentWindow_(parent) {}

CDialog::CDialog(DialogTemplate own, CWnd* parent)
    : templateId_(own.id),
      own_(std::make_unique<DialogTemplate>(std::move(own))),
      parentWindow_(parent) {}

std::unique_ptr<CWnd> CDialog::CreateControl(const DialogItemTemplate& /*item*/) {
  return nullptr;
}

std::unique_ptr<CWnd> CDialog::MakeControl(const DialogItemTemplate& item) {
  if (std::unique_ptr<CWnd> own = CreateControl(item))
    return own;
  if (item.className == "Edit")
    return std::make_unique<CEdit>();
  if (item.className == "ListBox")
    return std::make_unique<CListBox>();
  if (item.className == "Button")
    return std::make_unique<CButton>();
  if (item.className == "SysListView32")
    return std::make_unique<CListCtrl>();
  if (item.className == "SysTabControl32")
    return std::make_unique<CTabCtrl>();
  return std::make_unique<CStatic>();
}

bool CDialog::CreateFromTemplate(CWnd* parent, CPoint origin) {
  const qv::ResourceModule* module = qv::CurrentResourceModule();
  const DialogTemplate* t = own_ != nullptr     ? own_.get()
                            : module != nullptr ? module->FindDialog(templateId_)
                                                : nullptr;
  if (t == nullptr)
    return false;
  controls_.clear();  // those of a window made before, gone with it
  Create("Dialog", t->caption, t->style,
         CRect{origin.x, origin.y, origin.x + t->cx, origin.y + t->cy}, parent, t->id);
  defaultId_ = IDOK;
  for (const DialogItemTemplate& item : t->items) {
    std::unique_ptr<CWnd> control = MakeControl(item);
    control->Create(item.className, item.text, item.style,
                    CRect{item.x, item.y, item.x + item.cx, item.y + item.cy}, this, item.id);
    if (item.className == "Button" && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
      defaultId_ = item.id;
    controls_.push_back(std::move(control));
  }
  return true;
}

INT_PTR CDialog::DoModal() {
  CWnd* previousFocus = GetFocus();
  int previousHandle = previousFocus != nullptr ? previousFocus->Handle() : 0;
  ended_ = false;
  result_ = 0;
  if (!CreateFromTemplate(nullptr, CPoint{}))
    return -1;
  qv::ui::PushModal(this);
  if (OnInitDialog() != FALSE) {
    for (CWnd* child : Children())  // the first control of the tab order that can take it
      if ((child->GetStyle() & WS_TABSTOP) != 0 && child->IsWindowEnabled() != FALSE) {
        child->SetFocus();
        break;
      }
  }
  if (!ended_)
    qv::ui::RunModalLoop(this);
  qv::ui::PopModal(this);
  DestroyWindow();
  controls_.clear();
  if (CWnd* back = CWnd::FromHandle(previousHandle))
    back->SetFocus();
  return result_;
}

BOOL CDialog::CreateChild(CWnd* parent, CPoint origin) {
  if (!CreateFromTemplate(parent, origin))
    return FALSE;
  OnInitDialog();
  return TRUE;
}

void CDialog::EndDialog(int result) {
  result_ = result;
  ended_ = true;
}

BOOL CDialog::OnInitDialog() {
  return TRUE;
}

int CDialog::DefaultButton() const {
  auto* focused = dynamic_cast<CButton*>(GetFocus());
  if (focused != nullptr && focused->GetParent() == this && focused->IsPushButton())
    return focused->GetDlgCtrlID();
  return defaultId_;
}

namespace {

bool TabStop(const CWnd* w) {
  return (w->GetStyle() & WS_TABSTOP) != 0 && w->IsWindowEnabled() != FALSE;
}

bool IsRadio(const CWnd* w) {
  auto* button = dynamic_cast<const CButton*>(w);
  return button != nullptr &&
         (button->ButtonType() == BS_AUTORADIOBUTTON || button->ButtonType() == BS_RADIOBUTTON);
}

// The first control of the group `i` is in: the last at or before it that starts a group.
std::size_t GroupStart(const std::vector<CWnd*>& all, std::size_t i) {
  while (i > 0 && (all[i]->GetStyle() & WS_GROUP) == 0)
    --i;
  return i;
}

// The control the focus lands on at the tab stop `i`: in a group of radio buttons, the one
// that is checked.
CWnd* Landing(const std::vector<CWnd*>& all, std::size_t i) {
  if (!IsRadio(all[i]))
    return all[i];
  for (std::size_t j = GroupStart(all, i); j < all.size(); ++j) {
    if (j > i && (all[j]->GetStyle() & WS_GROUP) != 0)
      break;
    auto* button = dynamic_cast<CButton*>(all[j]);
    if (IsRadio(button) && button->GetCheck() == BST_CHECKED && button->IsWindowEnabled() != FALSE)
      return button;
  }
  return all[i];
}

// The letter after a single "&", upper case; 0 when the text has none.
int MnemonicOf(const std::string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&')
      continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return std::toupper(static_cast<unsigned char>(text[i + 1]));
  }
  return 0;
}

// Controls that take the letters typed while they have the focus.
bool TakesCharacters(const CWnd* w) {
  return w != nullptr &&
         (w->ClassName() == "Edit" || w->ClassName() == "ListBox" || w->ClassName() == "ComboBox");
}

bool IsLabel(const CWnd* w) {
  if (w->ClassName() == "Static")
    return (w->GetStyle() & SS_TYPEMASK) <= SS_RIGHT;
  auto* button = dynamic_cast<const CButton*>(w);
  return button != nullptr && button->ButtonType() == BS_GROUPBOX;
}

}  // namespace

std::vector<CWnd*> CDialog::Controls() const {
  std::vector<CWnd*> out;
  auto walk = [&out](const CWnd* parent, auto& self) -> void {
    for (CWnd* child : parent->Children()) {
      if ((child->GetStyle() & WS_VISIBLE) == 0)
        continue;
      out.push_back(child);
      self(child, self);
    }
  };
  walk(this, walk);
  return out;
}

void CDialog::MoveTab(bool back) {
  std::vector<CWnd*> all = Controls();
  std::size_t count = all.size();
  auto at = std::find(all.begin(), all.end(), GetFocus());
  // From the focus (a radio button: its group), or from before the first or after the last.
  std::size_t from =
      at == all.end() ? (back ? 0 : count - 1) : static_cast<std::size_t>(at - all.begin());
  if (at != all.end() && back && IsRadio(*at))
    from = GroupStart(all, from);
  for (std::size_t n = 1; n <= count; ++n) {
    std::size_t i = back ? (from + count - n) % count : (from + n) % count;
    if (TabStop(all[i])) {
      Landing(all, i)->SetFocus();
      return;
    }
  }
}

void CDialog::Mnemonic(int key) {
  std::vector<CWnd*> all = Controls();
  for (std::size_t i = 0; i < all.size(); ++i) {
    CWnd* c = all[i];
    if (c->IsWindowEnabled() == FALSE || MnemonicOf(c->GetWindowText()) != key)
      continue;
    if (IsLabel(c)) {
      // A label or a group box: the next control that takes the focus; a radio button is
      // chosen as well.
      for (std::size_t j = i + 1; j < all.size(); ++j) {
        if (!TabStop(all[j]))
          continue;
        CWnd* next = Landing(all, j);
        if (IsRadio(next)) {
          UserInput click;
          click.kind = UserInput::kClick;
          std::string why;
          next->OnUserInput(click, &why);
        } else {
          next->SetFocus();
        }
        return;
      }
      return;
    }
    if (dynamic_cast<CButton*>(c) != nullptr) {
      UserInput click;  // a button is pressed, as a click does
      click.kind = UserInput::kClick;
      std::string why;
      c->OnUserInput(click, &why);
      return;
    }
  }
}

bool CDialog::TakesReturn(const CWnd* control) {
  return control != nullptr && control->ClassName() == "Edit" &&
         (control->GetStyle() & (ES_MULTILINE | ES_WANTRETURN)) == (ES_MULTILINE | ES_WANTRETURN);
}

bool CDialog::HandleDialogKey(int key, int modifiers) {
  CWnd* focused = GetFocus();
  CWnd* up = focused;
  while (up != nullptr && up != this)
    up = up->GetParent();
  if (up == nullptr)
    focused = nullptr;  // the focus is in no control of this dialog
  if (key == VK_TAB && (modifiers & UserInput::kAlt) == 0) {
    MoveTab((modifiers & UserInput::kShift) != 0);
    return true;
  }
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
    if ((modifiers & UserInput::kAlt) == 0 && TakesCharacters(focused))
      return false;  // typing
    Mnemonic(key);
    return true;
  }
  if (key == VK_RETURN) {
    if (TakesReturn(focused))
      return false;  // the box takes the line break
    int id = DefaultButton();
    CWnd* button = GetDlgItem(id);
    if (button != nullptr && button->IsWindowEnabled() == FALSE)
      return true;  // a disabled default button: nothing happens
    SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED),
                button != nullptr ? button->Handle() : 0);
    return true;
  }
  if (key == VK_ESCAPE) {
    SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return true;
  }
  if (key == VK_F1) {
    SendMessage(WM_HELP, 0, 0);
    return true;
  }
  return false;
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == IDOK)
      OnOK();
    else if (LOWORD(wParam) == IDCANCEL)
      OnCancel();
    return 0;
  }
  if (message == WM_CLOSE) {
    SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 0;
  }
  return CWnd::DefWindowProc(message, wParam, lParam);
}

void CDialog::OnHelp(int buttonId, DWORD context) {
  OnCommand(BN_CLICKED, buttonId, [this, context] { WinHelp(context, HELP_CONTEXT); });
  OnMessage(WM_HELP, [this, context](WPARAM, LPARAM) {
    WinHelp(context, HELP_CONTEXT);
    return LRESULT{TRUE};
  });
}
