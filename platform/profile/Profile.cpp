#include "platform/profile/Profile.h"

#include <unistd.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/profile/IniText.h"

namespace qv {
namespace {

constexpr std::size_t kMaxEntries = 32;     // parsed files kept
constexpr std::size_t kMaxMemo = 4096;      // Windows path -> host path memos kept
constexpr long long kSettleSeconds = 2;     // a file younger than this may change unseen

struct Entry {
  IniText text;
  HostStamp stamp;       // the disk file `text` was read from or last written to
  bool trusted = false;  // an equal stamp proves `text` current
  bool dirty = false;    // `text` is newer than the disk
  bool removed = false;  // the file is gone; the disk still has it until the next flush
  unsigned long long lastUse = 0;
};

class Cache {
 public:
  ~Cache() { FlushAll(); }

  // The entry for a Windows path, current with the disk; null when the world refuses it.
  // *host is the host path of the file.
  Entry* Acquire(const char* file, std::string* host) {
    World* world = World::Current();
    if (world == nullptr || file == nullptr) return nullptr;
    if (generation_ != World::Generation()) Reset();
    auto memo = memo_.find(std::string_view(file));
    bool remembered = memo != memo_.end();
    if (remembered) {
      *host = memo->second;
    } else {
      if (!world->MapPath(file, host, nullptr)) return nullptr;
      if (memo_.size() >= kMaxMemo) memo_.clear();
      memo_.emplace(file, *host);
    }
    Entry* entry = Find(*host);
    if (entry != nullptr && (entry->dirty || entry->removed)) return Touch(entry);
    HostStamp stamp = StampHostFile(*host);
    if (entry != nullptr && entry->trusted && entry->stamp == stamp) return Touch(entry);
    if (!stamp.exists && remembered) {
      // The file may now exist under another letter case: map the name again.
      std::string again;
      if (!world->MapPath(file, &again, nullptr)) return nullptr;
      if (again != *host) {
        memo_[file] = again;
        *host = again;
        entry = Find(again);
        if (entry != nullptr && (entry->dirty || entry->removed)) return Touch(entry);
        stamp = StampHostFile(again);
      }
    }
    if (entry == nullptr) entry = Insert(*host);
    Load(*host, stamp, entry);
    return Touch(entry);
  }

  Entry* Find(const std::string& host) {
    auto it = entries_.find(host);
    return it == entries_.end() ? nullptr : it->second.get();
  }

  bool Flush(const std::string& host, Entry* entry) {
    if (entry->removed) {
      ::unlink(host.c_str());
      entry->removed = false;
      entry->dirty = false;
      entry->text = IniText();
    } else if (entry->dirty) {
      if (!WriteHostFileAtomic(host, entry->text.Bytes())) return false;
      entry->dirty = false;
    } else {
      return true;
    }
    entry->stamp = StampHostFile(host);
    entry->trusted = true;  // we know what we wrote
    return true;
  }

  bool FlushAll() {
    bool ok = true;
    for (auto& [host, entry] : entries_) ok = Flush(host, entry.get()) && ok;
    return ok;
  }

  void Reset() {
    FlushAll();
    entries_.clear();
    memo_.clear();
    generation_ = World::Generation();
  }

 private:
  Entry* Touch(Entry* entry) {
    entry->lastUse = ++clock_;
    return entry;
  }

  Entry* Insert(const std::string& host) {
    if (entries_.size() >= kMaxEntries) Evict();
    auto& slot = entries_[host];
    slot = std::make_unique<Entry>();
    return slot.get();
  }

  // Drops the least recently used entry that has nothing unwritten (flushing all if none).
  void Evict() {
    auto oldest = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->second->dirty || it->second->removed) continue;
      if (oldest == entries_.end() || it->second->lastUse < oldest->second->lastUse) oldest = it;
    }
    if (oldest == entries_.end()) {
      FlushAll();
      oldest = entries_.begin();
      for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->second->lastUse < oldest->second->lastUse) oldest = it;
      }
    }
    entries_.erase(oldest);
  }

  static void Load(const std::string& host, const HostStamp& stamp, Entry* entry) {
    std::string bytes;
    bool read = stamp.exists && ReadHostFile(host, &bytes);
    entry->text.Parse(read ? bytes : std::string_view());
    entry->stamp = stamp;
    // Trust the copy only when the file had settled before we read it, and had not changed
    // while we read it; otherwise every call reads it again until it settles.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    bool settled = !stamp.exists || stamp.mtimeSec + kSettleSeconds <= now.tv_sec;
    entry->trusted = settled && StampHostFile(host) == stamp;
  }

  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
  // Heterogeneous lookup, so that a read does not copy the file name to find its memo.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, std::string, NameHash, std::equal_to<>> memo_;
  unsigned generation_ = 0;
  unsigned long long clock_ = 0;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}


bool FolderExists(const std::string& host) {
  std::size_t slash = host.rfind('/');
  if (slash == std::string::npos) return false;
  return ::access(host.substr(0, slash).c_str(), W_OK | X_OK) == 0;
}

}  // namespace

bool FlushProfiles() { return TheCache().FlushAll(); }

int RemoveCachedProfile(const std::string& hostPath) {
  Entry* entry = TheCache().Find(hostPath);
  if (entry == nullptr || entry->removed) return -1;
  if (!entry->dirty && !StampHostFile(hostPath).exists) return -1;
  entry->removed = true;
  entry->dirty = false;
  entry->text = IniText();
  return 0;
}

void ResetProfiles() { TheCache().Reset(); }

}  // namespace qv

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* out,
                               DWORD size, const char* fileName) {
  if (out == nullptr || size == 0) return 0;
  std::string_view value = def != nullptr ? def : "";
  if (section != nullptr && key != nullptr) {
    thread_local std::string host;  // reused: a read allocates nothing once warm
    qv::Entry* entry = qv::TheCache().Acquire(fileName, &host);
    if (entry != nullptr && !entry->removed) entry->text.Get(section, key, &value);
  }
  std::size_t n = value.size() < size - 1 ? value.size() : size - 1;
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
  return static_cast<DWORD>(n);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName) {
  if (section == nullptr || key == nullptr || value == nullptr) return FALSE;
  std::string_view s(section), k(key), v(value);
  if (!qv::IniText::CanWrite(s, k, v)) return FALSE;
  std::string host;
  qv::Entry* entry = qv::TheCache().Acquire(fileName, &host);
  if (entry == nullptr) return FALSE;
  bool onDisk = entry->stamp.exists && !entry->removed;
  if (!entry->dirty && !onDisk && !qv::FolderExists(host)) return FALSE;  // cannot be created
  if (entry->removed) {
    entry->removed = false;
    entry->text = qv::IniText();
    entry->dirty = true;  // the file comes back, even if only with this one line
  }
  if (entry->text.Set(s, k, v)) entry->dirty = true;
  return TRUE;
}
