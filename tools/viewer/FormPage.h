// The form as the client user sees it, drawn as one HTML page: no scripts, no outside
// resources, styles inline, so the page opens anywhere on its own.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/langrt/LangRt.h"

class CFormDefinition;
class CFormField;

namespace qv {

// Text for HTML element content and quoted attribute values: & < > " ' become entities;
// control characters other than tab become blanks. Other bytes stay as they are: form text
// is Windows-1252, and the page says so.
std::string EscapeHtml(std::string_view text);

// The whole page of a form: the name as title and heading, the description, then one
// section per page ("Page N of M"; every page break starts the next page, so a form with k
// page breaks has k + 1 pages). Each question shows its text, a "*" when an answer is
// required, its description and its control: an edit box, a drop-down list with a fixed set
// of choices, an edit box with suggested choices, or nothing for a question without a
// control. Separators are rules. Back and Next links move between pages. The page's own words
// are in `language`, from its language library beside the program (tools/common/ModuleText.h),
// else English.
//
// A page that takes answers (`answering` not null) is one HTML form posted back to the page's
// own address by Finish, on the last page; its controls hold the answers given (by inventory
// name), and above the form it says why answers were refused, or that they were recorded.
struct AnswerPage {
  std::vector<std::pair<std::string, std::string>> values;  // inventory name, answer
  std::string message;                                      // the refusal ("" none)
  bool recorded = false;                                    // the answers were recorded
};
std::string RenderFormPage(const CFormDefinition& form, Language language = UserLanguage(),
                           const AnswerPage* answering = nullptr);

// What the page is made of, for other faces of the form (the viewer's terminal mode).
// An entry with its place in the form, counted from 1.
struct PlacedEntry {
  int number;
  const CFormField* entry;
};
// The entries of each page, in order; every page break closes one page.
std::vector<std::vector<PlacedEntry>> FormPages(const CFormDefinition& form);
// True when a question of the form requires an answer (the page then explains the mark).
bool AnyRequired(const CFormDefinition& form);
// The answers to fill into the questions' controls: a question takes the first answer of its
// inventory name not taken yet.
class FilledAnswers {
 public:
  explicit FilledAnswers(const AnswerPage* page);
  const std::string* Take(const std::string& name);

 private:
  const AnswerPage* page_;
  std::vector<bool> taken_;
};

// The page shown when there is no form file yet (a new form previewed before it was saved):
// it says so, in `language`.
std::string RenderNoFormPage(Language language = UserLanguage());

}  // namespace qv
