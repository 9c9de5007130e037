#include "platform/profile/Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
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

constexpr std::size_t kMaxEntries = 32;  // parsed files kept
constexpr std::size_t kMaxMemo = 4096;   // Windows path -> host path memos kept
constexpr long long kSettleSeconds = 2;  // a file younger than this may change unseen

constexpr long long kPathCheckNanos = 50'000'000;  // see Entry::Current

long long MonotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);  // read without a system call
  return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

// What fstat() tells of an open file. Every change to the file itself shows here: a write
// moves its size or modification time, a rename moves its change time, and its replacement
// or removal drops its link count.
struct OpenStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  nlink_t links = 0;
  long long mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;
  bool operator==(const OpenStamp&) const = default;
};

bool StampOpenFile(int fd, OpenStamp* stamp) {
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    return false;
  *stamp = {st.st_dev,         st.st_ino,          st.st_size,        st.st_nlink,
            st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
  return true;
}

struct Entry {
  Entry() = default;
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;
  ~Entry() { Close(); }

  void Close() {
    if (fd >= 0)
      ::close(fd);
    fd = -1;
  }

  // True when a trusted copy is still current, judged without walking the path: the open
  // file is unchanged, and the path was last seen leading to it less than kPathCheckNanos
  // ago. The path is walked again after that, which catches what the open file cannot show,
  // a folder renamed above it.
  bool Current(const std::string& host) {
    if (!trusted || fd < 0)
      return false;
    OpenStamp now;
    if (!StampOpenFile(fd, &now) || !(now == open))
      return false;
    long long clock = MonotonicNanos();
    if (clock - pathChecked < kPathCheckNanos)
      return true;
    if (!(StampHostFile(host) == stamp))
      return false;
    pathChecked = clock;
    return true;
  }

  IniText text;
  HostStamp stamp;  // the disk file `text` was read from or last written to
  int fd = -1;      // that file, kept open while the copy is trusted
  OpenStamp open;   // its fstat() then
  long long pathChecked = 0;
  bool trusted = false;  // an unchanged file proves `text` current
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
    if (world == nullptr || file == nullptr)
      return nullptr;
    if (generation_ != World::Generation())
      Reset();
    // A form reads one file many times in a row: the last file asked for is found again by
    // its name alone.
    if (last_ != nullptr && lastName_ == file && !last_->dirty && !last_->removed &&
        last_->Current(lastHost_)) {
      *host = lastHost_;
      return Touch(last_);
    }
    last_ = nullptr;
    Entry* found = Lookup(world, file, host);
    if (found != nullptr && !found->removed) {
      last_ = found;
      lastName_ = file;
      lastHost_ = *host;
    }
    return found;
  }

  Entry* Lookup(World* world, const char* file, std::string* host) {
    auto memo = memo_.find(std::string_view(file));
    bool remembered = memo != memo_.end();
    if (remembered) {
      *host = memo->second;
    } else {
      if (!world->MapPath(file, host, nullptr))
        return nullptr;
      if (memo_.size() >= kMaxMemo)
        memo_.clear();
      memo_.emplace(file, *host);
    }
    Entry* entry = Find(*host);
    if (entry != nullptr && (entry->dirty || entry->removed))
      return Touch(entry);
    if (entry != nullptr && entry->Current(*host))
      return Touch(entry);
    HostStamp stamp = StampHostFile(*host);
    if (entry != nullptr && entry->trusted && entry->stamp == stamp)
      return Touch(entry);
    if (!stamp.exists && remembered) {
      // The file may now exist under another letter case: map the name again.
      std::string again;
      if (!world->MapPath(file, &again, nullptr))
        return nullptr;
      if (again != *host) {
        memo_[file] = again;
        *host = again;
        entry = Find(again);
        if (entry != nullptr && (entry->dirty || entry->removed))
          return Touch(entry);
        stamp = StampHostFile(again);
      }
    }
    if (entry == nullptr)
      entry = Insert(*host);
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
      if (!WriteHostFileAtomic(host, entry->text.Bytes()))
        return false;
      entry->dirty = false;
    } else {
      return true;
    }
    entry->stamp = StampHostFile(host);
    Keep(host, -1, entry);  // we know what we wrote
    return true;
  }

  bool FlushAll() {
    bool ok = true;
    for (auto& [host, entry] : entries_)
      ok = Flush(host, entry.get()) && ok;
    return ok;
  }

  void Reset() {
    FlushAll();
    entries_.clear();
    last_ = nullptr;
    memo_.clear();
    generation_ = World::Generation();
  }

 private:
  Entry* Touch(Entry* entry) {
    entry->lastUse = ++clock_;
    return entry;
  }

  Entry* Insert(const std::string& host) {
    if (entries_.size() >= kMaxEntries)
      Evict();
    auto& slot = entries_[host];
    slot = std::make_unique<Entry>();
    return slot.get();
  }

  // Drops the least recently used entry that has nothing unwritten (flushing all if none).
  void Evict() {
    auto oldest = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->second->dirty || it->second->removed)
        continue;
      if (oldest == entries_.end() || it->second->lastUse < oldest->second->lastUse)
        oldest = it;
    }
    if (oldest == entries_.end()) {
      FlushAll();
      oldest = entries_.begin();
      for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->second->lastUse < oldest->second->lastUse)
          oldest = it;
      }
    }
    if (oldest->second.get() == last_)
      last_ = nullptr;
    entries_.erase(oldest);
  }

  static void Load(const std::string& host, const HostStamp& stamp, Entry* entry) {
    entry->Close();
    entry->trusted = false;
    std::string bytes;
    int fd = stamp.exists ? OpenHostFile(host) : -1;
    bool read = fd >= 0 && ReadOpenFile(fd, &bytes);
    entry->text.Parse(read ? bytes : std::string_view());
    entry->stamp = stamp;
    // Trust the copy only when the file had settled before we read it, and had not changed
    // while we read it; otherwise every call reads it again until it settles.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // Both times count: a change whose modification time was set back still moves the
    // change time, and only a settled change time proves that no change shares its tick.
    bool settled = !stamp.exists || (stamp.mtimeSec + kSettleSeconds <= now.tv_sec &&
                                     stamp.ctimeSec + kSettleSeconds <= now.tv_sec);
    if (settled && StampHostFile(host) == stamp)
      Keep(host, fd, entry);
    else if (fd >= 0)
      ::close(fd);
  }

  // Marks the entry's copy trusted. A present file stays open (fd, or opened here when -1) so
  // that later calls can check it cheaply; a missing one is checked by its path each time.
  static void Keep(const std::string& host, int fd, Entry* entry) {
    entry->Close();
    entry->trusted = true;
    if (!entry->stamp.exists)
      return;
    if (fd < 0)
      fd = OpenHostFile(host);
    if (fd >= 0 && StampOpenFile(fd, &entry->open) && entry->open.ino == entry->stamp.ino &&
        entry->open.dev == entry->stamp.dev && StampHostFile(host) == entry->stamp) {
      entry->fd = fd;
      entry->pathChecked = MonotonicNanos();
    } else if (fd >= 0) {
      ::close(fd);
    }
  }

  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
  // Heterogeneous lookup, so that a read does not copy the file name to find its memo.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, std::string, NameHash, std::equal_to<>> memo_;
  Entry* last_ = nullptr;  // the entry the last call found, with its names
  std::string lastName_, lastHost_;
  unsigned generation_ = 0;
  unsigned long long clock_ = 0;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

bool FolderExists(const std::string& host) {
  std::size_t slash = host.rfind('/');
  if (slash == std::string::npos)
    return false;
  return ::access(host.substr(0, slash).c_str(), W_OK | X_OK) == 0;
}

}  // namespace

bool FlushProfiles() {
  return TheCache().FlushAll();
}

int RemoveCachedProfile(const std::string& hostPath) {
  Entry* entry = TheCache().Find(hostPath);
  if (entry == nullptr || entry->removed)
    return -1;
  if (!entry->dirty && !StampHostFile(hostPath).exists)
    return -1;
  entry->removed = true;
  entry->dirty = false;
  entry->text = IniText();
  return 0;
}

void ResetProfiles() {
  TheCache().Reset();
}

}  // namespace qv

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* out,
                               DWORD size, const char* fileName) {
  if (out == nullptr || size == 0)
    return 0;
  std::string_view value = def != nullptr ? def : "";
  if (section != nullptr && key != nullptr) {
    thread_local std::string host;  // reused: a read allocates nothing once warm
    qv::Entry* entry = qv::TheCache().Acquire(fileName, &host);
    if (entry != nullptr && !entry->removed)
      entry->text.Get(section, key, &value);
  }
  std::size_t n = value.size() < size - 1 ? value.size() : size - 1;
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
  return static_cast<DWORD>(n);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName) {
  if (section == nullptr || key == nullptr || value == nullptr)
    return FALSE;
  std::string_view s(section), k(key), v(value);
  if (!qv::IniText::CanWrite(s, k, v))
    return FALSE;
  std::string host;
  qv::Entry* entry = qv::TheCache().Acquire(fileName, &host);
  if (entry == nullptr)
    return FALSE;
  bool onDisk = entry->stamp.exists && !entry->removed;
  if (!entry->dirty && !onDisk && !qv::FolderExists(host))
    return FALSE;  // cannot be created
  if (entry->removed) {
    entry->removed = false;
    entry->text = qv::IniText();
    entry->dirty = true;  // the file comes back, even if only with this one line
  }
  if (entry->text.Set(s, k, v))
    entry->dirty = true;
  return TRUE;
}
