#include "tools/answers/Answers.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "forms/CustomForm.h"
#include "forms/FormDefinition.h"
#include "forms/FormField.h"
#include "platform/file/FileApi.h"
#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/text/CaseFold.h"
#include "platform/text/IniText.h"
#include "resources/ResourceIds.h"
#include "tools/common/Cp1252.h"
#include "tools/common/ModuleText.h"
#include "tools/fleet/Fleet.h"

namespace qv::answers {
namespace {

const char kAnsweredKey[] = "%Answered";
const char kFormFileKey[] = "%FormFile";
const char kAnswerFileName[] = "CUSTDATA.INI";
const char kBlanks[] = " \t\r\f\v";

std::string_view Trim(std::string_view text) {
  std::size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos)
    return {};
  return text.substr(begin, text.find_last_not_of(kBlanks) + 1 - begin);
}

bool Escaped(unsigned char c) {
  return c == '%' || c == '=' || c == '[' || c == ']' || c < 0x20 || c == 0x7F;
}

// A section or key name as a profile line can carry it (see the header).
std::string EscapeName(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    bool endBlank = c == ' ' && (i == 0 || i + 1 == name.size());
    if (Escaped(c) || endBlank) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string UnescapeName(std::string_view name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '%' && i + 2 < name.size() && HexDigit(name[i + 1]) >= 0 &&
        HexDigit(name[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(name[i + 1]) * 16 + HexDigit(name[i + 2]));
      i += 2;
    } else {
      out += name[i];
    }
  }
  return out;
}

// The name of a section header line ("[name]", blanks trimmed), or false for another line.
bool HeaderName(std::string_view line, std::string* name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[')
    return false;
  std::size_t close = line.rfind(']');
  *name = UnescapeName(line.substr(1, (close == std::string_view::npos ? line.size() : close) - 1));
  return true;
}

// Calls `each(line, begin)` for every line of `text`, its line end removed; `begin` is where
// the line starts.
template <typename Each>
void ForEachLine(std::string_view text, Each each) {
  for (std::size_t begin = 0; begin < text.size();) {
    std::size_t end = text.find('\n', begin);
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    std::string_view line = text.substr(begin, next - begin);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
      line.remove_suffix(1);
    each(line, begin);
    begin = next;
  }
}

std::string SectionText(const FormAnswers& answers) {
  std::string text = "[" + EscapeName(answers.form) + "]\r\n";
  text += std::string(kAnsweredKey) + "=" + answers.answered + "\r\n";
  text += std::string(kFormFileKey) + "=" + answers.formFile + "\r\n";
  for (const auto& [name, value] : answers.values)
    text += EscapeName(name) + "=\"" + value + "\"\r\n";
  return text;
}

// A viewer message with %1 and %2 replaced.
std::string Say(UINT id, Language language, const std::string& one, const std::string& two = "") {
  std::string format = ModuleText(id, language);
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() &&
        (format[i + 1] == '1' || format[i + 1] == '2')) {
      out += format[i + 1] == '1' ? one : two;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

// What the user sees of a question in a message: its text, else its inventory name.
const std::string& Shown(const CFormField& entry) {
  return entry.questionText.empty() ? entry.inventoryName : entry.questionText;
}

bool Fail(std::string* why, const std::string& text) {
  *why = text;
  return false;
}

// The answer file's name in the forms folder `folder`: the name it has, in whatever letter
// case, else CUSTDATA.INI.
std::string AnswerFileName(const std::string& folder) {
  std::string name = kAnswerFileName;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      if (EqualsNoCase(entry->d_name, kAnswerFileName))
        name = entry->d_name;
    }
    ::closedir(dir);
  }
  return name;
}

}  // namespace

std::vector<FormAnswers> ParseAnswerFile(std::string_view text) {
  std::vector<FormAnswers> sections;
  ForEachLine(text, [&](std::string_view line, std::size_t) {
    std::string name;
    if (HeaderName(line, &name)) {
      sections.push_back({});
      sections.back().form = name;
      return;
    }
    std::size_t equals = line.find('=');
    if (sections.empty() || equals == std::string_view::npos)
      return;
    std::string key(Trim(line.substr(0, equals)));
    std::string_view value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    FormAnswers& section = sections.back();
    if (key == kAnsweredKey)
      section.answered = value;
    else if (key == kFormFileKey)
      section.formFile = value;
    else
      section.values.emplace_back(UnescapeName(key), value);
  });
  return sections;
}

std::string ReplaceFormAnswers(std::string_view text, const FormAnswers& answers) {
  std::size_t begin = std::string_view::npos, end = text.size();
  ForEachLine(text, [&](std::string_view line, std::size_t at) {
    std::string name;
    if (!HeaderName(line, &name))
      return;
    if (begin == std::string_view::npos && EqualsNoCase(name, answers.form))
      begin = at;
    else if (begin != std::string_view::npos && end == text.size() && at > begin)
      end = at;
  });
  std::string out(text);
  if (begin != std::string_view::npos)
    return out.replace(begin, end - begin, SectionText(answers));
  if (!out.empty() && out.back() != '\n')
    out += "\r\n";
  return out + SectionText(answers);
}

std::string AnsweredNow() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

bool TakesAnswer(const CFormField& entry) {
  return entry.kind == CFormField::kQuestion && entry.controlType >= CFormField::kEditBox &&
         entry.controlType <= CFormField::kEditList;
}

bool CheckAnswers(const CFormDefinition& form, const Values& given, Language language,
                  Values* recorded, std::string* message, std::size_t* refused) {
  std::size_t ignored = 0;
  refused = refused != nullptr ? refused : &ignored;
  struct Question {
    const CFormField* entry;
    int page;
  };
  std::vector<Question> questions;
  int page = 1;
  for (const auto& entry : form.Entries()) {
    if (entry->kind == CFormField::kPageBreak)
      ++page;
    else if (TakesAnswer(*entry))
      questions.push_back({entry.get(), page});
  }
  std::vector<std::string> values(questions.size());
  std::vector<bool> answered(questions.size());
  for (const auto& [nameUtf8, valueUtf8] : given) {
    std::string name;
    text::Utf8ToCp1252Replacing(nameUtf8, &name);
    // The exact name first; letter case decides only between names that differ in it.
    std::size_t found = questions.size(), blind = questions.size(), blindCount = 0;
    for (std::size_t i = 0; i < questions.size(); ++i) {
      const std::string& inventory = questions[i].entry->inventoryName;
      if (found == questions.size() && inventory == name && !answered[i])
        found = i;
      if (EqualsNoCase(inventory, name)) {
        blind = blindCount == 0 ? i : blind;
        ++blindCount;
      }
    }
    if (found == questions.size() && blindCount == 1)
      found = blind;
    if (found == questions.size()) {
      bool twice = blindCount > 0;
      *refused = twice ? blind : std::string::npos;
      return Fail(message, Say(twice ? IDS_VIEWER_ANSWER_TWICE : IDS_VIEWER_NO_QUESTION, language,
                               twice ? Shown(*questions[blind].entry) : name));
    }
    const CFormField& entry = *questions[found].entry;
    *refused = found;
    if (answered[found])
      return Fail(message, Say(IDS_VIEWER_ANSWER_TWICE, language, Shown(entry)));
    std::string value;
    bool oneLine = text::Utf8ToCp1252Replacing(valueUtf8, &value) &&
                   std::none_of(value.begin(), value.end(), [](char c) {
                     return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
                   });
    if (!oneLine)
      return Fail(message, Say(IDS_VIEWER_ANSWER_LINE, language, Shown(entry)));
    if (value.size() > kMaxAnswer)
      return Fail(message, Say(IDS_VIEWER_ANSWER_TOO_LONG, language, Shown(entry)));
    if (entry.controlType == CFormField::kFixedList && !value.empty()) {
      // One of the choices, as the list holds it.
      const CFieldItem* choice = nullptr;
      for (const auto& item : entry.items) {
        if (choice == nullptr && EqualsNoCase(item->text, value))
          choice = item.get();
        if (item->text == value)
          choice = item.get();
      }
      if (choice == nullptr)
        return Fail(message, Say(IDS_VIEWER_ANSWER_NOT_CHOICE, language, Shown(entry)));
      value = choice->text;
    }
    values[found] = value;
    answered[found] = true;
  }
  for (std::size_t i = 0; i < questions.size(); ++i) {
    if (questions[i].entry->required && Trim(values[i]).empty()) {
      *refused = i;
      return Fail(message, Say(IDS_VIEWER_ANSWER_MISSING, language, Shown(*questions[i].entry),
                               std::to_string(questions[i].page)));
    }
  }
  recorded->clear();
  for (std::size_t i = 0; i < questions.size(); ++i)
    recorded->emplace_back(questions[i].entry->inventoryName, values[i]);
  return true;
}

ClientRecord ReadClient(const World& world, const std::string& client) {
  ClientRecord record;
  record.client = client;
  std::string drive, folder, why;
  struct stat st {};
  if (!world.MapOnComputer(client, "C:\\", &drive, &why) ||
      !world.MapOnComputer(client, kFormFolder, &folder, &why)) {
    record.problem = why;
    return record;
  }
  if (::stat(drive.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    record.problem = "the client's drive C: cannot be reached";
    return record;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    record.reached = errno == ENOENT;
    record.problem =
        record.reached ? "" : std::string("cannot list C:\\QVCLIENT: ") + std::strerror(errno);
    return record;
  }
  std::string answerFile;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (EqualsNoCase(name, kAnswerFileName)) {
      answerFile = name;
      continue;
    }
    if (name.size() < 5 || !EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".FRM"))
      continue;
    std::string bytes, formName;
    // A form that cannot be read holds no name; it is passed over.
    if (world.Root().Read(folder + "/" + name, &bytes) &&
        IniText(std::move(bytes)).Get("Form", "FormName", &formName))
      record.forms.push_back({name, formName});
  }
  ::closedir(dir);
  std::sort(record.forms.begin(), record.forms.end(), [](const Delivered& a, const Delivered& b) {
    return CompareNoCase(a.file, b.file) < 0;
  });
  record.reached = true;
  if (answerFile.empty())
    return record;
  std::string bytes;
  ReadFailure failure = ReadFailure::kNone;
  if (!world.Root().Read(folder + "/" + answerFile, &bytes, nullptr, &failure)) {
    record.problem = std::string("the answer file cannot be read: ") + std::strerror(errno);
  } else if (bytes.size() > kMaxAnswerFile) {
    record.problem = "the answer file is larger than " + std::to_string(kMaxAnswerFile) + " bytes";
  } else {
    record.answers = ParseAnswerFile(bytes);
  }
  return record;
}

bool RecordAnswers(const World& world, const std::string& client, const FormAnswers& answers,
                   std::string* why) {
  std::string folder;
  if (!world.MapOnComputer(client, kFormFolder, &folder, why))
    return false;
  std::string path = folder + "/" + AnswerFileName(folder);
  std::string bytes;
  ReadFailure failure = ReadFailure::kNone;
  if (!world.Root().Read(path, &bytes, nullptr, &failure) && failure != ReadFailure::kMissing)
    return Fail(why, std::string("the answer file cannot be read: ") + std::strerror(errno));
  if (bytes.size() > kMaxAnswerFile)
    return Fail(why, "the answer file is larger than " + std::to_string(kMaxAnswerFile) + " bytes");
  if (!world.Root().MakeFolders(folder) ||
      !world.Root().Write(path, ReplaceFormAnswers(bytes, answers)))
    return Fail(why, std::string("the answer file cannot be written: ") + std::strerror(errno));
  return true;
}

std::vector<std::string> InventoryNames(const CFormDefinition& form) {
  std::vector<std::string> names;
  for (const auto& entry : form.Entries()) {
    if (TakesAnswer(*entry))
      names.push_back(entry->inventoryName);
  }
  return names;
}

bool LoadDeliveredForm(const World& world, const std::string& client, const std::string& name,
                       CCustomForm* form, std::string* why) {
  ClientRecord record = ReadClient(world, client);
  if (!record.reached)
    return Fail(why, record.problem);
  const Delivered* chosen = nullptr;
  std::string named;
  for (const Delivered& delivered : record.forms) {
    if (EqualsNoCase(delivered.file, name)) {
      chosen = &delivered;
      break;
    }
    if (EqualsNoCase(delivered.form, name)) {
      // Two forms of one name: only the file's name tells which is meant.
      if (!named.empty())
        return Fail(why, "two forms named \"" + name + "\" were delivered to " + client + " (" +
                             named + ", " + delivered.file + "): name the form's file");
      named = delivered.file;
    }
  }
  if (chosen == nullptr && named.empty())
    return Fail(why, "no form \"" + name + "\" was delivered to " + client);
  form->SetFilePath("\\\\" + client + "\\C$\\QVCLIENT\\" +
                    (chosen != nullptr ? chosen->file : named));
  form->Load();
  return true;
}

bool LoadShareForm(const std::string& name, CCustomForm* form) {
  char core[80] = {};
  if (!GetCoreServerName(core, sizeof core))
    return false;
  std::string share = std::string("\\\\") + core + "\\qvlogon\\";
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((share + "*.FRM").c_str(), &data);
  std::string byName, byFile;
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data)) {
    std::string bytes, formName;
    std::string host;
    if (byFile.empty() && EqualsNoCase(data.cFileName, name))
      byFile = data.cFileName;
    if (byName.empty() && World::Current()->MapPath(share + data.cFileName, &host, &formName) &&
        World::Current()->Root().Read(host, &bytes) &&
        IniText(std::move(bytes)).Get("Form", "FormName", &formName) &&
        EqualsNoCase(formName, name))
      byName = data.cFileName;
  }
  if (find != INVALID_HANDLE_VALUE)
    FindClose(find);
  if (byName.empty() && byFile.empty())
    return false;
  form->SetFilePath(share + (byName.empty() ? byFile : byName));
  form->Load();
  return true;
}

namespace {

// Standard base64, as the engine returns a file's bytes; false for anything else.
bool DecodeBase64(std::string_view text, std::string* bytes) {
  bytes->clear();
  unsigned buffer = 0;
  int bits = 0;
  for (char c : text) {
    int value = c >= 'A' && c <= 'Z'   ? c - 'A'
                : c >= 'a' && c <= 'z' ? c - 'a' + 26
                : c >= '0' && c <= '9' ? c - '0' + 52
                : c == '+'             ? 62
                : c == '/'             ? 63
                                       : -1;
    if (c == '=')
      break;
    if (value < 0)
      return false;
    buffer = (buffer << 6) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes->push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
  return true;
}

// The mirror's forms folder of a remote client, made when missing; empty when it cannot be.
std::string MirrorFolder(const World& world, const std::string& client, std::string* why) {
  std::string folder;
  std::string root = world.Dir() + "/remote/" + world.FindComputer(client)->name + "/C";
  if (!world.Root().MakeFolders(root) || !world.MapOnComputer(client, kFormFolder, &folder, why) ||
      !world.Root().MakeFolders(folder)) {
    if (why->empty())
      *why = std::string("the mirror of the client cannot be made: ") + std::strerror(errno);
    return "";
  }
  return folder;
}

// Makes the mirror's forms folder hold exactly `files` (name, bytes).
bool FillMirror(const World& world, const std::string& client,
                const std::vector<std::pair<std::string, std::string>>& files, std::string* why) {
  std::string folder = MirrorFolder(world, client, why);
  if (folder.empty())
    return false;
  std::vector<std::string> stale;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      bool kept = std::any_of(files.begin(), files.end(),
                              [&](const auto& file) { return file.first == name; });
      if (name != "." && name != ".." && !kept)
        stale.push_back(name);
    }
    ::closedir(dir);
  }
  for (const auto& [name, bytes] : files) {
    if (name.find('/') != std::string::npos || name == "." || name == ".." ||
        !world.Root().Write(folder + "/" + name, bytes))
      return Fail(why, "the mirror of " + client + " cannot be written: " + name);
  }
  for (const std::string& name : stale)
    world.Root().Remove(folder + "/" + name);
  return true;
}

}  // namespace

std::map<std::string, std::string> FetchRemote(const World& world,
                                               const std::vector<std::string>& clients) {
  std::vector<std::string> remote;
  for (const std::string& client : clients) {
    if (world.RemoteDriveOf(client) != nullptr)
      remote.push_back(client);
  }
  std::map<std::string, std::string> problems;
  if (remote.empty())
    return problems;
  std::string maxSize = "-" + std::to_string(kMaxAnswerFile / 1024) + "k";
  nlohmann::json tasks = nlohmann::json::array(
      {{{"name", "qv find"},
        {"ansible.builtin.find",
         {{"paths", "{{ qv_root }}/QVCLIENT"},
          {"patterns", {fleet::PatternRegex("*.FRM"), fleet::PatternRegex(kAnswerFileName)}},
          {"use_regex", true},
          {"file_type", "file"},
          {"size", maxSize}}},
        {"register", "qv_files"}},
       {{"name", "qv read"},
        {"ansible.builtin.slurp", {{"src", "{{ item.path }}"}}},
        {"loop", "{{ qv_files.files }}"}}});
  std::map<std::string, fleet::HostOutcome> outcomes;
  std::string why;
  fleet::RunPlay(world, remote, tasks, {}, &outcomes, &why);
  for (const std::string& client : remote) {
    const fleet::HostOutcome& outcome = outcomes[client];
    std::string problem;
    std::vector<std::pair<std::string, std::string>> files;
    auto read = outcome.tasks.find("qv read");
    if (!outcome.reached) {
      problem = "not reached: " + outcome.reason;
    } else if (auto find = outcome.tasks.find("qv find");
               find != outcome.tasks.end() && find->second.state == "failed") {
      problem = "cannot list C:\\QVCLIENT: " + find->second.message;
    } else if (read != outcome.tasks.end() && read->second.state == "failed") {
      problem = "cannot read C:\\QVCLIENT: " + read->second.message;
    } else if (read != outcome.tasks.end() && read->second.data.contains("results")) {
      for (const nlohmann::json& item : read->second.data["results"]) {
        std::string path = item.is_object() ? item.value("source", "") : "", bytes;
        if (!item.is_object() || !item["content"].is_string() ||
            !DecodeBase64(item["content"].get<std::string>(), &bytes)) {
          problem = "cannot read " + path;
          break;
        }
        files.emplace_back(path.substr(path.rfind('/') + 1), bytes);
      }
    }
    if (problem.empty() && !FillMirror(world, client, files, &problem) && problem.empty())
      problem = "the mirror cannot be written";
    if (!problem.empty()) {
      std::string text;
      text::Utf8ToCp1252Replacing(problem, &text);
      problems[client] = text;
    }
  }
  return problems;
}

bool PushAnswerFile(const World& world, const std::string& client, std::string* why) {
  std::string folder = MirrorFolder(world, client, why);
  if (folder.empty())
    return false;
  std::string name = AnswerFileName(folder);
  if (!fleet::CheckPlain(folder, why))
    return false;
  nlohmann::json tasks = nlohmann::json::array(
      {{{"name", "qv answers"},
        {"ansible.builtin.copy",
         {{"src", folder + "/" + name}, {"dest", "{{ qv_root }}/QVCLIENT/" + name}}}}});
  std::map<std::string, fleet::HostOutcome> outcomes;
  fleet::RunPlay(world, {client}, tasks, {}, &outcomes, why);
  const fleet::HostOutcome& outcome = outcomes[client];
  auto copy = outcome.tasks.find("qv answers");
  std::string problem;
  if (!outcome.reached)
    problem = "not reached: " + outcome.reason;
  else if (copy != outcome.tasks.end() && copy->second.state == "failed")
    problem = "the answer file cannot be written: " + copy->second.message;
  if (problem.empty())
    return true;
  text::Utf8ToCp1252Replacing(problem, why);
  return false;
}

Collected CollectAnswers(const World& world, const std::string& form,
                         const std::vector<std::string>& questions) {
  Collected collected;
  collected.columns = questions;
  std::vector<std::string> clients = world.Clients();
  std::sort(clients.begin(), clients.end(),
            [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; });
  std::map<std::string, std::string> unreached = FetchRemote(world, clients);
  for (const std::string& client : clients) {
    if (auto problem = unreached.find(client); problem != unreached.end()) {
      collected.problems.emplace_back(client, problem->second);
      continue;
    }
    ClientRecord record = ReadClient(world, client);
    if (!record.problem.empty()) {
      collected.problems.emplace_back(client, record.problem);
      continue;
    }
    auto answers = std::find_if(record.answers.begin(), record.answers.end(),
                                [&](const FormAnswers& a) { return EqualsNoCase(a.form, form); });
    if (answers == record.answers.end()) {
      bool holds = std::any_of(record.forms.begin(), record.forms.end(),
                               [&](const Delivered& d) { return EqualsNoCase(d.form, form); });
      collected.notAnswered += holds ? 1 : 0;
      continue;
    }
    for (const auto& [name, value] : answers->values) {
      if (std::find(collected.columns.begin(), collected.columns.end(), name) ==
          collected.columns.end())
        collected.columns.push_back(name);
    }
    collected.rows.push_back({client, *answers});
  }
  return collected;
}

namespace {

void AppendCsvField(std::string_view cp1252, std::string* out) {
  std::string text = text::Cp1252ToUtf8(cp1252);
  bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
               (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) {
    *out += text;
    return;
  }
  *out += '"';
  for (char c : text)
    *out += c == '"' ? std::string("\"\"") : std::string(1, c);
  *out += '"';
}

}  // namespace

std::string AnswersCsv(const Collected& collected) {
  std::string out = "Client,Answered";
  for (const std::string& column : collected.columns) {
    out += ',';
    AppendCsvField(column, &out);
  }
  out += "\r\n";
  for (const Collected::Row& row : collected.rows) {
    AppendCsvField(row.client, &out);
    out += ',';
    AppendCsvField(row.answers.answered, &out);
    for (const std::string& column : collected.columns) {
      out += ',';
      for (const auto& [name, value] : row.answers.values) {
        if (name == column) {
          AppendCsvField(value, &out);
          break;
        }
      }
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace qv::answers
