// The Windows file functions the system calls, over Windows paths in the current world.
// Each of them first flushes the profile cache (platform/profile/Profile.h), so what they see
// and do on disk agrees with every profile write made before.
#pragma once

#include "platform/base/WinError.h"
#include "platform/base/wintypes.h"

inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// What a listing gives of each file: the system needs only the name.
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  char cFileName[MAX_PATH];
};

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(-1);

// Lists the regular files of a folder whose names match the last component of `pattern`
// ("\\CORE1\qvlogon\*.FRM"): "*" and "?" wildcards, letters compared without regard to case,
// so "*.FRM" matches "a.frm" but not "a.frmx". Results come in name order (case ignored), the
// same on every run. Folders and symbolic links are not listed. The folder is read whole here,
// so a listing that starts is complete.
// INVALID_HANDLE_VALUE when nothing is listed; GetLastError() then tells an empty listing
// from one that failed: ERROR_FILE_NOT_FOUND when the folder was read and nothing matches;
// ERROR_PATH_NOT_FOUND when the path is refused or the folder is missing; ERROR_ACCESS_DENIED
// when it may not be read; ERROR_READ_FAULT when reading it failed (nothing of a folder read
// in part is given).
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
// The next file of the listing; FALSE with GetLastError() ERROR_NO_MORE_FILES after the last.
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);

// The error code of the last file function of this thread that failed (only the listing
// functions set it).
DWORD GetLastError();

// Creates an empty file "<dir>\<up to 3 chars of prefix><hex>.tmp" and writes its Windows path
// into out (MAX_PATH characters). With unique 0 the number starts from the clock and goes up,
// wrapping from FFFF to 1, past every number whose ".tmp" file exists (case ignored). Returns
// the number used, 0 on failure (refused path, folder missing, all taken). With unique 0 it
// first removes the leftovers of reservations whose users were killed halfway: empty ".tmp"
// files of this prefix's names that nothing has touched for ten minutes. With unique other
// than 0 it only writes the name of that number (its low 16 bits), creating nothing.
UINT GetTempFileNameA(const char* dir, const char* prefix, UINT unique, char* out);

// rename() as on Windows: fails when the target exists. 0 on success, -1 on failure with errno
// set: EEXIST when the target exists (also when it is the source), EACCES for a path the
// world refuses, else the failing call's.
int WinRename(const char* from, const char* to);

// remove(): 0 on success, -1 on failure (no such file, the path refused, or a file that
// cannot be read, which is never removed). The file disappears from the disk at the next
// flush of the profile cache, which every function here runs first; a file written to the
// same path before then replaces it in one step (platform/profile/Profile.h).
int WinRemove(const char* path);

namespace qv {
// GetTempFileNameA with unique 0 for a caller that renames its reserved ".tmp" file to the same
// name with the extension `companion` (".FRM"): numbers whose file of either extension exists
// are passed over, and the leftovers removed first are empty files of either extension. A
// null or empty `companion` reserves as GetTempFileNameA does.
UINT ReserveTempFileName(const char* dir, const char* prefix, const char* companion, char* out);
// True when the Windows path names an existing regular file.
bool WinFileExists(const char* path);
// True when `name` matches `pattern` as FindFirstFileA matches the last component of its
// pattern ("*" and "?", letters compared without regard to case).
bool MatchesFilePattern(const char* pattern, const char* name);
}  // namespace qv
