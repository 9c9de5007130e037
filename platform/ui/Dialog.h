// CDialog: a modal dialog made from a template of the current resource module. DoModal makes
// the controls, runs OnInitDialog and then a nested event loop (platform/ui/Ui.h) until
// EndDialog; the controls are destroyed when it returns. The dialog object outlives its
// window: the caller reads its members after DoModal.
//
// Keys the dialog takes before any control (HandleDialogKey): Tab and Shift+Tab move the focus
// round the tab stops; a mnemonic (Alt+letter, or the letter alone while the focus is on a
// control that takes no characters) presses the button of that "&" letter or focuses the
// control after the label of it; Enter presses the focused push button or else the default
// button (a multi-line edit box that wants returns keeps it); Escape and the window's close box
// send IDCANCEL, F1 sends WM_HELP.
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

  // Tab, a mnemonic, Enter, Escape or F1, with the UserInput modifiers held. False for a key
  // the focused control takes itself.
  bool HandleDialogKey(int key, int modifiers = 0);
  // The control takes Enter itself: a multi-line edit box that wants returns.
  static bool TakesReturn(const CWnd* control);

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
  // The visible controls in template order, those of a child that holds controls (a page of a
  // property sheet) in its place.
  std::vector<CWnd*> Controls() const;
  void MoveTab(bool back);
  void Mnemonic(int key);

  int templateId_ = 0;
  std::unique_ptr<DialogTemplate> own_;
  CWnd* parentWindow_ = nullptr;
  std::vector<std::unique_ptr<CWnd>> controls_;
  bool ended_ = false;
  int result_ = 0;
  int defaultId_ = 0;
};
