// The German module holds every resource of the module's own, alike but for its texts, which
// are the committed ones; a user of the dialogs and the control in German meets no English.
#include "languages/de/GermanResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "forms/CustomDoc.h"
#include "groups/FormGroupDlg.h"
#include "platform/path/HostFile.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Ui.h"
#include "resources/Dialogs.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "tests/editor/EditorFixture.h"
#include "tests/host/ScriptedConsole.h"
#include "tests/support/Support.h"
#include "view/CustomView.h"

namespace ui = qv::ui;
using Texts = std::vector<std::string>;

namespace {

constexpr auto& Own = qv::OwnResources;
constexpr auto& German = qv::GermanResources;

// The ids of one kind of resource a module holds: ids are 16 bits, so every id is asked for.
template <auto Find>
std::vector<int> Ids(const qv::ResourceModule& m) {
  std::vector<int> ids;
  for (int id = 0; id <= 0xFFFF; ++id)
    if ((m.*Find)(id) != nullptr)
      ids.push_back(id);
  return ids;
}
constexpr auto StringIds = &Ids<&qv::ResourceModule::FindString>;
constexpr auto DialogIds = &Ids<&qv::ResourceModule::FindDialog>;
constexpr auto MenuIds = &Ids<&qv::ResourceModule::FindMenu>;

// Calls `compare` with each resource of a kind that the module holds and the German module's
// resource of the same id, once the German module is found to hold the same ids.
template <auto Find, typename Compare>
void ForEachPair(const Compare& compare) {
  const std::vector<int> ids = Ids<Find>(Own());
  ASSERT_FALSE(ids.empty());
  EXPECT_EQ(Ids<Find>(German()), ids);
  for (int id : ids)
    if (auto* de = (German().*Find)(id))
      compare(id, (Own().*Find)(id), de);
}

// ---- Texts

// What code fills into a text or shapes it: placeholders, breaks, tabs, runs of blanks.
Texts Shape(const std::string& text) {
  static const std::regex parts("%.|\n|\t|  +| $");
  Texts found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), parts);
       it != std::sregex_iterator(); ++it)
    found.push_back(it->length() > 1 && it->str()[0] == ' ' ? "blanks" : it->str());
  std::sort(found.begin(), found.end());
  return found;
}

// A Windows-1252 letter folded to lower case.
unsigned char Fold(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
    return static_cast<unsigned char>(c + 0x20);
  return c;
}

// The mnemonics of a text: each character after a single "&", folded.
std::string Mnemonics(const std::string& text) {
  std::string found;
  for (std::size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '&' && text[++i] != '&')
      found += static_cast<char>(Fold(static_cast<unsigned char>(text[i])));
  return found;
}

// The text as drawn: without its mnemonic marks and without a menu's accelerator text.
std::string Shown(const std::string& text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size() && text[i] != '\t'; ++i) {
    if (text[i] == '&' && i + 1 < text.size())
      ++i;
    shown += text[i];
  }
  return shown;
}

// Whether `line` is the English `pattern` with its placeholders filled in with any text.
bool Matches(const char* pattern, const char* line) {
  if (pattern[0] == '%' && (pattern[1] == '1' || pattern[1] == '2' || pattern[1] == 's')) {
    do {
      if (Matches(pattern + 2, line))
        return true;
    } while (*line++ != '\0');
    return false;
  }
  if (*pattern == '\0' || *pattern != *line)
    return *pattern == *line;
  return Matches(pattern + 1, line + 1);
}

bool HasLetter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u >= 0xC0;
  });
}

// Texts that German writes as English does, and the name of the about box's icon.
bool SameInBothLanguages(const std::string& shown) {
  return shown == "OK" || shown == "Details" || shown == "QVccfg, Version 6.1" || shown == "ok" ||
         shown == "Clients" || shown == "control";
}

// Every text of a module (strings, dialogs' captions and controls, menus), after its place.
using Placed = std::vector<std::pair<std::string, std::string>>;
Placed AllTexts(const qv::ResourceModule& m) {
  Placed texts;
  for (int id : StringIds(m))
    texts.emplace_back("string " + std::to_string(id), m.FindString(static_cast<UINT>(id)));
  for (int id : DialogIds(m)) {
    const DialogTemplate* t = m.FindDialog(id);
    texts.emplace_back("dialog " + std::to_string(id), t->caption);
    for (const DialogItemTemplate& item : t->items)
      texts.emplace_back("  " + std::to_string(item.id), item.text);
  }
  std::function<void(const std::vector<MenuItemResource>&, const std::string&)> menu =
      [&](const std::vector<MenuItemResource>& items, const std::string& where) {
        for (const MenuItemResource& item : items) {
          texts.emplace_back(where + " " + std::to_string(item.id), item.text);
          menu(item.popup, where + ">");
        }
      };
  for (int id : MenuIds(m))
    menu(m.FindMenu(id)->items, "menu " + std::to_string(id));
  return texts;
}

// The English line, as shown, that a line of `text` shows; "" when none does.
std::string EnglishIn(const std::string& text) {
  static const Texts english = [] {
    Texts lines;
    for (const auto& [where, text] : AllTexts(Own()))
      for (const std::string& line : Lines(text))
        if (HasLetter(line))
          lines.push_back(Shown(line));
    return lines;
  }();
  for (const std::string& line : Lines(text)) {
    std::string shown = Shown(line);
    for (const std::string& pattern : english)
      if (!SameInBothLanguages(shown) && Matches(pattern.c_str(), shown.c_str()))
        return pattern;
  }
  return "";
}

// Every text of the snapshot that a user reads, after the place it stands.
void CollectWindow(const ui::WindowState& w, const std::string& place, Placed* seen) {
  std::string here = place + "/" + w.className + "#" + std::to_string(w.id);
  if (!(w.className == "Static" && (w.style & 0x1F) == SS_ICON))
    seen->emplace_back(here, w.text);
  std::vector<Texts> lists = w.rows;
  lists.push_back(w.lines);
  lists.push_back(w.columns);
  for (const Texts& list : lists)
    for (const std::string& text : list)
      seen->emplace_back(here + " line", text);
  for (const ui::ToolButtonState& button : w.buttons)
    seen->emplace_back(here + " tip " + std::to_string(button.id), button.tip);
  for (const ui::WindowState& child : w.children)
    CollectWindow(child, here, seen);
}
Placed Collect(const ui::Snapshot& s) {
  Placed seen;
  for (const ui::WindowState& window : s.windows)
    CollectWindow(window, "", &seen);
  for (const ui::WindowState& modal : s.modals)
    CollectWindow(modal, "modal", &seen);
  for (const ui::MenuState::Item& item : s.menu.items)
    seen.emplace_back("menu " + std::to_string(item.id), item.text);
  seen.emplace_back("status", s.status);
  return seen;
}

// A German text has the placeholders, breaks and mnemonics of the module's, and no line of it
// is English.
void ExpectTranslated(const std::string& en, const std::string& de, const std::string& where) {
  SCOPED_TRACE(where + " \"" + en + "\" -> \"" + de + "\"");
  EXPECT_EQ(Shape(en), Shape(de));
  EXPECT_EQ(Mnemonics(en).size(), Mnemonics(de).size());
  EXPECT_EQ(EnglishIn(de), "") << "not translated";
}

// The texts of the window tree that show English, as "place: text".
Texts EnglishShown() {
  Texts found;
  for (const auto& [place, text] : Collect(ui::TakeSnapshot()))
    if (!EnglishIn(text).empty())
      found.push_back(place + ": " + text);
  return found;
}

// ---- Layout: about 4 dialog units a character.

constexpr int kUnitsPerCharacter = 4;

// Whether `text` fits into the control beside what a button draws (edges, the mark of a check
// box, a title's indents); a label as tall as two lines wraps onto the second.
bool Fits(const std::string& text, const DialogItemTemplate& item) {
  const auto type = item.style & BS_TYPEMASK;
  const int margin = item.className != "Button"                              ? 0
                     : type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON ? 12
                     : type == BS_GROUPBOX                                   ? 8
                                                                             : 4;
  const int lines = item.className == "Static" ? std::max(1, item.cy / 8) : 1;
  return static_cast<int>(Shown(text).size()) * kUnitsPerCharacter + margin <= item.cx * lines;
}
// Mnemonics that two controls of a dialog, or two items of a menu, share.
std::string SharedMnemonics(const Texts& texts) {
  std::string seen, shared;
  for (const std::string& text : texts)
    for (char m : Mnemonics(text))
      (seen.find(m) == std::string::npos ? seen : shared) += m;
  return shared;
}

bool Overlap(const DialogItemTemplate& a, const DialogItemTemplate& b) {
  return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}
bool IsFrame(const DialogItemTemplate& item) {  // a group box or an etched line
  return (item.className == "Button" && (item.style & BS_TYPEMASK) == BS_GROUPBOX) ||
         (item.className == "Static" && (item.style & 0x1F) == SS_ETCHEDHORZ);
}

// A dialog's template, and the template with each text code puts on a control or caption.
std::vector<DialogTemplate> AsShown(const DialogTemplate& t, const qv::ResourceModule& module) {
  const std::multimap<int, std::pair<int, UINT>> texts = {{101, {IDOK, IDS_FINISH}},
                                                          {101, {IDOK, IDS_NEXT}},
                                                          {101, {0, IDS_EDIT_QUESTION_CAPTION}},
                                                          {103, {0, IDS_EDIT_FORM_CAPTION}}};
  std::vector<DialogTemplate> shown = {t};
  for (auto [it, end] = texts.equal_range(t.id); it != end; ++it) {
    const auto [control, string] = it->second;
    shown.push_back(t);
    for (DialogItemTemplate& item : shown.back().items)
      if (item.id == control)
        item.text = module.FindString(string);
    if (control == 0)
      shown.back().caption = module.FindString(string);
  }
  return shown;
}

// Caption and controls fit, controls lie inside, overlap only frames, share no mnemonic.
void ExpectLaidOut(const DialogTemplate& t) {
  SCOPED_TRACE("dialog " + std::to_string(t.id) + " \"" + t.caption + "\"");
  EXPECT_LE(static_cast<int>(t.caption.size()) * kUnitsPerCharacter + 24, t.cx);
  Texts texts;
  for (std::size_t i = 0; i < t.items.size(); ++i) {
    const DialogItemTemplate& item = t.items[i];
    SCOPED_TRACE(std::to_string(item.id) + " \"" + item.text + "\"");
    EXPECT_TRUE(item.x >= 0 && item.y >= 0 && item.x + item.cx <= t.cx && item.y + item.cy <= t.cy)
        << "leaves the dialog";
    if ((item.style & 0x1F) != SS_ICON || item.className != "Static") {
      EXPECT_TRUE(Fits(item.text, item)) << item.cx;
    }
    for (std::size_t j = i + 1; j < t.items.size(); ++j) {
      if (!IsFrame(item) && !IsFrame(t.items[j])) {
        EXPECT_FALSE(Overlap(item, t.items[j])) << "and \"" << t.items[j].text << "\"";
      }
    }
    texts.push_back(item.text);
  }
  EXPECT_EQ(SharedMnemonics(texts), "");
}

// Mnemonics that two items of one level of a menu share.
void ExpectMenuMnemonicsUnique(const std::vector<MenuItemResource>& items,
                               const std::string& where) {
  Texts level;
  for (const MenuItemResource& item : items) {
    level.push_back(item.text);
    ExpectMenuMnemonicsUnique(item.popup, where + "/" + item.text);
  }
  EXPECT_EQ(SharedMnemonics(level), "") << where;
}

}  // namespace

// ---- 1. The German module holds what the module holds.

// Each text of the module (string, dialog caption and control, menu item) stands in the German
// module at its place, with the same placeholders, breaks and mnemonics, and is German.
TEST(GermanResources, HoldsEveryTextOfTheModuleInItsPlaceTranslated) {
  const Placed en = AllTexts(Own()), de = AllTexts(German());
  ASSERT_EQ(de.size(), en.size());
  for (std::size_t i = 0; i < en.size(); ++i) {
    EXPECT_EQ(de[i].first, en[i].first);
    if (en[i].second.empty())
      EXPECT_EQ(de[i].second, "") << en[i].first;
    else
      ExpectTranslated(en[i].second, de[i].second, en[i].first);
  }
}

// The dialogs have the same controls; a box that does not scroll takes as many characters as
// its width shows; both layouts give their texts room.
TEST(GermanResources, HasEveryDialogWithTheSameControlsLaidOutWithRoom) {
  ForEachPair<&qv::ResourceModule::FindDialog>(
      [](int id, const DialogTemplate* en, const DialogTemplate* de) {
        for (const DialogTemplate& shown : AsShown(*en, Own()))
          ExpectLaidOut(shown);
        for (const DialogTemplate& shown : AsShown(*de, German()))
          ExpectLaidOut(shown);
        EXPECT_EQ(std::make_tuple(de->style, de->font, de->pointSize, de->items.size()),
                  std::make_tuple(en->style, en->font, en->pointSize, en->items.size()))
            << id;
        for (std::size_t i = 0; i < en->items.size() && i < de->items.size(); ++i) {
          const DialogItemTemplate& e = en->items[i];
          const DialogItemTemplate& d = de->items[i];
          EXPECT_EQ(std::tie(d.id, d.className, d.style), std::tie(e.id, e.className, e.style))
              << id << " item " << i;
          if (e.className == "Edit" && (e.style & (ES_AUTOHSCROLL | ES_MULTILINE)) == 0) {
            EXPECT_EQ(d.cx, e.cx) << id << " item " << i;
          }
        }
      });
  // The check that finds a clash finds one.
  EXPECT_NE(SharedMnemonics({"&Hilfe", "&Hinzuf\xFCgen"}), "");
  EXPECT_NE(SharedMnemonics({"&\xC4ndern", "Nur &\xE4ltere"}), "");  // folded as Windows does
}

// The menus' items have mnemonics of their own; the toolbar and the bitmaps are the module's.
TEST(GermanResources, HasTheMenusToolbarAndBitmapsOfTheModule) {
  for (int id : MenuIds(German()))
    ExpectMenuMnemonicsUnique(German().FindMenu(id)->items, "menu " + std::to_string(id));
  ForEachPair<&qv::ResourceModule::FindToolBar>(
      [](int, const ToolBarResource* en, const ToolBarResource* de) {
        EXPECT_EQ(std::tie(de->buttons, de->buttonWidth, de->buttonHeight),
                  std::tie(en->buttons, en->buttonWidth, en->buttonHeight));
      });
  ForEachPair<&qv::ResourceModule::FindBitmap>(
      [](int, const BitmapResource* en, const BitmapResource* de) {
        EXPECT_NE(de, en) << "a copy, held by the German module";
        EXPECT_EQ(std::tie(de->id, de->width, de->height, de->images, de->files),
                  std::tie(en->id, en->width, en->height, en->images, en->files));
      });
}

namespace {

// Both modules' texts against the committed lists; QV_UPDATE_GOLDEN=1 writes them anew.
std::string Escaped(const std::string& text) {
  std::string out;
  char hex[5];
  for (unsigned char c : text) {
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += c < 0x20 || c >= 0x7F || c == '\\' ? std::string(hex)
                                              : std::string(1, static_cast<char>(c));
  }
  return out;
}
std::string Dump(const qv::ResourceModule& m) {
  std::string dump;
  for (const auto& [where, text] : AllTexts(m))
    dump += where + " " + Escaped(text) + "\n";
  return dump;
}

}  // namespace

TEST(GermanResources, EveryTextOfBothModulesIsTheCommittedOne) {
  for (const auto& [module, name] :
       {std::pair{&Own(), "texts-en.txt"}, {&German(), "texts-de.txt"}}) {
    const std::string dump = Dump(*module);
    const std::string path = std::string(QV_TEST_DATA) + "/golden/" + name;
    if (std::getenv("QV_UPDATE_GOLDEN") != nullptr)
      std::ofstream(path, std::ios::binary) << dump;
    EXPECT_EQ(dump, GoldenFile(name)) << "compare with " << path;
  }
}

// ---- 2. A scripted user in German: every window and box on the way shows no English.

namespace {

// The German module current and the application named from it, as the start-up does.
struct InGerman {
  InGerman() {
    qv::SetResourceModule(&German());
    qv::SetAppName(LoadResString(IDS_APP_NAME));
  }
  ~InGerman() { qv::SetAppName(appName); }
  const std::string appName = qv::AppName();
};

// A scripted user's steps, each named by where it stands: it reads every text, then acts.
using Steps = std::vector<std::pair<std::string, std::function<void()>>>;
void Walk(ui::ScriptedUser& user, const Steps& steps) {
  for (const auto& step : steps)
    user.Then([step] {
      for (const std::string& english : EnglishShown())
        ADD_FAILURE() << step.first << ": English text at " << english;
      step.second();
    });
}
std::function<void()> Press(int id) {
  return [id] { ui::Click(id); };
}
// Answers the message box on top.
std::function<void()> Answer(int answer = IDOK) {
  return [answer] {
    ui::Snapshot s = ui::TakeSnapshot();
    ASSERT_TRUE(s.Top() != nullptr && s.Top()->Find(0xFFFF) != nullptr) << "no box";
    ui::Click(answer);
  };
}
// Types into edit boxes, then clicks `button`.
std::function<void()> Fill(const std::vector<std::pair<int, std::string>>& fields, int button) {
  return [fields, button] {
    for (const auto& [id, text] : fields)
      ui::Type(id, text);
    ui::Click(button);
  };
}
// Selects a line of a list box, then clicks `button`.
std::function<void()> Pick(int list, int line, int button) {
  return [=] {
    ui::Select(list, line);
    ui::Click(button);
  };
}

using GermanEditor = EditorFixture;
using GermanControl = ScriptedConsole;  // the control as the console hosts it

}  // namespace

TEST_F(GermanEditor, EveryDialogAndBoxOfTheFormEditorIsGerman) {
  // The check finds the English of the module's own resources.
  Texts english;
  user_.Then([&english] {
    english = EnglishShown();
    ui::Key(0, VK_ESCAPE);
  });
  RunEditor();
  EXPECT_NE(
      std::find(english.begin(), english.end(), "modal/Dialog#103: Create a Custom Data Form"),
      english.end());
  EXPECT_GT(english.size(), 10u);

  InGerman german;
  std::filesystem::remove(world_.Host(std::string(kShare) + "QVCstm32.exe"));  // no viewer
  Walk(user_, {
                  {"new form", Press(IDOK)},
                  {"no name", Answer()},
                  {"form", Fill({{IDC_FORM_NAME, "Arbeitsplatz - Stuhl"}}, IDOK)},
                  {"hyphen in the name", Answer()},
                  {"form", Fill({{IDC_FORM_NAME, "office SURVEY"}}, IDOK)},
                  {"duplicate form name", Answer()},
                  {"form", Fill({{IDC_FORM_NAME, "Arbeitsplatz"}}, IDC_EDIT_QUESTION)},
                  {"nothing selected", Answer()},
                  {"form", Press(IDC_ADD_QUESTION)},
                  {"question", Fill({{IDC_QUESTION_TEXT, "Raumnummer"}}, IDC_COMBO_FIXED_LIST)},
                  {"question, fixed list", Press(IDOK)},
                  {"no inventory name", Answer()},
                  {"question", Fill({{IDC_INVENTORY_NAME, "Raum"}}, IDOK)},
                  {"item list", Press(IDOK)},
                  {"fixed list without items", Answer()},
                  {"item list", [] { ui::Type(IDC_ITEM_NAME, "Keller"); }},
                  {"item list", [] { ui::Key(IDC_ITEM_NAME, VK_RETURN); }},
                  {"item list", Press(IDOK)},
                  {"form", Pick(IDC_QUESTION_LIST, 0, IDC_PAGE_BREAK)},
                  {"page break", Pick(IDC_QUESTION_LIST, 0, IDC_EDIT_QUESTION)},
                  {"question, editing", Press(IDCANCEL)},
                  {"form", Pick(IDC_QUESTION_LIST, 1, IDC_DELETE_QUESTION)},
                  {"deleting the page break", Answer(IDNO)},
                  {"form", Press(IDC_PREVIEW)},
                  {"viewer missing", Answer()},
                  {"after the preview", Press(IDOK)},
              });
  RunEditor();
  EXPECT_EQ(result_, IDOK);
  std::vector<std::string> made = NewForms();
  ASSERT_EQ(made.size(), 1u);
  // The file is the same in every language: a page break is its keyword.
  std::string bytes = world_.Bytes(kShare + made[0]);
  EXPECT_NE(bytes.find("=PAGEBREAK\r\n"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find("Seitenumbruch"), std::string::npos) << bytes;

  // Editing: a malformed line, reported before the dialog shows; a save the share refuses.
  world_.Put(std::string(kShare) + "FRMBAD.FRM",
             "[Form]\r\nFormName=Schadhaft\r\nField1=EDIT, Raum\r\nField2=PAGEBREAK\r\n");
  doc_.GetFormMap()->SetAt("Schadhaft", std::string(kShare) + "FRMBAD.FRM");
  Walk(user_, {{"malformed line", Answer()}, {"editing a form", [] { ui::Key(0, VK_ESCAPE); }}});
  RunEditor(1, "Schadhaft");
  const std::filesystem::path share =
      std::filesystem::path(world_.Host(std::string(kShare) + "FRM1A.FRM")).parent_path();
  Walk(user_, {{"editing a form", [&share] { std::filesystem::remove_all(share); }},
               {"editing a form", Fill({{IDC_FORM_NAME, "Neue Umfrage"}}, IDC_PREVIEW)},
               {"failed save", Answer()},
               {"viewer not started", Answer()},
               {"editing a form", [&share] { std::filesystem::create_directories(share); }},
               {"editing a form", [] { ui::Key(0, VK_ESCAPE); }}});
  RunEditor(1, "Office survey");
}

TEST_F(GermanEditor, TheGroupDialogRefusesInGerman) {
  InGerman german;
  CCustomView view;
  view.GetDistributionTask().SetDocument(&doc_);
  Walk(user_, {{"group dialog", Fill({{IDC_GROUP_NAME, "Neue Gruppe"}}, IDOK)},
               {"no form chosen", Answer()},
               {"group dialog", Press(IDCANCEL)}});
  CFormGroupDlg dialog(nullptr, CFormGroupDlg::kModeCreate, &doc_, "", &view);
  dialog.DoModal();
  EXPECT_EQ(user_.Pending(), 0u);
  FreeDatabasePtr();
}

TEST_F(GermanControl, TheListToolbarMenusPromptsAndBoxesAreGerman) {
  InGerman german;
  Open();
  ASSERT_EQ(created_, S_OK);
  TaskConfigRecord record{};
  record.id = -1;
  record.snapinId = View()->GetSnapinId();
  std::strcpy(record.name, "Contact details");
  ASSERT_EQ(AddTaskConfiguration(&record), TRUE);
  ASSERT_GT(qv::AddTask("Contact details", record.id), 0);
  const int bar = ToolBar()->Handle(), list = ListHandle();
  auto command = [this](UINT id) {
    return [this, id] { View()->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0)); };
  };
  Walk(user_, {{"the list", command(ID_FORMS_MODIFY)},
               {"nothing selected", Answer()},
               {"the list", [&] { ui::Hover(bar, ButtonIndex(ID_TOOLBAR_REFRESH)); }},
               {"the list, a prompt shown", [&] { ui::Hover(bar, -1); }},
               {"the list", [&] { ui::ClickAt(bar, ButtonIndex(ID_VIEW_DETAILS)); }},
               {"details", [&] { ui::SelectAt(list, Row("Contact details")); }},
               {"details", command(ID_FORMS_DELETE)},
               {"deleting a scheduled form", Answer(IDYES)},
               {"a task holds the form", Answer()},
               {"details", [&] { EXPECT_EQ(Call(DISPID_ABOUTBOX), S_OK); }},
               {"about box", Press(IDOK)}});
  Run();
  EXPECT_FALSE(sink_->status.empty()) << "no prompt shown";
}

TEST_F(GermanControl, AFailedSnapinRegistrationIsReportedInGerman) {
  InGerman german;
  ASSERT_TRUE(qv::WriteHostFileAtomic(world_.World().DatabaseHostPath(), "not a database\n"));
  Walk(user_, {{"registration failed", Answer()}});
  Open();
  EXPECT_EQ(created_, E_FAIL);
}
