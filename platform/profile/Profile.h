// Our private-profile functions: GetPrivateProfileStringA / WritePrivateProfileStringA over
// files named by Windows paths in the current world.
//
// Reading: CR, LF or CR LF end a line; lines are trimmed; "[name]" opens a section (the name
// runs to the last "]" and is trimmed); other lines split at the first "="; section and key
// names match without regard to case; only the first section of a name and the first key of
// a name in it are seen; a value wholly enclosed in one pair of " or ' loses them; a value
// longer than the buffer is cut to size - 1. A UTF-8 byte order mark is skipped and kept.
//
// Writing: leading blanks of the value are dropped; each line break in the value (CR LF, CR
// or LF) becomes one blank, as a value is one line; writing the value a key already has
// changes nothing; an existing key's line is rewritten in place, a new key goes after the
// last line of its section, a new section at the end of the file; written lines end in CR LF;
// every other line keeps its bytes. Section and key names are trimmed as lines are. A key
// holding "=" or starting with "[", a section holding "]", or a section or key holding CR or
// LF is refused (result 0, file untouched): such text would forge lines.
//
// A file that is there but cannot be read (no permission, an I/O error, not a regular file)
// reads as holding nothing, as a missing one does, but it is never written or removed: a
// write to it fails (result 0) and the file keeps every byte. TakeProfileProblems() names
// such files for the program to report. A read-only file (no write bit in its mode, see
// platform/path/HostFile.h) is read as usual but never written or removed, also by root.
//
// Speed without staleness. Parsed files are cached by host path (thousands of them, least
// recently used dropped first), and every call checks a copy before it trusts it. Each
// cached file is watched (platform/path/ChangeWatch.h: inotify, which raises SIGIO in this
// process on a change), so while nothing changes a check costs no system call; the path is
// walked again at least every 50 ms (a folder renamed above the file). Without a watch the
// check is stat() of the path, comparing device, inode, links, size, modification and
// status-change time; a copy so checked that was read from a file changed less than two
// seconds before the read is not trusted beyond the call (a coarse clock may hide a second
// change in the same tick). A copy this layer wrote itself is trusted while unchanged. Writes
// change the cached copy only and mark it dirty; dirty files reach the disk, each in one
// atomic replacement, when FlushProfiles() runs: at the end of every operation of the
// programs (their event loop's idle time, the end of a command), before any other file
// function of ours touches the disk (listing, temporary names, rename, WinExec), when the
// cache is full, and at normal exit. Until then other processes see the previous contents;
// that is the whole price. A removal (WinRemove) is held the same way, so that a file removed
// and written again reaches the disk as one replacement, never as a gap without the file.
// A flush that fails drops the change it could not write: the file keeps what it had, the
// next call reads it again, and nothing writes the change later behind the caller's back.
#pragma once

#include <string>
#include <vector>

#include "platform/base/wintypes.h"

// Copies the value (or `def` when absent) into out (size including the NUL) and returns the
// number of characters copied. Null section or key, or a file the world refuses, give `def`.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* out,
                               DWORD size, const char* fileName);

// Writes key=value into section of the file, creating file and section when absent.
// Non-zero on success. A null section, key or value is refused (this layer never deletes).
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName);

namespace qv {

// Writes every changed cached file to disk. False when any of them could not be written;
// those changes are dropped (see above) and TakeProfileProblems() says which.
bool FlushProfiles();

// Writes the changes of one file (a Windows path) now. True when it had none or they were
// written; false, with the change dropped, when they could not be.
bool FlushProfile(const char* fileName);

// Forgets the changes of one file (a Windows path) that are not written yet.
void DropProfileChanges(const char* fileName);

// Removes the file (a Windows path) at the next flush, or replaces it in one step by what
// is written to the same path before then. 0 when recorded; -1 when the path is refused,
// there is no such file, or the file cannot be read.
int RemoveProfileFile(const char* fileName);

// The problems met since the last call, one line each ("the file X cannot be read ..."), and
// forgets them.
std::vector<std::string> TakeProfileProblems();

// How many reads of the file (a Windows path) have failed in this process, though it was
// there. A caller that compares the count before and after its reads knows whether what it
// read is the whole file or the silence of a read error, which a later read may not repeat.
unsigned ProfileReadFailures(const char* fileName);

// Drops every cached copy after flushing it (tests, a change of world).
void ResetProfiles();

}  // namespace qv
