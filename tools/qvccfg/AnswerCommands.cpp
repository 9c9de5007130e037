#include "tools/qvccfg/AnswerCommands.h"

#include <unistd.h>

#include <filesystem>
#include <map>

#include "forms/CustomForm.h"
#include "platform/path/World.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/MessageBox.h"
#include "tools/answers/Answers.h"
#include "tools/common/Json.h"
#include "tools/common/Programs.h"
#include "tools/fleet/Fleet.h"

namespace qv {
namespace {

// What loading a form would show in boxes is not the command's business: the answers are.
class QuietBoxes : public MessageBoxHandler {
 public:
  QuietBoxes() { SetMessageBoxHandler(this); }
  ~QuietBoxes() override { SetMessageBoxHandler(nullptr); }
  int Show(std::string_view, std::string_view, UINT type) override {
    return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
  }
};

int Refuse(std::string* err, const std::string& line, int status = 2) {
  *err += "qvccfg: " + Printable(line) + "\n";
  return status;
}

std::string Utf8(const std::string& cp1252) {
  return json::Cp1252ToUtf8(cp1252);
}

// The world's client of that name (letter case ignored), as the world names it; "" for none.
std::string ClientNamed(const World& world, const std::string& nameUtf8) {
  std::string name;
  if (!json::Utf8ToCp1252(nameUtf8, &name))
    return "";
  for (const std::string& client : world.Clients()) {
    if (EqualsNoCase(client, name))
      return client;
  }
  return "";
}

}  // namespace

int AnswerCommand(const World& world, const std::vector<std::string>& args, std::string* out,
                  std::string* err) {
  if (args.size() < 3)
    return Refuse(err, "answer needs a client and a form: answer CLIENT NAME [NAME=VALUE ...]");
  std::string client = ClientNamed(world, args[1]);
  if (client.empty())
    return Refuse(err, args[1] + " is no client of the world");
  answers::Values given;
  for (std::size_t i = 3; i < args.size(); ++i) {
    std::size_t equals = args[i].find('=');
    if (equals == std::string::npos || equals == 0)
      return Refuse(err, "an answer is INVENTORY-NAME=VALUE, not " + args[i]);
    given.emplace_back(args[i].substr(0, equals), args[i].substr(equals + 1));
  }
  std::string name, why;
  if (!json::Utf8ToCp1252(args[2], &name))
    return Refuse(err, "no form \"" + args[2] + "\" was delivered to " + Utf8(client));
  // A client that cannot be reached is a problem of the moment, not bad input. A remote
  // client's forms and answers are fetched first; the answers recorded go back to it.
  bool remote = world.RemoteDriveOf(client) != nullptr;
  if (auto problems = answers::FetchRemote(world, {client}); !problems.empty())
    return Refuse(err, Utf8(client) + ": " + Utf8(problems.begin()->second), 1);
  if (answers::ClientRecord record = answers::ReadClient(world, client); !record.reached)
    return Refuse(err, Utf8(client) + ": " + Utf8(record.problem), 1);
  CCustomForm form;
  answers::Values recorded;
  {
    QuietBoxes quiet;
    if (!answers::LoadDeliveredForm(world, client, name, &form, &why))
      return Refuse(err, Utf8(why));
  }
  if (!answers::CheckAnswers(form.Definition(), given, UserLanguage(), &recorded, &why))
    return Refuse(err, Utf8(why));
  std::string file = form.GetFilePath().substr(form.GetFilePath().rfind('\\') + 1);
  answers::FormAnswers answers{form.Definition().formName, answers::AnsweredNow(), file, recorded};
  if (!answers::RecordAnswers(world, client, answers, &why) ||
      (remote && !answers::PushAnswerFile(world, client, &why)))
    return Refuse(err, Utf8(client) + ": " + Utf8(why), 1);
  *out += "recorded the answers of " + Utf8(client) + " to " + Utf8(answers.form) + " (" +
          Utf8(file) + ")\n";
  return 0;
}

int AnswersCommand(const World& world, const std::vector<std::string>& args, std::string* out,
                   std::string* err) {
  bool csv = args.size() == 3 && args[2] == "--csv";
  if (args.size() != 2 && !csv)
    return Refuse(err, "answers takes a form's name and --csv: answers NAME [--csv]");
  std::string name;
  if (!json::Utf8ToCp1252(args[1], &name))
    return Refuse(err, "no form is named " + args[1]);
  // The form's columns come from the forms share; a form no longer there still has the
  // answers recorded to it.
  std::vector<std::string> questions;
  {
    QuietBoxes quiet;
    CCustomForm form;
    if (answers::LoadShareForm(name, &form)) {
      questions = answers::InventoryNames(form.Definition());
      name = form.Definition().formName;
    }
  }
  answers::Collected collected = answers::CollectAnswers(world, name, questions);
  for (const auto& [client, problem] : collected.problems)
    Refuse(err, Utf8(client) + ": " + Utf8(problem));
  if (csv) {
    *out += answers::AnswersCsv(collected);
  } else {
    json::Value rows = json::Array{};
    for (const answers::Collected::Row& row : collected.rows) {
      json::Value values = json::Object{};
      for (const auto& [key, value] : row.answers.values)
        values[Utf8(key)] = Utf8(value);
      rows.push_back({{"client", Utf8(row.client)},
                      {"answered", Utf8(row.answers.answered)},
                      {"formFile", Utf8(row.answers.formFile)},
                      {"answers", values}});
    }
    *out += json::Write(rows, true) + "\n";
  }
  return collected.problems.empty() ? 0 : 1;
}

namespace {

// What the client's user starts: the viewer on the forms of the machine's drive folder, the
// folder two above the launcher's own (<FOLDER>/QVCLIENT/bin/qvanswer).
const char kLauncher[] =
    "#!/bin/sh\n"
    "# Answers the forms delivered to this machine; the answers go to ../CUSTDATA.INI.\n"
    "here=$(dirname \"$(readlink -f \"$0\")\")\n"
    "LD_LIBRARY_PATH=\"$here\" exec \"$here/QVCstm32.exe\" --client \"$here/../..\" \"$@\"\n";

// The folder this program runs from.
std::string ProgramFolder() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
}

}  // namespace

int InstallViewerCommand(const World& world, const std::vector<std::string>& args, std::string* out,
                         std::string* err) {
  if (args.size() < 2)
    return Refuse(err, "install-viewer needs the clients: install-viewer CLIENT...");
  std::vector<std::string> clients;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string client = ClientNamed(world, args[i]);
    if (client.empty())
      return Refuse(err, args[i] + " is not a client of the world; nothing was installed");
    if (world.RemoteDriveOf(client) == nullptr)
      return Refuse(err, args[i] +
                             " is no remote client (its drive C: is a folder of the "
                             "world); nothing was installed");
    if (std::find(clients.begin(), clients.end(), client) == clients.end())
      clients.push_back(client);
  }
  // The viewer, the library it is linked with, and the language libraries beside it.
  std::string folder = ProgramFolder(), why;
  std::vector<std::pair<std::string, std::string>> files = {
      {folder + "/QVCstm32.exe", "QVCstm32.exe"},
      {folder + "/libqvplatform.so", "libqvplatform.so"}};
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder + "/languages", ec)) {
    if (entry.is_regular_file(ec))
      files.emplace_back(entry.path().string(), "languages/" + entry.path().filename().string());
  }
  for (const auto& [source, target] : files) {
    if (::access(source.c_str(), R_OK) != 0)
      return Refuse(err, "the viewer's file " + source + " cannot be read; nothing was installed",
                    1);
    if (!fleet::CheckPlain(source, &why))
      return Refuse(err, why + "; nothing was installed", 1);
  }
  nlohmann::json copies = nlohmann::json::array();
  for (const auto& [source, target] : files)
    copies.push_back({{"src", source}, {"dest", target}});
  nlohmann::json tasks = nlohmann::json::array(
      {{{"name", "qv folders"},
        {"ansible.builtin.file",
         {{"path", "{{ qv_root }}/QVCLIENT/bin/languages"}, {"state", "directory"}}}},
       {{"name", "qv viewer"},
        {"ansible.builtin.copy",
         {{"src", "{{ item.src }}"},
          {"dest", "{{ qv_root }}/QVCLIENT/bin/{{ item.dest }}"},
          {"mode", "0755"}}},
        {"loop", copies}},
       {{"name", "qv launcher"},
        {"ansible.builtin.copy",
         {{"content", kLauncher},
          {"dest", "{{ qv_root }}/QVCLIENT/bin/qvanswer"},
          {"mode", "0755"}}}}});
  std::map<std::string, fleet::HostOutcome> outcomes;
  fleet::RunPlay(world, clients, tasks, {}, &outcomes, &why);
  int status = 0;
  for (const std::string& client : clients) {
    const fleet::HostOutcome& outcome = outcomes[client];
    std::string problem = outcome.reached ? "" : "not reached: " + outcome.reason;
    for (const auto& [task, result] : outcome.tasks) {
      if (problem.empty() && result.state == "failed")
        problem = result.message;
    }
    *out += Utf8(client) + ": " + (problem.empty() ? "installed" : "not installed") + "\n";
    if (!problem.empty()) {
      Refuse(err, Utf8(client) + ": " + problem);
      status = 1;
    }
  }
  return status;
}

}  // namespace qv
