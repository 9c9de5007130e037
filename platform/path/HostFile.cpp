#include "platform/path/HostFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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
  return stamp;
}

}  // namespace

bool ReadHostFile(const std::string& hostPath, std::string* bytes, HostStamp* stamp) {
  int fd = ::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
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
      ::close(fd);
      return -1;
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
  return true;
}

bool WriteHostFileAtomic(const std::string& hostPath, std::string_view bytes) {
  std::size_t slash = hostPath.rfind('/');
  std::string dir = slash == std::string::npos ? "." : hostPath.substr(0, slash);
  std::string base = slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
  std::string temp = dir + "/." + base + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0)
    return false;
  bool ok = ::fchmod(fd, 0644) == 0;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0)
    ok = false;
  if (ok && ::rename(temp.c_str(), hostPath.c_str()) != 0)
    ok = false;
  if (!ok)
    ::unlink(temp.c_str());
  return ok;
}

HostStamp StampHostFile(const std::string& hostPath) {
  struct stat st {};
  if (::lstat(hostPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return HostStamp();
  return StampOf(st);
}

}  // namespace qv
