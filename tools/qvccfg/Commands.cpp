#include "tools/qvccfg/Commands.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
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
#include "tools/qvccfg/FormJson.h"
#include "tools/qvccfg/Listings.h"
#include "tools/world/DefaultWorld.h"

namespace qv {
namespace {

const char kUsage[] =
    "usage: qvccfg [--world DIR] COMMAND\n"
    "  init               make the default world\n"
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
    "FILE is a Windows path or a host path inside the world. The world is --world DIR, else\n"
    "$QVCCFG_WORLD, else $HOME/.qvccfg/world.\n";

// Keeps the texts of every box shown while it lives, and echoes them when asked to.
class BoxRecorder : public MessageBoxHandler {
 public:
  explicit BoxRecorder(std::string* echo) : echo_(echo) { SetMessageBoxHandler(this); }
  ~BoxRecorder() override { SetMessageBoxHandler(nullptr); }
  int Show(std::string_view caption, std::string_view text, UINT type) override {
    texts.emplace_back(text);
    if (echo_ != nullptr)
      *echo_ += std::string(caption) + ": " + std::string(text) + "\n";
    return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
  }
  std::vector<std::string> texts;

 private:
  std::string* echo_;
};

}  // namespace

std::string DefaultWorldDir() {
  if (const char* env = std::getenv("QVCCFG_WORLD"); env != nullptr && *env != '\0')
    return env;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.qvccfg/world";
}

bool IsWindowsPath(const std::string& path) {
  return path.rfind("\\\\", 0) == 0 || (path.size() >= 2 && path[1] == ':');
}

bool FormPath(const World& world, const std::string& file, std::string* win, std::string* err,
              const std::string& program) {
  std::string why;
  if (IsWindowsPath(file)) {
    *win = file;
  } else if (!world.HostToWindows(file, win)) {
    *err = program + ": " + file + " is not inside the world " + world.Dir() + "\n";
    return false;
  }
  std::string host;
  if (!world.MapPath(*win, &host, &why)) {
    *err = program + ": " + *win + " is refused: " + why + "\n";
    return false;
  }
  if (!WinFileExists(win->c_str())) {
    *err = program + ": " + *win + ": the file was not found\n";
    return false;
  }
  return true;
}

std::string TakeWorldOption(std::vector<std::string>* args) {
  std::string dir = DefaultWorldDir();
  if (args->size() >= 2 && (*args)[0] == "--world") {
    dir = (*args)[1];
    args->erase(args->begin(), args->begin() + 2);
  }
  if (args->size() >= 3 && (*args)[args->size() - 2] == "--world") {
    dir = args->back();
    args->resize(args->size() - 2);
  }
  return dir;
}

namespace {

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
      list.Append(json::Cp1252ToUtf8(m));
    value.Set("messages", list);
  }
  *out += json::Write(value, true) + "\n";
  return 0;
}

int Import(const std::string& jsonFile, std::string* out, std::string* err) {
  std::ifstream in(jsonFile, std::ios::binary);
  if (!in) {
    *err = "qvccfg: cannot read " + jsonFile + "\n";
    return 2;
  }
  std::stringstream text;
  text << in.rdbuf();
  json::Value value;
  std::string error;
  if (!json::Parse(text.str(), &value, &error)) {
    *err = "qvccfg: " + jsonFile + ": " + error + "\n";
    return 2;
  }
  auto form = std::make_unique<CCustomForm>();
  if (!value.IsObject()) {
    *err = "qvccfg: " + jsonFile + ": expected an object\n";
    return 2;
  }
  if (!JsonToForm(value, form.get(), &error)) {
    *err = "qvccfg: " + jsonFile + ": " + error + "\n";
    return 2;
  }
  if (std::string existing = NameInShare(form->Definition().formName); !existing.empty()) {
    *err = "qvccfg: " + jsonFile + ": a form named \"" + json::Cp1252ToUtf8(existing) +
           "\" already exists\n";
    return 2;
  }
  BoxRecorder boxes(err);
  form->SetSaveFlags(false, true);
  if (!form->Save() || !FlushProfiles()) {
    *err += "qvccfg: the form was not saved\n";
    return 1;
  }
  *out += form->GetFilePath() + "\n";
  return 0;
}

}  // namespace

int RunQvccfg(const std::vector<std::string>& argsIn, std::string* out, std::string* err) {
  std::vector<std::string> args = argsIn;
  std::string dir = TakeWorldOption(&args);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? *err : *out) += kUsage;
    return args.empty() ? 2 : 0;
  }
  const std::string& command = args[0];
  bool takesNone =
      command == "init" || command == "list" || command == "groups" || command == "tasks";
  bool takesOne = command == "where" || command == "show" || command == "check" ||
                  command == "import" || command == "export" || command == "script";
  bool group = command == "script" && args.size() == 3 && args[2] == "--group";
  if (group)
    args.pop_back();
  if (!(takesNone && args.size() == 1) && !(takesOne && args.size() == 2)) {
    *err = "qvccfg: unknown command or wrong arguments: " + command + "\n" + kUsage;
    return 2;
  }
  if (dir.empty()) {
    *err = "qvccfg: the world folder name is empty; nothing was changed\n";
    return 2;
  }
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(dir, ec);
  if (ec) {
    *err = "qvccfg: cannot find the world folder " + dir + ": " + ec.message() +
           "; nothing was changed\n";
    return 2;
  }
  std::string why;
  if (command == "init") {
    if (!MakeDefaultWorld(dir, &why)) {
      *err = "qvccfg: " + why + "; nothing was changed\n";
      return 2;
    }
    *out += "made the default world in " + dir + "\n";
    return 0;
  }
  // Only init makes a world: a folder without one is never filled behind the user's back.
  if (!std::filesystem::exists(absolute / World::kDescriptionFile, ec)) {
    std::string option = dir == DefaultWorldDir() ? "" : "--world " + dir + " ";
    *err = "qvccfg: " + dir + " holds no world (" + World::kDescriptionFile +
           (ec ? ": " + ec.message() : " is missing") + "); make one with: qvccfg " + option +
           "init\n";
    return 2;
  }
  World* world = OpenWorld(dir, &why);
  if (world == nullptr) {
    *err = "qvccfg: " + why + "\n";
    return 2;
  }
  static int database = 0;  // this program is its own console: any non-null pointer
  SetDatabasePtr(&database);
  TheAppProfile().SetRegistryKey("Arvex\\Quovant\\QVNX\\QVccfg");
  int status = 0;
  if (command == "where") {
    std::string host;
    if (world->MapPath(args[1], &host, &why)) {
      *out += host + "\n";
    } else {
      *err = "qvccfg: " + args[1] + " is refused: " + why + "\n";
      status = 2;
    }
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
  } else {
    status = Show(*world, args[1], command, out, err);
  }
  if (!FlushProfiles() && status == 0) {
    *err += "qvccfg: a file could not be written\n";
    status = 1;
  }
  if (!FlushRegistry() && status == 0)
    status = 1;
  if (std::string problem = LastRegistryProblem(); !problem.empty())
    *err += "qvccfg: " + problem + "\n";
  FreeDatabasePtr();
  return status;
}

}  // namespace qv
