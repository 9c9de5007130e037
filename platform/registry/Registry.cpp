#include "platform/registry/Registry.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <utility>

#include "platform/path/ChangeWatch.h"
#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/registry/Hive.h"
#include "platform/text/CaseFold.h"

namespace qv {
namespace {

constexpr std::size_t kMaxOpenKeys = 4096;
constexpr long long kSettleSeconds = 2;  // a younger file may change within one stamp
constexpr const char* kMachineRoot = "HKEY_LOCAL_MACHINE";
constexpr const char* kUserRoot = "HKEY_CURRENT_USER";

constexpr long long kPathCheckNanos = 50'000'000;  // see Registry::Current

long long MonotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);  // read without a system call
  return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

struct HiveFile {
  explicit HiveFile(const std::string& root) : hive(root) {}
  HiveFile(const HiveFile&) = delete;
  HiveFile& operator=(const HiveFile&) = delete;
  ~HiveFile() { Unwatch(&ticket); }

  Hive hive;
  HostStamp stamp;     // of the file `hive` was read from or written to
  WatchTicket ticket;  // that file's watch, while `watched`
  bool watched = false;
  long long pathChecked = 0;  // when the path was last seen leading to the file
  bool trusted = false;       // an unchanged stamp proves `hive` current
  bool damaged = false;       // the file could not be parsed: nothing may be written
  bool unreadable = false;    // the file is there but could not be read: hands off
  bool dirty = false;         // `hive` is newer than the file
};

struct OpenKey {
  bool used = false;
  std::string computer;
  bool machine = true;  // HKEY_LOCAL_MACHINE, else HKEY_CURRENT_USER
  std::string path;
};

bool Settled(const HostStamp& stamp) {
  long long now = std::time(nullptr);
  return now - stamp.mtimeSec >= kSettleSeconds && now - stamp.ctimeSec >= kSettleSeconds;
}

class Registry {
 public:
  ~Registry() { Flush(); }

  // The hive behind a key, current with its file; null (and *error set) when the computer
  // is gone or unreachable, or the file is damaged, unreadable or outside the world.
  HiveFile* HiveOf(const OpenKey& key, LONG* error) {
    World* world = World::Current();
    const WorldComputer* computer = world == nullptr ? nullptr : world->FindComputer(key.computer);
    if (computer == nullptr || !computer->reachable) {
      *error = ERROR_BAD_NETPATH;
      return nullptr;
    }
    std::string host =
        world->RegistryDir(computer->name) + (key.machine ? "/HKLM.reg" : "/HKCU.reg");
    std::unique_ptr<HiveFile>& slot = hives_[host];
    if (slot == nullptr)
      slot = std::make_unique<HiveFile>(key.machine ? kMachineRoot : kUserRoot);
    HiveFile* file = slot.get();
    if (!file->dirty && !Current(file))
      Refresh(world, host, file);
    if (file->damaged) {
      *error = ERROR_BADDB;
      return nullptr;
    }
    if (file->unreadable) {
      *error = ERROR_ACCESS_DENIED;
      return nullptr;
    }
    return file;
  }

  HKEY Open(OpenKey key) {
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      if (!keys_[i].used) {
        keys_[i] = std::move(key);
        keys_[i].used = true;
        return Handle(i);
      }
    }
    if (keys_.size() >= kMaxOpenKeys)
      return nullptr;
    key.used = true;
    keys_.push_back(std::move(key));
    return Handle(keys_.size() - 1);
  }

  // The key a handle stands for; the predefined roots are this computer's.
  const OpenKey* Find(HKEY handle) {
    Restart();
    if (handle == HKEY_LOCAL_MACHINE || handle == HKEY_CURRENT_USER ||
        handle == HKEY_CLASSES_ROOT) {
      World* world = World::Current();
      if (world == nullptr)
        return nullptr;
      root_ = OpenKey{true, world->ConsoleName(), handle != HKEY_CURRENT_USER,
                      handle == HKEY_CLASSES_ROOT ? "SOFTWARE\\Classes" : ""};
      return &root_;
    }
    auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == 0 || value > keys_.size() || !keys_[value - 1].used)
      return nullptr;
    return &keys_[value - 1];
  }

  bool Close(HKEY handle) {
    if (handle == HKEY_LOCAL_MACHINE || handle == HKEY_CURRENT_USER || handle == HKEY_CLASSES_ROOT)
      return true;
    auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == 0 || value > keys_.size() || !keys_[value - 1].used)
      return false;
    keys_[value - 1] = OpenKey{};
    return true;
  }

  bool Flush() {
    bool ok = true;
    World* world = World::Current();
    for (auto& [host, file] : hives_) {
      if (!file->dirty)
        continue;
      if (world == nullptr || !world->Root().MakeFolders(host.substr(0, host.rfind('/'))) ||
          !world->Root().Write(host, file->hive.Serialize())) {
        Note("the registry hive " + host + " could not be written");
        // Success is decided once: the change is dropped and the file read again.
        Forget(file.get());
        ok = false;
        continue;
      }
      file->dirty = false;
      file->stamp = StampHostFile(host);
      // Our own write: the stamp names these contents, and the watch shows later changes.
      Watch(host, file.get());
      file->trusted = StampHostFile(host) == file->stamp;
    }
    return ok;
  }

  void Reset() {
    Flush();
    hives_.clear();
    keys_.clear();
    open_.clear();
    cancelled_.clear();
    generation_ = World::Generation();
  }

  // Starts afresh when the world has changed since the last call.
  void Restart() {
    if (generation_ != World::Generation())
      Reset();
  }

  std::vector<std::string>& Connections() { return open_; }
  std::vector<std::string>& Cancelled() { return cancelled_; }
  std::vector<std::string> TakeProblems() { return std::exchange(problems_, {}); }

 private:
  static HKEY Handle(std::size_t slot) { return reinterpret_cast<HKEY>(slot + 1); }

  // True when the hive is known to be current without a system call: it is trusted, its
  // watch saw no change, and its path was seen leading to it less than kPathCheckNanos ago
  // (the watch cannot see a folder above being renamed).
  static bool Current(HiveFile* file) {
    return file->trusted && file->watched && Unchanged(&file->ticket) &&
           MonotonicNanos() - file->pathChecked < kPathCheckNanos;
  }

  // Looks at the file, and reads it again when it is not the one last seen.
  void Refresh(World* world, const std::string& host, HiveFile* file) {
    if (!world->Contains(host)) {
      Forget(file);
      file->unreadable = true;
      Note("the registry hive " + host + " lies outside the world; it is left as it is");
      return;
    }
    // Watch first, then look: a change after the look shows in the watch.
    if (file->trusted)
      Watch(host, file);
    HostStamp stamp = StampHostFile(host);
    if (file->trusted && stamp == file->stamp)
      return;
    Read(host, stamp, file);
  }

  void Read(const std::string& host, const HostStamp& stamp, HiveFile* file) {
    std::string bytes;
    std::string why;
    bool watching = stamp.exists && Watch(host, file);
    file->damaged = false;
    file->unreadable = false;
    file->stamp = stamp;
    file->trusted = false;
    ReadFailure failure = ReadFailure::kMissing;
    HostStamp opened;
    if (!stamp.failed && (!stamp.exists || !ReadHostFile(host, &bytes, &opened, &failure)) &&
        failure == ReadFailure::kMissing) {
      file->hive.Parse("REGEDIT4\r\n", &why);  // a missing hive is an empty one
      return;
    }
    if (stamp.failed || failure == ReadFailure::kUnreadable) {
      file->unreadable = true;
      file->hive.Parse("REGEDIT4\r\n", &why);
      Note("the registry hive " + host + " cannot be read (" +
           std::strerror(stamp.failed ? EACCES : errno) + "); it is left as it is");
      return;
    }
    if (!file->hive.Parse(bytes, &why)) {
      file->damaged = true;
      Note("the registry hive " + host + " is damaged (" + why + "); it is left as it is");
      return;
    }
    // Trusted when the file read is the one looked at, and a watch or a settled stamp shows
    // that nothing changed it unseen.
    file->trusted = opened == stamp && (watching || Settled(stamp));
  }

  // Starts watching the file afresh; false when no watch could be had.
  static bool Watch(const std::string& host, HiveFile* file) {
    file->watched = qv::Watch(host, &file->ticket);
    file->pathChecked = MonotonicNanos();
    return file->watched;
  }

  // Drops what the hive holds; the next call reads the file again.
  static void Forget(HiveFile* file) {
    Unwatch(&file->ticket);
    file->watched = false;
    file->trusted = false;
    file->dirty = false;
    file->damaged = false;
    file->unreadable = false;
    file->stamp = HostStamp();
  }

  void Note(const std::string& line) {
    if (std::find(problems_.begin(), problems_.end(), line) == problems_.end())
      problems_.push_back(line);
  }

  std::map<std::string, std::unique_ptr<HiveFile>> hives_;  // by host path
  std::vector<OpenKey> keys_;                               // handle n is slot n - 1
  OpenKey root_;
  std::vector<std::string> open_;
  std::vector<std::string> cancelled_;
  std::vector<std::string> problems_;
  unsigned generation_ = 0;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

// The key `subKey` names below `key`, or an error.
LONG SubKey(HKEY key, const char* subKey, OpenKey* out) {
  const OpenKey* base = TheRegistry().Find(key);
  if (base == nullptr)
    return ERROR_INVALID_HANDLE;
  *out = *base;
  std::string sub = subKey == nullptr ? std::string() : std::string(subKey);
  if (!sub.empty())
    out->path = out->path.empty() ? sub : out->path + "\\" + sub;
  return Hive::ValidPath(out->path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool FlushRegistry() {
  TheRegistry().Restart();  // hives of a world left behind were written when it was left
  return TheRegistry().Flush();
}

void ResetRegistry() {
  TheRegistry().Reset();
}

std::vector<std::string> TakeRegistryProblems() {
  return TheRegistry().TakeProblems();
}

std::vector<std::string> OpenConnections() {
  return TheRegistry().Connections();
}

std::vector<std::string> CancelledConnections() {
  return TheRegistry().Cancelled();
}

void ClearConnectionLog() {
  TheRegistry().Cancelled().clear();
}

}  // namespace qv

using qv::TheRegistry;

LONG RegConnectRegistryA(const char* machine, HKEY root, HKEY* result) {
  if (result == nullptr || root != HKEY_LOCAL_MACHINE)
    return ERROR_INVALID_PARAMETER;
  TheRegistry().Restart();
  qv::World* world = qv::World::Current();
  if (world == nullptr)
    return ERROR_BAD_NETPATH;
  std::string name = machine == nullptr ? std::string() : std::string(machine);
  while (name.starts_with('\\'))
    name.erase(0, 1);
  if (name.empty())
    name = world->ConsoleName();
  const qv::WorldComputer* computer = world->FindComputer(name);
  if (computer == nullptr || !computer->reachable)
    return ERROR_BAD_NETPATH;
  if (!qv::EqualsNoCase(name, world->ConsoleName())) {
    std::string connection = "\\\\" + name + "\\IPC$";
    auto& open = TheRegistry().Connections();
    bool known = false;
    for (const std::string& c : open)
      known = known || qv::EqualsNoCase(c, connection);
    if (!known)
      open.push_back(connection);
  }
  HKEY handle = TheRegistry().Open(qv::OpenKey{true, computer->name, true, ""});
  if (handle == nullptr)
    return ERROR_ACCESS_DENIED;
  *result = handle;
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD /*options*/, REGSAM /*access*/,
                   HKEY* result) {
  if (result == nullptr)
    return ERROR_INVALID_PARAMETER;
  qv::OpenKey opened;
  LONG error = qv::SubKey(key, subKey, &opened);
  if (error != ERROR_SUCCESS)
    return error;
  qv::HiveFile* file = TheRegistry().HiveOf(opened, &error);
  if (file == nullptr)
    return error;
  if (!file->hive.HasKey(opened.path))
    return ERROR_FILE_NOT_FOUND;
  HKEY handle = TheRegistry().Open(std::move(opened));
  if (handle == nullptr)
    return ERROR_ACCESS_DENIED;
  *result = handle;
  return ERROR_SUCCESS;
}

LONG RegCreateKeyA(HKEY key, const char* subKey, HKEY* result) {
  if (result == nullptr)
    return ERROR_INVALID_PARAMETER;
  qv::OpenKey opened;
  LONG error = qv::SubKey(key, subKey, &opened);
  if (error != ERROR_SUCCESS)
    return error == ERROR_FILE_NOT_FOUND ? ERROR_INVALID_PARAMETER : error;
  qv::HiveFile* file = TheRegistry().HiveOf(opened, &error);
  if (file == nullptr)
    return error;
  if (!file->hive.HasKey(opened.path)) {
    file->hive.CreateKey(opened.path);
    file->dirty = true;
  }
  HKEY handle = TheRegistry().Open(std::move(opened));
  if (handle == nullptr)
    return ERROR_ACCESS_DENIED;
  *result = handle;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  return TheRegistry().Close(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

namespace qv {
namespace {

// Copies one value out as RegQueryValueExA does.
LONG CopyValue(const OpenKey& opened, const char* name, DWORD* type, BYTE* data, DWORD* size) {
  LONG error = ERROR_SUCCESS;
  HiveFile* file = TheRegistry().HiveOf(opened, &error);
  if (file == nullptr)
    return error;
  const HiveValue* value = file->hive.FindValue(opened.path, name == nullptr ? "" : name);
  if (value == nullptr)
    return ERROR_FILE_NOT_FOUND;
  std::string bytes;
  if (value->type == REG_DWORD) {
    bytes.assign(reinterpret_cast<const char*>(&value->number), sizeof value->number);
  } else {
    bytes = value->text;
    bytes.push_back('\0');
  }
  if (type != nullptr)
    *type = value->type;
  if (data == nullptr) {
    if (size != nullptr)
      *size = static_cast<DWORD>(bytes.size());
    return ERROR_SUCCESS;
  }
  if (size == nullptr)
    return ERROR_INVALID_PARAMETER;
  if (*size < bytes.size()) {
    *size = static_cast<DWORD>(bytes.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, bytes.data(), bytes.size());
  *size = static_cast<DWORD>(bytes.size());
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace qv

LONG RegQueryValueExA(HKEY key, const char* name, DWORD* /*reserved*/, DWORD* type, BYTE* data,
                      DWORD* size) {
  const qv::OpenKey* opened = TheRegistry().Find(key);
  if (opened == nullptr)
    return ERROR_INVALID_HANDLE;
  return qv::CopyValue(*opened, name, type, data, size);
}

LONG RegGetValueA(HKEY key, const char* subKey, const char* name, DWORD* type, BYTE* data,
                  DWORD* size) {
  qv::OpenKey opened;
  LONG error = qv::SubKey(key, subKey, &opened);
  if (error != ERROR_SUCCESS)
    return error;
  return qv::CopyValue(opened, name, type, data, size);
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD size) {
  const qv::OpenKey* opened = TheRegistry().Find(key);
  if (opened == nullptr)
    return ERROR_INVALID_HANDLE;
  qv::HiveValue value;
  value.name = name == nullptr ? "" : name;
  value.type = type;
  if (type == REG_SZ) {
    const char* text = reinterpret_cast<const char*>(data);
    value.text = data == nullptr ? std::string() : std::string(text, strnlen(text, size));
  } else if (type == REG_DWORD && data != nullptr && size >= 4) {
    std::memcpy(&value.number, data, sizeof value.number);
  } else {
    return ERROR_INVALID_PARAMETER;
  }
  LONG error = ERROR_SUCCESS;
  qv::HiveFile* file = TheRegistry().HiveOf(*opened, &error);
  if (file == nullptr)
    return error;
  const qv::HiveValue* old = file->hive.FindValue(opened->path, value.name);
  if (old != nullptr && old->type == value.type && old->text == value.text &&
      old->number == value.number)
    return ERROR_SUCCESS;
  if (!file->hive.SetValue(opened->path, value))
    return ERROR_INVALID_PARAMETER;
  file->dirty = true;
  return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, const char* name) {
  const qv::OpenKey* opened = TheRegistry().Find(key);
  if (opened == nullptr)
    return ERROR_INVALID_HANDLE;
  LONG error = ERROR_SUCCESS;
  qv::HiveFile* file = TheRegistry().HiveOf(*opened, &error);
  if (file == nullptr)
    return error;
  if (!file->hive.DeleteValue(opened->path, name == nullptr ? "" : name))
    return ERROR_FILE_NOT_FOUND;
  file->dirty = true;
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
  qv::OpenKey opened;
  LONG error = qv::SubKey(key, subKey, &opened);
  if (error != ERROR_SUCCESS)
    return error;
  qv::HiveFile* file = TheRegistry().HiveOf(opened, &error);
  if (file == nullptr)
    return error;
  if (opened.path.empty() || !file->hive.HasKey(opened.path))
    return opened.path.empty() ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  if (!file->hive.DeleteKey(opened.path))
    return ERROR_ACCESS_DENIED;  // keys lie below it
  file->dirty = true;
  return ERROR_SUCCESS;
}

LONG RegEnumKeyA(HKEY key, DWORD index, char* name, DWORD size) {
  const qv::OpenKey* opened = TheRegistry().Find(key);
  if (opened == nullptr)
    return ERROR_INVALID_HANDLE;
  if (name == nullptr)
    return ERROR_INVALID_PARAMETER;
  LONG error = ERROR_SUCCESS;
  qv::HiveFile* file = TheRegistry().HiveOf(*opened, &error);
  if (file == nullptr)
    return error;
  std::vector<std::string> names = file->hive.SubKeys(opened->path);
  if (index >= names.size())
    return ERROR_NO_MORE_ITEMS;
  const std::string& found = names[index];
  if (found.size() + 1 > size)
    return ERROR_MORE_DATA;
  std::memcpy(name, found.c_str(), found.size() + 1);
  return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* /*reserved*/,
                   DWORD* type, BYTE* data, DWORD* dataSize) {
  const qv::OpenKey* opened = TheRegistry().Find(key);
  if (opened == nullptr)
    return ERROR_INVALID_HANDLE;
  if (name == nullptr || nameSize == nullptr)
    return ERROR_INVALID_PARAMETER;
  LONG error = ERROR_SUCCESS;
  qv::HiveFile* file = TheRegistry().HiveOf(*opened, &error);
  if (file == nullptr)
    return error;
  const std::list<qv::HiveValue>* values = file->hive.Values(opened->path);
  if (values == nullptr || index >= values->size())
    return ERROR_NO_MORE_ITEMS;
  const qv::HiveValue& value = *std::next(values->begin(), index);
  if (value.name.size() + 1 > *nameSize)
    return ERROR_MORE_DATA;
  std::memcpy(name, value.name.c_str(), value.name.size() + 1);
  *nameSize = static_cast<DWORD>(value.name.size());
  return qv::CopyValue(*opened, value.name.c_str(), type, data, dataSize);
}

BOOL GetComputerNameA(char* buffer, DWORD* size) {
  qv::World* world = qv::World::Current();
  if (world == nullptr || buffer == nullptr || size == nullptr)
    return FALSE;
  const std::string& name = world->ConsoleName();
  if (*size < name.size() + 1) {
    *size = static_cast<DWORD>(name.size() + 1);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return TRUE;
}

DWORD WNetCancelConnection2A(const char* name, DWORD /*flags*/, BOOL /*force*/) {
  if (name == nullptr)
    return ERROR_INVALID_PARAMETER;
  TheRegistry().Cancelled().push_back(name);
  auto& open = TheRegistry().Connections();
  for (auto it = open.begin(); it != open.end(); ++it) {
    if (qv::EqualsNoCase(*it, name)) {
      open.erase(it);
      return NO_ERROR;
    }
  }
  return ERROR_NOT_CONNECTED;
}
