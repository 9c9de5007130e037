#include "platform/path/HostFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace qv {

namespace {

HostStamp StampOf(const struct stat& st) {
  HostStamp stamp;
  stamp.exists = true;
  stamp.dev = st.st_dev;
  stamp.ino = st.st_ino;
  stamp.size = static_cast<unsigned long long>(st.st_size);
  stamp.mtimeSec = st.st_mtim.tv_sec;
  stamp.mtimeNsec = st.st_mtim.tv_nsec;
  stamp.ctimeSec = st.st_ctim.tv_sec;
  stamp.ctimeNsec = st.st_ctim.tv_nsec;
  stamp.links = st.st_nlink;
  stamp.mode = st.st_mode & 07777;
  return stamp;
}

bool Absent(int error) {
  return error == ENOENT || error == ENOTDIR;
}

// The permission bits a program's new files get: 0666 less the umask, read from the process
// status so that the umask need not be changed to learn it.
mode_t NewFileMode() {
  static const mode_t mode = [] {
    mode_t mask = 022;
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
      char line[256];
      while (std::fgets(line, sizeof line, status) != nullptr) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
          mask = static_cast<mode_t>(value);
          break;
        }
      }
      std::fclose(status);
    }
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool SyncFolder(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool IsTempLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool Refuse(int error) {
  errno = error;
  return false;
}

}  // namespace

std::string RealHostPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr)
    return std::string();
  return resolved;
}

bool HostPathWithin(const std::string& path, const std::string& folder) {
  return !folder.empty() && (path == folder || (path.size() > folder.size() &&
                                                path.compare(0, folder.size(), folder) == 0 &&
                                                (folder == "/" || path[folder.size()] == '/')));
}

bool ReadOnlyMode(unsigned mode) {
  return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

std::string HostTempTemplate(std::string_view targetName) {
  constexpr std::size_t kRoom = kMaxNameBytes - 2 - kTempSuffixBytes;  // two dots, the suffix
  std::string name = ".";
  name += targetName.substr(0, kRoom);
  name += '.';
  name.append(kTempSuffixBytes, 'X');
  return name;
}

bool IsHostTempName(std::string_view name) {
  if (name.size() < 3 + kTempSuffixBytes || name.size() > kMaxNameBytes || name.front() != '.' ||
      name[name.size() - kTempSuffixBytes - 1] != '.')
    return false;
  for (char c : name.substr(name.size() - kTempSuffixBytes)) {
    if (!IsTempLetter(c))
      return false;
  }
  return true;
}

bool RemoveStaleHostTemps(const std::string& folder, long long minAgeSeconds,
                          std::vector<std::string>* removed) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return false;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  while (dirent* entry = ::readdir(dir)) {
    struct stat st {};
    if (!IsHostTempName(entry->d_name) ||
        ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode) || ReadOnlyMode(st.st_mode) ||
        st.st_mtim.tv_sec + minAgeSeconds > now.tv_sec)
      continue;
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0 && removed != nullptr)
      removed->push_back(entry->d_name);
  }
  ::closedir(dir);
  return true;
}

bool ReadHostFile(const std::string& hostPath, std::string* bytes, HostStamp* stamp,
                  ReadFailure* failure) {
  ReadFailure ignored;
  if (failure == nullptr)
    failure = &ignored;
  *failure = ReadFailure::kUnreadable;
  int fd = ::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (Absent(errno))
      *failure = ReadFailure::kMissing;
    return false;
  }
  struct stat st {};
  bool stated = ::fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    int error = stated ? EINVAL : errno;  // EINVAL: not a regular file
    ::close(fd);
    errno = error;
    return false;
  }
  // One byte more than the file holds, so that a short read ends the loop without another
  // read to find the end.
  std::string out(static_cast<std::size_t>(st.st_size) + 1, '\0');
  std::size_t got = 0;
  while (true) {
    if (got == out.size())
      out.resize(out.size() + 4096);  // the file grew while we read
    ssize_t n = ::pread(fd, out.data() + got, out.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      int error = errno;
      ::close(fd);
      errno = error;
      return false;
    }
    got += static_cast<std::size_t>(n);
    if (n == 0 || got < out.size())
      break;
  }
  ::close(fd);
  out.resize(got);
  *bytes = std::move(out);
  if (stamp != nullptr)
    *stamp = StampOf(st);
  *failure = ReadFailure::kNone;
  return true;
}

bool StageHostFile(const std::string& hostPath, std::string_view bytes, bool flush,
                   StagedHostFile* staged) {
  std::size_t slash = hostPath.rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".")
                    : slash == 0               ? std::string("/")
                                               : hostPath.substr(0, slash);
  std::string base = slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);

  // The file replaced lends its mode and owner; a path we cannot look at is not replaced.
  struct stat old {};
  bool replacing = ::lstat(hostPath.c_str(), &old) == 0;
  if (!replacing && !Absent(errno))
    return false;
  if (replacing && S_ISREG(old.st_mode) && ReadOnlyMode(old.st_mode))
    return Refuse(EACCES);

  std::string temp = dir + "/" + HostTempTemplate(base);
  int fd = ::mkstemp(temp.data());
  if (fd < 0)
    return false;
  bool ok = true;
  if (replacing && S_ISREG(old.st_mode)) {
    // Another owner is kept only where we may give the file away (as root); else the file
    // is ours, with the old permission bits.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM)
      ok = false;
    ok = ok && ::fchmod(fd, old.st_mode & 07777) == 0;
  } else {
    ok = ::fchmod(fd, NewFileMode()) == 0;
  }
  ok = ok && WriteAll(fd, bytes);
  ok = ok && (!flush || ::fsync(fd) == 0);
  struct stat st {};
  ok = ok && (flush || ::fstat(fd, &st) == 0);
  if (::close(fd) != 0)
    ok = false;
  if (!ok) {
    int error = errno;
    ::unlink(temp.c_str());
    errno = error;
    return false;
  }
  staged->temp = std::move(temp);
  staged->target = hostPath;
  staged->dev = flush ? 0 : st.st_dev;
  return true;
}

bool CommitHostFile(const StagedHostFile& staged) {
  if (::rename(staged.temp.c_str(), staged.target.c_str()) == 0)
    return true;
  AbandonHostFile(staged);
  return false;
}

void AbandonHostFile(const StagedHostFile& staged) {
  int error = errno;
  ::unlink(staged.temp.c_str());
  errno = error;
}

bool FlushHostFolder(const std::string& folder) {
  return SyncFolder(folder);
}

bool FlushHostFileSystem(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  bool ok = ::syncfs(fd) == 0;
  int error = errno;
  ::close(fd);
  errno = error;
  return ok;
}

bool WriteHostFileAtomic(const std::string& hostPath, std::string_view bytes) {
  // The contents are on disk before any name points at them.
  StagedHostFile staged;
  if (!StageHostFile(hostPath, bytes, true, &staged) || !CommitHostFile(staged))
    return false;
  // The rename itself is durable once the folder is.
  std::size_t slash = hostPath.rfind('/');
  return SyncFolder(slash == std::string::npos ? std::string(".")
                    : slash == 0               ? std::string("/")
                                               : hostPath.substr(0, slash));
}

HostStamp StampHostFile(const std::string& hostPath) {
  struct stat st {};
  if (::lstat(hostPath.c_str(), &st) != 0) {
    HostStamp stamp;
    stamp.failed = !Absent(errno);
    return stamp;
  }
  if (!S_ISREG(st.st_mode)) {
    HostStamp stamp;
    stamp.failed = true;  // something is there that is not a file we may use
    return stamp;
  }
  return StampOf(st);
}

HostRoot::HostRoot(const std::string& folder) : folder_(folder), real_(RealHostPath(folder)) {}

bool HostRoot::Contains(const std::string& hostPath) const {
  // Folders that do not exist yet hold no links: the nearest one that exists decides.
  std::string folder = hostPath;
  while (true) {
    std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
      return Refuse(EPERM);
    folder.erase(slash == 0 ? 1 : slash);
    std::string real = RealHostPath(folder);
    if (!real.empty())
      return HostPathWithin(real, real_) || Refuse(EPERM);
    if (errno != ENOENT || folder == "/")
      return false;
  }
}

bool HostRoot::MakeFolders(const std::string& folder) const {
  // The nearest folder that exists decides where the new ones go; each one made is looked at
  // again, so that a link planted meanwhile is not gone through.
  std::vector<std::string> missing;
  std::string at = folder;
  while (at.size() > 1 && at.back() == '/')
    at.pop_back();
  struct stat st {};
  while (::lstat(at.c_str(), &st) != 0) {
    std::size_t slash = at.rfind('/');
    if (!Absent(errno) || slash == std::string::npos || at == "/")
      return false;
    missing.push_back(at.substr(slash + 1));
    at.erase(slash == 0 ? 1 : slash);
  }
  std::string real = RealHostPath(at);
  if (!HostPathWithin(real, real_))
    return Refuse(EPERM);
  if (::stat(real.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return Refuse(ENOTDIR);
  for (auto name = missing.rbegin(); name != missing.rend(); ++name) {
    at += (at == "/" ? "" : "/") + *name;
    if (::mkdir(at.c_str(), 0777) != 0 && errno != EEXIST)
      return false;
    if (::lstat(at.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return Refuse(S_ISLNK(st.st_mode) ? EPERM : ENOTDIR);
  }
  return true;
}

bool HostRoot::Read(const std::string& hostPath, std::string* bytes, HostStamp* stamp,
                    ReadFailure* failure) const {
  if (!Contains(hostPath)) {
    if (failure != nullptr)
      *failure = ReadFailure::kUnreadable;
    return false;
  }
  return ReadHostFile(hostPath, bytes, stamp, failure);
}

bool HostRoot::Write(const std::string& hostPath, std::string_view bytes) const {
  struct stat st {};
  if (!Contains(hostPath))
    return false;
  if (::lstat(hostPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return Refuse(S_ISDIR(st.st_mode) ? EISDIR : EPERM);  // a link or a folder stays
  return WriteHostFileAtomic(hostPath, bytes);
}

bool HostRoot::Stage(const std::string& hostPath, std::string_view bytes, bool flush,
                     StagedHostFile* staged) const {
  struct stat st {};
  if (::lstat(hostPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return Refuse(S_ISDIR(st.st_mode) ? EISDIR : EPERM);  // a link or a folder stays
  return StageHostFile(hostPath, bytes, flush, staged);
}

bool HostRoot::Remove(const std::string& hostPath) const {
  if (!Contains(hostPath))
    return false;
  struct stat st {};
  if (::lstat(hostPath.c_str(), &st) != 0)
    return false;
  if (!S_ISREG(st.st_mode))
    return Refuse(S_ISDIR(st.st_mode) ? EISDIR : EPERM);
  if (ReadOnlyMode(st.st_mode))
    return Refuse(EACCES);
  return ::unlink(hostPath.c_str()) == 0;
}

int HostRoot::OpenInPlace(const std::string& hostPath, int flags) const {
  if (!Contains(hostPath))
    return -1;
  int fd = ::open(hostPath.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0)
    return -1;
  struct stat st {};
  int error = 0;
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (!S_ISREG(st.st_mode))
    error = EINVAL;
  else if (st.st_nlink != 1)
    error = EMLINK;
  else if ((flags & O_ACCMODE) != O_RDONLY && ReadOnlyMode(st.st_mode))
    error = EACCES;
  else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    error = errno;
  if (error == 0)
    return fd;
  ::close(fd);
  errno = error;
  return -1;
}

}  // namespace qv
