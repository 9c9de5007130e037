// The console around the plug-ins: what the original desktop-management console did for the
// Form Designer, kept to what an administrator needs.
//
// - It finds the plug-ins under its plug-in key, makes each by class id and shows their
//   display names; it hosts the control of the chosen one, made by the class id the plug-in
//   gives, and answers the control's events: GetDatabasePointer with the console database's
//   handle, GetClassInterface with the task host that schedules a handed-over task, and
//   NoLogStatus into the status bar.
// - Its menu bar holds its own menus (File, View, Help) with the control's shared menu merged
//   in before Help. A menu asks the control's OnUpdateCommandUI for each of its commands when
//   it opens, shows GetMessageString's prompt while an item is highlighted, and routes a pick
//   through OnCommand.
// - Its task pane lists the console database's tasks and configurations, takes drops of task
//   configuration data ("QVNX_TASK_CFG_DATA") as new tasks, removes tasks and runs them now
//   (the task executor FrmTask.exe on the world's clients).
// - Help requests and previews become pages the browser opens in a new tab.
// - Answers... (on the Forms menu and the list's context menu, for a form row) opens the
//   Answers window of that form; its Export becomes a CSV file the browser downloads. A client's
//   delivered form opens in the viewer as that client's user sees it, and its Finish records
//   the answers on that client (AnswerOnClient).
//
// Everything here runs on the user-interface thread.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/com/Guid.h"
#include "platform/path/ChangeWatch.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Wnd.h"

class CListCtrl;

namespace qv {
class ControlSite;
}

namespace qv::console {

// Whether a file may have changed since the last look: through the platform's change watch
// (no system call while nothing changes), else, while the file is missing or cannot be
// watched, by its size and time.
class FileLook {
 public:
  FileLook() = default;
  FileLook(const FileLook&) = delete;
  FileLook& operator=(const FileLook&) = delete;
  ~FileLook() { Unwatch(&ticket_); }
  // `folder`: the path is a folder, and a change is one of its own entries (ChangeWatch.h's
  // WatchFolder); without a watch only entries made, removed or renamed are seen then.
  void SetPath(const std::string& path, bool folder = false);
  // True on the first look and whenever the file may have changed since the last true.
  bool Changed();

 private:
  std::string path_;
  bool folder_ = false;
  WatchTicket ticket_;
  bool watching_ = false;
  bool seen_ = false;
  std::string stamp_;
};

class TaskPane;

struct PlugInEntry {
  std::string key;          // the class id as the plug-in key names it
  std::string displayName;  // with its "&" mnemonic
  CLSID control{};          // the control to host
  std::string problem;      // why it could not be made; "" when it was
};

// A page for the browser to open in a new tab: help or a form in the viewer.
struct OpenPage {
  int seq = 0;
  std::string url;        // "/help/<page>", "/viewer/<page>" or "/exports/<file>"
  std::string hostFile;   // a help page: its file
  bool download = false;  // the browser saves it rather than showing it
};

// Finish on a viewer page that takes answers: runs the viewer (`programs`/QVCstm32.exe) on the
// world `world` with the form body `body` for the page "<CLIENT>/<file name>.html" of the
// viewer's folder; the viewer checks the answers, records them on the client and writes the
// page anew. False when the page names no delivered form or the viewer did not run. Any
// thread may call it.
bool AnswerOnClient(const std::string& programs, const std::string& world, const std::string& page,
                    const std::string& body);

class ConsoleHost : public ui::PopupMenuHook {
 public:
  // Finds the plug-ins and hosts the first that could be made. `programs` is the folder of
  // the console's programs (FrmTask.exe, QVCstm32.exe); `wake` is called, on another thread,
  // when a task run has ended, so that its records are shown.
  ConsoleHost(std::string programs, std::function<void()> wake);
  ~ConsoleHost() override;
  ConsoleHost(const ConsoleHost&) = delete;
  ConsoleHost& operator=(const ConsoleHost&) = delete;

  const std::vector<PlugInEntry>& PlugIns() const { return plugIns_; }
  // Hosts the control of plug-in `index` in place of the one hosted now. False with *why when
  // it cannot be made.
  bool Choose(int index, std::string* why);
  // Why no control is hosted; "" while one is.
  const std::string& Problem() const { return problem_; }

  // The console's commands from the page ({"command": ...}). False with *why when the
  // command is unknown or its arguments are wrong.
  bool Command(const nlohmann::json& command, std::string* why);

  // The console's part of the state the page draws.
  nlohmann::json State();

  // The folder of the help pages opened last; "" before the first.
  std::string HelpFolder() const;

  // The console asked to stop (File, Exit).
  bool ExitRequested() const { return exit_; }

  // Forms and groups that another program added, changed or removed in the forms share are
  // shown as Refresh shows them: the console presses Refresh itself, keeping the rows the
  // user had selected. Never while a modal window, a pop-up menu or a drag runs, so that no
  // loop of the plug-in sees its list change under it. Costs nothing while nothing changes.
  void FollowShare();

  // Answers... on the context menu of the list, for a form row.
  std::vector<ui::MenuItemState> Items(CWnd* owner) override;
  void Picked(UINT id) override;

 private:
  void OpenMenu(int index);
  void CloseMenu();
  void Highlight(UINT id);
  void Pick(UINT id);
  void NotePages();
  void RunTask(long id, std::string* why);
  void ViewClientForm(const std::string& client, const std::string& file, std::string* why);
  // The control's list; null when no control is hosted.
  CListCtrl* ControlList() const;
  // The name of the form row selected in the control's list; "" when no form row is.
  std::string SelectedForm() const;
  void OpenAnswers();
  void Export(const std::string& form, const std::string& csv);
  nlohmann::json Runs();
  nlohmann::json Clients() const;
  // The task pane's parts as the files hold them, made again only when a file changed.
  void RefreshFromFiles();
  std::map<std::string, std::pair<int, int>> RemoteProgress() const;

  std::vector<PlugInEntry> plugIns_;
  int active_ = -1;
  std::unique_ptr<ControlSite> hosted_;
  std::unique_ptr<TaskPane> taskPane_;
  std::string problem_;
  int openMenu_ = -1;
  bool showNavigation_ = true;
  bool showTasks_ = true;
  bool exit_ = false;
  std::vector<OpenPage> pages_;
  int helpCount_ = 0;
  int winExecCount_ = 0;

  std::string programs_;
  std::function<void()> wake_;
  std::mutex runningMutex_;
  std::set<std::string> running_;  // the names of the tasks whose run has not ended
  std::vector<std::thread> runners_;
  // What the files said when last read: the console database's tasks and configurations, the
  // runs by task name, the clients' forms.
  FileLook database_;
  FileLook runsLog_;
  FileLook share_;            // the forms share, looked at first when the control is made
  unsigned listEmptied_ = 0;  // the control's list's Emptied() at the last look
  nlohmann::json tasks_ = nlohmann::json::array();
  nlohmann::json configurations_ = nlohmann::json::array();
  nlohmann::json runs_ = nlohmann::json::object();
  nlohmann::json clients_ = nlohmann::json::array();
  // Each task's last record of each client (pointing into runs_), failed first, then not
  // reached, then done, with the counts; made again with the runs.
  struct TaskRecords {
    std::vector<const nlohmann::json*> records;
    int done = 0, failed = 0, notReached = 0;
  };
  std::map<std::string, TaskRecords> taskRecords_;  // by task name in lower case
  // What the user shows of a long list: the part ("task:NAME" or "clients"), its first row
  // and the text a client's name must hold.
  struct Paging {
    int first = 0;
    std::string filter;
  };
  std::map<std::string, Paging> paging_;
  // The page of `rows` (each with a "client" or "name") the part shows, with its pager.
  nlohmann::json Page(const std::string& part, const std::vector<const nlohmann::json*>& rows,
                      const char* nameKey, nlohmann::json* pager);
};

}  // namespace qv::console
