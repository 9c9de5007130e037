// QVCstm32.exe, the form viewer that the form editor's Preview starts from the forms share:
//
//   QVCstm32.exe [--world DIR] /d /i=FILE
//
// FILE is the Windows path of a form file in the world (or a host path inside it); empty (a
// new form previewed before it was saved) the viewer shows a page that says there is no form
// yet, <world>/viewer/no-form.html. The switches
// may come as one argument, as WinExec passes them, or as several. /d (display) is what the
// viewer always does and may be left out; /I= and /D are taken as well. The text after "/i="
// runs up to the next switch, so a path with blanks needs no quotes (a Windows name cannot
// hold "/"); one pair of enclosing double quotes is removed.
//
// The form is loaded as the form editor loads it (message boxes of the load on stderr) and
// drawn as one HTML page, <world>/viewer/<file name>.html, written atomically; its host path
// is printed on stdout. The world is --world DIR, else $QVCCFG_WORLD (which WinExec sets to
// its starter's world), else $HOME/.qvccfg/world; the viewer never makes a world.
// The page's words are in the user's language (platform/langrt: LC_ALL, LC_MESSAGES, LANG).
// Exit status: 0 shown, 1 the page could not be written, 2 bad arguments or no readable form.
#pragma once

#include <string>
#include <vector>

#include "tools/common/ViewerPages.h"

namespace qv {

// Takes the form file from the viewer's switches. False with one line in *err when the
// switches are wrong or name no file.
bool ParseViewerArgs(const std::vector<std::string>& args, std::string* file, std::string* err);

// The whole program; the world that was current before is current again afterwards.
int RunViewer(const std::vector<std::string>& args, std::string* out, std::string* err);

}  // namespace qv
