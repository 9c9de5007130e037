#include "console/ConsoleHost.h"

#include <cstring>
#include <filesystem>

#include "console/ConsoleText.h"
#include "console/TaskPane.h"
#include "host/ConsolePlugIn.h"
#include "host/HostInterfaces.h"
#include "platform/com/Bstr.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/com/Creation.h"
#include "platform/com/Dispatch.h"
#include "platform/com/OleControl.h"
#include "platform/com/Registration.h"
#include "platform/langrt/LangRt.h"
#include "platform/process/WinExec.h"
#include "platform/registry/Registry.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Ui.h"
#include "tools/console/TaskHost.h"
#include "tools/qvccfg/Json.h"

namespace qv::console {
namespace {

// Where the console looks for its plug-ins, below HKEY_LOCAL_MACHINE.
constexpr char kPlugInsKey[] = "Software\\Arvex\\Quovant\\QVNX\\Console\\PlugIns";
constexpr std::size_t kDisplayNameRoom = 256;

// What every control the console hosts answers: its dispatch methods and events by id.
enum : DISPID {
  kGetSharedMenu = 1,
  kOnUpdateCommandUI = 2,
  kOnCommand = 3,
  kGetMessageString = 4,
  kEventGetClassInterface = 3,
  kEventGetDatabasePointer = 4,
  kEventNoLogStatus = 7,
};
// The controls' event interface, {AE399776-76F3-11D1-8969-00A0C9323807}.
constexpr IID kControlEvents{
    0xAE399776, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}};

// The console's own commands.
enum : UINT {
  kCmdProperties = 0xE812,
  kCmdExit = 0xE141,
  kCmdNavigation = 0xE810,
  kCmdTasks = 0xE811,
  kCmdHelpTopics = 0xE142,
  kCmdAbout = 0xE140,
};

const CRect kControlRect{0, 0, 760, 440};

std::string Utf8(std::string_view cp1252) {
  return json::Cp1252ToUtf8(cp1252);
}

std::string Field(const char* field, std::size_t room) {
  return Utf8(std::string_view(field, strnlen(field, room)));
}

// The console's command-update object: what the control says of one command.
class MenuCmdUI : public CCmdUI {
 public:
  void Enable(BOOL on) override {
    enabled = on != FALSE;
    m_bEnableChanged = true;
  }
  void SetCheck(int check) override { checked = check != 0; }
  bool enabled = false;
  bool checked = false;
};

}  // namespace

// The console's end of the control's events.
class EventSink final : public com::Object<IDispatch> {
 public:
  LONG database = 0;
  IUnknown* host = nullptr;  // not owned

  HRESULT GetIDOfName(const char*, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, WORD, std::span<const VARIANT> args, VARIANT*) override {
    if (id == kEventGetDatabasePointer && args.size() == 1 && args[0].LongRef() != nullptr)
      *args[0].LongRef() = database;
    if (id == kEventGetClassInterface && args.size() == 3 && args[0].LongRef() != nullptr &&
        args[1].UnknownRef() != nullptr && host != nullptr &&
        *reinterpret_cast<const CLSID*>(args[0].LongRef()) == CLSID_ConsoleTaskHost) {
      host->AddRef();
      *args[1].UnknownRef() = host;
    }
    if (id == kEventNoLogStatus && args.size() == 1)
      ui::SetStatusText(args[0].Text());
    return S_OK;
  }

 private:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kControlEvents)
      return static_cast<IDispatch*>(this);
    return nullptr;
  }
};

// One hosted control, made by class id and placed as a top-level window of the framework.
class HostedPlugIn {
 public:
  explicit HostedPlugIn(const CLSID& control) : sink_(com::MakeObject<EventSink>()) {
    sink_->database = DatabaseHandles().Register(&database_);
    sink_->host = host_.Get();
    HRESULT result = CoCreateInstance(control, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(control_.Out()));
    if (FAILED(result)) {
      problem_ = "the control could not be made: " + com::LastCreationProblem();
      return;
    }
    com::ComPtr<IConnectionPointContainer> points;
    if (control_->QueryInterface(IID_IConnectionPointContainer,
                                 reinterpret_cast<void**>(points.Out())) == S_OK &&
        points->FindConnectionPoint(kControlEvents, events_.Out()) == S_OK)
      events_->Advise(static_cast<IDispatch*>(sink_.Get()), &cookie_);
    if (control_->QueryInterface(IID_IControlWindow, reinterpret_cast<void**>(window_.Out())) !=
        S_OK) {
      problem_ = "the control cannot be placed in a window";
      return;
    }
    if (window_->CreateControlWindow(0, kControlRect) != S_OK)
      problem_ = "the control could not make its window";
  }

  ~HostedPlugIn() {
    if (window_.Get() != nullptr)
      window_->DestroyControlWindow();
    if (events_.Get() != nullptr)
      events_->Unadvise(cookie_);
    events_.Reset();
    window_.Reset();
    control_.Reset();
    CoFreeUnusedLibraries();
    DatabaseHandles().Unregister(sink_->database);
  }
  HostedPlugIn(const HostedPlugIn&) = delete;
  HostedPlugIn& operator=(const HostedPlugIn&) = delete;

  const std::string& Problem() const { return problem_; }
  int Handle() { return window_.Get() != nullptr ? window_->ControlWindowHandle() : 0; }

  HRESULT Call(DISPID id, std::vector<VARIANT> args = {}, VARIANT* result = nullptr) {
    if (control_.Get() == nullptr)
      return E_FAIL;
    return control_->Invoke(id, DISPATCH_METHOD, args, result);
  }
  void Verb(LONG verb) {
    if (window_.Get() != nullptr)
      window_->DoVerb(verb);
  }

  // The shared menu's pop-ups with their items.
  std::vector<ui::MenuItemState> SharedMenu() {
    VARIANT menu;
    if (Call(kGetSharedMenu, {}, &menu) != S_OK)
      return {};
    return ui::MenuItems(static_cast<HMENU>(menu.Long()));
  }
  // What OnUpdateCommandUI says of a command.
  MenuCmdUI Update(UINT id) {
    MenuCmdUI cmdUI;
    cmdUI.m_nID = id;
    LONG handle = ui::CmdUIHandles().Register(&cmdUI);
    Call(kOnUpdateCommandUI, {VARIANT::FromLong(handle)});
    ui::CmdUIHandles().Unregister(handle);
    return cmdUI;
  }
  std::string Prompt(UINT id) {
    BSTR prompt = nullptr;
    Call(kGetMessageString,
         {VARIANT::FromLong(static_cast<LONG>(id)), VARIANT::RefString(&prompt)});
    std::string text = com::BstrText(prompt);
    SysFreeString(prompt);
    return text;
  }

 private:
  int database_ = 0;  // the console database's object: its handle is what the control gets
  com::ComPtr<EventSink> sink_;
  com::ComPtr<CConsoleTaskHost> host_ = com::MakeObject<CConsoleTaskHost>();
  com::ComPtr<IDispatch> control_;
  com::ComPtr<IControlWindow> window_;
  com::ComPtr<IConnectionPoint> events_;
  DWORD cookie_ = 0;
  std::string problem_;
};

ConsoleHost::ConsoleHost() : taskPane_(std::make_unique<TaskPane>()) {
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
  ui::SetStatusText(Say(Text::kReady));
  helpCount_ = LastHelpRequest().count;
  winExecCount_ = LastWinExec().count;
}

ConsoleHost::~ConsoleHost() {
  hosted_.reset();
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
  auto hosted = std::make_unique<HostedPlugIn>(plugIns_[index].control);
  if (!hosted->Problem().empty()) {
    problem_ = *why = hosted->Problem();
    return false;
  }
  hosted_ = std::move(hosted);
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
      RunTask(value);
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
  ui::SetStatusText(Say(Text::kReady));
}

void ConsoleHost::Highlight(UINT id) {
  std::string prompt;
  switch (id) {
    case kCmdExit:
      prompt = Say(Text::kExitPrompt);
      break;
    case kCmdProperties:
      prompt = Say(Text::kPropertiesPrompt);
      break;
    case kCmdNavigation:
      prompt = Say(Text::kNavigationPanePrompt);
      break;
    case kCmdTasks:
      prompt = Say(Text::kTaskPanePrompt);
      break;
    case kCmdHelpTopics:
      prompt = Say(Text::kHelpTopicsPrompt);
      break;
    case kCmdAbout:
      prompt = Say(Text::kAboutPrompt);
      break;
    case 0:
      prompt = Say(Text::kReady);
      break;
    default:
      if (hosted_ != nullptr)
        prompt = Utf8(hosted_->Prompt(id));
  }
  ui::SetStatusText(json::Utf8ToCp1252(prompt, &prompt) ? prompt : "");
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
        hosted_->Call(kOnCommand, {VARIANT::FromLong(static_cast<LONG>(id))});
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
      pages_.push_back({static_cast<int>(pages_.size()) + 1, "", "viewer:" + file + ".html"});
    }
  }
  for (OpenPage& page : pages_) {
    if (!page.url.empty())
      continue;
    if (page.hostFile.rfind("viewer:", 0) == 0)
      page.url = "/viewer/" + page.hostFile.substr(7);
    else
      page.url = "/help/" + std::filesystem::path(page.hostFile).filename().string();
  }
}

void ConsoleHost::RunTask(long /*id*/) {
  // The task executor comes with the clients of the world.
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
  state["title"] = std::string(Say(Text::kTitle));
  state["language"] = German() ? "de" : "en";
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
  auto item = [](const char* text, UINT id, bool enabled = true, bool checked = false) {
    return nlohmann::json{{"text", text},
                          {"id", id},
                          {"enabled", enabled},
                          {"checked", checked},
                          {"separator", false}};
  };
  nlohmann::json menubar = nlohmann::json::array();
  menubar.push_back({{"text", Say(Text::kFileMenu)},
                     {"items",
                      {item(Say(Text::kProperties), kCmdProperties, hosted_ != nullptr),
                       {{"separator", true}},
                       item(Say(Text::kExit), kCmdExit)}}});
  menubar.push_back({{"text", Say(Text::kViewMenu)},
                     {"items",
                      {item(Say(Text::kNavigationPane), kCmdNavigation, true, showNavigation_),
                       item(Say(Text::kTaskPane), kCmdTasks, true, showTasks_)}}});
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
        MenuCmdUI cmdUI;
        if (openMenu_ == position)
          cmdUI = hosted_->Update(sub.id);
        items.push_back({{"text", Utf8(sub.text)},
                         {"id", sub.id},
                         {"enabled", cmdUI.enabled},
                         {"checked", cmdUI.checked},
                         {"separator", false}});
      }
      menubar.push_back({{"text", Utf8(popup.text)}, {"items", items}});
    }
  }
  menubar.push_back({{"text", Say(Text::kHelpMenu)},
                     {"items",
                      {item(Say(Text::kHelpTopics), kCmdHelpTopics, !HelpFilePath().empty()),
                       {{"separator", true}},
                       item(Say(Text::kAbout), kCmdAbout, hosted_ != nullptr)}}});
  state["menubar"] = menubar;
  state["openMenu"] = openMenu_;
  state["showNavigation"] = showNavigation_;
  state["showTasks"] = showTasks_;
  state["controlHandle"] = hosted_ != nullptr ? hosted_->Handle() : 0;
  state["taskPane"] = taskPane_->Handle();
  state["tasks"] = taskPane_->Tasks();
  state["configurations"] = taskPane_->Configurations();
  nlohmann::json open = nlohmann::json::array();
  for (const OpenPage& page : pages_)
    open.push_back({{"seq", page.seq}, {"url", page.url}});
  state["open"] = open;
  return state;
}

}  // namespace qv::console
