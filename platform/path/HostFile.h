// Whole-file reads and atomic whole-file writes on host paths. Callers map Windows paths
// through World first; nothing here knows about Windows paths.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The identity of a file's current contents as far as stat() can tell.
struct HostStamp {
  bool exists = false;
  bool failed = false;  // stat() failed for a reason other than the file's absence
  unsigned long long dev = 0, ino = 0, size = 0;
  long long mtimeSec = 0, mtimeNsec = 0;
  long long ctimeSec = 0, ctimeNsec = 0;  // moves on every change, utime() and rename included
  unsigned long long links = 0;           // drops when the file is removed or replaced
  unsigned mode = 0;                      // permission bits
  bool operator==(const HostStamp&) const = default;
};
HostStamp StampHostFile(const std::string& hostPath);

// Why a read gave no bytes. A file that is there but cannot be read is never an empty one:
// callers must not write over what they could not read.
enum class ReadFailure { kNone, kMissing, kUnreadable };

// Reads the whole regular file (symbolic links refused). False when it is missing
// (*failure kMissing) or is not a regular file or cannot be read (kUnreadable). With
// `stamp`, also the stamp of the file that was read. After a failure errno says why.
bool ReadHostFile(const std::string& hostPath, std::string* bytes, HostStamp* stamp = nullptr,
                  ReadFailure* failure = nullptr);

// A file whose mode has no write bit (for owner, group or others) is read-only: no write
// replaces it and no removal takes it, whoever the program runs as, as the read-only
// attribute stops every user on Windows.
bool ReadOnlyMode(unsigned mode);

// Replaces the file with `bytes`: the new contents go to a hidden file beside it, are flushed
// to stable storage, and the hidden file is renamed over the old one; then the folder is
// flushed too. A crash or power cut at any point leaves either the old or the new contents
// under the name, never a torn or empty file. The new file keeps the permission bits (and,
// where allowed, the owner) of the file it replaces; a new file gets 0666 less the umask.
// A read-only file is never replaced (false, errno EACCES). False (and the old file
// untouched) when the folder is missing or any step fails.
bool WriteHostFileAtomic(const std::string& hostPath, std::string_view bytes);

// WriteHostFileAtomic in its steps, for a writer that replaces many files and flushes them
// together rather than one by one:
//   StageHostFile writes the new contents to the hidden file beside the target, with the
//     mode and owner WriteHostFileAtomic gives, flushed with fsync when `flush`, else left
//     for the caller to flush. A read-only target is refused (EACCES); on failure nothing is
//     left behind.
//   The caller makes the contents durable (fsync, or FlushHostFileSystem on `staged.dev`'s
//     file system) before CommitHostFile renames the hidden file over the target (on failure
//     the hidden file is removed); the renames are durable once their folders are flushed
//     (FlushHostFolder, or FlushHostFileSystem again).
//   AbandonHostFile removes the hidden file of a replacement that is not to be committed.
// A crash at any step leaves the target as it was or with the new contents, and at most the
// hidden file beside it, which RemoveStaleHostTemps takes later.
struct StagedHostFile {
  std::string temp;            // the hidden file
  std::string target;          // the file it replaces
  unsigned long long dev = 0;  // the file system holding both
};
bool StageHostFile(const std::string& hostPath, std::string_view bytes, bool flush,
                   StagedHostFile* staged);
bool CommitHostFile(const StagedHostFile& staged);
void AbandonHostFile(const StagedHostFile& staged);
// Flushes a folder (its entries: names made, renamed or removed) to stable storage.
bool FlushHostFolder(const std::string& folder);
// Flushes everything written so far to the file system that holds `path` (Linux syncfs(2)),
// whoever wrote it: it costs what that file system has unwritten, whatever the caller wrote,
// so it pays off for many files at once, not for a few.
bool FlushHostFileSystem(const std::string& path);

// The hidden file's name: "." + the target's name + "." + six letters or digits, the
// target's name cut short so that the whole stays within kMaxNameBytes, whatever name the
// target has. A leftover hidden file never matches a "*.EXT" listing of a shorter EXT.
inline constexpr std::size_t kMaxNameBytes = 255;
inline constexpr std::size_t kTempSuffixBytes = 6;
std::string HostTempTemplate(std::string_view targetName);  // the name with "XXXXXX"
// True for exactly the names HostTempTemplate's names become.
bool IsHostTempName(std::string_view name);

// Removes the hidden files WriteHostFileAtomic left in `folder` (a writer killed before its
// rename): regular files whose names IsHostTempName takes, not read-only, whose contents
// last changed at least `minAgeSeconds` ago, so that a write still under way (its file
// changes with every write) is never taken. Links and folders are left alone. The
// names removed go to *removed when given. False when the folder cannot be listed.
bool RemoveStaleHostTemps(const std::string& folder, long long minAgeSeconds,
                          std::vector<std::string>* removed = nullptr);

// The path with every link resolved; "" when some part of it cannot be resolved.
std::string RealHostPath(const std::string& path);
// True when `path` is `folder` or lies below it (both already resolved); never for an empty
// folder.
bool HostPathWithin(const std::string& path, const std::string& folder);

// The one door to the host files a program opens inside a world by their own paths (the
// console's lock, the viewer's pages, the task record, registry hives, the console database,
// files mapped from Windows paths): a path is used only when the folder it lies in, every
// link resolved, lies inside the root folder (links resolved too), and the file itself is
// not a symbolic link. Failures leave errno set; a path outside the root gives EPERM.
class HostRoot {
 public:
  explicit HostRoot(const std::string& folder);  // links of `folder` are resolved once, here

  const std::string& Folder() const { return folder_; }
  // True when the folder of `hostPath`, links resolved, lies inside the root. The file
  // itself need not exist; folders that do not exist yet hold no links.
  bool Contains(const std::string& hostPath) const;
  // Makes `folder` and the folders above it that are missing, never through a link that
  // leads out of the root (nothing is made outside it).
  bool MakeFolders(const std::string& folder) const;
  bool Read(const std::string& hostPath, std::string* bytes, HostStamp* stamp = nullptr,
            ReadFailure* failure = nullptr) const;
  // Replaces the file as WriteHostFileAtomic does; a link or a folder in its place stays.
  bool Write(const std::string& hostPath, std::string_view bytes) const;
  // Stages a replacement as StageHostFile does, with Write's refusals, in a folder that the
  // caller has just made or found inside the root with MakeFolders: the folder's way is not
  // looked at again, so that many files of one folder cost one check.
  bool Stage(const std::string& hostPath, std::string_view bytes, bool flush,
             StagedHostFile* staged) const;
  // Removes the regular file; a read-only file (EACCES) or a link (EPERM) stays.
  bool Remove(const std::string& hostPath) const;
  // Opens a file that is written in place (appended to, truncated, locked): `flags` gain
  // O_NOFOLLOW and O_CLOEXEC, new files get 0666 less the umask. Refused unless it is a
  // regular file with one link (a hard link to a file elsewhere is refused as a symbolic
  // link is, EMLINK) and, when opened for writing, not read-only (EACCES). -1 on failure.
  int OpenInPlace(const std::string& hostPath, int flags) const;

 private:
  std::string folder_;
  std::string real_;  // folder_ with every link resolved; empty when it could not be
};

}  // namespace qv
