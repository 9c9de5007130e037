#include "tools/qvccfg/FormJson.h"

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "forms/ProfileFile.h"
#include "platform/ui/MessageBox.h"

namespace qv {
namespace {

const char* KindName(const CFormField& f) {
  if (f.kind == CFormField::kSeparator)
    return "separator";
  if (f.kind == CFormField::kPageBreak)
    return "pagebreak";
  return "question";
}

json::Value U(const std::string& text) {
  return json::Value(json::Cp1252ToUtf8(text));
}

// Swallows the boxes that parsing a composed line could show while we check it.
class QuietBoxes : public MessageBoxHandler {
 public:
  QuietBoxes() { SetMessageBoxHandler(this); }
  ~QuietBoxes() override { SetMessageBoxHandler(nullptr); }
  int Show(std::string_view, std::string_view, UINT) override { return IDOK; }
};

bool SameEntry(const CFormField& a, const CFormField& b) {
  if (a.kind != b.kind || a.controlType != b.controlType || a.required != b.required ||
      a.inventoryName != b.inventoryName || a.questionText != b.questionText ||
      a.items.size() != b.items.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.items.size(); ++i) {
    if (a.items[i]->text != b.items[i]->text)
      return false;
  }
  return true;
}

// The longest value the form's profile reads give back whole.
constexpr std::size_t kMaxValue = CProfileFile::kReadBufferSize - 1;

// The reason a text holding a NUL, a line break or another control character cannot be
// stored (the profile layer would end the value, break the line or change it); "" for none.
std::string ControlProblem(std::string_view text) {
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F)
      return "holds a control character (a line break, tab, NUL or the like)";
  }
  return "";
}

// What reading gives back of a value that was written as `text`: blanks (and tab to CR, and
// the end-of-file mark) at either end dropped, one pair of enclosing " or ' dropped, the rest
// cut to the read buffer.
std::string ReadBack(std::string_view text) {
  auto trimmed = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; };
  while (!text.empty() && trimmed(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && trimmed(text.back()))
    text.remove_suffix(1);
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    text = text.substr(1, text.size() - 2);
  }
  return std::string(text.substr(0, kMaxValue));
}

// The reason a text stored as a value of its own would not read back as it is; "" for none.
std::string ValueProblem(std::string_view text) {
  if (std::string why = ControlProblem(text); !why.empty())
    return why;
  if (ReadBack(text) == text)
    return "";
  if (text.size() > kMaxValue)
    return "is longer than the " + std::to_string(kMaxValue) + " characters a value can hold";
  if (text.front() == ' ' || text.back() == ' ')
    return "starts or ends with a blank, which reading drops";
  return "is enclosed in quotation marks, which reading drops";
}

}  // namespace

json::Value FormToJson(const CCustomForm& form, const std::string& file) {
  json::Value out = json::Object{};
  out["file"] = U(file);
  json::Value header = json::Object{};
  header["name"] = U(form.GetHeaderName());
  header["version"] = U(form.GetVersion());
  header["creationDate"] = U(form.GetCreationDate());
  header["lastModifiedDate"] = U(form.GetLastModifiedDate());
  out["header"] = header;
  const CFormDefinition& def = form.Definition();
  out["name"] = U(def.formName);
  out["description"] = U(def.formDescription);
  json::Value entries = json::Array{};
  for (const auto& f : def.Entries()) {
    json::Value e = json::Object{};
    e["kind"] = KindName(*f);
    if (f->kind == CFormField::kQuestion) {
      e["control"] = f->controlType;
      e["inventoryName"] = U(f->inventoryName);
      e["text"] = U(f->questionText);
      e["required"] = f->required;
      e["description"] = U(f->description);
      json::Value items = json::Array{};
      for (const auto& item : f->items)
        items.push_back(U(item->text));
      e["items"] = items;
    }
    entries.push_back(e);
  }
  out["entries"] = entries;
  return out;
}

namespace {

// True when the question's texts come back from the form file as they are: its note is a
// value of its own, and its other texts are the tokens of one field line. False and one line
// in *error naming the entry (path) otherwise.
bool CheckQuestion(const CFormField& field, const std::string& path, std::string* error) {
  std::vector<std::pair<std::string, const std::string*>> texts = {
      {".inventoryName", &field.inventoryName}, {".text", &field.questionText}};
  for (std::size_t k = 0; k < field.items.size(); ++k)
    texts.emplace_back(json::ElementPath(".items", k), &field.items[k]->text);
  for (const auto& [member, text] : texts) {
    if (std::string why = ControlProblem(*text); !why.empty()) {
      *error = path + member + ": " + why;
      return false;
    }
  }
  if (std::string why = ValueProblem(field.description); !why.empty()) {
    *error = path + ".description: " + why;
    return false;
  }
  std::string line, note;
  field.ComposeLine(line, note);
  CProfileFile profile;
  CFormField back;
  {
    QuietBoxes quiet;
    back.ParseLine(&profile, ReadBack(line));
  }
  if (line.size() > kMaxValue || !SameEntry(field, back)) {
    *error = path + ": the form file would not give these texts back as they are (\"" +
             json::Cp1252ToUtf8(line.substr(0, 200)) + (line.size() > 200 ? "...\")" : "\")");
    return false;
  }
  return true;
}

}  // namespace

bool JsonToForm(const json::Value& value, CCustomForm* form, std::string* error) {
  using Need = json::ObjectReader::Need;
  json::ObjectReader top(value, "");
  CFormDefinition& def = form->Definition();
  // What export prints ahead of the form. A new form gets a file and a header of its own,
  // so these are checked for their shape and otherwise ignored.
  std::string ignored;
  top.String("file", &ignored, Need::kOptional);
  if (const json::Value* header = top.ObjectMember("header", Need::kOptional)) {
    json::ObjectReader r(*header, "header");
    for (const char* key : {"name", "version", "creationDate", "lastModifiedDate"})
      r.String(key, &ignored, Need::kOptional);
    if (!r.Finish()) {
      *error = r.error();
      return false;
    }
  }
  top.Text("name", &def.formName);
  top.Text("description", &def.formDescription);
  const json::Value* entries = top.ArrayMember("entries");
  if (!top.Finish()) {
    *error = top.error();
    return false;
  }
  if (def.formName.empty()) {
    *error = "name: a form needs a name";
    return false;
  }
  if (std::string why = ValueProblem(def.formName); !why.empty()) {
    *error = "name: " + why;
    return false;
  }
  if (def.formName.find(" - ") != std::string::npos) {
    *error = "name: a form name cannot hold \" - \"";
    return false;
  }
  if (std::string why = ValueProblem(def.formDescription); !why.empty()) {
    *error = "description: " + why;
    return false;
  }
  const json::Array& list = entries->get_ref<const json::Array&>();
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::string path = json::ElementPath("entries", i);
    if (!list[i].is_object()) {
      *error = path + ": expected an object";
      return false;
    }
    json::ObjectReader r(list[i], path);
    std::string kind;
    r.String("kind", &kind);
    auto field = std::make_unique<CFormField>();
    if (r.ok() && (kind == "separator" || kind == "pagebreak")) {
      field->kind = kind == "separator" ? CFormField::kSeparator : CFormField::kPageBreak;
      field->marker = true;
    } else if (r.ok() && kind == "question") {
      r.Int("control", 0, 3, &field->controlType);
      r.Text("inventoryName", &field->inventoryName);
      r.Text("text", &field->questionText);
      r.Bool("required", &field->required);
      r.Text("description", &field->description, Need::kOptional);
      if (const json::Value* items = r.ArrayMember("items", Need::kOptional)) {
        for (const json::Value& item : *items) {
          std::string text;
          if (!item.is_string() || !json::Utf8ToCp1252(item.get_ref<const std::string&>(), &text)) {
            r.Fail("items", "expected strings that Windows-1252 can hold");
            break;
          }
          field->AddItem(text);
        }
      }
    } else if (r.ok()) {
      r.Fail("kind", "expected \"question\", \"pagebreak\" or \"separator\"");
    }
    if (!r.Finish()) {
      *error = r.error();
      return false;
    }
    if (field->kind == CFormField::kQuestion && !CheckQuestion(*field, path, error))
      return false;
    def.Append(std::move(field));
  }
  return true;
}

}  // namespace qv
