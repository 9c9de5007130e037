#include "platform/path/World.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "platform/path/HostFile.h"
#include "platform/text/CaseFold.h"
#include "platform/text/IniText.h"

namespace qv {
namespace {

World* g_current = nullptr;
unsigned g_generation = 0;

std::vector<std::string> Split(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find('\\', pos);
    if (end == std::string_view::npos)
      end = path.size();
    if (end > pos)
      parts.emplace_back(path.substr(pos, end - pos));
    pos = end + 1;
  }
  return parts;
}

// The characters the original file system refuses in a name.
bool BadName(std::string_view name, std::string* why) {
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '/' || c == '|' ||
        c == '?' || c == '*') {
      *why = "the name \"" + std::string(name) + "\" holds a character that file names cannot hold";
      return true;
    }
  }
  if (name.back() == ' ' || name.back() == '.') {
    *why = "the name \"" + std::string(name) + "\" ends in a blank or a dot";
    return true;
  }
  return false;
}

// Folds "." and "..", checks each name; false when the path climbs above its root.
bool Normalize(const std::vector<std::string>& parts, std::vector<std::string>* out,
               std::string* why) {
  for (const std::string& part : parts) {
    if (part == ".")
      continue;
    if (part == "..") {
      if (out->empty()) {
        *why = "the path leaves its share or drive root";
        return false;
      }
      out->pop_back();
      continue;
    }
    if (BadName(part, why))
      return false;
    out->push_back(part);
  }
  return true;
}

bool IsSymlink(const std::string& path, bool* exists) {
  struct stat st {};
  *exists = ::lstat(path.c_str(), &st) == 0;
  return *exists && S_ISLNK(st.st_mode);
}

// Finds each name of parts[begin, end) in its host folder without regard to case; a name that
// does not exist is used as written, and so are all names after it (*complete then false).
bool Resolve(std::string host, const std::vector<std::string>& parts, std::size_t begin,
             std::size_t end, std::string* result, std::string* why, bool* complete) {
  bool missing = false;
  for (std::size_t i = begin; i < end; ++i) {
    const std::string& part = parts[i];
    std::string name = part;
    if (!missing) {
      bool exists = false;
      bool link = IsSymlink(host + "/" + part, &exists);
      if (!exists) {
        missing = true;
        if (DIR* dir = ::opendir(host.c_str())) {
          while (dirent* entry = ::readdir(dir)) {
            if (EqualsNoCase(entry->d_name, part)) {
              name = entry->d_name;
              missing = false;
              link = IsSymlink(host + "/" + name, &exists);
              break;
            }
          }
          ::closedir(dir);
        }
      }
      if (link) {
        *why = "the path meets a symbolic link at \"" + name + "\"";
        return false;
      }
    }
    host += "/" + name;
  }
  *result = host;
  *complete = !missing;
  return true;
}

long long MonotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);  // read without a system call
  return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

bool IsDrivePath(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::string Trim(std::string_view text) {
  std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos)
    return std::string();
  std::size_t end = text.find_last_not_of(" \t");
  return std::string(text.substr(begin, end - begin + 1));
}

bool BadComputerName(const std::string& name, const std::string& file, std::string* why) {
  if (name.size() <= World::kMaxComputerName)
    return false;
  *why = file + ": the computer name \"" + name + "\" is longer than " +
         std::to_string(World::kMaxComputerName) + " characters";
  return true;
}

// "ssh://USER@HOST[:PORT]/FOLDER". The parts are kept plain: a user and a host of letters,
// digits, ".", "_" and "-" (never first), a port of 1-65535, an absolute folder without "..",
// control characters, "\\" or the braces of a template.
bool ParseRemoteDrive(std::string_view text, RemoteDrive* drive) {
  constexpr std::string_view kScheme = "ssh://";
  if (text.substr(0, kScheme.size()) != kScheme)
    return false;
  text.remove_prefix(kScheme.size());
  std::size_t at = text.find('@');
  std::size_t slash = text.find('/');
  if (at == std::string_view::npos || slash == std::string_view::npos || at > slash)
    return false;
  auto plain = [](std::string_view name) {
    if (name.empty() || name.size() > 255 || name.front() == '-' || name.front() == '.')
      return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
             c == '.' || c == '_' || c == '-';
    });
  };
  std::string_view user = text.substr(0, at);
  std::string_view hostPort = text.substr(at + 1, slash - at - 1);
  std::string_view host = hostPort.substr(0, hostPort.find(':'));
  drive->port = 22;
  if (host.size() < hostPort.size()) {
    std::string_view port = hostPort.substr(host.size() + 1);
    if (port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return false;
    drive->port = std::stoi(std::string(port));
    if (drive->port < 1 || drive->port > 65535)
      return false;
  }
  std::string folder(text.substr(slash));
  for (char c : folder) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '\\' || c == '{' || c == '}')
      return false;
  }
  for (const auto& part : std::filesystem::path(folder)) {
    if (part == "..")
      return false;
  }
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  if (!plain(user) || !plain(host))
    return false;
  drive->user = std::string(user);
  drive->host = std::string(host);
  drive->folder = folder;
  return true;
}

}  // namespace

World* World::Current() {
  return g_current;
}

void World::SetCurrent(World* world) {
  g_current = world;
  ++g_generation;
}

unsigned World::Generation() {
  return g_generation;
}

std::unique_ptr<World> World::Open(const std::string& dir, std::string* why) {
  auto world = std::make_unique<World>();
  std::error_code ec;
  if (dir.empty()) {
    *why = "no world folder was given";
    return nullptr;
  }
  std::filesystem::path absolute = std::filesystem::absolute(dir, ec);
  if (ec) {
    *why = "cannot find the world folder \"" + dir + "\": " + ec.message();
    return nullptr;
  }
  world->dir_ = absolute.lexically_normal().string();
  while (world->dir_.size() > 1 && world->dir_.back() == '/')
    world->dir_.pop_back();
  world->realDir_ = RealHostPath(world->dir_);
  world->root_ = HostRoot(world->dir_);
  std::string file = world->dir_ + "/" + kDescriptionFile;
  if (world->realDir_.empty()) {
    *why = "no world description " + file;
    return nullptr;
  }
  std::string bytes;
  if (!ReadHostFile(file, &bytes)) {
    *why = "no world description " + file;
    return nullptr;
  }
  IniText ini(bytes);
  ini.Get("World", "Console", &world->console_);
  ini.Get("World", "CoreServer", &world->core_);
  if (!ini.Get("World", "Database", &world->database_))
    world->database_ = "console.db";
  // An empty CoreServer is a console that knows no core server.
  if (world->console_.empty()) {
    *why = file + ": [World] needs Console";
    return nullptr;
  }
  if (BadComputerName(world->console_, file, why) || BadComputerName(world->core_, file, why))
    return nullptr;
  auto inside = [&](const std::string& rel) {
    if (rel.empty() || rel.front() == '/')
      return false;
    for (const auto& part : std::filesystem::path(rel)) {
      if (part == "..")
        return false;
    }
    return true;
  };
  if (ini.Get("World", "SshIdentity", &world->sshIdentity_) && !world->sshIdentity_.empty() &&
      world->sshIdentity_.front() != '/') {
    if (!inside(world->sshIdentity_)) {
      *why = file + ": SshIdentity must name a file inside the world or an absolute path";
      return nullptr;
    }
    world->sshIdentity_ = world->dir_ + "/" + world->sshIdentity_;
  }
  std::string forks;
  if (ini.Get("World", "Forks", &forks)) {
    char* end = nullptr;
    long value = std::strtol(forks.c_str(), &end, 10);
    if (forks.empty() || *end != '\0' || value < 1 || value > 200) {
      *why = file + ": Forks must be a number from 1 to 200";
      return nullptr;
    }
    world->forks_ = static_cast<int>(value);
  }
  if (!inside(world->database_)) {
    *why = file + ": Database must name a file inside the world";
    return nullptr;
  }
  for (const std::string& section : ini.SectionNames()) {
    if (section.size() <= 9 || !EqualsNoCase(section.substr(0, 9), "Computer "))
      continue;
    WorldComputer computer;
    computer.name = section.substr(9);
    if (BadComputerName(computer.name, file, why))
      return nullptr;
    for (const auto& [key, value] : ini.Pairs(section)) {
      if (EqualsNoCase(key, "Reachable")) {
        computer.reachable = value != "0";
      } else if (key.size() == 7 && EqualsNoCase(key.substr(0, 6), "Drive ")) {
        char letter = ToUpperChar(key[6]);
        if (letter == 'C' && value.rfind("ssh://", 0) == 0) {
          if (!ParseRemoteDrive(value, &computer.remoteDrive)) {
            *why = file + ": bad remote drive \"" + key + "=" + value + "\" of " + computer.name +
                   " (ssh://USER@HOST[:PORT]/FOLDER)";
            return nullptr;
          }
          computer.remote = true;
          computer.drives.emplace_back(letter, world->dir_ + "/remote/" + computer.name + "/C");
          continue;
        }
        if (letter < 'A' || letter > 'Z' || !inside(value)) {
          *why = file + ": bad drive \"" + key + "=" + value + "\" of " + computer.name;
          return nullptr;
        }
        computer.drives.emplace_back(letter, world->dir_ + "/" + value);
      } else if (key.size() > 6 && EqualsNoCase(key.substr(0, 6), "Share ")) {
        WorldShare share;
        share.name = key.substr(6);
        std::vector<std::string> parts;
        if (value.size() < 2 || value[1] != ':' ||
            !Normalize(Split(value.substr(2)), &parts, why)) {
          *why = file + ": bad share \"" + key + "=" + value + "\" of " + computer.name;
          return nullptr;
        }
        share.drive = ToUpperChar(value[0]);
        share.components = parts;
        computer.shares.push_back(share);
      }
    }
    world->computerIndex_.emplace(ToLower(computer.name), world->computers_.size());
    world->computers_.push_back(computer);
  }
  std::string clients;
  ini.Get("World", "Clients", &clients);
  std::unordered_set<std::string> listed;
  for (std::size_t pos = 0; pos <= clients.size();) {
    std::size_t comma = std::min(clients.find(',', pos), clients.size());
    std::string name = Trim(clients.substr(pos, comma - pos));
    pos = comma + 1;
    if (name.empty())
      continue;
    const WorldComputer* computer = world->FindComputer(name);
    if (computer == nullptr) {
      *why = file + ": the client \"" + name + "\" has no [Computer " + name + "] section";
      return nullptr;
    }
    if (listed.insert(computer->name).second)
      world->clients_.push_back(computer->name);
  }
  return world;
}

const RemoteDrive* World::RemoteDriveOf(std::string_view computer) const {
  const WorldComputer* c = FindComputer(computer);
  return c != nullptr && c->remote ? &c->remoteDrive : nullptr;
}

std::string World::DatabaseHostPath() const {
  return dir_ + "/" + database_;
}

std::string World::RegistryDir(std::string_view computer) const {
  const WorldComputer* c = FindComputer(computer);
  return c == nullptr ? std::string() : dir_ + "/" + c->name + "/registry";
}

const WorldComputer* World::FindComputer(std::string_view name) const {
  auto found = computerIndex_.find(ToLower(name));
  return found == computerIndex_.end() ? nullptr : &computers_[found->second];
}

bool World::MapPath(std::string_view winPath, std::string* hostPath, std::string* why) const {
  std::string ignored;
  if (why == nullptr)
    why = &ignored;
  if (winPath.find('\0') != std::string_view::npos) {
    *why = "the path holds a NUL character";
    return false;
  }
  const WorldComputer* computer = nullptr;
  char drive = 0;
  std::vector<std::string> parts;
  if (winPath.substr(0, 2) == "\\\\") {
    std::vector<std::string> unc = Split(winPath.substr(2));
    if (unc.size() < 2) {
      *why = "a network path needs a computer and a share";
      return false;
    }
    computer = FindComputer(unc[0]);
    if (computer == nullptr) {
      *why = "no computer \"" + unc[0] + "\" in the world";
      return false;
    }
    const WorldShare* share = nullptr;
    for (const WorldShare& s : computer->shares) {
      if (EqualsNoCase(s.name, unc[1]))
        share = &s;
    }
    if (share == nullptr) {
      *why = "no share \"" + unc[1] + "\" on " + computer->name;
      return false;
    }
    drive = share->drive;
    std::vector<std::string> below(unc.begin() + 2, unc.end());
    std::vector<std::string> normal;
    if (!Normalize(below, &normal, why))
      return false;
    parts = share->components;
    parts.insert(parts.end(), normal.begin(), normal.end());
  } else if (IsDrivePath(winPath)) {
    const WorldComputer* console = FindComputer(console_);
    if (console == nullptr) {
      *why = "this console's computer \"" + console_ + "\" is not in the world";
      return false;
    }
    return MapDrivePath(console, winPath, hostPath, why);
  } else {
    *why = "not an absolute Windows path";
    return false;
  }
  return MapOn(computer, drive, parts, hostPath, why);
}

bool World::MapOnComputer(std::string_view computerName, std::string_view drivePath,
                          std::string* hostPath, std::string* why) const {
  std::string ignored;
  if (why == nullptr)
    why = &ignored;
  const WorldComputer* computer = FindComputer(computerName);
  if (computer == nullptr) {
    *why = "no computer \"" + std::string(computerName) + "\" in the world";
    return false;
  }
  if (drivePath.find('\0') != std::string_view::npos) {
    *why = "the path holds a NUL character";
    return false;
  }
  if (!IsDrivePath(drivePath)) {
    *why = "not a path on a drive of " + computer->name;
    return false;
  }
  return MapDrivePath(computer, drivePath, hostPath, why);
}

bool World::MapDrivePath(const WorldComputer* computer, std::string_view winPath,
                         std::string* hostPath, std::string* why) const {
  std::string_view rest = winPath.substr(2);
  if (!rest.empty() && rest.front() != '\\') {
    *why = "a drive path must start at the root (\"" + std::string(winPath.substr(0, 2)) + "\\\")";
    return false;
  }
  std::vector<std::string> parts;
  if (!Normalize(Split(rest), &parts, why))
    return false;
  return MapOn(computer, ToUpperChar(winPath[0]), parts, hostPath, why);
}

bool World::MapOn(const WorldComputer* computer, char drive, const std::vector<std::string>& parts,
                  std::string* hostPath, std::string* why) const {
  if (!computer->reachable) {
    *why = "the computer " + computer->name + " cannot be reached";
    return false;
  }
  for (const auto& [letter, folder] : computer->drives) {
    if (letter == drive)
      return MapBelow(computer->name, drive, folder, parts, hostPath, why);
  }
  *why = std::string("no drive ") + drive + ": on " + computer->name;
  return false;
}

bool World::MapBelow(const std::string& computer, char drive, const std::string& driveFolder,
                     const std::vector<std::string>& parts, std::string* hostPath,
                     std::string* why) const {
  // The folder of the file was found (and its drive folder checked) a moment ago: only the
  // last name is looked up. A listing maps thousands of files of one folder in a row.
  std::size_t last = parts.empty() ? 0 : parts.size() - 1;
  std::string key = driveFolder;
  for (std::size_t i = 0; i < last; ++i)
    key += "\\" + ToLower(parts[i]);
  long long now = MonotonicNanos();
  std::string remembered;
  {
    std::lock_guard<std::mutex> lock(foldersMutex_);
    auto memo = folders_.find(key);
    if (memo != folders_.end() && now - memo->second.checked < kFolderCheckNanos)
      remembered = memo->second.host;
  }
  if (!remembered.empty()) {
    bool complete = false;
    return Resolve(remembered, parts, last, parts.size(), hostPath, why, &complete);
  }
  // A drive folder that is (or lies below) a link out of the world is never followed. Its
  // check is remembered as the memo of its root folder.
  bool driveChecked = false;
  {
    std::lock_guard<std::mutex> lock(foldersMutex_);
    auto root = folders_.find(driveFolder);
    driveChecked = root != folders_.end() && now - root->second.checked < kFolderCheckNanos;
  }
  if (!driveChecked) {
    std::string real = RealHostPath(driveFolder);
    if (!HostPathWithin(real, realDir_)) {
      *why = std::string("drive ") + drive + ": of " + computer +
             (real.empty() ? " has no folder" : " does not lie inside the world");
      return false;
    }
    std::lock_guard<std::mutex> lock(foldersMutex_);
    if (folders_.size() >= kMaxFolderMemos)
      folders_.clear();
    folders_[driveFolder] = FolderMemo{driveFolder, now};
  }
  std::string folder;
  bool complete = false;
  if (!Resolve(driveFolder, parts, 0, last, &folder, why, &complete))
    return false;
  if (complete) {
    std::lock_guard<std::mutex> lock(foldersMutex_);
    if (folders_.size() >= kMaxFolderMemos)
      folders_.clear();
    folders_[key] = FolderMemo{folder, now};
  }
  return Resolve(folder, parts, last, parts.size(), hostPath, why, &complete);
}

bool World::HostToWindows(const std::string& hostPath, std::string* winPath) const {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(hostPath, ec);
  if (ec || hostPath.empty())
    return false;
  std::string host = absolute.lexically_normal().string();
  for (const WorldComputer& c : computers_) {
    for (const auto& [letter, folder] : c.drives) {
      if (host != folder && host.compare(0, folder.size() + 1, folder + "/") != 0)
        continue;
      std::vector<std::string> rest;
      for (const auto& part : std::filesystem::path(host.substr(folder.size()))) {
        if (part != "/" && !part.empty())
          rest.push_back(part.string());
      }
      auto join = [](const std::vector<std::string>& parts, std::size_t from) {
        std::string out;
        for (std::size_t i = from; i < parts.size(); ++i)
          out += (i > from ? "\\" : "") + parts[i];
        return out;
      };
      if (EqualsNoCase(c.name, console_)) {
        *winPath = std::string(1, letter) + ":\\" + join(rest, 0);
        return true;
      }
      const WorldShare* best = nullptr;
      for (const WorldShare& s : c.shares) {
        if (s.drive != letter || s.components.size() > rest.size())
          continue;
        bool prefix = true;
        for (std::size_t i = 0; i < s.components.size(); ++i) {
          prefix = prefix && EqualsNoCase(s.components[i], rest[i]);
        }
        if (prefix && (best == nullptr || s.components.size() > best->components.size()))
          best = &s;
      }
      if (best == nullptr)
        return false;
      *winPath = "\\\\" + c.name + "\\" + best->name;
      std::string tail = join(rest, best->components.size());
      if (!tail.empty())
        *winPath += "\\" + tail;
      return true;
    }
  }
  return false;
}

std::unique_ptr<World> World::ForClientDrive(const std::string& driveFolder,
                                             const std::string& computer, std::string* why) {
  auto letterOrDigit = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  };
  std::string name = computer;
  if (name.empty()) {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) {
      *why = "cannot read this machine's host name: give the computer's name";
      return nullptr;
    }
    std::string_view label(host);
    label = label.substr(0, std::min(label.find('.'), kMaxComputerName));
    for (char c : label)
      name += letterOrDigit(c) ? ToUpperChar(c) : '-';
  }
  bool valid = !name.empty() && name.size() <= kMaxComputerName;
  for (char c : name)
    valid = valid && (letterOrDigit(c) || c == '-');
  if (!valid) {
    *why = "\"" + name + "\" is not a computer name (1 to " + std::to_string(kMaxComputerName) +
           " letters, digits and hyphens)";
    return nullptr;
  }
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(driveFolder, ec);
  struct stat st {};
  if (driveFolder.empty() || ec) {
    *why = "no drive folder was given";
    return nullptr;
  }
  auto world = std::make_unique<World>();
  world->dir_ = absolute.lexically_normal().string();
  while (world->dir_.size() > 1 && world->dir_.back() == '/')
    world->dir_.pop_back();
  // The drive is this folder, not the place a link of that name would lead to.
  std::string problem;
  if (::lstat(world->dir_.c_str(), &st) != 0)
    problem =
        errno == ENOENT ? "does not exist" : std::string("cannot be read: ") + std::strerror(errno);
  else if (S_ISLNK(st.st_mode))
    problem = "is a symbolic link";
  else if (!S_ISDIR(st.st_mode))
    problem = "is not a directory";
  if (!problem.empty()) {
    *why = "the drive folder \"" + driveFolder + "\" " + problem;
    return nullptr;
  }
  world->realDir_ = RealHostPath(world->dir_);
  world->root_ = HostRoot(world->dir_);
  world->console_ = name;
  world->database_ = "console.db";
  WorldComputer client;
  client.name = name;
  client.drives.emplace_back('C', world->dir_);
  client.shares.push_back(WorldShare{"C$", 'C', {}});
  world->computerIndex_.emplace(ToLower(name), 0);
  world->computers_.push_back(client);
  world->clients_.push_back(name);
  return world;
}

}  // namespace qv
