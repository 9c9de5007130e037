// qvccfg answer and answers: a client user's answers to a delivered form, recorded and
// collected (tools/answers/Answers.h).
#pragma once

#include <string>
#include <vector>

namespace qv {

class World;

// answer CLIENT NAME [INVENTORY-NAME=VALUE ...]: records the answers of CLIENT's user to the
// form NAME (its name or its file name) delivered to CLIENT, through the viewer's checks. 0
// recorded; 2 bad arguments, an unknown client, a form not delivered there or an answer the
// checks refuse (their message on stderr); 1 the client could not be reached or its answer
// file could not be read or written.
int AnswerCommand(const World& world, const std::vector<std::string>& args, std::string* out,
                  std::string* err);

// answers NAME [--csv]: every client's answers to the form NAME, as JSON rows
// {client, answered, formFile, answers} or as CSV. 1 when a client's answers could not be read
// (named on stderr; the others are printed); 2 bad arguments.
int AnswersCommand(const World& world, const std::vector<std::string>& args, std::string* out,
                   std::string* err);

// install-viewer CLIENT...: copies the viewer (with the library and language files it needs,
// from the folder of this program) to QVCLIENT/bin on each remote client, through the fleet
// engine, with the launcher QVCLIENT/bin/qvanswer that the client's user starts. One line per
// client. 0 installed everywhere; 1 some client failed or was not reached; 2 bad arguments
// (a client that is not a remote client of the world).
int InstallViewerCommand(const World& world, const std::vector<std::string>& args, std::string* out,
                         std::string* err);

}  // namespace qv
