// The registry functions the system calls, over hives kept as files in the world: each
// computer's HKEY_LOCAL_MACHINE in <world>/<computer>/registry/HKLM.reg, and the console
// user's HKEY_CURRENT_USER in <world>/<console>/registry/HKCU.reg (platform/registry/Hive.h
// gives the format). Also the computer's own name and the network connections that a remote
// registry opens.
//
// Results are Windows error codes: ERROR_SUCCESS, or the reason. Keys and value names match
// without regard to letter case. Key handles are slots of a table of ours, not addresses;
// the predefined roots are the usual constants. HKEY_CLASSES_ROOT is the console computer's
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes (classes of a single user are not kept apart).
//
// Hives are read when first used and again whenever their file changes on disk (each is
// watched, as profile files are: platform/path/ChangeWatch.h). Changes stay in memory until
// FlushRegistry() writes each changed hive in one atomic replacement; the programs flush at
// the end of every operation and at exit. A hive file that is damaged makes every call on it
// fail with ERROR_BADDB, one that is there but cannot be read (or lies outside the world)
// with ERROR_ACCESS_DENIED; neither is ever written. TakeRegistryProblems() says why.
#pragma once

#include <string>
#include <vector>

#include "platform/base/WinError.h"
#include "platform/base/wintypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;
using BYTE = unsigned char;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(0x80000000UL);
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(0x80000001UL);
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(0x80000002UL);

inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_BAD_NETPATH = 53;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_BADDB = 1009;
inline constexpr LONG ERROR_NOT_CONNECTED = 2250;
inline constexpr LONG NO_ERROR = 0;

inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Connects to HKEY_LOCAL_MACHINE of the computer named "\\NAME" (or of this computer for a
// null or empty name). Fails with ERROR_BAD_NETPATH for a computer the world does not know or
// marks unreachable. Reaching another computer opens the connection "\\NAME\IPC$", which
// stays open until WNetCancelConnection2A cancels it.
LONG RegConnectRegistryA(const char* machine, HKEY root, HKEY* result);
// Opens an existing key below `key`. ERROR_FILE_NOT_FOUND when there is none.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
// Opens the key below `key`, creating it when missing.
LONG RegCreateKeyA(HKEY key, const char* subKey, HKEY* result);
LONG RegCloseKey(HKEY key);
// Reads a value. With data null only *type and *size are filled; a buffer of *size bytes too
// small gives ERROR_MORE_DATA with the size needed in *size. Strings come with their NUL.
LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
// RegQueryValueExA of the key `subKey` names below `key`, in one call (the key need not be
// opened first). Also ERROR_FILE_NOT_FOUND when the key is missing.
LONG RegGetValueA(HKEY key, const char* subKey, const char* name, DWORD* type, BYTE* data,
                  DWORD* size);
// Writes a REG_SZ (data up to its first NUL, within size) or REG_DWORD value.
LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegDeleteValueA(HKEY key, const char* name);
// Deletes the key `subKey` names below `key`, with its values. ERROR_FILE_NOT_FOUND when there
// is none; ERROR_ACCESS_DENIED when keys lie below it (they are deleted first) or for a
// root. The parent key stays.
LONG RegDeleteKeyA(HKEY key, const char* subKey);
// The name of the index-th key directly below `key` (from 0, sorted without regard to case)
// into `name`, `size` bytes with the NUL. ERROR_NO_MORE_ITEMS past the last; ERROR_MORE_DATA
// when the name does not fit.
LONG RegEnumKeyA(HKEY key, DWORD index, char* name, DWORD size);
// The index-th value of `key` (from 0, in the order they were made): its name into `name`
// (*nameSize characters with the NUL; on success the name's length), and as RegQueryValueExA
// its type and data. ERROR_NO_MORE_ITEMS past the last; ERROR_MORE_DATA when the name or data
// does not fit.
LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, DWORD* type,
                   BYTE* data, DWORD* dataSize);

// This computer's name, the world's console. *size is the buffer's size in characters; on
// success it becomes the name's length. Too small: FALSE, *size the size needed.
BOOL GetComputerNameA(char* buffer, DWORD* size);

// Cancels a network connection ("\\CORE1\ipc$", case ignored). ERROR_NOT_CONNECTED when no
// such connection is open.
DWORD WNetCancelConnection2A(const char* name, DWORD flags, BOOL force);

namespace qv {

// Writes every changed hive. False when one could not be written: its changes are dropped,
// so the file keeps what it had and is read again.
bool FlushRegistry();
// Forgets every hive read and every open key, after flushing (tests, a change of world).
void ResetRegistry();
// The problems met since the last call (damaged, unreadable or unwritable hives), one line
// each, and forgets them.
std::vector<std::string> TakeRegistryProblems();

// The network connections now open, and every name WNetCancelConnection2A was given, in
// order; ClearConnectionLog empties the second.
std::vector<std::string> OpenConnections();
std::vector<std::string> CancelledConnections();
void ClearConnectionLog();

}  // namespace qv
