#include "tools/qvccfg/Commands.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>

#include "forms/CustomForm.h"
#include "forms/ProfileFile.h"
#include "platform/file/FileApi.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "platform/registry/AppProfile.h"
#include "platform/registry/Registry.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/MessageBox.h"
#include "tools/common/DefaultWorld.h"
#include "tools/common/Install.h"
#include "tools/common/Programs.h"
#include "tools/qvccfg/AnswerCommands.h"
#include "tools/qvccfg/ConsoleCommands.h"
#include "tools/qvccfg/FormJson.h"
#include "tools/qvccfg/Listings.h"
#include "tools/qvccfg/ModuleCommands.h"
#include "tools/qvccfg/RunCommand.h"

namespace qv {
namespace {

const char kUsage[] =
    "usage: qvccfg [--world DIR] COMMAND\n"
    "  init               make the default world, with the Form Designer module installed\n"
    "  install            copy the module built beside qvccfg into the world and register it\n"
    "  regserver [/u] MODULE  load a module file and call its DllRegisterServer (with /u\n"
    "                     DllUnregisterServer); print the result as 0x%08X\n"
    "  plugins            make each plug-in the console would find; print them as JSON\n"
    "  where WINPATH      print the host path a Windows path maps to\n"
    "  show FILE          print a form file as JSON, with the messages loading showed\n"
    "  check FILE         load a form file; its messages on stderr, status 1 when any\n"
    "  import JSON-FILE   save a new form into the forms share; print its Windows path\n"
    "  export FILE        print a form file as JSON\n"
    "  list               refresh the catalogue as the console does; print its rows as JSON\n"
    "  groups             print the group list file as JSON\n"
    "  script NAME [--group]  write the distribution script of a form (or group); print\n"
    "                     the script's Windows path\n"
    "  tasks              print the task configurations and tasks of the console database\n"
    "  schedule NAME [--group]  schedule a form (or group) as the console's Schedule does;\n"
    "                     print its task configuration and task as JSON\n"
    "  unschedule NAME    remove the console's tasks of that name\n"
    "  run NAME           run the task configuration of that name with FrmTask.exe, as the\n"
    "                     console's task system does; print what it did on each client\n"
    "  drag NAME [--group] [--renders N]  drag a form (or group) out of the list onto a\n"
    "                     console pane that asks for its data N times (1); print each\n"
    "                     rendered block as JSON and the script written\n"
    "  delete NAME [--group] --yes  delete a form (or group) as the console's Delete does,\n"
    "                     answering its question with Yes\n"
    "  group NAME [FORM...] [--change]  make a group of the forms in the group dialog (or\n"
    "                     give the group exactly these forms); print the group as JSON\n"
    "  answer CLIENT NAME [INVENTORY-NAME=VALUE...]  record the answers of the client's user\n"
    "                     to the form NAME delivered to it, through the viewer's checks\n"
    "  answers NAME [--csv]  print every client's answers to the form NAME as JSON (or as\n"
    "                     CSV: Client, Answered and one column per inventory name)\n"
    "  install-viewer CLIENT...  install the viewer on remote clients, so that their users\n"
    "                     answer the delivered forms there (QVCLIENT/bin/qvanswer)\n"
    "NAME and FORM are names as the console lists them, in UTF-8.\n"
    "FILE is a Windows path or a host path inside the world. The world is --world DIR, else\n"
    "$QVCCFG_WORLD, else $HOME/.qvccfg/world.\n";

// Keeps the texts of every box shown while it lives, and echoes them when asked to.
class BoxRecorder : public MessageBoxHandler {
 public:
  explicit BoxRecorder(std::string* echo) : echo_(echo) { SetMessageBoxHandler(this); }
  ~BoxRecorder() override { SetMessageBoxHandler(nullptr); }
  int Show(std::string_view caption, std::string_view text, UINT type) override {
    texts.emplace_back(text);
    if (echo_ != nullptr) {
      *echo_ += Printable(json::Cp1252ToUtf8(caption)) + ": " +
                Printable(json::Cp1252ToUtf8(text)) + "\n";
    }
    return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
  }
  std::vector<std::string> texts;

 private:
  std::string* echo_;
};

// The name of a form in the share that `name` would duplicate (compared without regard to
// letter case, as the form editor does), or "" when there is none.
std::string NameInShare(const std::string& name) {
  char core[80] = {};
  if (!GetCoreServerName(core, sizeof core))
    return "";
  std::string share = std::string("\\\\") + core + "\\qvlogon\\";
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((share + "*.FRM").c_str(), &data);
  std::string found;
  for (BOOL more = find != INVALID_HANDLE_VALUE; more && found.empty();
       more = FindNextFileA(find, &data)) {
    CProfileFile file(share + data.cFileName);
    std::string formName;
    if (file.ReadString("Form", "FormName", formName) && EqualsNoCase(formName, name))
      found = formName;
  }
  if (find != INVALID_HANDLE_VALUE)
    FindClose(find);
  return found;
}

// Reads the whole file into *text, but never more than limit + 1 bytes: a larger file (or an
// endless one such as /dev/zero) is refused once the limit is passed. False with the reason.
bool ReadAtMost(const std::string& path, std::size_t limit, std::string* text, std::string* why) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *why = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  std::string bytes;
  char buffer[65536];
  while (bytes.size() <= limit) {
    std::size_t want = std::min(sizeof buffer, limit + 1 - bytes.size());
    ssize_t n = ::read(fd, buffer, want);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      *why = std::string("cannot be read: ") + std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0)
      break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (bytes.size() > limit) {
    *why = "is larger than " + std::to_string(limit) + " bytes";
    return false;
  }
  *text = std::move(bytes);
  return true;
}

int Show(const World& world, const std::string& file, const std::string& command, std::string* out,
         std::string* err) {
  std::string win;
  if (!FormPath(world, file, &win, err))
    return 2;
  std::string echoed;
  auto form = std::make_unique<CCustomForm>();
  std::vector<std::string> messages;
  {
    BoxRecorder boxes(command == "show" ? nullptr : &echoed);
    form->SetFilePath(win);
    form->Load();
    messages = boxes.texts;
  }
  *err += echoed;
  if (command == "check")
    return messages.empty() ? 0 : 1;
  json::Value value = FormToJson(*form, win);
  if (command == "show") {
    json::Value list = json::Array{};
    for (const std::string& m : messages)
      list.push_back(json::Cp1252ToUtf8(m));
    value["messages"] = list;
  }
  *out += json::Write(value, true) + "\n";
  return 0;
}

// The operands and options of the console commands; options may stand anywhere after the
// command.
struct ConsoleArgs {
  std::vector<std::string> operands;
  int renders = 1;
  bool rendersGiven = false;
  bool group = false;
  bool yes = false;
  bool change = false;
};

// False when the operands do not fit the command or an option is given twice; what is not one
// of the command's options is an operand.
bool ParseConsoleArgs(const std::vector<std::string>& args, ConsoleArgs* parsed) {
  const std::string& command = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    bool* option = nullptr;
    if (args[i] == "--renders" && command == "drag") {
      // A count from 0 to 9, the number of times the pane asks for the data.
      if (parsed->rendersGiven || i + 1 >= args.size() || args[i + 1].size() != 1 ||
          args[i + 1][0] < '0' || args[i + 1][0] > '9')
        return false;
      parsed->renders = args[++i][0] - '0';
      parsed->rendersGiven = true;
      continue;
    }
    if (args[i] == "--group" && (command == "schedule" || command == "delete" || command == "drag"))
      option = &parsed->group;
    else if (args[i] == "--yes" && command == "delete")
      option = &parsed->yes;
    else if (args[i] == "--change" && command == "group")
      option = &parsed->change;
    if (option == nullptr) {
      parsed->operands.push_back(args[i]);
      continue;
    }
    if (*option)
      return false;
    *option = true;
  }
  return command == "group" ? !parsed->operands.empty() : parsed->operands.size() == 1;
}

int Import(const std::string& jsonFile, std::string* out, std::string* err) {
  std::string shown = Printable(jsonFile);
  std::string text, error;
  if (jsonFile.empty()) {
    *err = "qvccfg: the file name is empty\n";
    return 2;
  }
  if (!ReadAtMost(jsonFile, json::kMaxInputSize, &text, &error)) {
    *err = "qvccfg: " + shown + " " + error + "\n";
    return 2;
  }
  json::Value value;
  if (!json::Parse(text, &value, &error)) {
    *err = "qvccfg: " + shown + ": " + Printable(error) + "\n";
    return 2;
  }
  auto form = std::make_unique<CCustomForm>();
  if (!value.is_object()) {
    *err = "qvccfg: " + shown + ": expected an object\n";
    return 2;
  }
  if (!JsonToForm(value, form.get(), &error)) {
    *err = "qvccfg: " + shown + ": " + Printable(error) + "\n";
    return 2;
  }
  if (std::string existing = NameInShare(form->Definition().formName); !existing.empty()) {
    *err = "qvccfg: " + shown + ": a form named \"" + Printable(json::Cp1252ToUtf8(existing)) +
           "\" already exists\n";
    return 2;
  }
  BoxRecorder boxes(err);
  form->SetSaveFlags(false, true);
  if (!form->Save()) {
    *err += "qvccfg: the form was not saved\n";
    return 1;
  }
  *out += form->GetFilePath() + "\n";
  return 0;
}

}  // namespace

static int RunCommand(const std::vector<std::string>& argsIn, std::string* out, std::string* err) {
  std::vector<std::string> args = argsIn;
  std::string dir = TakeWorldOption(&args);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? *err : *out) += kUsage;
    return args.empty() ? 2 : 0;
  }
  const std::string& command = args[0];
  bool takesNone = command == "init" || command == "install" || command == "plugins" ||
                   command == "list" || command == "groups" || command == "tasks";
  bool takesOne = command == "where" || command == "show" || command == "check" ||
                  command == "import" || command == "export" || command == "script" ||
                  command == "regserver" || command == "run";
  bool group = command == "script" && args.size() == 3 && args[2] == "--group";
  if (group)
    args.pop_back();
  bool unregister = command == "regserver" && args.size() == 3 && args[1] == "/u";
  if (unregister)
    args.erase(args.begin() + 1);
  bool console = command == "schedule" || command == "unschedule" || command == "delete" ||
                 command == "group" || command == "drag";
  ConsoleArgs consoleArgs;
  if (console && !ParseConsoleArgs(args, &consoleArgs)) {
    *err = "qvccfg: wrong arguments for " + command + " (see qvccfg --help); nothing was changed\n";
    return 2;
  }
  if (command == "delete" && !consoleArgs.yes) {
    *err = "qvccfg: delete asks before it deletes: answer with --yes; nothing was deleted\n";
    return 2;
  }
  bool answering = command == "answer" || command == "answers" || command == "install-viewer";
  if (!console && !answering && !(takesNone && args.size() == 1) &&
      !(takesOne && args.size() == 2)) {
    *err = "qvccfg: unknown command or wrong arguments: " + Printable(command) + "\n" + kUsage;
    return 2;
  }
  if (dir.empty()) {
    *err = "qvccfg: the world folder name is empty; nothing was changed\n";
    return 2;
  }
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(dir, ec);
  if (ec) {
    *err = "qvccfg: cannot find the world folder " + Printable(dir) + ": " + ec.message() +
           "; nothing was changed\n";
    return 2;
  }
  std::string why;
  if (command == "init") {
    if (!MakeDefaultWorld(dir, &why)) {
      *err = "qvccfg: " + Printable(why) + "; nothing was changed\n";
      return 2;
    }
    *out += "made the default world in " + dir + "\n";
    HRESULT result = S_OK;
    if (OpenWorld(dir, &why) == nullptr || !InstallModule(&why, &result)) {
      *err = "qvccfg: the Form Designer module was not installed: " + Printable(why) + "\n";
      return 1;
    }
    bool flushed = FlushRegistry();
    for (const std::string& line : TakeRegistryProblems())
      *err += "qvccfg: " + Printable(line) + "\n";
    return flushed ? 0 : 1;
  }
  // Only init makes a world: a folder without one is never filled behind the user's back.
  if (!std::filesystem::exists(absolute / World::kDescriptionFile, ec)) {
    std::string option = dir == DefaultWorldDir() ? "" : "--world " + Printable(dir) + " ";
    *err = "qvccfg: " + Printable(dir) + " holds no world (" + World::kDescriptionFile +
           (ec ? ": " + ec.message() : " is missing") + "); make one with: qvccfg " + option +
           "init\n";
    return 2;
  }
  World* world = OpenWorld(dir, &why);
  if (world == nullptr) {
    *err = "qvccfg: " + Printable(why) + "\n";
    return 2;
  }
  // Problems left from an earlier command in this process are not this command's.
  TakeProfileProblems();
  TakeRegistryProblems();
  static int database = 0;  // this program is its own console: any non-null pointer
  SetDatabasePtr(&database);
  TheAppProfile().SetRegistryKey("Arvex\\Quovant\\QVNX\\QVccfg");
  int status = 0;
  if (command == "where") {
    std::string host;
    if (world->MapPath(args[1], &host, &why)) {
      *out += host + "\n";
    } else {
      *err = "qvccfg: " + Printable(args[1]) + " is refused: " + Printable(why) + "\n";
      status = 2;
    }
  } else if (command == "install") {
    HRESULT result = S_OK;
    if (InstallModule(&why, &result)) {
      *out += std::string(kConsoleProgramFolder) + "\\" + kModuleName + "\n";
    } else {
      *err = "qvccfg: " + Printable(why) + "\n";
      status = 1;
    }
  } else if (command == "regserver") {
    status = RegServerCommand(*world, args[1], unregister, out, err);
  } else if (command == "plugins") {
    status = PlugInsCommand(out, err);
  } else if (command == "import") {
    status = Import(args[1], out, err);
  } else if (command == "list") {
    status = ListCatalogue(out, err);
  } else if (command == "groups") {
    status = ListGroups(out, err);
  } else if (command == "tasks") {
    status = ListTasks(out, err);
  } else if (command == "script") {
    status = WriteScriptOf(args[1], group, out, err);
  } else if (command == "run") {
    status = RunTaskCommand(*world, args[1], out, err);
  } else if (command == "schedule") {
    status = ScheduleCommand(consoleArgs.operands[0], consoleArgs.group, out, err);
  } else if (command == "drag") {
    status = DragCommand(consoleArgs.operands[0], consoleArgs.group, consoleArgs.renders, out, err);
  } else if (command == "unschedule") {
    status = UnscheduleCommand(consoleArgs.operands[0], out, err);
  } else if (command == "delete") {
    status = DeleteCommand(consoleArgs.operands[0], consoleArgs.group, out, err);
  } else if (command == "answer") {
    status = AnswerCommand(*world, args, out, err);
  } else if (command == "answers") {
    status = AnswersCommand(*world, args, out, err);
  } else if (command == "install-viewer") {
    status = InstallViewerCommand(*world, args, out, err);
  } else if (command == "group") {
    std::vector<std::string> forms(consoleArgs.operands.begin() + 1, consoleArgs.operands.end());
    status = GroupCommand(consoleArgs.operands[0], forms, consoleArgs.change, out, err);
  } else {
    status = Show(*world, args[1], command, out, err);
  }
  // Whatever is still held in memory goes to disk now; what could not be written, and every
  // file that could not be read, is reported, and the status says so.
  bool flushed = FlushProfiles();
  flushed = FlushRegistry() && flushed;
  std::vector<std::string> problems = TakeProfileProblems();
  for (std::string& line : TakeRegistryProblems())
    problems.push_back(std::move(line));
  for (const std::string& line : problems)
    *err += "qvccfg: " + Printable(line) + "\n";
  if ((!flushed || !problems.empty()) && status == 0)
    status = 1;
  FreeDatabasePtr();
  return status;
}

int RunQvccfg(const std::vector<std::string>& args, std::string* out, std::string* err) {
  // The last resort for what no command expects (a file system error, no memory): one line
  // and status 2 rather than an abort.
  std::string what = "an unknown error";
  try {
    return RunCommand(args, out, err);
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  FreeDatabasePtr();
  out->clear();
  *err = "qvccfg: unexpected error: " + Printable(what) + "\n";
  return 2;
}

}  // namespace qv
