// Whole-file reads and atomic whole-file writes on host paths. Callers map Windows paths
// through World first; nothing here knows about Windows paths.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// Reads the whole regular file (symbolic links refused). False when it is missing, not a
// regular file or unreadable. With `stamp`, also the stamp of the file that was read.
struct HostStamp;
bool ReadHostFile(const std::string& hostPath, std::string* bytes, HostStamp* stamp = nullptr);

// Replaces the file with `bytes`: the new contents go to a hidden file beside it, which is
// then renamed over the old one, so a crash at any point leaves either the old or the new
// contents, never a torn file. A leftover hidden file never matches a "*.EXT" listing.
// False (and the old file untouched) when the folder is missing or the write fails.
bool WriteHostFileAtomic(const std::string& hostPath, std::string_view bytes);

// The identity of a file's current contents as far as stat() can tell.
struct HostStamp {
  bool exists = false;
  unsigned long long dev = 0, ino = 0, size = 0;
  long long mtimeSec = 0, mtimeNsec = 0;
  long long ctimeSec = 0, ctimeNsec = 0;  // moves on every change, utime() and rename included
  unsigned long long links = 0;           // drops when the file is removed or replaced
  bool operator==(const HostStamp&) const = default;
};
HostStamp StampHostFile(const std::string& hostPath);

}  // namespace qv
