// WinExec: starts a program named by a Windows path in the current world, without waiting.
//
// The command line is split as Windows splits an unquoted one: the program is the text up to
// the first blank or tab, or the text between the quotes when the line starts with ". When
// the program's last name has no extension, ".exe" is appended, as CreateProcess does. The
// program must be a full Windows path ("\\CORE1\qvlogon\QVCstm32.exe", "D:\Apps\X.exe"):
// there is no search path here.
//
// The host program gets one argument, what a Windows program receives as WinMain's lpCmdLine:
// the text after the program and the blanks that follow it, exactly as written, so
// "\\CORE1\qvlogon\QVCstm32.exe /d /i=\\CORE1\qvlogon\FRM1A.FRM" runs the host file with
// argv[1] = "/d /i=\\CORE1\qvlogon\FRM1A.FRM". Nothing after the program: no argument.
// argv[0] is the program as written in the command line. Windows leaves the parsing of the
// rest to each program, and splitting it here would lose blanks and quotes it may rely on.
//
// The program runs in its own session with stdin on /dev/null, the caller's stdout and
// stderr, no other open file of the caller, and QVCCFG_WORLD set to the current world's
// folder, so it sees the same network as its starter. It is a grandchild that nobody waits
// for: the short-lived child in between is reaped here by its pid, so no zombie is left and
// no SIGCHLD handling of the caller is disturbed. The show command is accepted and ignored:
// nothing here has windows.
//
// The profile cache is flushed first, so the program sees every profile write made before.
// Nothing outside the world is ever started: the path goes through World::MapPath.
#pragma once

#include <string>

#include "platform/base/wintypes.h"

inline constexpr UINT SW_HIDE = 0;
inline constexpr UINT SW_SHOWNORMAL = 1;

// Results below 32 are failures, as on Windows:
//   0  out of memory or resources: no process could be made
//   2  file not found: the path maps into the world but no such file is there, the program
//      is named without a folder, or the command line is null or empty
//   3  path not found: the world refuses the path, or the program's folder does not exist
//   11 invalid program: the file exists but is not a regular file, lacks execute
//      permission, or the system cannot run it (no "#!" line, wrong format)
// 33 when the program was started.
UINT WinExec(const char* cmdLine, UINT show);

namespace qv {

inline constexpr UINT kWinExecStarted = 33;

// What the last WinExec call was asked to do and what came of it.
struct WinExecRecord {
  std::string commandLine;  // as given
  std::string hostProgram;  // the host file it mapped to; empty when it did not map
  UINT result = 0;          // what WinExec returned
  int count = 0;            // calls so far, this one included
};

// The record of the last WinExec call of this process (all empty before the first).
const WinExecRecord& LastWinExec();

}  // namespace qv
