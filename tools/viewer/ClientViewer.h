// The viewer's terminal mode: the user of a client machine answers the forms delivered to it,
// on that machine, with no world and no console:
//
//   QVCstm32 --client [DIR] [--name COMPUTER]
//
// DIR is the folder that plays the client's drive C:; the delivered forms are DIR/QVCLIENT/
// *.FRM and the answers go to DIR/QVCLIENT/CUSTDATA.INI (tools/answers/Answers.h). Without
// DIR: $QVCLIENT_DRIVE, else, when the viewer is installed as DIR/QVCLIENT/bin/QVCstm32 (any
// letter case of QVCLIENT and bin, any program name), that DIR. COMPUTER names the client in
// the world made for DIR (World::ForClientDrive); by default the machine's host name.
//
// A dialogue of lines on the terminal, UTF-8 (the files are Windows-1252): the delivered forms
// by name, numbered, each marked when it was answered; the user types a form's number (q
// quits). The form is walked page by page as the viewer's page shows it (tools/viewer/
// FormPage.h): each question's text with "*" when an answer is required, its description,
// for a fixed list its numbered choices (a number from 1 to the count picks that choice,
// anything else is taken as the choice's text), for an edit list its suggestions. The answer
// recorded before, or given in this walk, is shown in [brackets]: Enter keeps it, a lone "-"
// clears it. After the last page the answers are checked as the viewer checks them; a
// refusal's message is printed and the walk goes back to the question it names, then on to
// the end again, keeping every answer given. Answers that pass are recorded.
//
// Exit status: 0 recorded; 1 nothing recorded (end of input, which says so on stderr, q, no
// forms, or answers that could not be read or written); 2 bad arguments, or a drive folder or
// forms folder that cannot be used.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qv {

// True when the viewer's arguments ask for the terminal mode (they start with --client).
bool IsClientMode(const std::vector<std::string>& args);

// The drive folder when --client names none: `environment` ($QVCLIENT_DRIVE) when set and not
// empty, else the folder above QVCLIENT when `program` (the viewer's own path) is
// DIR/QVCLIENT/bin/NAME; else "".
std::string DefaultClientDrive(const char* environment, const std::string& program);

// The whole terminal mode; `in` is the user's typing, `out` what the terminal shows.
int RunClientViewer(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                    std::ostream& err);

}  // namespace qv
