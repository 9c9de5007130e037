#include "tools/qvccfg/FormJson.h"

#include <memory>

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

bool HasLineBreak(const std::string& s) {
  return s.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

json::Value FormToJson(const CCustomForm& form, const std::string& file) {
  json::Value out = json::Object{};
  out.Set("file", U(file));
  json::Value header = json::Object{};
  header.Set("name", U(form.GetHeaderName()));
  header.Set("version", U(form.GetVersion()));
  header.Set("creationDate", U(form.GetCreationDate()));
  header.Set("lastModifiedDate", U(form.GetLastModifiedDate()));
  out.Set("header", header);
  const CFormDefinition& def = form.Definition();
  out.Set("name", U(def.formName));
  out.Set("description", U(def.formDescription));
  json::Value entries = json::Array{};
  for (const auto& f : def.Entries()) {
    json::Value e = json::Object{};
    e.Set("kind", KindName(*f));
    if (f->kind == CFormField::kQuestion) {
      e.Set("control", f->controlType);
      e.Set("inventoryName", U(f->inventoryName));
      e.Set("text", U(f->questionText));
      e.Set("required", f->required);
      e.Set("description", U(f->description));
      json::Value items = json::Array{};
      for (const auto& item : f->items)
        items.Append(U(item->text));
      e.Set("items", items);
    }
    entries.Append(e);
  }
  out.Set("entries", entries);
  return out;
}

bool JsonToForm(const json::Value& value, CCustomForm* form, std::string* error) {
  json::ObjectReader top(value, "");
  CFormDefinition& def = form->Definition();
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
  if (def.formName.find(" - ") != std::string::npos) {
    *error = "name: a form name cannot hold \" - \"";
    return false;
  }
  if (HasLineBreak(def.formName) || HasLineBreak(def.formDescription)) {
    *error = "name or description: line breaks cannot be stored";
    return false;
  }
  const json::Array& list = entries->AsArray();
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::string path = json::ElementPath("entries", i);
    if (!list[i].IsObject()) {
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
      r.Text("description", &field->description, json::ObjectReader::Need::kOptional);
      if (const json::Value* items = r.ArrayMember("items", json::ObjectReader::Need::kOptional)) {
        for (std::size_t k = 0; k < items->AsArray().size(); ++k) {
          std::string utf8 = items->AsArray()[k].AsString(), text;
          if (!items->AsArray()[k].IsString() || !json::Utf8ToCp1252(utf8, &text)) {
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
    if (field->kind == CFormField::kQuestion) {
      bool breaks = HasLineBreak(field->inventoryName) || HasLineBreak(field->questionText) ||
                    HasLineBreak(field->description);
      for (const auto& item : field->items)
        breaks = breaks || HasLineBreak(item->text);
      std::string line, note;
      field->ComposeLine(line, note);
      CProfileFile profile;
      CFormField back;
      {
        QuietBoxes quiet;
        back.ParseLine(&profile, line);
      }
      if (breaks || !SameEntry(*field, back)) {
        *error = path + ": the form file would not give these texts back as they are (\"" +
                 json::Cp1252ToUtf8(line) + "\")";
        return false;
      }
    }
    def.Append(std::move(field));
  }
  return true;
}

}  // namespace qv
