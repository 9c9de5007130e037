#include "tools/viewer/FormPage.h"

#include <string>
#include <vector>

#include "forms/FormDefinition.h"
#include "forms/FormField.h"
#include "resources/ResourceIds.h"
#include "tools/common/ModuleText.h"

namespace qv {
namespace {

// Looks of a plain dialog: grey window, white pages, the required mark in red.
const char kStyle[] =
    "body{margin:0;padding:1.5em;background:#d4d0c8;color:#000;"
    "font:14px Tahoma,Verdana,'Segoe UI',sans-serif}\n"
    "header,section{max-width:40em;margin:0 auto 1em;background:#fff;"
    "border:1px solid #808080;padding:1em 1.5em}\n"
    "h1{font-size:1.4em;margin:0 0 .3em}\n"
    "h2{font-size:1em;color:#555;margin:0 0 1em;font-weight:normal}\n"
    ".description{margin:0}\n"
    ".legend{margin:.6em 0 0;font-size:.9em;color:#555}\n"
    ".question{margin:0 0 1.2em}\n"
    ".text{display:block;font-weight:bold}\n"
    ".note{margin:.2em 0 .4em;color:#444;font-size:.9em}\n"
    ".required{color:#c00;margin-left:.25em}\n"
    "input,select{font:inherit;min-width:20em;margin-top:.3em}\n"
    "hr{border:0;border-top:1px solid #808080;margin:1.2em 0}\n"
    "nav{display:flex;justify-content:space-between;border-top:1px solid #ddd;"
    "padding-top:.8em}\n"
    "nav a{color:#00c}\n";
// What a page that takes answers adds.
const char kAnswerStyle[] =
    ".problem{color:#c00;font-weight:bold;margin:.6em 0 0}\n"
    ".recorded{color:#060;font-weight:bold;margin:.6em 0 0}\n"
    ".finish{text-align:right;margin:1em 0 0}\n";

// One of the page's own words in `language`, escaped for the page.
std::string Say(Language language, UINT id) {
  return EscapeHtml(ModuleText(id, language));
}

std::string Head(Language language, const std::string& title, bool answering = false) {
  return "<!DOCTYPE html>\n<html lang=\"" + Say(language, IDS_VIEWER_LANGUAGE) +
         "\">\n<head>\n<meta charset=\"windows-1252\">\n"
         "<meta name=\"viewport\" content=\"width=device-width\">\n<title>" +
         title + "</title>\n<style>\n" + kStyle + (answering ? kAnswerStyle : "") +
         "</style>\n</head>\n<body>\n";
}

std::string PageId(int page) {
  return "page-" + std::to_string(page);
}

void RenderQuestion(const CFormField& q, const std::string& id, Language language,
                    const std::string* value, std::string* html) {
  std::string filled = value != nullptr ? " value=\"" + EscapeHtml(*value) + "\"" : "";
  bool hasControl = q.controlType >= CFormField::kEditBox && q.controlType <= CFormField::kEditList;
  std::string name = EscapeHtml(q.inventoryName);
  std::string required = q.required ? " required" : "";
  *html += "<div class=\"question\">\n";
  *html += hasControl ? "<label class=\"text\" for=\"" + id + "\">" : "<span class=\"text\">";
  *html += EscapeHtml(q.questionText);
  if (q.required)
    *html +=
        "<span class=\"required\" title=\"" + Say(language, IDS_VIEWER_REQUIRED) + "\">*</span>";
  *html += hasControl ? "</label>\n" : "</span>\n";
  if (!q.description.empty())
    *html += "<p class=\"note\">" + EscapeHtml(q.description) + "</p>\n";
  switch (q.controlType) {
    case CFormField::kEditBox:
      *html += "<input type=\"text\" id=\"" + id + "\" name=\"" + name + "\"" + filled + required +
               ">\n";
      break;
    case CFormField::kFixedList:
      // A fixed list starts with nothing chosen, as the drop-down list of the client does.
      *html += "<select id=\"" + id + "\" name=\"" + name + "\"" + required + ">\n";
      *html += "<option value=\"\"></option>\n";
      for (const auto& item : q.items) {
        bool chosen = value != nullptr && *value == item->text;
        *html +=
            (chosen ? "<option selected>" : "<option>") + EscapeHtml(item->text) + "</option>\n";
      }
      *html += "</select>\n";
      break;
    case CFormField::kEditList:
      *html += "<input type=\"text\" id=\"" + id + "\" name=\"" + name + "\" list=\"" + id +
               "-choices\"" + filled + required + ">\n";
      *html += "<datalist id=\"" + id + "-choices\">\n";
      for (const auto& item : q.items)
        *html += "<option value=\"" + EscapeHtml(item->text) + "\"></option>\n";
      *html += "</datalist>\n";
      break;
    default:  // a question without a control is text for the user to read
      break;
  }
  *html += "</div>\n";
}

}  // namespace

std::vector<std::vector<PlacedEntry>> FormPages(const CFormDefinition& form) {
  std::vector<std::vector<PlacedEntry>> pages(1);
  int number = 0;
  for (const auto& entry : form.Entries()) {
    ++number;
    if (entry->kind == CFormField::kPageBreak)
      pages.emplace_back();
    else
      pages.back().push_back({number, entry.get()});
  }
  return pages;
}

bool AnyRequired(const CFormDefinition& form) {
  for (const auto& entry : form.Entries()) {
    if (entry->kind == CFormField::kQuestion && entry->required)
      return true;
  }
  return false;
}

FilledAnswers::FilledAnswers(const AnswerPage* page) : page_(page) {
  if (page != nullptr)
    taken_.resize(page->values.size());
}

const std::string* FilledAnswers::Take(const std::string& name) {
  for (std::size_t i = 0; page_ != nullptr && i < page_->values.size(); ++i) {
    if (!taken_[i] && page_->values[i].first == name) {
      taken_[i] = true;
      return &page_->values[i].second;
    }
  }
  return nullptr;
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        // Control characters are not allowed in HTML text; a blank keeps the words apart.
        bool control = (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
        out += control ? ' ' : c;
        break;
    }
  }
  return out;
}

std::string RenderFormPage(const CFormDefinition& form, Language language,
                           const AnswerPage* answering) {
  std::string title =
      form.formName.empty() ? Say(language, IDS_VIEWER_UNTITLED) : EscapeHtml(form.formName);
  std::string html =
      Head(language, title, answering != nullptr) + "<header>\n<h1>" + title + "</h1>\n";
  if (!form.formDescription.empty())
    html += "<p class=\"description\">" + EscapeHtml(form.formDescription) + "</p>\n";
  if (AnyRequired(form))
    html += "<p class=\"legend\"><span class=\"required\">*</span> " +
            Say(language, IDS_VIEWER_REQUIRED_LEGEND) + "</p>\n";
  if (answering != nullptr && !answering->message.empty())
    html += "<p class=\"problem\" role=\"alert\">" + EscapeHtml(answering->message) + "</p>\n";
  if (answering != nullptr && answering->recorded)
    html +=
        "<p class=\"recorded\" role=\"status\">" + Say(language, IDS_VIEWER_RECORDED) + "</p>\n";
  html += "</header>\n";
  // The answers go back to this page's own address.
  if (answering != nullptr)
    html += "<form method=\"post\" accept-charset=\"utf-8\">\n";
  FilledAnswers filled(answering);

  std::vector<std::vector<PlacedEntry>> pages = FormPages(form);
  int count = static_cast<int>(pages.size());
  for (int page = 1; page <= count; ++page) {
    html += "<section class=\"page\" id=\"" + PageId(page) + "\">\n<h2>" +
            Say(language, IDS_VIEWER_PAGE) + std::to_string(page) + Say(language, IDS_VIEWER_OF) +
            std::to_string(count) + "</h2>\n";
    for (const PlacedEntry& placed : pages[page - 1]) {
      if (placed.entry->kind == CFormField::kSeparator)
        html += "<hr>\n";
      else  // ids made from the place stay the same whichever page the entry falls on
        RenderQuestion(*placed.entry, "q" + std::to_string(placed.number), language,
                       placed.entry->controlType <= CFormField::kEditList
                           ? filled.Take(placed.entry->inventoryName)
                           : nullptr,
                       &html);
    }
    if (count > 1) {
      html += "<nav>";
      html += page > 1 ? "<a href=\"#" + PageId(page - 1) + "\">" + Say(language, IDS_VIEWER_BACK) +
                             "</a>"
                       : "<span></span>";
      html += page < count ? "<a href=\"#" + PageId(page + 1) + "\">" +
                                 Say(language, IDS_VIEWER_NEXT) + "</a>"
                           : "<span></span>";
      html += "</nav>\n";
    }
    if (answering != nullptr && page == count)
      html += "<p class=\"finish\"><button type=\"submit\">" + Say(language, IDS_VIEWER_FINISH) +
              "</button></p>\n";
    html += "</section>\n";
  }
  if (answering != nullptr)
    html += "</form>\n";
  html += "</body>\n</html>\n";
  return html;
}

std::string RenderNoFormPage(Language language) {
  std::string title = Say(language, IDS_VIEWER_NO_FORM);
  return Head(language, title) + "<header>\n<h1>" + title + "</h1>\n<p class=\"description\">" +
         Say(language, IDS_VIEWER_NO_FORM_TEXT) + "</p>\n</header>\n</body>\n</html>\n";
}

}  // namespace qv
