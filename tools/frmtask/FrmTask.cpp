#include "tools/frmtask/FrmTask.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "distribution/DistributionTask.h"
#include "distribution/RemoteRegistry.h"
#include "platform/file/FileApi.h"
#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "platform/text/CaseFold.h"
#include "platform/text/IniText.h"
#include "tools/common/Cp1252.h"
#include "tools/common/Programs.h"
#include "tools/fleet/Fleet.h"

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
// Local clients are served in batches of this many, by at most kMaxWorkers threads (no more
// than the machine's cores).
constexpr std::size_t kBatchClients = 256;
constexpr std::size_t kMaxWorkers = 8;

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

// A copy line's parts, the source checked and mapped onto its host file.
struct CopyLine {
  std::string source;
  std::string destination;
  std::string sourceHost;
};

// REMCOPYn's value, "source, destination, TOREMOTE": false with the refusal when it is not
// three parts, not TOREMOTE, or the source is no Windows path of the world.
bool ParseCopyLine(const World& world, const std::string& value, CopyLine* line, std::string* why) {
  std::vector<std::string> fields;
  for (std::size_t pos = 0; pos <= value.size();) {
    std::size_t comma = std::min(value.find(',', pos), value.size());
    fields.push_back(Trim(value.substr(pos, comma - pos)));
    pos = comma + 1;
  }
  if (fields.size() != 3) {
    *why = "a copy line holds a source, a destination and TOREMOTE, separated by commas";
    return false;
  }
  line->source = fields[0];
  line->destination = fields[1];
  if (!EqualsNoCase(fields[2], "TOREMOTE"))
    *why = "only copies TOREMOTE are carried out, not \"" + fields[2] + "\"";
  else if (!IsWindowsPath(line->source))
    *why = "the source " + line->source + " is not a Windows path of the world";
  else if (Climbs(line->source))
    *why = "the source " + line->source + " is refused: the path climbs with \"..\"";
  else if (!world.MapPath(line->source, &line->sourceHost, why))
    *why = "the source " + line->source + " is refused: " + *why;
  else
    return true;
  return false;
}

// REMCOPYn: "source, destination, TOREMOTE". What every client's copy of the line shares is
// worked out once for the run: the checks of the source, and its bytes, read once.
struct CopyPlan {
  std::string refusal;  // why the line is refused before its destination is looked at
  std::string destination;
  std::string failure;  // why the source cannot be had (told after the destination's checks)
  std::string bytes;
};

CopyPlan PlanCopy(const World& world, const std::string& value) {
  CopyPlan plan;
  CopyLine line;
  if (!ParseCopyLine(world, value, &line, &plan.refusal))
    return plan;
  plan.destination = line.destination;
  ReadFailure failure = ReadFailure::kNone;
  if (!ReadHostFile(line.sourceHost, &plan.bytes, nullptr, &failure)) {
    plan.failure = failure == ReadFailure::kMissing
                       ? "the source " + line.source + " was not found"
                       : Errno("the source " + line.source + " cannot be read");
  }
  return plan;
}

// One client's copy: the new contents beside the destination (flushed when `flush`), left for
// the batch to rename into place. The first copy into a folder in a client's run makes the
// folder and removes what an earlier run killed halfway left there (`folders` holds those
// done).
std::string StageCopy(const World& world, const std::string& client, const CopyPlan& plan,
                      bool flush, std::set<std::string>* folders, StagedHostFile* staged) {
  if (!plan.refusal.empty())
    return plan.refusal;
  std::string drivePath, host, why;
  if (!ClientDrivePath(plan.destination, &drivePath, &why) ||
      !world.MapOnComputer(client, drivePath, &host, &why))
    return "the destination " + plan.destination + " is refused: " + why;
  if (drivePath.back() == '\\' || drivePath.size() == 2)
    return "the destination " + plan.destination + " names no file";
  if (!plan.failure.empty())
    return plan.failure;
  // The client's folders below its drive are made as the copy needs them, never through a
  // link out of the world; the folder is checked once for a client's copies into it.
  std::string folder = std::filesystem::path(host).parent_path().string();
  if (folders->count(folder) == 0) {
    if (!world.Root().MakeFolders(folder))
      return Errno("cannot make the folder of " + plan.destination);
    folders->insert(folder);
    RemoveStaleHostTemps(folder, kStaleTempSeconds);
  }
  if (!world.Root().Stage(host, plan.bytes, flush, staged)) {
    struct stat st {};
    if (errno == EACCES && ::lstat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ReadOnlyMode(st.st_mode))
      return "cannot write " + plan.destination + ": the file is read-only";
    return Errno("cannot write " + plan.destination);
  }
  return kOk;
}

// A batch of at least this many copies is flushed with one syncfs before its renames and one
// after; a smaller one file by file and folder by folder, as a single replacement is (a
// syncfs writes out whatever the file system holds unwritten, which a few files do not pay
// for).
constexpr std::size_t kGatherCopies = 16;

// Carries the script out on a batch of clients: on each, REMDEL0 and the copies' new contents
// beside their files; then the contents are flushed, renamed into place and the renames
// flushed, so that a crash leaves no form half-written under its name. The script's REMDEL0,
// if any, comes first.
std::vector<ClientRun> RunBatch(const World& world, const TaskScript& script,
                                const std::vector<CopyPlan>& plans, const std::string* clients,
                                std::size_t count) {
  struct Pending {
    RunLine* line;
    const CopyPlan* plan;
    StagedHostFile staged;
    bool renamed = false;
  };
  std::size_t copies = 0;
  for (const RunLine& line : script.lines)
    copies += line.key == "REMDEL0" ? 0 : 1;
  const bool gather = copies * count >= kGatherCopies;

  std::vector<ClientRun> runs(count);
  std::vector<Pending> pending;
  for (std::size_t c = 0; c < count; ++c) {
    ClientRun& run = runs[c];
    run.client = clients[c];
    run.lines = script.lines;
    std::set<std::string> folders;
    for (std::size_t i = 0; i < script.lines.size(); ++i) {
      RunLine& line = run.lines[i];
      if (line.key == "REMDEL0") {
        line.result = DeleteOnClient(world, run.client, line.value);
        continue;
      }
      StagedHostFile staged;
      line.result = StageCopy(world, run.client, plans[i], !gather, &folders, &staged);
      if (line.result == kOk)
        pending.push_back(Pending{&line, &plans[i], std::move(staged)});  // `runs` stays put
    }
  }
  auto fail = [](Pending& copy, int error) {
    errno = error;
    copy.line->result = Errno("cannot write " + copy.plan->destination);
  };
  // Flushes the file system of each device the copies lie on; the copies of one whose flush
  // fails fail. Before the renames (`renamed` false) their new contents go.
  auto flushAll = [&](bool renamed) {
    std::map<unsigned long long, std::string> systems;
    for (const Pending& copy : pending) {
      if (copy.renamed == renamed && copy.line->result == kOk)
        systems.emplace(copy.staged.dev, copy.staged.temp);
    }
    for (const auto& [dev, path] : systems) {
      std::string folder = std::filesystem::path(path).parent_path().string();
      if (FlushHostFileSystem(folder))
        continue;
      int error = errno;
      for (Pending& copy : pending) {
        if (copy.staged.dev == dev && copy.renamed == renamed && copy.line->result == kOk) {
          if (!renamed)
            AbandonHostFile(copy.staged);
          fail(copy, error);
        }
      }
    }
  };
  if (gather)
    flushAll(false);
  std::map<std::string, std::vector<Pending*>> renamedIn;  // by folder
  for (Pending& copy : pending) {
    if (copy.line->result != kOk)
      continue;
    if (!CommitHostFile(copy.staged)) {
      fail(copy, errno);
      continue;
    }
    copy.renamed = true;
    renamedIn[std::filesystem::path(copy.staged.target).parent_path().string()].push_back(&copy);
  }
  if (gather) {
    flushAll(true);
  } else {
    for (auto& [folder, renamed] : renamedIn) {
      if (FlushHostFolder(folder))
        continue;
      int error = errno;
      for (Pending* copy : renamed)
        fail(*copy, error);
    }
  }
  for (ClientRun& run : runs) {
    run.ok = true;
    for (const RunLine& line : run.lines)
      run.ok = run.ok && line.result == kOk;
  }
  return runs;
}

std::vector<CopyPlan> PlanCopies(const World& world, const TaskScript& script) {
  std::vector<CopyPlan> plans(script.lines.size());
  for (std::size_t i = 0; i < script.lines.size(); ++i) {
    if (script.lines[i].key != "REMDEL0")
      plans[i] = PlanCopy(world, script.lines[i].value);
  }
  return plans;
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

// --- Remote clients ------------------------------------------------------------------------
//
// The lines go to every remote client in one run of the engine. A line is checked here first,
// with the same refusals as on a local client; a refused line is not sent. On the machine:
//   "qv folders" makes the folders the copies go to;
//   REMDEL0 finds the matching files ("REMDEL0 find"), deletes those with a write bit
//   ("REMDEL0") and fails ("REMDEL0 read-only") when some are read-only;
//   REMCOPYn fails ("REMCOPYn read-only") when the file there is read-only, else copies the
//   file (the engine checks the sum and renames the whole file into place).

bool Refuse(std::string* why, const std::string& text) {
  *why = text;
  return false;
}

// "C:\A\B" as "A/B" below the remote folder; false with the reason for a name that no client's
// file system takes.
bool RemoteRelative(const std::string& drivePath, std::string* relative, std::string* why) {
  relative->clear();
  std::size_t pos = 3;  // past "C:\"
  while (pos <= drivePath.size()) {
    std::size_t end = std::min(drivePath.find('\\', pos), drivePath.size());
    std::string name = drivePath.substr(pos, end - pos);
    pos = end + 1;
    if (name.empty() || name == ".")
      continue;
    for (char c : name) {
      if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/|?*", c) != nullptr) {
        *why = "the name \"" + name + "\" holds a character that file names cannot hold";
        return false;
      }
    }
    if (name.back() == '.' || name.back() == ' ') {
      *why = "the name \"" + name + "\" ends in a blank or a dot";
      return false;
    }
    *relative += (relative->empty() ? "" : "/") + name;
  }
  return fleet::CheckPlain(*relative, why);
}

// REMDEL0's pattern as the folder below the remote folder and the names to match; the same
// refusals as on a local client. False with the reason.
bool PlanDelete(const std::string& pattern, std::string* folder, std::string* names,
                std::string* why) {
  std::string drivePath;
  if (!ClientDrivePath(pattern, &drivePath, why))
    return false;
  std::size_t slash = drivePath.rfind('\\');
  if (slash == std::string::npos)
    return Refuse(why, "the pattern names no folder");
  *names = drivePath.substr(slash + 1);
  if (drivePath.substr(0, slash).find_first_of("*?") != std::string::npos)
    return Refuse(why, "wildcards are allowed only in the last name");
  if (names->empty())
    return Refuse(why, "the pattern names no files");
  for (char c : *names) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/|", c) != nullptr)
      return Refuse(why,
                    "the pattern \"" + *names + "\" holds a character that file names cannot hold");
  }
  if (names->back() == '.' || names->back() == ' ')
    return Refuse(why, "the pattern \"" + *names + "\" ends in a blank or a dot");
  return RemoteRelative(drivePath.substr(0, slash) + "\\", folder, why) &&
         fleet::CheckPlain(*names, why);
}

// A regular expression matching exactly `text`, for the engine's filters.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::strchr("\\.^$|()[]+*?", c) != nullptr)
      out += '\\';
    out += c;
  }
  return out;
}

// What the engine is to do for the script's lines; `refused[i]` holds line i's refusal ("" when
// it is sent).
struct RemotePlan {
  nlohmann::json tasks = nlohmann::json::array();
  std::vector<std::string> refused;
};

nlohmann::json Task(const std::string& name, nlohmann::json body) {
  body["name"] = name;
  body["ignore_errors"] = true;
  return body;
}

// The condition "the file REL below qv_root is there and read-only" over the files found.
std::string ReadOnlyThere(const std::string& relative) {
  return "(qv_found.files | default([]) | selectattr('path', 'match', '(?i)' ~ (qv_root | "
         "regex_escape) ~ '/" +
         Escaped(relative) +
         "$') | rejectattr('wusr') | rejectattr('wgrp') | rejectattr('woth') | list | length) > 0";
}

RemotePlan PlanRemote(const World& world, const TaskScript& script) {
  RemotePlan plan;
  std::set<std::string> folders;
  nlohmann::json lineTasks = nlohmann::json::array();
  for (const RunLine& line : script.lines) {
    std::string why, drivePath, relative;
    if (line.key == "REMDEL0") {
      std::string folder, names;
      PlanDelete(line.value, &folder, &names, &why);
      plan.refused.push_back(why);
      if (!why.empty())
        continue;
      // The file is named as on a local client: "C:\QVCLIENT\X.FRM".
      ClientDrivePath(line.value, &drivePath, &why);
      std::string shown = drivePath.substr(0, drivePath.rfind('\\') + 1);
      std::string path = "{{ qv_root }}/" + folder;
      lineTasks.push_back(Task("REMDEL0 find", {{"ansible.builtin.find",
                                                 {{"paths", path},
                                                  {"patterns", fleet::PatternRegex(names)},
                                                  {"use_regex", true},
                                                  {"hidden", true},
                                                  {"file_type", "file"}}},
                                                {"register", "qv_deleting"}}));
      lineTasks.push_back(Task(
          "REMDEL0", {{"ansible.builtin.file", {{"path", "{{ item.path }}"}, {"state", "absent"}}},
                      {"loop", "{{ qv_deleting.files | default([]) }}"},
                      {"when", "item.wusr or item.wgrp or item.woth"}}));
      lineTasks.push_back(Task(
          "REMDEL0 read-only",
          {{"ansible.builtin.fail",
            {{"msg", "cannot delete " + shown +
                         "{{ (qv_deleting.files | rejectattr('wusr') | rejectattr('wgrp') | "
                         "rejectattr('woth') | first).path | basename }}: the file is read-only"}}},
           {"when",
            "(qv_deleting.files | default([]) | rejectattr('wusr') | rejectattr('wgrp') "
            "| rejectattr('woth') | list | length) > 0"}}));
      continue;
    }
    // A copy line: the same checks as on a local client, the source read on this machine.
    CopyLine copy;
    auto refusal = [&]() -> std::string {
      std::string why;
      if (!ParseCopyLine(world, line.value, &copy, &why))
        return why;
      if (!StampHostFile(copy.sourceHost).exists)
        return "the source " + copy.source + " was not found";
      if (!fleet::CheckPlain(copy.sourceHost, &why))
        return "the source " + copy.source + " is refused: " + why;
      if (!ClientDrivePath(copy.destination, &drivePath, &why) ||
          !RemoteRelative(drivePath, &relative, &why))
        return "the destination " + copy.destination + " is refused: " + why;
      if (drivePath.back() == '\\' || relative.empty())
        return "the destination " + copy.destination + " names no file";
      return "";
    };
    why = refusal();
    plan.refused.push_back(why);
    if (!why.empty())
      continue;
    std::size_t slash = relative.rfind('/');
    if (slash != std::string::npos)
      folders.insert(relative.substr(0, slash));
    std::string readOnly = line.key + " read-only";
    lineTasks.push_back(
        Task(readOnly, {{"ansible.builtin.fail",
                         {{"msg", "cannot write " + copy.destination + ": the file is read-only"}}},
                        {"when", ReadOnlyThere(relative)},
                        {"register", "qv_readonly"}}));
    lineTasks.push_back(
        Task(line.key, {{"ansible.builtin.copy",
                         {{"src", copy.sourceHost}, {"dest", "{{ qv_root }}/" + relative}}},
                        {"when", "qv_readonly is skipped"}}));
  }
  if (!folders.empty()) {
    nlohmann::json list = folders;
    plan.tasks.push_back(Task(
        "qv folders",
        {{"ansible.builtin.file", {{"path", "{{ qv_root }}/{{ item }}"}, {"state", "directory"}}},
         {"loop", list}}));
    nlohmann::json paths = nlohmann::json::array();
    for (const std::string& folder : folders)
      paths.push_back("{{ qv_root }}/" + folder);
    plan.tasks.push_back(
        Task("qv files",
             {{"ansible.builtin.find", {{"paths", paths}, {"hidden", true}, {"file_type", "file"}}},
              {"register", "qv_found"}}));
  }
  for (nlohmann::json& task : lineTasks)
    plan.tasks.push_back(std::move(task));
  return plan;
}

// One client's run as the engine reported it.
ClientRun RemoteRun(const TaskScript& script, const RemotePlan& plan, const std::string& client,
                    const fleet::HostOutcome& outcome) {
  ClientRun run;
  run.client = client;
  run.reached = outcome.reached;
  std::string reason;
  text::Utf8ToCp1252Replacing(outcome.reason, &reason);
  run.reason = reason;
  run.ok = outcome.reached;
  auto result = [&](const std::string& task, std::string* failure) {
    auto found = outcome.tasks.find(task);
    if (found == outcome.tasks.end())
      return false;
    if (found->second.state == "failed" && failure->empty())
      text::Utf8ToCp1252Replacing(found->second.message, failure);
    return true;
  };
  for (std::size_t i = 0; i < script.lines.size(); ++i) {
    RunLine done = script.lines[i];
    if (!plan.refused[i].empty()) {
      done.result = plan.refused[i];
    } else {
      std::string failure;
      bool ran = false;
      if (done.key == "REMDEL0") {
        for (const char* task : {"REMDEL0 find", "REMDEL0", "REMDEL0 read-only"})
          ran = result(task, &failure) || ran;
      } else {
        ran = result(done.key + " read-only", &failure);
        ran = result(done.key, &failure) || ran;
        ran = result("qv folders", &failure) && ran;
      }
      if (failure.empty() && !ran)
        failure = "the client was not reached" + (reason.empty() ? "" : ": " + reason);
      done.result = failure.empty() ? kOk : failure;
    }
    run.ok = run.ok && done.result == kOk;
    run.lines.push_back(std::move(done));
  }
  return run;
}

// Where a run's progress is kept while it runs: <world>/tasks/progress/<pid>.json, holding
// {"task":NAME,"done":N,"total":M}. The console shows it; the file goes when the run ends.
std::string ProgressPath(const World& world) {
  return world.Dir() + "/tasks/progress/" + std::to_string(::getpid()) + ".json";
}

// The progress files of runs that were killed: their process is gone.
void SweepProgress(const World& world) {
  std::error_code ec;
  for (const auto& entry :
       std::filesystem::directory_iterator(world.Dir() + "/tasks/progress", ec)) {
    std::string stem = entry.path().stem().string();
    char* end = nullptr;
    long pid = std::strtol(stem.c_str(), &end, 10);
    if (entry.path().extension() == ".json" && pid > 0 && *end == '\0' &&
        ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
      world.Root().Remove(entry.path().string());
  }
}

void WriteProgress(const World& world, const std::string& task, int done, int total) {
  nlohmann::json progress = {{"task", text::Cp1252ToUtf8(task)}, {"done", done}, {"total", total}};
  std::string path = ProgressPath(world);
  world.Root().MakeFolders(std::filesystem::path(path).parent_path().string());
  world.Root().Write(path, progress.dump());
}

}  // namespace

ClientRun RunScriptOnClient(const World& world, const TaskScript& script,
                            const std::string& client) {
  return RunBatch(world, script, PlanCopies(world, script), &client, 1)[0];
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

  // Every client of the world (each listed once), or the ones named.
  std::vector<std::string> clients = options.clients.empty() ? world->Clients() : options.clients;
  if (!options.clients.empty()) {
    std::unordered_set<std::string> ofWorld(world->Clients().begin(), world->Clients().end());
    std::unordered_set<std::string> listed;
    clients.clear();
    for (const std::string& name : options.clients) {
      const WorldComputer* computer = world->FindComputer(name);
      if (computer == nullptr || ofWorld.count(computer->name) == 0)
        return fail(name + " is not a client of the world; nothing was done", 2);
      if (listed.insert(computer->name).second)
        clients.push_back(computer->name);
    }
  }
  std::string winPath;
  TaskScript script;
  if (!ScriptPath(options.script, &winPath, &why) || !ReadScript(*world, winPath, &script, &why))
    return fail(why + "; nothing was done", 2);
  if (clients.empty())
    *out += "the world has no clients\n";

  std::string task = options.taskGiven ? options.task : TaskOfScript(winPath);
  int status = 0;
  auto stamp = [&](ClientRun* run) {
    run->time = static_cast<std::int64_t>(std::time(nullptr));
    run->task = task;
    run->script = options.script;
  };
  // Prints one client's run; `unrecorded` says why its record was not written.
  auto report = [&](const ClientRun& run, const std::string& unrecorded) {
    int failed = 0;
    for (const RunLine& line : run.lines) {
      if (line.result != kOk) {
        ++failed;
        if (run.reached)
          fail(run.client + ": " + line.key + "=" + line.value + ": " + line.result, 1);
      }
    }
    if (!run.reached) {
      *out += run.client + ": not reached\n";
      fail(run.client + ": not reached: " + run.reason, 1);
    } else if (failed == 0) {
      *out += run.client + ": ok\n";
    } else {
      *out += run.client + ": " + std::to_string(failed) + " of " +
              std::to_string(run.lines.size()) + " lines failed\n";
    }
    if (!run.ok)
      status = 1;
    if (!unrecorded.empty()) {
      fail(run.client + ": the record was not written: " + unrecorded, 1);
      status = 1;
    }
  };
  std::vector<std::string> local, remote;
  for (const std::string& client : clients)
    (world->RemoteDriveOf(client) != nullptr ? remote : local).push_back(client);

  // Local clients in batches, served by a few threads at once; each batch's records go to the
  // record file in one write when its copies are in place. What is printed keeps the order
  // of the clients.
  std::vector<CopyPlan> plans = PlanCopies(*world, script);
  std::vector<ClientRun> runs(local.size());
  std::vector<std::string> unrecorded(local.size());
  const std::size_t batches = (local.size() + kBatchClients - 1) / kBatchClients;
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t b; (b = next++) < batches;) {
      std::size_t begin = b * kBatchClients;
      std::size_t count = std::min(kBatchClients, local.size() - begin);
      std::vector<ClientRun> batch = RunBatch(*world, script, plans, &local[begin], count);
      for (ClientRun& run : batch)
        stamp(&run);
      std::string why;
      bool recorded = AppendTaskRuns(world->Dir(), batch, &why);
      for (std::size_t k = 0; k < count; ++k) {
        runs[begin + k] = std::move(batch[k]);
        if (!recorded)
          unrecorded[begin + k] = why;
      }
    }
  };
  std::vector<std::thread> helpers;
  std::size_t workers = std::min<std::size_t>(
      {batches, kMaxWorkers, std::max(1u, std::thread::hardware_concurrency())});
  for (std::size_t i = 1; i < workers; ++i)
    helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers)
    helper.join();
  for (std::size_t i = 0; i < local.size(); ++i)
    report(runs[i], unrecorded[i]);
  if (!remote.empty()) {
    RemotePlan plan = PlanRemote(*world, script);
    std::map<std::string, fleet::HostOutcome> outcomes;
    SweepProgress(*world);
    WriteProgress(*world, task, 0, static_cast<int>(remote.size()));
    fleet::RunPlay(
        *world, remote, plan.tasks,
        [&](int done, int total) { WriteProgress(*world, task, done, total); }, &outcomes, &why);
    std::vector<ClientRun> remoteRuns;
    for (const std::string& client : remote) {
      remoteRuns.push_back(RemoteRun(script, plan, client, outcomes[client]));
      stamp(&remoteRuns.back());
    }
    bool recorded = AppendTaskRuns(world->Dir(), remoteRuns, &why);
    for (const ClientRun& run : remoteRuns)
      report(run, recorded ? std::string() : why);
    ::unlink(ProgressPath(*world).c_str());
  }
  return status;
}

}  // namespace qv
