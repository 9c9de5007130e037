// Whole-file reads and atomic whole-file writes on host paths. Callers map Windows paths
// through World first; nothing here knows about Windows paths.
#pragma once

#include <string>
#include <string_view>

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

// Replaces the file with `bytes`: the new contents go to a hidden file beside it, are flushed
// to stable storage, and the hidden file is renamed over the old one; then the folder is
// flushed too. A crash or power cut at any point leaves either the old or the new contents
// under the name, never a torn or empty file. The new file keeps the permission bits (and,
// where allowed, the owner) of the file it replaces; a new file gets 0666 less the umask.
// A leftover hidden file never matches a "*.EXT" listing. False (and the old file untouched)
// when the folder is missing or any step fails.
bool WriteHostFileAtomic(const std::string& hostPath, std::string_view bytes);

}  // namespace qv
