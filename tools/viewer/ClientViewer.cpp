#include "tools/viewer/ClientViewer.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <istream>
#include <memory>
#include <ostream>
#include <system_error>

#include "forms/CustomForm.h"
#include "forms/FormDefinition.h"
#include "forms/FormField.h"
#include "platform/path/World.h"
#include "platform/text/CaseFold.h"
#include "resources/ResourceIds.h"
#include "tools/answers/Answers.h"
#include "tools/common/Cp1252.h"
#include "tools/common/ModuleText.h"
#include "tools/common/Programs.h"
#include "tools/viewer/FormPage.h"

namespace qv {
namespace {

const char kUsage[] = "usage: QVCstm32 --client [DIR] [--name COMPUTER]";
const char kClear[] = "-";  // the line that clears an answer

// Text for the terminal, UTF-8 with control characters (C1 ones too) as blanks: no file can
// steer the terminal.
std::string Safe(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto u = static_cast<unsigned char>(utf8[i]);
    auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if (u == 0xC2 && next >= 0x80 && next <= 0x9F) {
      out += ' ';
      ++i;
    } else {
      out += u < 0x20 || u == 0x7F ? ' ' : utf8[i];
    }
  }
  return out;
}

// Windows-1252 text of the files for the terminal.
std::string Shown(std::string_view cp1252) {
  return Safe(text::Cp1252ToUtf8(cp1252));
}

std::string Said(UINT id, Language language) {
  return Shown(ModuleText(id, language));
}

// The number 1..count that `line` is, else 0.
std::size_t ChoiceNumber(const std::string& line, std::size_t count) {
  if (line.empty() || line.size() > 9 ||
      !std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  std::size_t number = std::stoul(line);
  return number <= count ? number : 0;
}

class Dialogue {
 public:
  Dialogue(std::istream& in, std::ostream& out, std::ostream& err)
      : in_(in), out_(out), err_(err) {}

  // The next line the user typed, its line end removed; false at the end of input.
  bool Ask(const std::string& prompt, std::string* line) {
    out_ << prompt << std::flush;
    if (!std::getline(in_, *line)) {
      out_ << "\n";
      err_ << "QVCstm32: end of input: nothing was recorded\n";
      return false;
    }
    if (!line->empty() && line->back() == '\r')
      line->pop_back();
    return true;
  }

  int Run(const World& world, const std::string& client);

 private:
  // Walks the form from the `from`th question that takes an answer (npos: from the start);
  // false at the end of input.
  bool Walk(const CFormDefinition& form, std::size_t from, std::vector<std::string>* answers);
  bool AskAnswer(const CFormField& q, std::string* answer);

  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  Language language_ = UserLanguage();
};

bool Dialogue::AskAnswer(const CFormField& q, std::string* answer) {
  if (q.controlType == CFormField::kFixedList) {
    for (std::size_t i = 0; i < q.items.size(); ++i)
      out_ << "  " << i + 1 << ". " << Shown(q.items[i]->text) << "\n";
  } else if (q.controlType == CFormField::kEditList) {
    for (const auto& item : q.items)
      out_ << "  - " << Shown(item->text) << "\n";
  }
  std::string line;
  // The answer in hand is UTF-8 from the user, or what the file held, made UTF-8.
  if (!Ask(answer->empty() ? "  > " : "  [" + Safe(*answer) + "] > ", &line))
    return false;
  if (line == kClear) {
    answer->clear();
  } else if (!line.empty()) {
    std::size_t number =
        q.controlType == CFormField::kFixedList ? ChoiceNumber(line, q.items.size()) : 0;
    *answer = number > 0 ? text::Cp1252ToUtf8(q.items[number - 1]->text) : line;
  }
  return true;
}

bool Dialogue::Walk(const CFormDefinition& form, std::size_t from,
                    std::vector<std::string>* answers) {
  std::vector<std::vector<PlacedEntry>> pages = FormPages(form);
  std::size_t asked = 0;  // questions that take an answer, passed so far
  bool showing = from == std::string::npos;
  for (std::size_t page = 0; page < pages.size(); ++page) {
    bool headed = false;
    auto head = [&] {
      if (!headed)
        out_ << "\n"
             << Said(IDS_VIEWER_PAGE, language_) << page + 1 << Said(IDS_VIEWER_OF, language_)
             << pages.size() << "\n";
      headed = true;
    };
    for (const PlacedEntry& placed : pages[page]) {
      const CFormField& entry = *placed.entry;
      bool takes = answers::TakesAnswer(entry);
      std::size_t index = takes ? asked++ : 0;
      // Going back, the walk starts at the question named.
      showing = showing || (takes && index == from);
      if (!showing)
        continue;
      head();
      if (entry.kind == CFormField::kSeparator) {
        out_ << "----------------------------------------\n";
        continue;
      }
      out_ << Shown(entry.questionText) << (entry.required ? " *" : "") << "\n";
      if (!entry.description.empty())
        out_ << "  " << Shown(entry.description) << "\n";
      if (takes && !AskAnswer(entry, &(*answers)[index]))
        return false;
    }
    if (showing)
      head();  // a page without entries is a page all the same
  }
  return true;
}

int Dialogue::Run(const World& world, const std::string& client) {
  answers::ClientRecord record = answers::ReadClient(world, client);
  if (!record.reached) {
    err_ << "QVCstm32: " << Printable(record.problem) << "\n";
    return 2;
  }
  if (!record.problem.empty()) {
    err_ << "QVCstm32: " << Printable(record.problem) << "\n";
    return 1;
  }
  if (record.forms.empty()) {
    out_ << "No forms were delivered to " << client << ".\n";
    return 1;
  }
  std::vector<answers::Delivered> forms = record.forms;
  std::stable_sort(forms.begin(), forms.end(),
                   [](const answers::Delivered& a, const answers::Delivered& b) {
                     return CompareNoCase(a.form, b.form) < 0;
                   });
  auto recorded = [&](const std::string& form) -> const answers::FormAnswers* {
    for (const answers::FormAnswers& answered : record.answers) {
      if (EqualsNoCase(answered.form, form))
        return &answered;
    }
    return nullptr;
  };
  out_ << "Forms delivered to " << client << ":\n";
  for (std::size_t i = 0; i < forms.size(); ++i) {
    // Two forms of one name are told apart by their files.
    bool twin = std::count_if(forms.begin(), forms.end(), [&](const answers::Delivered& d) {
                  return EqualsNoCase(d.form, forms[i].form);
                }) > 1;
    out_ << "  " << i + 1 << ". " << Shown(forms[i].form)
         << (twin ? " (" + Shown(forms[i].file) + ")" : "")
         << (recorded(forms[i].form) != nullptr ? " [answered]" : "") << "\n";
  }
  std::size_t chosen = 0;
  for (std::string line; chosen == 0;) {
    if (!Ask("Form number (q quits): ", &line))
      return 1;
    if (EqualsNoCase(line, "q"))
      return 1;
    chosen = ChoiceNumber(line, forms.size());
    if (chosen == 0)
      out_ << "Type a number from 1 to " << forms.size() << ".\n";
  }
  const answers::Delivered& delivered = forms[chosen - 1];
  CCustomForm loaded;
  std::string why;
  if (!answers::LoadDeliveredForm(world, client, delivered.file, &loaded, &why)) {
    err_ << "QVCstm32: " << Printable(why) << "\n";
    return 1;
  }
  const CFormDefinition& form = loaded.Definition();

  // The answers recorded before fill the questions, as the viewer's page fills its controls.
  AnswerPage before;
  if (const answers::FormAnswers* earlier = recorded(form.formName))
    before.values = earlier->values;
  FilledAnswers filled(&before);
  std::vector<std::string> given;
  std::vector<std::string> names = answers::InventoryNames(form);
  for (const std::string& name : names) {
    const std::string* value = filled.Take(name);
    given.push_back(value != nullptr ? text::Cp1252ToUtf8(*value) : "");
  }

  out_ << "\n" << Shown(form.formName) << "\n";
  if (!form.formDescription.empty())
    out_ << Shown(form.formDescription) << "\n";
  if (AnyRequired(form))
    out_ << "* " << Said(IDS_VIEWER_REQUIRED_LEGEND, language_) << "\n";
  out_ << "Enter keeps the answer in [brackets]; " << kClear << " alone clears it.\n";
  answers::Values checked;
  for (std::size_t from = std::string::npos;;) {
    if (!Walk(form, from, &given))
      return 1;
    answers::Values pairs;
    for (std::size_t i = 0; i < names.size(); ++i)
      pairs.emplace_back(names[i], given[i]);
    std::string message;
    if (answers::CheckAnswers(form, pairs, language_, &checked, &message, &from))
      break;
    out_ << "\n" << Shown(message) << "\n";
    if (from >= names.size())
      from = std::string::npos;
  }
  if (!answers::RecordAnswers(
          world, client, {form.formName, answers::AnsweredNow(), delivered.file, checked}, &why)) {
    err_ << "QVCstm32: " << Printable(text::Cp1252ToUtf8(why)) << "\n";
    return 1;
  }
  out_ << "\n" << Said(IDS_VIEWER_RECORDED, language_) << "\n";
  return 0;
}

// Bad arguments or a folder that cannot be used: one line, status 2.
int Refuse(std::ostream& err, const std::string& line) {
  err << "QVCstm32: " << line << "\n";
  return 2;
}

}  // namespace

bool IsClientMode(const std::vector<std::string>& args) {
  return !args.empty() && args[0] == "--client";
}

std::string DefaultClientDrive(const char* environment, const std::string& program) {
  if (environment != nullptr && *environment != '\0')
    return environment;
  std::filesystem::path bin = std::filesystem::path(program).parent_path();
  std::filesystem::path forms = bin.parent_path();
  if (!program.empty() && EqualsNoCase(bin.filename().string(), "bin") &&
      EqualsNoCase(forms.filename().string(), "QVCLIENT"))
    return forms.parent_path().string();
  return "";
}

int RunClientViewer(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                    std::ostream& err) {
  std::string dir, name;
  bool haveDir = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--name" && i + 1 < args.size() && name.empty()) {
      name = args[++i];
      if (name.empty())
        return Refuse(err, "--name needs a computer name; " + std::string(kUsage));
    } else if (args[i].rfind("--", 0) == 0 || haveDir) {
      return Refuse(err, "unexpected argument " + Printable(args[i]) + "; " + kUsage);
    } else {
      dir = args[i];
      haveDir = true;
    }
  }
  if (!haveDir) {
    std::error_code ec;
    dir = DefaultClientDrive(::getenv("QVCLIENT_DRIVE"),
                             std::filesystem::read_symlink("/proc/self/exe", ec).string());
    if (dir.empty())
      return Refuse(err, "no drive folder: give DIR or set QVCLIENT_DRIVE; " + std::string(kUsage));
  }
  std::string why;
  std::unique_ptr<World> world = World::ForClientDrive(dir, name, &why);
  if (world == nullptr)
    return Refuse(err, Printable(why));
  CurrentWorld current(world.get());
  return Dialogue(in, out, err).Run(*world, world->Clients().front());
}

}  // namespace qv
