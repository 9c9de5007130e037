// The Form Designer as qvccfg hosts it, the way the console does: the control is made by its
// class id from the registered module (the class id the Form Designer's plug-in object
// gives), placed, and driven only through its dispatch interface, its events and the
// framework's window tree and input (platform/ui/Ui.h), as a user in front of it would.
// qvccfg is the console around the control (it answers the database and task-host events and
// schedules the tasks handed over) and the user in front of it (ConsoleUser).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <memory>

#include "platform/ui/Ui.h"
#include "tools/hosting/ControlSite.h"

namespace qv {

// The user in front of the control, asked each time a window waits for input: answers every
// message box (Yes to a question only when agreed) and keeps its text, and fills the group
// dialog once; the dialog met again (after a message) is cancelled. A running drag goes over
// `dropOn` and is dropped there. With no window open there is nothing more to do.
class ConsoleUser : public ui::EventSource {
 public:
  ConsoleUser() { ui::SetEventSource(this); }
  ~ConsoleUser() override { ui::SetEventSource(nullptr); }
  ConsoleUser(const ConsoleUser&) = delete;
  ConsoleUser& operator=(const ConsoleUser&) = delete;

  bool WaitForInput() override;

  bool answerYes = false;
  int dropOn = 0;  // the window a drag is dropped on
  std::function<void(const ui::WindowState& dialog)> fillGroupDialog;
  std::vector<std::string> questions;  // the texts of the Yes/No boxes
  std::vector<std::string> messages;   // the texts of the other boxes

 private:
  bool filled_ = false;
};

// The rows of the list as the control shows them.
enum class RowKind { kForm, kGroup, kAddNewForm };

class HostedControl {
 public:
  // Makes and places the control on the framework's manual clock (the toolbar follows only
  // when Tick says so).
  HostedControl();
  ~HostedControl();
  HostedControl(const HostedControl&) = delete;
  HostedControl& operator=(const HostedControl&) = delete;

  // True when the control was made and its window created; else Problem() says why.
  bool Created() const { return created_; }
  const std::string& Problem() const { return problem_; }
  // For a control that was not created: the lines for the user (the messages it showed, what
  // is wrong with the console database, else Problem()) into *err, and the exit status: 2
  // when the database is damaged (nothing could be changed), else 1.
  int Failure(std::string* err);
  ConsoleUser& User() { return user_; }
  const CConsoleTaskHost& Host() const { return site_->TaskHost(); }

  // Carries out what was posted, and the timers that are due.
  static void Settle() { ui::RunMessageLoop(); }
  // The control's timer ticks once: the toolbar shows the view's states.
  static void Tick();

  // The list view as it is now (an empty state when the control has none).
  ui::WindowState List() const;
  int ListHandle() const { return List().handle; }
  // The row of that text and kind; -1 when none.
  int Row(const std::string& name, RowKind kind) const;
  // The user clicks the row; false when it is not listed.
  bool Select(const std::string& name, RowKind kind);
  // The console's menu command, routed through the control's OnCommand.
  void Command(UINT id);
  // The user clicks a button of the toolbar; false when it could not be clicked.
  bool ClickToolbar(UINT id);

 private:
  // The control's window and everything in it, as the window tree shows it.
  ui::WindowState Window() const;

  std::unique_ptr<ControlSite> site_;
  ConsoleUser user_;
  bool created_ = false;
  std::string problem_;
};

}  // namespace qv
