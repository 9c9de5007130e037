// QVCstm32.exe, the form viewer that the form editor's Preview starts from the forms share:
//
//   QVCstm32.exe [--world DIR] /d [/a [/f]] /i=FILE
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
//
// /a (answer): the page takes the answers of a client's user. FILE is then a form delivered to
// a client of the world (\\CLIENT\C$\QVCLIENT\NAME.FRM); the page, <world>/viewer/<CLIENT>/<file
// name>.html, is one HTML form filled with the answers recorded before, whose Finish sends the
// answers back to the page's own address. /f (finish, with /a): the answers come as a form body
// (application/x-www-form-urlencoded, UTF-8: inventory name=answer&...) from `input`; they are
// checked and, when they pass, recorded on the client (tools/answers/Answers.h). The page is
// written either way and says what happened; a refusal's message is on stderr as well.
// Exit status: 0 shown (or recorded), 1 the page or the answers could not be written, 2 bad
// arguments, no readable form, or answers refused.
//
// With --client first, the viewer takes the answers in a terminal on the client itself
// (tools/viewer/ClientViewer.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/common/ViewerPages.h"

namespace qv {

// What the switches ask for besides the form file.
struct ViewerMode {
  bool answer = false;  // /a
  bool finish = false;  // /f
};

// Takes the form file from the viewer's switches. False with one line in *err when the
// switches are wrong or name no file.
bool ParseViewerArgs(const std::vector<std::string>& args, std::string* file, std::string* err,
                     ViewerMode* mode = nullptr);

// Reads the answers of /f into *body; false when they cannot be had.
using ViewerInput = std::function<bool(std::string* body)>;

// The whole program; the world that was current before is current again afterwards.
int RunViewer(const std::vector<std::string>& args, std::string* out, std::string* err,
              const ViewerInput& input = {});

}  // namespace qv
