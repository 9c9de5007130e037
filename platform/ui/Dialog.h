// CDialog: a modal dialog made from a template of the current resource module. DoModal makes
// the controls, runs OnInitDialog and then a nested event loop (platform/ui/Ui.h) until
// EndDialog; the controls are destroyed when it returns. The dialog object outlives its
// window: the caller reads its members after DoModal.
//
// Keys the dialog takes before any control: Enter presses the focused push button or else
// the default button, Escape and the window's close box send IDCANCEL, F1 sends WM_HELP.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Wnd.h"

using INT_PTR = std::intptr_t;

class CDialog : public CWnd {
 public:
  explicit CDialog(int templateId, CWnd* parent = nullptr);
  // A dialog made from a template of its own (message boxes).
  explicit CDialog(DialogTemplate own, CWnd* parent = nullptr);

  // Runs the dialog; IDOK, IDCANCEL or what EndDialog was given; -1 when the template is
  // missing.
  virtual INT_PTR DoModal();
  void EndDialog(int result);
  // Makes the dialog's window and controls from its template as a child of `parent`, its top
  // left corner at `origin` (in the parent's units), and runs OnInitDialog; no loop runs (a
  // page of a property sheet). FALSE when the template is missing. DestroyWindow takes it
  // down; it may be made again.
  BOOL CreateChild(CWnd* parent, CPoint origin);
  bool Ended() const { return ended_; }

  // The button Enter presses now: the focused push button, or the dialog's default.
  int DefaultButton() const;
  void SetDefID(int id) { defaultId_ = id; }
  // The window that opened the dialog (null for none); it waits while the dialog runs.
  CWnd* GetOwner() const { return parentWindow_; }

  // The close box of the title bar takes clicks (message boxes without Cancel grey it).
  virtual bool CloseEnabled() const { return true; }

  // Enter, Escape, F1 or the close box. False for any other key.
  bool HandleDialogKey(int key);

 protected:
  virtual BOOL OnInitDialog();
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // The control for one template item; a dialog gives its own class for a control it
  // subclasses, or null for the framework's.
  virtual std::unique_ptr<CWnd> CreateControl(const DialogItemTemplate& item);

  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Message map entries that open help at `context`: the button `buttonId` and F1.
  void OnHelp(int buttonId, DWORD context);

 private:
  std::unique_ptr<CWnd> MakeControl(const DialogItemTemplate& item);
  bool CreateFromTemplate(CWnd* parent, CPoint origin);

  int templateId_ = 0;
  std::unique_ptr<DialogTemplate> own_;
  CWnd* parentWindow_ = nullptr;
  std::vector<std::unique_ptr<CWnd>> controls_;
  bool ended_ = false;
  int result_ = 0;
  int defaultId_ = 0;
};
