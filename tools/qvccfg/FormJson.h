// Forms as JSON for the command-line companion:
//   {"file", "header": {"name", "version", "creationDate", "lastModifiedDate"}, "name",
//    "description", "entries": [...], "messages": [...]}
// where an entry is {"kind": "question", "control", "inventoryName", "text", "required",
// "description", "items": [...]}, {"kind": "pagebreak"} or {"kind": "separator"}.
// Texts are Windows-1252 in the form and UTF-8 in JSON.
#pragma once

#include <string>

#include "forms/CustomForm.h"
#include "tools/common/Json.h"

namespace qv {

// The form as JSON, starting with "file" and "header", without "messages".
json::Value FormToJson(const CCustomForm& form, const std::string& file);

// Fills an empty new form from JSON holding "name", "description" and "entries", and
// optionally the "file" and "header" that FormToJson puts first (their shape is checked, their
// content ignored). Texts that the form file could not give back as they are (control
// characters including line breaks and NUL, blanks at either end of a value, a value enclosed
// in quotation marks, a value too long to read back) are refused. False and one line in
// *error, naming the member, on bad input; the form is then unusable.
bool JsonToForm(const json::Value& value, CCustomForm* form, std::string* error);

}  // namespace qv
