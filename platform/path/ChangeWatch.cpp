#include "platform/path/ChangeWatch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <unordered_map>

namespace qv {
namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a plain flag");

// Set by the SIGIO handler when the kernel has queued events; cleared before they are read.
std::atomic<bool> g_signalled{false};

void OnSignal(int /*signal*/) {
  g_signalled.store(true);
}

constexpr unsigned kFileEvents =
    IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr unsigned kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

class Watcher {
 public:
  Watcher() {
    struct sigaction old {};
    if (::sigaction(SIGIO, nullptr, &old) != 0 || old.sa_handler != SIG_DFL ||
        (old.sa_flags & SA_SIGINFO) != 0)
      return;  // someone else wants SIGIO
    int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
      return;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESTART;
    ::sigemptyset(&action.sa_mask);
    if (::sigaction(SIGIO, &action, nullptr) != 0 || ::fcntl(fd, F_SETOWN, ::getpid()) != 0 ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_ASYNC) != 0) {
      ::close(fd);
      return;
    }
    fd_ = fd;
  }
  ~Watcher() {
    if (fd_ >= 0)
      ::close(fd_);  // the handler stays: a late signal must not end the process
  }
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  bool Watch(std::string host, bool contents, WatchTicket* ticket) {
    Unwatch(ticket);
    if (fd_ < 0)
      return false;
    while (host.size() > 1 && host.back() == '/')
      host.pop_back();
    std::size_t slash = host.rfind('/');
    std::string folder = slash == 0 ? "/" : host.substr(0, slash);
    int file = Add(
        host, contents ? kFolderEvents | kFileEvents | IN_ONLYDIR : kFileEvents | IN_DONT_FOLLOW);
    if (file < 0)
      return false;
    int dir = AddFolder(folder);
    if (dir < 0) {
      Drop(file);
      return false;
    }
    // What happened before now is the caller's to check. Nothing is queued unless the
    // signal came; an event that races the look is counted later, which only costs a
    // needless read of the file.
    if (g_signalled.load(std::memory_order_acquire))
      Drain();
    ticket->file = file;
    ticket->folder = dir;
    ticket->fileSeen = watches_[file].changes;
    ticket->folderSeen = watches_[dir].changes;
    ticket->epoch = epoch_;
    return true;
  }

  void Unwatch(WatchTicket* ticket) {
    if (ticket->file >= 0)
      Drop(ticket->file);
    if (ticket->folder >= 0)
      Drop(ticket->folder);
    *ticket = WatchTicket();
  }

  bool Unchanged(WatchTicket* ticket) {
    if (ticket->file < 0)
      return false;
    if (!g_signalled.load(std::memory_order_acquire) && ticket->epoch == epoch_)
      return true;
    Drain();
    if (watches_[ticket->file].changes != ticket->fileSeen ||
        watches_[ticket->folder].changes != ticket->folderSeen)
      return false;
    ticket->epoch = epoch_;
    return true;
  }

 private:
  struct State {
    int refs = 0;
    unsigned long long changes = 0;
    bool gone = false;   // the kernel dropped the watch (its file went away)
    bool moved = false;  // the watched folder itself was moved or removed
    std::string folder;  // the path a folder watch was added for, "" for a file
  };

  // The watch of a folder. The files of one folder share it: while it stands, and its folder
  // was not moved or removed, no system call is needed to take it again. (A folder above it
  // being renamed is not seen here; callers walk their paths now and then for that.)
  int AddFolder(const std::string& folder) {
    if (g_signalled.load(std::memory_order_acquire))
      Drain();  // learn of folders moved meanwhile
    auto known = folders_.find(folder);
    if (known != folders_.end()) {
      State& state = watches_[known->second];
      if (!state.gone && !state.moved) {
        ++state.refs;
        return known->second;
      }
      folders_.erase(known);
    }
    int wd = Add(folder, kFolderEvents | IN_ONLYDIR);
    if (wd >= 0) {
      State& state = watches_[wd];
      state.moved = false;
      if (state.folder.empty()) {
        state.folder = folder;
        folders_[folder] = wd;
      }
    }
    return wd;
  }

  // Adds or shares the watch of a path. The same inode always gets the same descriptor, and
  // the events asked for are added to those it has: a folder watched for its entries and for
  // a file in it sees both, and counts either as a change for both.
  int Add(const std::string& path, unsigned mask) {
    int wd = ::inotify_add_watch(fd_, path.c_str(), mask | IN_MASK_ADD);
    if (wd < 0)
      return -1;
    State& state = watches_[wd];
    if (state.gone) {  // a new watch under a number the kernel gave back
      state.gone = false;
      ++state.changes;
    }
    ++state.refs;
    return wd;
  }

  void Drop(int wd) {
    auto it = watches_.find(wd);
    if (it == watches_.end() || --it->second.refs > 0)
      return;
    if (!it->second.gone)
      ::inotify_rm_watch(fd_, wd);
    auto folder = folders_.find(it->second.folder);
    if (folder != folders_.end() && folder->second == wd)
      folders_.erase(folder);
    watches_.erase(it);
  }

  // Reads every queued event and counts it against its watch.
  void Drain() {
    g_signalled.store(false);
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0)
        return;  // EAGAIN: the queue is empty
      ++epoch_;
      for (ssize_t at = 0; at < n;) {
        inotify_event event{};
        std::memcpy(&event, buffer + at, sizeof event);
        at += static_cast<ssize_t>(sizeof event + event.len);
        if ((event.mask & IN_Q_OVERFLOW) != 0) {
          for (auto& [wd, state] : watches_)
            ++state.changes;  // events were lost: anything may have changed
          continue;
        }
        auto it = watches_.find(event.wd);
        if (it == watches_.end())
          continue;
        ++it->second.changes;
        if ((event.mask & IN_IGNORED) != 0)
          it->second.gone = true;
        if ((event.mask & (IN_MOVE_SELF | IN_DELETE_SELF)) != 0)
          it->second.moved = true;
      }
    }
  }

  int fd_ = -1;
  std::unordered_map<int, State> watches_;
  std::unordered_map<std::string, int> folders_;  // folder path -> its shared watch
  unsigned long long epoch_ = 0;
};

Watcher& TheWatcher() {
  static Watcher watcher;
  return watcher;
}

}  // namespace

bool Watch(const std::string& hostPath, WatchTicket* ticket) {
  return TheWatcher().Watch(hostPath, false, ticket);
}

bool WatchFolder(const std::string& hostFolder, WatchTicket* ticket) {
  return TheWatcher().Watch(hostFolder, true, ticket);
}

void Unwatch(WatchTicket* ticket) {
  TheWatcher().Unwatch(ticket);
}

bool Unchanged(WatchTicket* ticket) {
  return TheWatcher().Unchanged(ticket);
}

}  // namespace qv
