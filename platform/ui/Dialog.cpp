#include "platform/ui/Dialog.h"

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

bool CDialog::HandleDialogKey(int key) {
  if (key == VK_RETURN) {
    CWnd* focused = GetFocus();
    if (focused != nullptr && focused->GetParent() == this &&
        (focused->GetStyle() & (ES_MULTILINE | ES_WANTRETURN)) == (ES_MULTILINE | ES_WANTRETURN) &&
        focused->ClassName() == "Edit")
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
