#include "tools/frmtask/FrmTask.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

#include "distribution/DistributionTask.h"
#include "distribution/RemoteRegistry.h"
#include "platform/file/FileApi.h"
#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "platform/text/CaseFold.h"
#include "platform/text/IniText.h"
#include "tools/common/Programs.h"

namespace qv {
namespace {

const char kProgram[] = "FrmTask";
const char kUsage[] = "usage: FrmTask.exe [--world DIR] [--task NAME] SCRIPT [CLIENT...]";
const char kSection[] = "MACHINES";
const char kOk[] = "ok";
// A distribution script holds a line per form; anything near this size is no script.
constexpr std::size_t kMaxScriptSize = 4 * 1024 * 1024;
// A hidden file of a copy that has not changed for this long belongs to no copy under way
// (a copy's file changes with every write): a run killed halfway left it.
constexpr long long kStaleTempSeconds = 15 * 60;

std::string Trim(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos)
    return std::string();
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::string Errno(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

// ".." anywhere in a path of a script is refused, even where it would stay on the drive: a
// script names its files straight, and one that climbs is not one the console wrote.
bool Climbs(const std::string& path) {
  std::size_t pos = 0;
  while (true) {
    std::size_t end = path.find('\\', pos);
    if (path.compare(pos, end == std::string::npos ? std::string::npos : end - pos, "..") == 0)
      return true;
    if (end == std::string::npos)
      return false;
    pos = end + 1;
  }
}

// A path of the script as a drive path on the client's drive C:: "\X\Y" is taken from the
// root of C:, "C:\X\Y" as written. Anything else never reaches the client's files. False with
// the reason.
bool ClientDrivePath(const std::string& path, std::string* drivePath, std::string* why) {
  if (path.rfind("\\\\", 0) == 0) {
    *why = "a network path is not a path on the client";
    return false;
  }
  if (Climbs(path)) {
    *why = "the path climbs with \"..\"";
    return false;
  }
  if (path.size() >= 2 && path[1] == ':') {
    if (ToUpperChar(path[0]) != 'C') {
      *why = "only the client's drive C: is written, not " + path.substr(0, 2);
      return false;
    }
    *drivePath = path;
    return true;
  }
  if (path.empty() || path[0] != '\\') {
    *why = "not a path from the root of the client's drive C:";
    return false;
  }
  *drivePath = "C:" + path;
  return true;
}

// REMDEL0: deletes the regular files of the pattern's folder whose names match its last name.
std::string DeleteOnClient(const World& world, const std::string& client,
                           const std::string& pattern) {
  std::string drivePath, why;
  if (!ClientDrivePath(pattern, &drivePath, &why))
    return why;
  std::size_t slash = drivePath.rfind('\\');
  if (slash == std::string::npos)
    return "the pattern names no folder";
  std::string folder = drivePath.substr(0, slash);
  std::string names = drivePath.substr(slash + 1);
  if (folder.find_first_of("*?") != std::string::npos)
    return "wildcards are allowed only in the last name";
  if (names.empty())
    return "the pattern names no files";
  for (char c : names) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/|", c) != nullptr)
      return "the pattern \"" + names + "\" holds a character that file names cannot hold";
  }
  if (names.back() == '.' || names.back() == ' ')
    return "the pattern \"" + names + "\" ends in a blank or a dot";
  std::string host;
  if (!world.MapOnComputer(client, folder.size() == 2 ? folder + "\\" : folder, &host, &why))
    return why;
  DIR* dir = ::opendir(host.c_str());
  if (dir == nullptr)
    return errno == ENOENT ? kOk : Errno("cannot list " + folder);
  std::string failed;
  while (dirent* entry = ::readdir(dir)) {
    struct stat st {};
    if (!MatchesFilePattern(names.c_str(), entry->d_name) ||
        ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    // A read-only file is not deleted, whoever runs this.
    if (ReadOnlyMode(st.st_mode)) {
      if (failed.empty())
        failed = "cannot delete " + folder + "\\" + entry->d_name + ": the file is read-only";
      continue;
    }
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) != 0 && failed.empty())
      failed = Errno("cannot delete " + folder + "\\" + entry->d_name);
  }
  ::closedir(dir);
  return failed.empty() ? kOk : failed;
}

// REMCOPYn: "source, destination, TOREMOTE". The first copy into a folder in a run removes
// what an earlier run killed halfway left there (`swept` holds the folders done).
std::string CopyToClient(const World& world, const std::string& client, const std::string& value,
                         std::set<std::string>* swept) {
  std::vector<std::string> fields;
  for (std::size_t pos = 0; pos <= value.size();) {
    std::size_t comma = value.find(',', pos);
    if (comma == std::string::npos)
      comma = value.size();
    fields.push_back(Trim(value.substr(pos, comma - pos)));
    pos = comma + 1;
  }
  if (fields.size() != 3)
    return "a copy line holds a source, a destination and TOREMOTE, separated by commas";
  const std::string& source = fields[0];
  const std::string& destination = fields[1];
  if (!EqualsNoCase(fields[2], "TOREMOTE"))
    return "only copies TOREMOTE are carried out, not \"" + fields[2] + "\"";

  std::string sourceHost, why;
  if (!IsWindowsPath(source))
    return "the source " + source + " is not a Windows path of the world";
  if (Climbs(source))
    return "the source " + source + " is refused: the path climbs with \"..\"";
  if (!world.MapPath(source, &sourceHost, &why))
    return "the source " + source + " is refused: " + why;
  std::string drivePath, host;
  if (!ClientDrivePath(destination, &drivePath, &why) ||
      !world.MapOnComputer(client, drivePath, &host, &why))
    return "the destination " + destination + " is refused: " + why;
  if (drivePath.back() == '\\' || drivePath.size() == 2)
    return "the destination " + destination + " names no file";

  std::string bytes;
  ReadFailure failure = ReadFailure::kNone;
  if (!ReadHostFile(sourceHost, &bytes, nullptr, &failure)) {
    return failure == ReadFailure::kMissing ? "the source " + source + " was not found"
                                            : Errno("the source " + source + " cannot be read");
  }
  // The client's folders below its drive are made as the copy needs them, never through a
  // link out of the world.
  std::string folder = std::filesystem::path(host).parent_path().string();
  if (!world.Root().MakeFolders(folder))
    return Errno("cannot make the folder of " + destination);
  if (swept->insert(folder).second)
    RemoveStaleHostTemps(folder, kStaleTempSeconds);
  if (!world.Root().Write(host, bytes))
    return Errno("cannot write " + destination);
  return kOk;
}

// Reads the script's lines; false with one line for the user when it cannot be had.
bool ReadScript(const World& world, const std::string& winPath, TaskScript* script,
                std::string* why) {
  std::string host;
  if (!world.MapPath(winPath, &host, why)) {
    *why = "the script " + winPath + " is refused: " + *why;
    return false;
  }
  // Whatever this process wrote to the script is on disk before it is read.
  FlushProfiles();
  HostStamp stamp = StampHostFile(host);
  if (!stamp.exists) {
    *why = "the script " + winPath + (stamp.failed ? " is not a file" : " was not found");
    return false;
  }
  if (stamp.size > kMaxScriptSize) {
    *why = "the script " + winPath + " is larger than " + std::to_string(kMaxScriptSize) + " bytes";
    return false;
  }
  std::string bytes;
  if (!ReadHostFile(host, &bytes)) {
    *why = Errno("the script " + winPath + " cannot be read");
    return false;
  }
  IniText ini(std::move(bytes));
  bool hasSection = false;
  for (const std::string& name : ini.SectionNames())
    hasSection = hasSection || EqualsNoCase(name, kSection);
  if (!hasSection) {
    *why = "the script " + winPath + " has no [MACHINES] section";
    return false;
  }
  std::string value;
  if (ini.Get(kSection, "REMDEL0", &value))
    script->lines.push_back(RunLine{"REMDEL0", value, ""});
  for (int i = 0;; ++i) {
    std::string key = "REMCOPY" + std::to_string(i);
    if (!ini.Get(kSection, key, &value))
      break;
    script->lines.push_back(RunLine{key, value, ""});
  }
  return true;
}

struct Options {
  std::string world;
  std::string task;
  bool taskGiven = false;
  std::string script;
  std::vector<std::string> clients;
};

bool ParseArgs(const std::vector<std::string>& args, Options* options, std::string* why) {
  options->world = DefaultWorldDir();
  std::vector<std::string> operands;
  bool worldGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--world" || arg == "--task") {
      bool& given = arg == "--world" ? worldGiven : options->taskGiven;
      if (given || i + 1 >= args.size()) {
        *why = arg + (given ? " is given twice" : " needs a value");
        return false;
      }
      given = true;
      (arg == "--world" ? options->world : options->task) = args[++i];
    } else if (arg.rfind("--", 0) == 0) {
      *why = "unknown option " + Printable(arg);
      return false;
    } else {
      operands.push_back(arg);
    }
  }
  if (operands.empty()) {
    *why = "no script given";
    return false;
  }
  options->script = operands[0];
  options->clients.assign(operands.begin() + 1, operands.end());
  return true;
}

// The script's Windows path: a file name is looked up in the scripts directory.
bool ScriptPath(const std::string& script, std::string* winPath, std::string* why) {
  if (IsWindowsPath(script)) {
    *winPath = script;
    return true;
  }
  if (!CDistributionTask::IsScriptName(script)) {
    *why = "the script " + script + " is neither a file name nor a Windows path";
    return false;
  }
  std::string directory = FindScriptsDirectory();
  if (directory.empty()) {
    *why = "the core server's scripts directory cannot be found";
    return false;
  }
  *winPath = directory + script;
  return true;
}

// The configuration's name as the script's file name holds it: "Office survey.ini" is the
// task of the form Office survey.
std::string TaskOfScript(const std::string& winPath) {
  std::string name = winPath.substr(winPath.rfind('\\') + 1);
  if (name.size() > 4 && EqualsNoCase(name.substr(name.size() - 4), ".ini"))
    name.resize(name.size() - 4);
  return name;
}

}  // namespace

ClientRun RunScriptOnClient(const World& world, const TaskScript& script,
                            const std::string& client) {
  ClientRun run;
  run.client = client;
  run.ok = true;
  std::set<std::string> swept;
  for (const RunLine& line : script.lines) {
    RunLine done = line;
    done.result = line.key == "REMDEL0" ? DeleteOnClient(world, client, line.value)
                                        : CopyToClient(world, client, line.value, &swept);
    run.ok = run.ok && done.result == kOk;
    run.lines.push_back(std::move(done));
  }
  return run;
}

int RunFrmTask(const std::vector<std::string>& args, std::string* out, std::string* err) {
  auto fail = [&](const std::string& line, int status) {
    *err += std::string(kProgram) + ": " + Printable(line) + "\n";
    return status;
  };
  Options options;
  std::string why;
  if (!ParseArgs(args, &options, &why))
    return fail(why + "; " + kUsage, 2);
  std::unique_ptr<World> world = World::Open(options.world, &why);
  if (world == nullptr)
    return fail(why, 2);
  CurrentWorld current(world.get());

  std::vector<std::string> clients;
  for (const std::string& name : options.clients.empty() ? world->Clients() : options.clients) {
    const std::string* found = nullptr;
    for (const std::string& client : world->Clients()) {
      if (EqualsNoCase(client, name)) {
        found = &client;
        break;
      }
    }
    if (found == nullptr)
      return fail(name + " is not a client of the world; nothing was done", 2);
    bool listed = false;
    for (const std::string& client : clients)
      listed = listed || client == *found;
    if (!listed)
      clients.push_back(*found);
  }
  std::string winPath;
  TaskScript script;
  if (!ScriptPath(options.script, &winPath, &why) || !ReadScript(*world, winPath, &script, &why))
    return fail(why + "; nothing was done", 2);
  if (clients.empty())
    *out += "the world has no clients\n";

  int status = 0;
  for (const std::string& client : clients) {
    ClientRun run = RunScriptOnClient(*world, script, client);
    run.time = static_cast<std::int64_t>(std::time(nullptr));
    run.task = options.taskGiven ? options.task : TaskOfScript(winPath);
    run.script = options.script;
    int failed = 0;
    for (const RunLine& line : run.lines) {
      if (line.result != kOk) {
        ++failed;
        fail(client + ": " + line.key + "=" + line.value + ": " + line.result, 1);
      }
    }
    if (failed == 0)
      *out += client + ": ok\n";
    else
      *out += client + ": " + std::to_string(failed) + " of " + std::to_string(run.lines.size()) +
              " lines failed\n";
    if (!run.ok)
      status = 1;
    if (!AppendTaskRun(world->Dir(), run, &why)) {
      fail(client + ": the record was not written: " + why, 1);
      status = 1;
    }
  }
  return status;
}

}  // namespace qv
