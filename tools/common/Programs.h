// What every program of ours that works on a world shares: the world folder it works on, the
// text of its error lines, the writing of its output, and the form file it is given.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The world folder when none is named: $QVCCFG_WORLD, else $HOME/.qvccfg/world.
std::string DefaultWorldDir();

// Takes "--world DIR" from the front or the end of args and returns DIR; without one, the
// default world folder.
std::string TakeWorldOption(std::vector<std::string>* args);

// A text from outside (an argument, a path, file content) as it may stand in an error line:
// control characters, and bytes that are not UTF-8, are written as \xHH, so no escape sequence
// reaches the terminal and the line stays one line.
std::string Printable(std::string_view text);

// Writes out to standard output and err to standard error, and returns the exit status:
// `status`, or 1 instead of 0 when standard output could not take everything (a line saying so,
// led by `program`, then goes to standard error).
int WriteProgramOutput(const std::string& program, const std::string& out, const std::string& err,
                       int status);

// True for "\\SERVER\..." and "X:..." paths; anything else is taken as a host path.
bool IsWindowsPath(const std::string& path);

// The Windows path of FILE (a Windows path, or a host path inside the world), which must be
// an existing file of the world. False with one line for the user in *err, led by `program`.
class World;
bool FormPath(const World& world, const std::string& file, std::string* win, std::string* err,
              const std::string& program = "qvccfg");

}  // namespace qv
