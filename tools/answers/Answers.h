// What a client's user answered to the forms delivered to that client: custom inventory data,
// kept on the client in C:\QVCLIENT\CUSTDATA.INI, beside the delivered forms (a distribution
// script's "REMDEL0=\QVCLIENT\*.FRM" leaves it alone). The viewer records them, qvccfg and
// the console collect them.
//
// The file is Windows-1252 with CR LF line ends, in the profile files' style: one section per
// form, named as the form, holding the time it was answered, the delivered file's name and one
// key per question's inventory name, in question order:
//
//   [Office survey]
//   %Answered=2026-12-07T09:30:00Z
//   %FormFile=OFFICE.FRM
//   Room="2.14"
//   Floor="First"
//
// Every value is written between double quotes, which a reader removes (one enclosing pair),
// so that leading and trailing blanks and quotes come back exactly. In section and key names
// the characters a profile line cannot carry as text ("%", "=", "[", "]", control characters,
// a blank at either end) are written as "%" and two upper-case hex digits; "%Answered" and
// "%FormFile" can therefore never be an inventory name. Keys are compared exactly: two
// inventory names that differ only in letter case are two keys. Sections are found without
// regard to letter case, as forms are.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/langrt/LangRt.h"

class CCustomForm;
class CFormDefinition;
class CFormField;

namespace qv {

class World;

namespace answers {

inline constexpr char kFormFolder[] = "C:\\QVCLIENT";
inline constexpr char kAnswerFile[] = "C:\\QVCLIENT\\CUSTDATA.INI";
// The longest answer, in Windows-1252 characters.
inline constexpr std::size_t kMaxAnswer = 255;
// The longest answer file read; a larger one is refused as unreadable.
inline constexpr std::size_t kMaxAnswerFile = 4 * 1024 * 1024;

using Values = std::vector<std::pair<std::string, std::string>>;  // inventory name, answer

// One form's answers on one client. Texts are Windows-1252.
struct FormAnswers {
  std::string form;      // the form's name
  std::string answered;  // "YYYY-MM-DDTHH:MM:SSZ", in UTC
  std::string formFile;  // the delivered file's name, as "OFFICE.FRM"
  Values values;         // in the order recorded
};

// The sections of an answer file's text, in file order; lines that are no section header and
// no key are passed over.
std::vector<FormAnswers> ParseAnswerFile(std::string_view text);

// The file's text with the form's section in place of the first section of its name (or at
// the end when there is none); every other line keeps its bytes.
std::string ReplaceFormAnswers(std::string_view text, const FormAnswers& answers);

// The current time as FormAnswers::answered writes it.
std::string AnsweredNow();

// Checks a user's answers to `form` as the viewer does. `given` holds inventory names and
// answers in UTF-8; a name is matched exactly, else without regard to letter case when only
// one question has it. Answers in Windows-1252 (what it cannot hold becomes "?") go to
// *recorded, one for each question with a control, in question order ("" when not given).
// False with the viewer's message in `language` (Windows-1252) for the first problem: a name
// no question has, a name given twice, text that is not UTF-8 or not one line, an answer over
// kMaxAnswer characters, an answer to a fixed list that is not one of its choices, or a
// required question without an answer (the first, with its page). `refused`, when given, is
// set to the place of the question the message is about in InventoryNames order (npos for a
// name no question has).
bool CheckAnswers(const CFormDefinition& form, const Values& given, Language language,
                  Values* recorded, std::string* message, std::size_t* refused = nullptr);

// True for an entry that takes an answer: a question with a control.
bool TakesAnswer(const CFormField& entry);

// The inventory names of the form's questions that take an answer, in question order.
std::vector<std::string> InventoryNames(const CFormDefinition& form);

// A form delivered to a client.
struct Delivered {
  std::string file;  // its name in C:\QVCLIENT
  std::string form;  // its [Form] FormName
};

// What one client holds: its delivered forms, its answers, or why they could not be had.
struct ClientRecord {
  std::string client;
  bool reached = false;  // its drive and forms folder could be read
  std::string problem;   // why not, or why its answers could not be read ("" when they were)
  std::vector<Delivered> forms;
  std::vector<FormAnswers> answers;
};

// Reads what `client` holds. A missing answer file is no answers; one that cannot be read
// leaves a problem and no answers. A remote client is read from its mirror in the world, as
// FetchRemote last left it.
ClientRecord ReadClient(const World& world, const std::string& client);

// Fetches the forms folder (the forms and the answer file) of the remote clients among
// `clients` into their mirrors, in one run of the fleet engine; a mirror then holds exactly
// what its machine holds. Returns the clients that could not be fetched, with the reason;
// their mirrors are left as they were.
std::map<std::string, std::string> FetchRemote(const World& world,
                                               const std::vector<std::string>& clients);

// Sends the answer file of a remote client's mirror to the machine (one replacement there).
// False with the reason.
bool PushAnswerFile(const World& world, const std::string& client, std::string* why);

// Records `answers` in the client's answer file, replacing the form's earlier answers only.
// A file that is there but cannot be read is never written. False with the reason.
bool RecordAnswers(const World& world, const std::string& client, const FormAnswers& answers,
                   std::string* why);

// Loads the form `name` (its name, else its file name; letter case ignored) as it was
// delivered to `client`, with the current world's message boxes for what loading finds. False
// with the reason when the client has no such form or two of that name.
bool LoadDeliveredForm(const World& world, const std::string& client, const std::string& name,
                       CCustomForm* form, std::string* why);

// Loads the form `name` (its name, else its file name) from the forms share of the current
// world. False when the share has none.
bool LoadShareForm(const std::string& name, CCustomForm* form);

// Every client's answers to the form named `form` (without regard to letter case); the
// remote clients are fetched first.
struct Collected {
  // The columns of the answers: `questions` (the form's inventory names in question order),
  // then names recorded that the form no longer has, in the order first met.
  std::vector<std::string> columns;
  struct Row {
    std::string client;
    FormAnswers answers;
  };
  std::vector<Row> rows;  // clients that answered, in name order
  std::vector<std::pair<std::string, std::string>> problems;  // client, why; in name order
  int notAnswered = 0;  // clients that hold the form and have no answers to it
};
Collected CollectAnswers(const World& world, const std::string& form,
                         const std::vector<std::string>& questions);

// The collection as RFC 4180 text in UTF-8 (CR LF line ends): "Client,Answered" and the
// columns, then one row per client.
std::string AnswersCsv(const Collected& collected);

}  // namespace answers
}  // namespace qv
