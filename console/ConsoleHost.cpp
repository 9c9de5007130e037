#include "console/ConsoleHost.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "console/AnswersDialog.h"
#include "console/ConsoleText.h"
#include "console/TaskPane.h"
#include "host/ConsolePlugIn.h"
#include "platform/com/Creation.h"
#include "platform/com/Dispatch.h"
#include "platform/com/Registration.h"
#include "platform/control/OleControl.h"
#include "platform/file/FileApi.h"
#include "platform/langrt/LangRt.h"
#include "platform/ole/DragLoop.h"
#include "platform/path/World.h"
#include "platform/process/WinExec.h"
#include "platform/registry/Registry.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/ListCtrl.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ToolBar.h"
#include "platform/ui/Ui.h"
#include "resources/ResourceIds.h"
#include "tools/common/Cp1252.h"
#include "tools/common/TaskRuns.h"
#include "tools/common/ViewerPages.h"
#include "tools/hosting/ControlSite.h"

extern char** environ;

namespace qv::console {

// Rows of a long list of the task pane shown at once.
constexpr int kPageRows = 50;
namespace {

// Where the console looks for its plug-ins, below HKEY_LOCAL_MACHINE.
constexpr char kPlugInsKey[] = "Software\\Arvex\\Quovant\\QVNX\\Console\\PlugIns";
constexpr std::size_t kDisplayNameRoom = 256;

// The console's own commands.
enum : UINT {
  kCmdProperties = 0xE812,
  kCmdExit = 0xE141,
  kCmdNavigation = 0xE810,
  kCmdTasks = 0xE811,
  kCmdHelpTopics = 0xE142,
  kCmdAbout = 0xE140,
  kCmdAnswers = 0xE813,
};

const CRect kControlRect{0, 0, 760, 440};

std::string Utf8(std::string_view cp1252) {
  return text::Cp1252ToUtf8(cp1252);
}

std::string Field(const char* field, std::size_t room) {
  return Utf8(std::string_view(field, strnlen(field, room)));
}

// The host folder of the forms share the plug-in lists; "" when the world has none.
std::string FormsShareFolder() {
  const World* world = World::Current();
  std::string folder;
  std::string why;
  if (world == nullptr || world->CoreServerName().empty() ||
      !world->MapPath("\\\\" + world->CoreServerName() + "\\qvlogon", &folder, &why))
    return "";
  return folder;
}

}  // namespace

ConsoleHost::ConsoleHost(std::string programs, std::function<void()> wake)
    : taskPane_(std::make_unique<TaskPane>()),
      programs_(std::move(programs)),
      wake_(std::move(wake)) {
  std::vector<std::string> keys;
  com::SubKeyNames(HKEY_LOCAL_MACHINE, kPlugInsKey, &keys);
  for (const std::string& key : keys) {
    PlugInEntry entry;
    entry.key = key;
    CLSID clsid{};
    com::ComPtr<IConsolePlugIn> plugIn;
    HRESULT result = com::ParseGuid(key, &clsid) ? S_OK : REGDB_E_CLASSNOTREG;
    if (SUCCEEDED(result))
      result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IConsolePlugIn,
                                reinterpret_cast<void**>(plugIn.Out()));
    if (FAILED(result)) {
      entry.displayName = key;
      entry.problem = com::LastCreationProblem();
    } else {
      char name[kDisplayNameRoom] = {};
      LONG value = -1;
      plugIn->GetDisplayName(0, name, &value);
      entry.displayName = Field(name, sizeof name);
      plugIn->GetControlClsid(0, &entry.control);
    }
    plugIns_.push_back(entry);
  }
  problem_ = "no plug-in is registered";
  for (std::size_t i = 0; i < plugIns_.size(); ++i) {
    std::string why;
    if (plugIns_[i].problem.empty() && Choose(static_cast<int>(i), &why))
      break;
  }
  ui::SetIdleStatusText(Text(IDS_CONSOLE_READY));
  ui::ShowIdleStatus();
  helpCount_ = LastHelpRequest().count;
  winExecCount_ = LastWinExec().count;
  ui::SetPopupMenuHook(this);
}

ConsoleHost::~ConsoleHost() {
  ui::SetPopupMenuHook(nullptr);
  hosted_.reset();
  for (std::thread& runner : runners_)
    runner.join();
}

bool ConsoleHost::Choose(int index, std::string* why) {
  if (index < 0 || index >= static_cast<int>(plugIns_.size())) {
    *why = "there is no such plug-in";
    return false;
  }
  if (index == active_)
    return true;
  if (!plugIns_[index].problem.empty()) {
    *why = plugIns_[index].problem;
    return false;
  }
  hosted_.reset();
  active_ = -1;
  auto hosted = std::make_unique<ControlSite>(plugIns_[index].control, kControlRect);
  if (!hosted->Created()) {
    problem_ = *why = hosted->Problem();
    return false;
  }
  hosted_ = std::move(hosted);
  share_.SetPath(FormsShareFolder(), true);  // mapped once: a look must cost nothing
  share_.Changed();                          // the list was just filled
  listEmptied_ = ControlList() != nullptr ? ControlList()->Emptied() : 0;
  active_ = index;
  problem_.clear();
  return true;
}

bool ConsoleHost::Command(const nlohmann::json& command, std::string* why) {
  auto number = [&](const char* name, long* out) {
    auto it = command.find(name);
    if (it == command.end() || !it->is_number_integer()) {
      *why = std::string("the command needs an integer \"") + name + "\"";
      return false;
    }
    *out = it->get<long>();
    return true;
  };
  if (!command.is_object() || !command.contains("command") || !command["command"].is_string()) {
    *why = "a console command is an object with a \"command\" text";
    return false;
  }
  const std::string name = command["command"].get<std::string>();
  long value = 0;
  bool ok = true;
  if (name == "nav") {
    ok = number("index", &value) && Choose(static_cast<int>(value), why);
  } else if (name == "menuOpen") {
    if ((ok = number("index", &value)))
      OpenMenu(static_cast<int>(value));
  } else if (name == "menuHighlight") {
    if ((ok = number("id", &value)))
      Highlight(static_cast<UINT>(value));
  } else if (name == "menuPick") {
    if ((ok = number("id", &value)))
      Pick(static_cast<UINT>(value));
  } else if (name == "menuClose") {
    CloseMenu();
  } else if (name == "runTask") {
    if ((ok = number("id", &value)))
      RunTask(value, why);
    ok = ok && why->empty();
  } else if (name == "viewClientForm") {
    auto client = command.find("client");
    auto file = command.find("file");
    if (client == command.end() || !client->is_string() || file == command.end() ||
        !file->is_string()) {
      *why = "the command needs the texts \"client\" and \"file\"";
      ok = false;
    } else {
      ViewClientForm(client->get<std::string>(), file->get<std::string>(), why);
      ok = why->empty();
    }
  } else if (name == "page" || name == "filter") {
    // A long list of the task pane: another page, or the clients whose name holds a text.
    auto part = command.find("part");
    auto text = command.find("text");
    if (part == command.end() || !part->is_string() ||
        (name == "page" ? !number("step", &value) : text == command.end() || !text->is_string())) {
      *why = "the command needs the text \"part\" and a \"step\" or \"text\"";
      ok = false;
    } else if (name == "page") {
      Paging& paging = paging_[part->get<std::string>()];
      paging.first += value > 0 ? kPageRows : -kPageRows;
    } else {
      paging_[part->get<std::string>()] = Paging{0, text->get<std::string>().substr(0, 64)};
    }
  } else if (name == "removeTask") {
    if ((ok = number("id", &value)) && !qv::DeleteTask(static_cast<LONG>(value))) {
      *why = "the task could not be removed: " + TaskLibraryProblem();
      ok = false;
    }
  } else {
    *why = "unknown console command";
    ok = false;
  }
  NotePages();
  return ok;
}

void ConsoleHost::OpenMenu(int index) {
  openMenu_ = index;
}

void ConsoleHost::CloseMenu() {
  openMenu_ = -1;
  ui::SetStatusText(Text(IDS_CONSOLE_READY));
}

void ConsoleHost::Highlight(UINT id) {
  std::string prompt;
  switch (id) {
    case kCmdExit:
      prompt = Text(IDS_CONSOLE_EXIT_PROMPT);
      break;
    case kCmdProperties:
      prompt = Text(IDS_CONSOLE_PROPERTIES_PROMPT);
      break;
    case kCmdNavigation:
      prompt = Text(IDS_CONSOLE_NAVIGATION_PANE_PROMPT);
      break;
    case kCmdTasks:
      prompt = Text(IDS_CONSOLE_TASK_PANE_PROMPT);
      break;
    case kCmdHelpTopics:
      prompt = Text(IDS_CONSOLE_HELP_TOPICS_PROMPT);
      break;
    case kCmdAbout:
      prompt = Text(IDS_CONSOLE_ABOUT_PROMPT);
      break;
    case kCmdAnswers:
      prompt = Text(IDS_CONSOLE_ANSWERS_PROMPT);
      break;
    case 0:
      prompt = Text(IDS_CONSOLE_READY);
      break;
    default:
      if (hosted_ != nullptr)
        prompt = hosted_->Prompt(id);
  }
  ui::SetStatusText(prompt);
}

void ConsoleHost::Pick(UINT id) {
  CloseMenu();
  switch (id) {
    case kCmdExit:
      exit_ = true;
      return;
    case kCmdNavigation:
      showNavigation_ = !showNavigation_;
      return;
    case kCmdTasks:
      showTasks_ = !showTasks_;
      return;
    case kCmdAnswers:
      OpenAnswers();
      return;
    case kCmdProperties:
      if (hosted_ != nullptr)
        hosted_->Verb(OLEIVERB_PROPERTIES);
      return;
    case kCmdAbout:
      if (hosted_ != nullptr)
        hosted_->Call(DISPID_ABOUTBOX);
      return;
    case kCmdHelpTopics:
      if (!HelpFilePath().empty()) {
        pages_.push_back({static_cast<int>(pages_.size()) + 1, "", HelpPage(HelpFilePath(), 0)});
      }
      return;
    default:
      if (hosted_ != nullptr && hosted_->Update(id).enabled)
        hosted_->Call(kDispOnCommand, {VARIANT::FromLong(static_cast<LONG>(id))});
  }
}

// Help requests and previews since the last look become pages to open.
void ConsoleHost::NotePages() {
  if (LastHelpRequest().count != helpCount_) {
    helpCount_ = LastHelpRequest().count;
    std::string page = HelpPage(LastHelpRequest().file, LastHelpRequest().data);
    if (!page.empty())
      pages_.push_back({static_cast<int>(pages_.size()) + 1, "", page});
  }
  if (LastWinExec().count != winExecCount_) {
    winExecCount_ = LastWinExec().count;
    // The viewer draws the form into <world>/viewer/<file name>.html.
    const WinExecRecord& run = LastWinExec();
    std::size_t at = run.commandLine.find("/i=");
    if (run.result == kWinExecStarted && at != std::string::npos) {
      std::string file = run.commandLine.substr(at + 3);
      file = file.substr(file.find_last_of('\\') + 1);
      // No file yet (a new form not saved): the viewer's page says so.
      pages_.push_back({static_cast<int>(pages_.size()) + 1, "",
                        "viewer:" + (file.empty() ? std::string(kNoFormPage) : file + ".html")});
    }
  }
  for (OpenPage& page : pages_) {
    if (!page.url.empty())
      continue;
    if (page.hostFile.rfind("viewer:", 0) == 0)
      page.url = "/viewer/" + page.hostFile.substr(7);
    else if (page.hostFile.rfind("export:", 0) == 0)
      page.url = "/exports/" + page.hostFile.substr(7);
    else
      page.url = "/help/" + std::filesystem::path(page.hostFile).filename().string();
  }
}

namespace {

// Starts `program` with `args` (stdin on /dev/null, or a pipe that carries `input`; stdout and
// stderr to /dev/null: the program keeps its own records) and waits for it. Its exit status;
// -1 when it did not start.
int RunProgram(const std::string& program, const std::vector<std::string>& args,
               const std::string* input = nullptr) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int pipeFds[2] = {-1, -1};
  if (input != nullptr && pipe2(pipeFds, O_CLOEXEC) != 0)
    return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input != nullptr)
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (input != nullptr) {
    close(pipeFds[0]);
    // The program reads all of its input before it writes anything.
    for (std::size_t done = 0; failed == 0 && done < input->size();) {
      ssize_t n = write(pipeFds[1], input->data() + done, input->size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        break;
      done += static_cast<std::size_t>(n);
    }
    close(pipeFds[1]);
  }
  if (failed != 0)
    return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// The task's configuration names its script; FrmTask.exe carries it out on every client of
// the world, on a thread of its own so that the console stays usable, and records each
// client's run in the world.
void ConsoleHost::RunTask(long id, std::string* why) {
  nlohmann::json tasks = TaskPane::Tasks();
  nlohmann::json configurations = TaskPane::Configurations();
  const nlohmann::json* task = nullptr;
  for (const nlohmann::json& item : tasks) {
    if (item["id"] == id)
      task = &item;
  }
  if (task == nullptr) {
    *why = "there is no such task";
    return;
  }
  if (!(*task)["runnable"].get<bool>()) {
    *why = "the task cannot run: its script is missing";
    return;
  }
  std::string script;
  for (const nlohmann::json& item : configurations) {
    if (item["id"] == (*task)["configurationId"]) {
      script = item["data"].get<std::string>();
      break;
    }
  }
  std::string name = (*task)["name"].get<std::string>();
  std::string scriptCp, nameCp;
  if (script.empty() || !text::Utf8ToCp1252(script, &scriptCp) ||
      !text::Utf8ToCp1252(name, &nameCp)) {
    *why = "the task's configuration names no script";
    return;
  }
  {
    std::lock_guard lock(runningMutex_);
    if (!running_.insert(name).second) {
      *why = "the task runs already";
      return;
    }
  }
  std::vector<std::string> args = {"--world", World::Current()->Dir(), "--task", nameCp, scriptCp};
  std::string program = programs_ + "/FrmTask.exe";
  runners_.emplace_back([this, program, args, name] {
    RunProgram(program, args);
    {
      std::lock_guard lock(runningMutex_);
      running_.erase(name);
    }
    if (wake_)
      wake_();
  });
}

// The viewer draws the form as it lies on the client, as the client's user would see it.
void ConsoleHost::ViewClientForm(const std::string& client, const std::string& file,
                                 std::string* why) {
  const World* world = World::Current();
  std::string fileCp, clientCp, host, problem;
  if (!text::Utf8ToCp1252(file, &fileCp) || !text::Utf8ToCp1252(client, &clientCp) ||
      fileCp.find_first_of("\\/:*?") != std::string::npos) {
    *why = "no such form on the client";
    return;
  }
  std::string known;
  for (const std::string& name : world->Clients()) {
    if (EqualsNoCase(name, clientCp))
      known = name;
  }
  // Each client shares its drive as C$, so the viewer on the console reaches the form there.
  std::string path = "\\\\" + known + "\\C$\\QVCLIENT\\" + fileCp;
  if (known.empty() || !world->MapPath(path, &host, &problem) ||
      !std::filesystem::is_regular_file(host)) {
    *why = "no such form on the client";
    return;
  }
  // The page takes the answers of the client's user (the viewer's /a).
  if (RunProgram(programs_ + "/QVCstm32.exe",
                 {"--world", world->Dir(), "/d", "/a", "/i=" + path}) != 0) {
    *why = "the viewer could not show the form";
    return;
  }
  pages_.push_back(
      {static_cast<int>(pages_.size()) + 1, "", "viewer:" + known + "/" + fileCp + ".html"});
}

bool AnswerOnClient(const std::string& programs, const std::string& world, const std::string& page,
                    const std::string& body) {
  // "<CLIENT>/<file name>.html", as ViewClientForm's page is named.
  static const std::string kHtml = ".html";
  std::size_t slash = page.find('/');
  if (slash == std::string::npos || page.size() <= slash + 1 + kHtml.size() ||
      page.compare(page.size() - kHtml.size(), kHtml.size(), kHtml) != 0)
    return false;
  std::string client = page.substr(0, slash);
  std::string file = page.substr(slash + 1, page.size() - slash - 1 - kHtml.size());
  if (client.empty() || file.find_first_of("\\/:*?") != std::string::npos ||
      client.find_first_of("\\/:*?") != std::string::npos)
    return false;
  int status = RunProgram(
      programs + "/QVCstm32.exe",
      {"--world", world, "/d", "/a", "/f", "/i=\\\\" + client + "\\C$\\QVCLIENT\\" + file}, &body);
  // 1 and 2 say that the answers were not recorded; the page the viewer wrote says why.
  return status >= 0 && status <= 2;
}

CListCtrl* ConsoleHost::ControlList() const {
  CWnd* control = hosted_ != nullptr ? CWnd::FromHandle(hosted_->Handle()) : nullptr;
  return dynamic_cast<CListCtrl*>(
      control != nullptr ? control->GetDescendantWindow(AFX_IDW_PANE_FIRST) : nullptr);
}

std::string ConsoleHost::SelectedForm() const {
  CListCtrl* list = ControlList();
  if (list == nullptr)
    return "";
  int row = list->GetNextItem(-1, LVNI_SELECTED);
  const CImageList* images =
      list->GetImageList(list->ViewType() == LVS_ICON ? LVSIL_NORMAL : LVSIL_SMALL);
  if (row < 0 || images == nullptr || images->ImageName(list->GetItemImage(row)) != "form")
    return "";
  return list->GetItemText(row, 0);
}

std::vector<ui::MenuItemState> ConsoleHost::Items(CWnd* owner) {
  CWnd* control = hosted_ != nullptr ? CWnd::FromHandle(hosted_->Handle()) : nullptr;
  bool inControl = false;
  for (CWnd* w = owner; w != nullptr && !inControl; w = w->GetParent())
    inControl = w == control;
  if (!inControl || SelectedForm().empty())
    return {};
  ui::MenuItemState item;
  item.text = Text(IDS_CONSOLE_ANSWERS);
  item.id = kCmdAnswers;
  return {item};
}

void ConsoleHost::Picked(UINT id) {
  if (id == kCmdAnswers)
    OpenAnswers();
}

void ConsoleHost::OpenAnswers() {
  std::string form = SelectedForm();
  if (form.empty())
    return;
  AnswersDialog dialog(form, [this, form](const std::string& csv) { Export(form, csv); });
  dialog.DoModal();
  NotePages();
}

// The CSV goes to <world>/exports/ under a name made of the form's, for the browser to save.
void ConsoleHost::Export(const std::string& form, const std::string& csv) {
  std::string name = "answers-";
  for (char c : form) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_';
    name += plain ? c : '-';
  }
  name += ".csv";
  const World* world = World::Current();
  std::filesystem::path folder = std::filesystem::path(world->Dir()) / "exports";
  if (!world->Root().MakeFolders(folder.string()) ||
      !world->Root().Write((folder / name).string(), csv)) {
    ui::SetStatusText(Text(IDS_CONSOLE_READY));
    return;
  }
  OpenPage page{static_cast<int>(pages_.size()) + 1, "", "export:" + name};
  page.download = true;
  pages_.push_back(page);
  NotePages();
}

void FileLook::SetPath(const std::string& path, bool folder) {
  if (path == path_ && folder == folder_)
    return;
  Unwatch(&ticket_);
  path_ = path;
  folder_ = folder;
  watching_ = false;
  seen_ = false;
}

bool FileLook::Changed() {
  if (watching_ && Unchanged(&ticket_))
    return false;
  // The watch is taken before the caller reads, so a change while it reads shows next time.
  bool wasWatching = watching_;
  watching_ = folder_ ? WatchFolder(path_, &ticket_) : Watch(path_, &ticket_);
  struct stat info {};
  std::string stamp;
  if (stat(path_.c_str(), &info) == 0)
    stamp = std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
            std::to_string(info.st_mtim.tv_nsec) + ":" + std::to_string(info.st_ino);
  bool changed = !seen_ || wasWatching || stamp != stamp_;
  seen_ = true;
  stamp_ = stamp;
  return changed;
}

void ConsoleHost::FollowShare() {
  if (hosted_ == nullptr || !ui::ModalWindows().empty() || ui::OpenMenu().open ||
      ole::RunningDrag().running)
    return;
  CListCtrl* list = ControlList();
  // A list the plug-in filled anew since the last look (its Refresh, and its own after each
  // change it makes) holds what the share held then: the change is seen. (A file another
  // program writes while the plug-in fills its list shows at the next change or Refresh.)
  bool filled = list != nullptr && list->Emptied() != listEmptied_;
  listEmptied_ = list != nullptr ? list->Emptied() : 0;
  if (!share_.Changed() || filled)
    return;
  // The Refresh button of the control's toolbar, pressed as the user presses it.
  CWnd* control = CWnd::FromHandle(hosted_->Handle());
  auto* bar = dynamic_cast<CToolBar*>(
      control != nullptr ? control->GetDescendantWindow(AFX_IDW_TOOLBAR) : nullptr);
  int button = 0;
  while (bar != nullptr && button < bar->GetCount() &&
         bar->GetButton(button).id != ID_TOOLBAR_REFRESH)
    ++button;
  if (bar == nullptr || list == nullptr || bar->GetParent() == nullptr ||
      button == bar->GetCount() || !bar->GetButton(button).enabled)
    return;
  std::set<std::string> selected;
  for (int row = list->GetNextItem(-1, LVNI_SELECTED); row >= 0;
       row = list->GetNextItem(row, LVNI_SELECTED))
    selected.insert(list->GetItemText(row, 0));
  int focused = list->GetNextItem(-1, LVNI_FOCUSED);
  std::string focusedName = focused >= 0 ? list->GetItemText(focused, 0) : "";
  // Its command, as a press sends it, but leaving a tip the user is reading where it is.
  bar->GetParent()->SendMessage(WM_COMMAND, MAKEWPARAM(ID_TOOLBAR_REFRESH, 0),
                                static_cast<LPARAM>(bar->Handle()));
  listEmptied_ = list->Emptied();
  for (int row = 0; row < list->GetItemCount(); ++row) {
    std::string name = list->GetItemText(row, 0);
    UINT state = (selected.count(name) != 0 ? LVIS_SELECTED : 0) |
                 (!focusedName.empty() && name == focusedName ? LVIS_FOCUSED : 0);
    if (state != 0)
      list->SetItemState(row, state, state);
  }
}

void ConsoleHost::RefreshFromFiles() {
  const World* world = World::Current();
  database_.SetPath(world->DatabaseHostPath());
  runsLog_.SetPath(TaskRunsPath(world->Dir()));
  if (database_.Changed()) {
    tasks_ = TaskPane::Tasks();
    configurations_ = TaskPane::Configurations();
  }
  // A run's records end with it: the clients' forms are listed again then.
  if (runsLog_.Changed()) {
    runs_ = Runs();
    clients_ = Clients();
    taskRecords_.clear();
    for (auto& [name, list] : runs_.items()) {
      // The last record of each client, then the order: failed, not reached, done.
      std::map<std::string, const nlohmann::json*> last;
      for (const nlohmann::json& run : list)
        last[ToLower(run["client"].get<std::string>())] = &run;
      TaskRecords& records = taskRecords_[ToLower(name)];
      auto rank = [](const nlohmann::json& run) {
        return run["ok"].get<bool>() ? 2 : run["reached"].get<bool>() ? 0 : 1;
      };
      for (const auto& [client, run] : last) {
        records.records.push_back(run);
        int r = rank(*run);
        (r == 0 ? records.failed : r == 1 ? records.notReached : records.done)++;
      }
      std::stable_sort(
          records.records.begin(), records.records.end(),
          [&](const nlohmann::json* a, const nlohmann::json* b) { return rank(*a) < rank(*b); });
    }
  }
}

nlohmann::json ConsoleHost::Page(const std::string& part,
                                 const std::vector<const nlohmann::json*>& rows,
                                 const char* nameKey, nlohmann::json* pager) {
  Paging& paging = paging_[part];
  std::vector<const nlohmann::json*> shown;
  std::string filter = ToLower(paging.filter);
  for (const nlohmann::json* row : rows) {
    if (filter.empty() ||
        ToLower((*row)[nameKey].get<std::string>()).find(filter) != std::string::npos)
      shown.push_back(row);
  }
  int count = static_cast<int>(shown.size());
  paging.first = std::max(0, std::min(paging.first, (count - 1) / kPageRows * kPageRows));
  int end = std::min(count, paging.first + kPageRows);
  nlohmann::json page = nlohmann::json::array();
  for (int i = paging.first; i < end; ++i)
    page.push_back(*shown[i]);
  std::string text = Say(IDS_PANE_PAGE);
  text.replace(text.find("%1"), 2, std::to_string(count == 0 ? 0 : paging.first + 1));
  text.replace(text.find("%2"), 2, std::to_string(end));
  text.replace(text.find("%3"), 2, std::to_string(count));
  *pager = {{"part", part},
            {"filter", paging.filter},
            {"text", text},
            {"previous", paging.first > 0},
            {"next", end < count}};
  return page;
}

// The records of the task runs, by task name.
nlohmann::json ConsoleHost::Runs() {
  const std::string& dir = World::Current()->Dir();
  nlohmann::json runs = nlohmann::json::object();
  for (const ClientRun& run : ReadTaskRuns(dir, "")) {
    nlohmann::json lines = nlohmann::json::array();
    for (const RunLine& line : run.lines)
      lines.push_back(
          {{"key", Utf8(line.key)}, {"value", Utf8(line.value)}, {"result", Utf8(line.result)}});
    std::string key = Utf8(run.task);
    // Names are matched without regard to case, as the task's configuration is.
    for (auto& [name, list] : runs.items()) {
      if (EqualsNoCase(name, run.task))
        key = name;
    }
    runs[key].push_back({{"client", Utf8(run.client)},
                         {"time", run.time},
                         {"ok", run.ok},
                         {"reached", run.reached},
                         {"script", Utf8(run.script)},
                         {"lines", lines}});
  }
  return runs;
}

// The progress of the remote runs under way, by task name (hosts done, of all): each run keeps
// <world>/tasks/progress/<pid>.json while the engine works.
std::map<std::string, std::pair<int, int>> ConsoleHost::RemoteProgress() const {
  std::map<std::string, std::pair<int, int>> progress;
  std::error_code ec;
  std::string folder = World::Current()->Dir() + "/tasks/progress";
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    std::string bytes;
    if (entry.path().extension() != ".json" ||
        !World::Current()->Root().Read(entry.path().string(), &bytes))
      continue;
    nlohmann::json file = nlohmann::json::parse(bytes, nullptr, false);
    if (file.is_object() && file["task"].is_string() && file["done"].is_number_integer() &&
        file["total"].is_number_integer())
      progress[file["task"].get<std::string>()] = {file["done"].get<int>(),
                                                   file["total"].get<int>()};
  }
  return progress;
}

// The clients of the world with the forms in their forms folder now.
nlohmann::json ConsoleHost::Clients() const {
  nlohmann::json clients = nlohmann::json::array();
  const World* world = World::Current();
  for (const std::string& client : world->Clients()) {
    nlohmann::json forms = nlohmann::json::array();
    std::string folder, problem;
    std::error_code ec;
    if (world->MapOnComputer(client, "C:\\QVCLIENT", &folder, &problem)) {
      std::vector<std::string> names;
      for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (entry.is_regular_file(ec) && MatchesFilePattern("*.FRM", name.c_str()))
          names.push_back(name);
      }
      std::sort(names.begin(), names.end());
      for (const std::string& name : names)
        forms.push_back(Utf8(name));
    }
    clients.push_back({{"name", Utf8(client)}, {"forms", forms}});
  }
  return clients;
}

std::string ConsoleHost::HelpFolder() const {
  for (auto it = pages_.rbegin(); it != pages_.rend(); ++it) {
    if (it->url.rfind("/help/", 0) == 0)
      return std::filesystem::path(it->hostFile).parent_path().string();
  }
  return "";
}

nlohmann::json ConsoleHost::State() {
  NotePages();
  nlohmann::json state;
  state["title"] = Say(IDS_CONSOLE_TITLE);
  state["language"] = Say(IDS_CONSOLE_LANGUAGE);
  // The words of the task pane and the page, which the page shows as they are.
  state["text"] = {{"tasks", Say(IDS_PANE_TASKS)},
                   {"noTasks", Say(IDS_PANE_NO_TASKS)},
                   {"runNow", Say(IDS_PANE_RUN_NOW)},
                   {"remove", Say(IDS_PANE_REMOVE)},
                   {"running", Say(IDS_PANE_RUNNING)},
                   {"notRunnable", Say(IDS_PANE_NOT_RUNNABLE)},
                   {"notRunYet", Say(IDS_PANE_NOT_RUN_YET)},
                   {"ok", Say(IDS_PANE_RUN_OK)},
                   {"failed", Say(IDS_PANE_RUN_FAILED)},
                   {"clients", Say(IDS_PANE_CLIENTS)},
                   {"noForms", Say(IDS_PANE_NO_FORMS)},
                   {"configurations", Say(IDS_PANE_CONFIGURATIONS)},
                   {"noConfigurations", Say(IDS_PANE_NO_CONFIGURATIONS)},
                   {"stopped", Say(IDS_PAGE_STOPPED)},
                   {"notReached", Say(IDS_PANE_NOT_REACHED)},
                   {"previous", Say(IDS_PANE_PREVIOUS)},
                   {"next", Say(IDS_PANE_NEXT)},
                   {"find", Say(IDS_PANE_FIND)}};
  state["problem"] = problem_;
  nlohmann::json plugIns = nlohmann::json::array();
  for (std::size_t i = 0; i < plugIns_.size(); ++i) {
    plugIns.push_back({{"name", plugIns_[i].displayName},
                       {"clsid", plugIns_[i].key},
                       {"active", static_cast<int>(i) == active_},
                       {"problem", plugIns_[i].problem}});
  }
  state["plugins"] = plugIns;

  // The menu bar: the console's menus with the control's shared menu before Help.
  auto item = [](const std::string& text, UINT id, bool enabled = true, bool checked = false) {
    return nlohmann::json{{"text", text},
                          {"id", id},
                          {"enabled", enabled},
                          {"checked", checked},
                          {"separator", false}};
  };
  nlohmann::json menubar = nlohmann::json::array();
  menubar.push_back({{"text", Say(IDS_CONSOLE_FILE_MENU)},
                     {"items",
                      {item(Say(IDS_CONSOLE_PROPERTIES), kCmdProperties, hosted_ != nullptr),
                       {{"separator", true}},
                       item(Say(IDS_CONSOLE_EXIT), kCmdExit)}}});
  menubar.push_back(
      {{"text", Say(IDS_CONSOLE_VIEW_MENU)},
       {"items",
        {item(Say(IDS_CONSOLE_NAVIGATION_PANE), kCmdNavigation, true, showNavigation_),
         item(Say(IDS_CONSOLE_TASK_PANE), kCmdTasks, true, showTasks_)}}});
  if (hosted_ != nullptr) {
    for (const ui::MenuItemState& popup : hosted_->SharedMenu()) {
      if (popup.popup == 0)
        continue;
      nlohmann::json items = nlohmann::json::array();
      int position = static_cast<int>(menubar.size());
      for (const ui::MenuItemState& sub : ui::MenuItems(popup.popup)) {
        if (sub.separator) {
          items.push_back({{"separator", true}});
          continue;
        }
        // Enabling is asked of the control when its menu opens, as a menu does.
        ControlSite::CommandState cmdUI;
        if (openMenu_ == position)
          cmdUI = hosted_->Update(sub.id);
        items.push_back({{"text", Utf8(sub.text)},
                         {"id", sub.id},
                         {"enabled", cmdUI.enabled},
                         {"checked", cmdUI.checked},
                         {"separator", false}});
      }
      // The console's own command on a form: the answers the clients gave to it.
      items.push_back({{"separator", true}});
      items.push_back(item(Say(IDS_CONSOLE_ANSWERS), kCmdAnswers,
                           openMenu_ == position && !SelectedForm().empty()));
      menubar.push_back({{"text", Utf8(popup.text)}, {"items", items}});
    }
  }
  menubar.push_back({{"text", Say(IDS_CONSOLE_HELP_MENU)},
                     {"items",
                      {item(Say(IDS_CONSOLE_HELP_TOPICS), kCmdHelpTopics, !HelpFilePath().empty()),
                       {{"separator", true}},
                       item(Say(IDS_CONSOLE_ABOUT), kCmdAbout, hosted_ != nullptr)}}});
  state["menubar"] = menubar;
  state["openMenu"] = openMenu_;
  state["showNavigation"] = showNavigation_;
  state["showTasks"] = showTasks_;
  state["controlHandle"] = hosted_ != nullptr ? hosted_->Handle() : 0;
  state["taskPane"] = taskPane_->Handle();
  RefreshFromFiles();
  nlohmann::json tasks = tasks_;
  bool anyRunning = false;
  {
    std::lock_guard lock(runningMutex_);
    anyRunning = !running_.empty();
  }
  // The progress files are read outside the lock that a run's end takes.
  std::map<std::string, std::pair<int, int>> progress;
  if (anyRunning)
    progress = RemoteProgress();
  {
    std::lock_guard lock(runningMutex_);
    for (nlohmann::json& task : tasks) {
      std::string name = task["name"].get<std::string>();
      task["running"] = running_.count(name) > 0;
      for (const auto& [running, counts] : progress) {
        if (task["running"].get<bool>() && EqualsNoCase(running, name)) {
          std::string text = Say(IDS_PANE_PROGRESS);
          text.replace(text.find("%1"), 2, std::to_string(counts.first));
          text.replace(text.find("%2"), 2, std::to_string(counts.second));
          task["progress"] = text;
        }
      }
      auto records = taskRecords_.find(ToLower(name));
      std::vector<const nlohmann::json*> rows;
      if (records != taskRecords_.end()) {
        rows = records->second.records;
        std::string summary = Say(IDS_PANE_SUMMARY);
        summary.replace(summary.find("%1"), 2, std::to_string(records->second.done));
        summary.replace(summary.find("%2"), 2, std::to_string(records->second.failed));
        summary.replace(summary.find("%3"), 2, std::to_string(records->second.notReached));
        task["summary"] = summary;
      }
      nlohmann::json pager;
      task["runs"] = Page("task:" + name, rows, "client", &pager);
      if (rows.size() > kPageRows || !paging_["task:" + name].filter.empty())
        task["pager"] = pager;
    }
  }
  state["tasks"] = tasks;
  std::vector<const nlohmann::json*> clients;
  for (const nlohmann::json& client : clients_)
    clients.push_back(&client);
  nlohmann::json clientsPager;
  state["clients"] = Page("clients", clients, "name", &clientsPager);
  if (clients.size() > kPageRows || !paging_["clients"].filter.empty())
    state["clientsPager"] = clientsPager;
  state["configurations"] = configurations_;
  nlohmann::json open = nlohmann::json::array();
  for (const OpenPage& page : pages_)
    open.push_back({{"seq", page.seq}, {"url", page.url}, {"download", page.download}});
  state["open"] = open;
  return state;
}

}  // namespace qv::console
