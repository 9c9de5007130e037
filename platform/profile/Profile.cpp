#include "platform/profile/Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <list>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/path/ChangeWatch.h"
#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/text/IniText.h"

namespace qv {
namespace {

// A console lists thousands of forms and reads each twice in one refresh, so many parsed
// files are kept, each watched for the cheapest check.
constexpr std::size_t kMaxEntries = 8192;            // parsed files kept
constexpr std::size_t kMaxBytes = 64 * 1024 * 1024;  // their text, at most
constexpr std::size_t kMaxMemo = 65536;              // Windows path -> host path memos kept
constexpr long long kSettleSeconds = 2;              // a file younger than this may change unseen

constexpr long long kPathCheckNanos = 50'000'000;  // see Entry::Current

long long MonotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);  // read without a system call
  return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

struct Entry {
  Entry() = default;
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;
  ~Entry() { Unwatch(&ticket); }

  // True when a trusted copy is still current, judged without a system call: its watch saw
  // no change, and the path was last seen leading to the file less than kPathCheckNanos
  // ago. The path is walked again after that, which catches what the watch cannot see, a
  // folder renamed above the file.
  bool Current(const std::string& host) {
    if (!trusted || !watched)
      return false;
    if (!Unchanged(&ticket))
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
  HostStamp stamp;     // the disk file `text` was read from or last written to
  WatchTicket ticket;  // that file's watch, while `watched`
  bool watched = false;
  long long pathChecked = 0;
  int checks = 0;                     // times a trusted copy was checked by a look at the file
  std::size_t bytes = 0;              // of `text`, as last counted
  const std::string* host = nullptr;  // the cache's key of this entry
  std::list<Entry*>::iterator use;    // its place in the use order, most recent first
  bool trusted = false;               // an unchanged file proves `text` current
  bool unreadable = false;            // the file is there but could not be read: hands off
  bool dirty = false;                 // `text` is newer than the disk
  bool removed = false;  // the file is gone; the disk still has it until the next flush
};

class Cache {
 public:
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
    if (entry == nullptr && !remembered) {
      // A file not seen before is read at once: the read says what is there.
      entry = Insert(*host);
      Load(*host, entry);
      return Touch(entry);
    }
    if (entry != nullptr && (entry->dirty || entry->removed))
      return Touch(entry);
    if (entry != nullptr && entry->Current(*host))
      return Touch(entry);
    // A file read a third time is watched, so that later reads cost no system call: watch
    // first, then look, so that a change after the look shows in the watch. (A listing reads
    // each file twice; a watch would not pay for itself there.)
    if (entry != nullptr && entry->trusted && ++entry->checks >= 2)
      StartWatch(*host, entry);
    HostStamp stamp = StampHostFile(*host);
    if (entry != nullptr && entry->trusted && entry->stamp == stamp) {
      entry->pathChecked = MonotonicNanos();
      return Touch(entry);
    }
    if (remembered) {
      // The file is read again: map its name again first, as the folders on its way (or
      // the letter case of its name) may have changed since it was remembered.
      std::string again;
      if (!world->MapPath(file, &again, nullptr)) {
        memo_.erase(std::string(file));
        return nullptr;
      }
      if (again != *host) {
        memo_[file] = again;
        *host = again;
        entry = Find(again);
        if (entry != nullptr && (entry->dirty || entry->removed))
          return Touch(entry);
      }
    }
    if (entry == nullptr)
      entry = Insert(*host);
    Load(*host, entry);
    return Touch(entry);
  }

  Entry* Find(const std::string& host) {
    auto it = entries_.find(host);
    return it == entries_.end() ? nullptr : it->second.get();
  }

  // Writes the entry's change to disk. When that fails the change is dropped, so that the
  // disk keeps what it had and the next call reads it again: success is decided once.
  bool Flush(const std::string& host, Entry* entry) {
    if (!entry->dirty && !entry->removed)
      return true;
    World* world = World::Current();
    bool inside = world != nullptr && world->Contains(host);
    bool ok = inside;
    if (ok && entry->removed)
      ok = world->Root().Remove(host) || errno == ENOENT;
    else if (ok)
      ok = world->Root().Write(host, entry->text.Bytes());
    if (!ok) {
      Note(host, inside ? "could not be " + std::string(entry->removed ? "removed" : "written") +
                              ": " + std::strerror(errno)
                        : "lies outside the world; it was not written");
      Forget(entry);
      return false;
    }
    if (entry->removed)
      entry->text = IniText();
    entry->removed = false;
    entry->dirty = false;
    entry->stamp = StampHostFile(host);
    Keep(host, entry);  // we know what we wrote
    return true;
  }

  // Every entry made dirty or removed says so here, so that the flush the event loops make
  // whenever they wait costs nothing while nothing was written.
  void Unflushed() { unflushed_ = true; }

  bool FlushAll() {
    if (!unflushed_)
      return true;
    unflushed_ = false;  // a failed flush forgets its entry: nothing is left to write
    bool ok = true;
    for (auto& [host, entry] : entries_)
      ok = Flush(host, entry.get()) && ok;
    return ok;
  }

  // Drops what the entry holds; the next call reads the file again.
  void Forget(Entry* entry) {
    Release(entry);
    entry->dirty = false;
    entry->removed = false;
    entry->trusted = false;
    entry->stamp = HostStamp();
    entry->text = IniText();
    Count(entry);
    if (entry == last_)
      last_ = nullptr;
  }

  // Remembers a problem for TakeProfileProblems, once per file and kind.
  void Note(const std::string& host, const std::string& what) {
    std::string line = "the file " + host + " " + what;
    for (const std::string& known : problems_) {
      if (known == line)
        return;
    }
    problems_.push_back(line);
  }

  std::vector<std::string> TakeProblems() { return std::exchange(problems_, {}); }

  unsigned ReadFailures(const std::string& host) const {
    auto found = readFailures_.find(host);
    return found == readFailures_.end() ? 0 : found->second;
  }

  void Reset() {
    FlushAll();
    order_.clear();
    entries_.clear();
    bytes_ = 0;
    last_ = nullptr;
    memo_.clear();
    generation_ = World::Generation();
  }

 private:
  Entry* Touch(Entry* entry) {
    order_.splice(order_.begin(), order_, entry->use);
    return entry;
  }

  Entry* Insert(const std::string& host) {
    while (!entries_.empty() && (entries_.size() >= kMaxEntries || bytes_ > kMaxBytes))
      Evict();
    auto [it, added] = entries_.emplace(host, std::make_unique<Entry>());
    Entry* entry = it->second.get();
    entry->host = &it->first;
    order_.push_front(entry);
    entry->use = order_.begin();
    return entry;
  }

  // Drops the least recently used entry that has nothing unwritten (flushing all if none).
  void Evict() {
    auto oldest = order_.rbegin();
    while (oldest != order_.rend() && ((*oldest)->dirty || (*oldest)->removed))
      ++oldest;
    if (oldest == order_.rend()) {
      FlushAll();
      oldest = order_.rbegin();
    }
    Entry* entry = *oldest;
    if (entry == last_)
      last_ = nullptr;
    Release(entry);
    bytes_ -= entry->bytes;
    order_.erase(entry->use);
    entries_.erase(*entry->host);
  }

  // Stops watching the entry's file, if it is watched.
  void Release(Entry* entry) {
    if (!entry->watched)
      return;
    Unwatch(&entry->ticket);
    entry->watched = false;
  }

  // Watches the entry's file afresh. False when no watch could be had.
  bool StartWatch(const std::string& host, Entry* entry) {
    Release(entry);
    if (!Watch(host, &entry->ticket))
      return false;
    entry->watched = true;
    entry->pathChecked = MonotonicNanos();
    return true;
  }

  void Count(Entry* entry) {
    bytes_ -= entry->bytes;
    entry->bytes = entry->text.Size();
    bytes_ += entry->bytes;
  }

  // Reads the file into the entry. The stamp is that of the file opened and read.
  void Load(const std::string& host, Entry* entry) {
    Release(entry);
    entry->trusted = false;
    entry->unreadable = false;
    entry->checks = 0;
    std::string bytes;
    HostStamp opened;
    ReadFailure failure = ReadFailure::kNone;
    bool read = ReadHostFile(host, &bytes, &opened, &failure);
    if (!read && failure == ReadFailure::kUnreadable) {
      // A file we cannot read reads as empty, but is never written or removed; every call
      // tries it again.
      Note(host, "cannot be read (" + std::string(std::strerror(errno)) + "); it is left as it is");
      ++readFailures_[host];
      entry->unreadable = true;
      entry->text = IniText();
      entry->stamp = HostStamp();
      Count(entry);
      return;
    }
    entry->text.Parse(read ? std::move(bytes) : std::string());
    entry->stamp = opened;
    Count(entry);
    // A copy is trusted while the file's stamp is unchanged, when the file had settled before
    // we read it: a coarse clock may hide a second change in the same tick. Both times count:
    // a change whose modification time was set back still moves the change time, and only a
    // settled change time proves that no change shares its tick.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    bool settled = !opened.exists || (opened.mtimeSec + kSettleSeconds <= now.tv_sec &&
                                      opened.ctimeSec + kSettleSeconds <= now.tv_sec);
    if (settled) {
      entry->trusted = true;
      return;
    }
    // A file changed moments ago is trusted only under a watch: watch, then look again, so
    // that a change before the watch shows in the look and one after it in the watch.
    // Otherwise every call reads it again.
    if (StartWatch(host, entry) && StampHostFile(host) == opened) {
      entry->trusted = true;
      return;
    }
    Release(entry);
  }

  // Marks a copy we just wrote trusted. A present file is watched so that later calls can
  // check it cheaply; a missing one is checked by its path each time.
  void Keep(const std::string& host, Entry* entry) {
    Release(entry);
    Count(entry);
    entry->trusted = true;
    if (!entry->stamp.exists)
      return;
    // Watch, then look again: the file must still be the one we wrote.
    if (StartWatch(host, entry) && !(StampHostFile(host) == entry->stamp))
      entry->trusted = false;
  }

  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
  bool unflushed_ = false;
  // Heterogeneous lookup, so that a read does not copy the file name to find its memo.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, std::string, NameHash, std::equal_to<>> memo_;
  std::list<Entry*> order_;  // every entry, most recently used first
  std::size_t bytes_ = 0;    // text held by all entries
  Entry* last_ = nullptr;    // the entry the last call found, with its names
  std::string lastName_, lastHost_;
  unsigned generation_ = 0;
  std::vector<std::string> problems_;
  std::unordered_map<std::string, unsigned> readFailures_;  // by host path, never forgotten
};

Cache& TheCache() {
  // Never destroyed: freeing thousands of parsed files at exit is time the user waits for
  // and gains nothing. What is still unwritten is flushed at normal exit all the same.
  static Cache* const cache = new Cache();
  static const struct FlushAtExit {
    ~FlushAtExit() { cache->FlushAll(); }
  } flushAtExit;
  return *cache;
}

// A value keeps to one line: each line break (CR LF, CR or LF) becomes one blank.
std::string JoinLines(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\r' || c == '\n') {
      out.push_back(' ');
      if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
        ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
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

bool FlushProfile(const char* fileName) {
  std::string host;
  Entry* entry = TheCache().Acquire(fileName, &host);
  return entry != nullptr && TheCache().Flush(host, entry);
}

void DropProfileChanges(const char* fileName) {
  std::string host;
  if (Entry* entry = TheCache().Acquire(fileName, &host);
      entry != nullptr && (entry->dirty || entry->removed))
    TheCache().Forget(entry);
}

int RemoveProfileFile(const char* fileName) {
  std::string host;
  Entry* entry = TheCache().Acquire(fileName, &host);
  if (entry == nullptr || entry->removed)
    return -1;
  if (entry->unreadable) {
    TheCache().Note(host, "cannot be read; it was not removed");
    return -1;
  }
  if (!entry->dirty && !entry->stamp.exists)
    return -1;
  if (entry->stamp.exists && ReadOnlyMode(entry->stamp.mode)) {
    TheCache().Note(host, "is read-only; it was not removed");
    return -1;
  }
  entry->removed = true;
  entry->dirty = false;
  entry->text = IniText();
  TheCache().Unflushed();
  return 0;
}

std::vector<std::string> TakeProfileProblems() {
  return TheCache().TakeProblems();
}

unsigned ProfileReadFailures(const char* fileName) {
  World* world = World::Current();
  std::string host;
  if (world == nullptr || fileName == nullptr || !world->MapPath(fileName, &host, nullptr))
    return 0;
  return TheCache().ReadFailures(host);
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
  std::string oneLine = qv::JoinLines(value);
  std::string_view s(section), k(key), v(oneLine);
  if (!qv::IniText::CanWrite(s, k, v))
    return FALSE;
  std::string host;
  qv::Entry* entry = qv::TheCache().Acquire(fileName, &host);
  if (entry == nullptr)
    return FALSE;
  if (entry->unreadable) {
    qv::TheCache().Note(host, "cannot be read; it was not written");
    return FALSE;
  }
  if (entry->stamp.exists && qv::ReadOnlyMode(entry->stamp.mode)) {
    qv::TheCache().Note(host, "is read-only; it was not written");
    return FALSE;
  }
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
  if (entry->dirty)
    qv::TheCache().Unflushed();
  return TRUE;
}
