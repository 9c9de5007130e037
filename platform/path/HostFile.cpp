#include "platform/path/HostFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

}  // namespace

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

bool WriteHostFileAtomic(const std::string& hostPath, std::string_view bytes) {
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

  std::string temp = dir + "/." + base + ".XXXXXX";
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
  ok = ok && ::fsync(fd) == 0;  // the contents are on disk before any name points at them
  if (::close(fd) != 0)
    ok = false;
  if (ok && ::rename(temp.c_str(), hostPath.c_str()) != 0)
    ok = false;
  if (!ok) {
    int error = errno;
    ::unlink(temp.c_str());
    errno = error;
    return false;
  }
  // The rename itself is durable once the folder is.
  return SyncFolder(dir);
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

}  // namespace qv
