// The qvccfg commands that show what the console would show: the catalogue's rows, the group
// list, the configurations and tasks of the console database, and writing a distribution
// script. Each returns the exit status (0 done, 1 a reported problem, 2 bad input).
#pragma once

#include <string>

class CCustomDoc;

namespace qv {

int ListCatalogue(std::string* out, std::string* err);
int ListGroups(std::string* out, std::string* err);
int ListTasks(std::string* out, std::string* err);
// name is UTF-8 text, as typed.
int WriteScriptOf(const std::string& name, bool group, std::string* out, std::string* err);

// Why the document's last fill could not list the forms share, as a line for the user; ""
// when it was listed (an empty share is listed too).
std::string ShareListingProblem(const CCustomDoc& document);

}  // namespace qv
