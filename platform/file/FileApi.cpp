#include "platform/file/FileApi.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "platform/text/CaseFold.h"

namespace {

struct FindState {
  std::vector<std::string> files;  // names, in the order they are handed out
  std::size_t next = 0;
};

bool Map(const char* winPath, std::string* host) {
  qv::World* world = qv::World::Current();
  return world != nullptr && winPath != nullptr && world->MapPath(winPath, host, nullptr);
}

// "*" and "?" wildcards over letters compared without regard to case.
bool Matches(const char* pattern, const char* name) {
  if (*pattern == '\0')
    return *name == '\0';
  if (*pattern == '*') {
    for (const char* rest = name;; ++rest) {
      if (Matches(pattern + 1, rest))
        return true;
      if (*rest == '\0')
        return false;
    }
  }
  if (*name == '\0')
    return false;
  if (*pattern != '?' && qv::ToLowerChar(*pattern) != qv::ToLowerChar(*name))
    return false;
  return Matches(pattern + 1, name + 1);
}

// A host name that a Windows path could not name is not listed.
bool WindowsCanName(const char* name) {
  for (const char* p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || std::strchr("<>:\"/\\|?*", c) != nullptr)
      return false;
  }
  std::size_t n = std::strlen(name);
  return n > 0 && n < MAX_PATH && name[n - 1] != '.' && name[n - 1] != ' ';
}

void Fill(const FindState& state, WIN32_FIND_DATAA* data) {
  const std::string& name = state.files[state.next];
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
}

struct FindHandle {
  std::string folder;
  FindState state;
};

// A name a reservation with this prefix hands out with the extension `ext`: the prefix, one to
// four hexadecimal digits and `ext` (case ignored).
bool HandedOut(const std::string& prefix, std::string_view name, std::string_view ext) {
  if (ext.empty() || name.size() < prefix.size() + 1 + ext.size())
    return false;
  std::size_t digits = name.size() - prefix.size() - ext.size();
  if (digits > 4 || !qv::EqualsNoCase(name.substr(0, prefix.size()), prefix) ||
      !qv::EqualsNoCase(name.substr(name.size() - ext.size()), ext))
    return false;
  for (std::size_t i = prefix.size(); i < prefix.size() + digits; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(name[i])))
      return false;
  }
  return true;
}

// A reserved ".tmp" name, or the name with the companion extension its caller turns it into.
bool ReservedName(const std::string& prefix, const char* name, std::string_view companion) {
  return HandedOut(prefix, name, ".tmp") || HandedOut(prefix, name, companion);
}

// A caller killed between reserving a name and writing its file leaves an empty reserved
// file that nothing will ever use. The next reservation in the folder removes such files once
// nothing has touched them for a while (a caller under way fills its file within moments).
constexpr long long kStaleReservationSeconds = 10 * 60;

void RemoveStaleReservations(const std::string& folder, const std::string& prefix,
                             std::string_view companion) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  while (dirent* entry = ::readdir(dir)) {
    struct stat st {};
    if (ReservedName(prefix, entry->d_name, companion) &&
        ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_size == 0 && st.st_nlink == 1 &&
        !qv::ReadOnlyMode(st.st_mode) && st.st_mtim.tv_sec + kStaleReservationSeconds <= now.tv_sec)
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

thread_local DWORD g_lastError = ERROR_SUCCESS;

HANDLE FailFind(LONG error) {
  g_lastError = static_cast<DWORD>(error);
  return INVALID_HANDLE_VALUE;
}

// The last error of a folder that could not be opened or read.
LONG FolderError(int error) {
  if (error == ENOENT || error == ENOTDIR)
    return ERROR_PATH_NOT_FOUND;
  if (error == EACCES || error == EPERM)
    return ERROR_ACCESS_DENIED;
  return ERROR_READ_FAULT;
}

}  // namespace

DWORD GetLastError() {
  return g_lastError;
}

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  if (pattern == nullptr || data == nullptr)
    return FailFind(ERROR_PATH_NOT_FOUND);
  const char* slash = std::strrchr(pattern, '\\');
  if (slash == nullptr || slash[1] == '\0')
    return FailFind(ERROR_PATH_NOT_FOUND);
  std::string folderWin(pattern, static_cast<std::size_t>(slash - pattern));
  if (folderWin.size() == 2 && folderWin[1] == ':')
    folderWin += '\\';
  std::string folder;
  if (!Map(folderWin.c_str(), &folder))
    return FailFind(ERROR_PATH_NOT_FOUND);
  qv::FlushProfiles();
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return FailFind(FolderError(errno));
  auto find = std::make_unique<FindHandle>(FindHandle{folder, {}});
  for (;;) {
    // readdir gives null at the end and on an error; only errno tells them apart.
    errno = 0;
    dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      int error = errno;
      ::closedir(dir);
      if (error != 0)
        return FailFind(FolderError(error));
      break;
    }
    if (!WindowsCanName(entry->d_name) || !Matches(slash + 1, entry->d_name))
      continue;
    // Regular files only; the kind comes with the entry on most file systems.
    bool regular = entry->d_type == DT_REG;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      regular = ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(st.st_mode);
    }
    if (regular)
      find->state.files.push_back(entry->d_name);
  }
  std::sort(find->state.files.begin(), find->state.files.end(),
            [](const std::string& a, const std::string& b) { return qv::CompareNoCase(a, b) < 0; });
  if (find->state.files.empty())
    return FailFind(ERROR_FILE_NOT_FOUND);
  Fill(find->state, data);
  return find.release();
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || data == nullptr)
    return FALSE;
  auto* find = static_cast<FindHandle*>(handle);
  if (find->state.next + 1 >= find->state.files.size()) {
    g_lastError = ERROR_NO_MORE_FILES;
    return FALSE;
  }
  ++find->state.next;
  Fill(find->state, data);
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
    return FALSE;
  delete static_cast<FindHandle*>(handle);
  return TRUE;
}

namespace {

std::string NameBase(const char* dir, const char* prefix) {
  std::string base = dir;
  if (base.empty() || base.back() != '\\')
    base += '\\';
  return base + std::string(prefix != nullptr ? prefix : "").substr(0, 3);
}

std::string NumberedName(const std::string& base, UINT number, std::string_view ext) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%x", number);
  return base + hex + std::string(ext);
}

UINT Reserve(const char* dir, const char* prefix, std::string_view companion, char* out) {
  if (dir == nullptr || out == nullptr)
    return 0;
  const std::string base = NameBase(dir, prefix);
  qv::FlushProfiles();
  if (std::string folder; Map(dir, &folder))
    RemoveStaleReservations(folder, std::string(prefix != nullptr ? prefix : "").substr(0, 3),
                            companion);
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  UINT number = static_cast<UINT>((now.tv_nsec / 1000000 + now.tv_sec * 1000) & 0xFFFF);
  for (UINT tries = 0; tries < 0xFFFF; ++tries, number = number >= 0xFFFF ? 1 : number + 1) {
    if (number == 0)
      number = 1;
    std::string path = NumberedName(base, number, ".tmp");
    std::string host, other;
    if (path.size() >= MAX_PATH || !Map(path.c_str(), &host))
      return 0;
    if (!companion.empty() && !Map(NumberedName(base, number, companion).c_str(), &other))
      return 0;
    struct stat st {};
    if (::lstat(host.c_str(), &st) == 0 || (!other.empty() && ::lstat(other.c_str(), &st) == 0))
      continue;
    int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST)
        continue;
      return 0;
    }
    ::close(fd);
    std::memcpy(out, path.c_str(), path.size() + 1);
    return number;
  }
  return 0;
}

}  // namespace

UINT GetTempFileNameA(const char* dir, const char* prefix, UINT unique, char* out) {
  if (dir == nullptr || out == nullptr)
    return 0;
  if (unique != 0) {
    std::string path = NumberedName(NameBase(dir, prefix), unique & 0xFFFF, ".tmp");
    if (path.size() >= MAX_PATH)
      return 0;
    std::memcpy(out, path.c_str(), path.size() + 1);
    return unique & 0xFFFF;
  }
  return Reserve(dir, prefix, {}, out);
}

int WinRename(const char* from, const char* to) {
  auto failed = [](int error) {
    errno = error;
    return -1;
  };
  std::string source, target;
  if (!Map(from, &source) || !Map(to, &target))
    return failed(EACCES);
  qv::FlushProfiles();
  struct stat st {};
  if (::lstat(source.c_str(), &st) != 0)
    return -1;
  if (!S_ISREG(st.st_mode))
    return failed(EISDIR);
  if (source == target)
    return failed(EEXIST);  // Windows refuses an existing target, even itself
  // A hard link fails when the target exists, so no other file is ever replaced.
  if (::link(source.c_str(), target.c_str()) == 0) {
    ::unlink(source.c_str());
    return 0;
  }
  if (errno == EEXIST)
    return -1;
  if (::lstat(target.c_str(), &st) == 0)
    return failed(EEXIST);  // file systems without hard links
  return ::rename(source.c_str(), target.c_str()) == 0 ? 0 : -1;
}

int WinRemove(const char* path) {
  // The profile cache holds the removal until its next flush (before any other file
  // function here looks at the disk), so that a file removed and written anew is replaced
  // in one step.
  return qv::RemoveProfileFile(path);
}

namespace qv {
UINT ReserveTempFileName(const char* dir, const char* prefix, const char* companion, char* out) {
  return Reserve(dir, prefix, companion != nullptr ? companion : "", out);
}

bool MatchesFilePattern(const char* pattern, const char* name) {
  return Matches(pattern, name);
}

bool WinFileExists(const char* path) {
  std::string host;
  if (!Map(path, &host))
    return false;
  FlushProfiles();
  return StampHostFile(host).exists;
}
}  // namespace qv
