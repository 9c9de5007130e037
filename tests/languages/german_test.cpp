// The German language module: it holds every resource the module holds, with the same
// placeholders, controls and commands, its texts are the committed ones and its layouts give
// them room. A scripted user who runs the form editing dialogs, the group dialog and the
// control in German reads every text of the window tree at each step and meets no English.
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
#include <string>
#include <utility>
#include <vector>

#include "forms/CustomDoc.h"
#include "groups/FormGroupDlg.h"
#include "platform/com/Bstr.h"
#include "platform/path/HostFile.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/Menu.h"
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

const qv::ResourceModule& Own() {
  return qv::OwnResources();
}
const qv::ResourceModule& German() {
  return qv::GermanResources();
}

// ---- What a module holds: resource ids are 16 bits, so every id is asked for.

std::vector<int> IdsWhere(const std::function<bool(int)>& has) {
  std::vector<int> ids;
  for (int id = 0; id <= 0xFFFF; ++id)
    if (has(id))
      ids.push_back(id);
  return ids;
}
std::vector<int> StringIds(const qv::ResourceModule& m) {
  return IdsWhere([&](int id) { return m.FindString(static_cast<UINT>(id)) != nullptr; });
}
std::vector<int> DialogIds(const qv::ResourceModule& m) {
  return IdsWhere([&](int id) { return m.FindDialog(id) != nullptr; });
}
std::vector<int> MenuIds(const qv::ResourceModule& m) {
  return IdsWhere([&](int id) { return m.FindMenu(id) != nullptr; });
}
std::vector<int> ToolBarIds(const qv::ResourceModule& m) {
  return IdsWhere([&](int id) { return m.FindToolBar(id) != nullptr; });
}
std::vector<int> BitmapIds(const qv::ResourceModule& m) {
  return IdsWhere([&](int id) { return m.FindBitmap(id) != nullptr; });
}

// ---- Texts

// What code fills into a text or what shapes it, in sorted order: its placeholders (%1, %2,
// %s), line breaks, tabs, runs of two or more blanks and a blank at its end.
Texts Shape(const std::string& text) {
  Texts parts;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      parts.push_back(text.substr(i, 2));
      ++i;
    } else if (text[i] == '\n') {
      parts.push_back("line break");
    } else if (text[i] == '\t') {
      parts.push_back("tab");
    } else if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] == ' ') {
      parts.push_back("blanks");
      while (i + 1 < text.size() && text[i + 1] == ' ')
        ++i;
    }
  }
  if (!text.empty() && text.back() == ' ')
    parts.push_back("blank at the end");
  std::sort(parts.begin(), parts.end());
  return parts;
}

// A Windows-1252 letter folded to lower case.
unsigned char Fold(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
    return static_cast<unsigned char>(c + 0x20);
  return c;
}

// The mnemonics of a text: each character after a single "&", folded.
std::vector<unsigned char> Mnemonics(const std::string& text) {
  std::vector<unsigned char> found;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&')
      continue;
    if (text[i + 1] != '&')
      found.push_back(Fold(static_cast<unsigned char>(text[i + 1])));
    ++i;
  }
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

// A text written as UTF-8 instead of Windows-1252 holds a lead byte followed by a
// continuation byte.
bool LooksLikeUtf8(const std::string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    auto lead = static_cast<unsigned char>(text[i]);
    auto next = static_cast<unsigned char>(text[i + 1]);
    if (lead >= 0xC2 && lead <= 0xF4 && next >= 0x80 && next <= 0xBF)
      return true;
  }
  return false;
}

// Whether `line` is what the English `pattern` shows once its placeholders are filled in
// (each placeholder stands for any text, also none).
bool MatchesPattern(const std::string& pattern, const std::string& line) {
  Texts pieces(1);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() &&
        (pattern[i + 1] == '1' || pattern[i + 1] == '2' || pattern[i + 1] == 's')) {
      pieces.emplace_back();
      ++i;
    } else {
      pieces.back() += pattern[i];
    }
  }
  if (pieces.size() == 1)
    return line == pieces[0];
  const std::string& first = pieces.front();
  const std::string& last = pieces.back();
  if (line.size() < first.size() + last.size() || line.compare(0, first.size(), first) != 0 ||
      line.compare(line.size() - last.size(), last.size(), last) != 0)
    return false;
  std::size_t at = first.size();
  const std::size_t end = line.size() - last.size();
  for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
    std::size_t found = line.find(pieces[i], at);
    if (found == std::string::npos || found + pieces[i].size() > end)
      return false;
    at = found + pieces[i].size();
  }
  return true;
}

bool HasLetter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u >= 0xC0;
  });
}

// Texts that German writes as English does.
bool SameInBothLanguages(const std::string& shown) {
  return shown == "OK" || shown == "Details" || shown == "QVccfg, Version 6.1" || shown == "ok" ||
         shown == "Clients";
}

// Every line of the module's own string table, dialog templates and menus, as shown.
class EnglishTexts {
 public:
  EnglishTexts() {
    for (int id : StringIds(Own()))
      Add(Own().FindString(static_cast<UINT>(id)));
    for (int id : DialogIds(Own())) {
      const DialogTemplate* t = Own().FindDialog(id);
      Add(t->caption);
      for (const DialogItemTemplate& item : t->items)
        if ((item.style & 0x1F) != SS_ICON)  // an icon's name, not a text
          Add(item.text);
    }
    for (int id : MenuIds(Own()))
      AddMenu(Own().FindMenu(id)->items);
  }
  // The English line that a line of `text` shows; "" when none does.
  std::string Match(const std::string& text) const {
    for (const std::string& line : Lines(text)) {
      std::string shown = Shown(line);
      if (SameInBothLanguages(shown))
        continue;
      for (const std::string& pattern : lines_)
        if (MatchesPattern(pattern, shown))
          return pattern;
    }
    return "";
  }

 private:
  void Add(const std::string& text) {
    for (const std::string& line : Lines(text))
      if (HasLetter(line))
        lines_.push_back(Shown(line));
  }
  void AddMenu(const std::vector<MenuItemResource>& items) {
    for (const MenuItemResource& item : items) {
      Add(item.text);
      AddMenu(item.popup);
    }
  }
  Texts lines_;
};

// Every text of the snapshot that a user reads, with the place it stands.
using Seen = std::vector<std::pair<std::string, std::string>>;
void CollectWindow(const ui::WindowState& w, const std::string& place, Seen* seen) {
  std::string here = place + "/" + w.className + "#" + std::to_string(w.id);
  if (!(w.className == "Static" && (w.style & 0x1F) == SS_ICON))
    seen->emplace_back(here, w.text);
  for (const std::string& line : w.lines)
    seen->emplace_back(here + " line", line);
  for (const std::string& column : w.columns)
    seen->emplace_back(here + " column", column);
  for (const std::vector<std::string>& row : w.rows)
    for (const std::string& cell : row)
      seen->emplace_back(here + " row", cell);
  for (const ui::ToolButtonState& button : w.buttons)
    seen->emplace_back(here + " tip " + std::to_string(button.id), button.tip);
  for (const ui::WindowState& child : w.children)
    CollectWindow(child, here, seen);
}
Seen Collect(const ui::Snapshot& s) {
  Seen seen;
  for (const ui::WindowState& window : s.windows)
    CollectWindow(window, "", &seen);
  for (const ui::WindowState& modal : s.modals)
    CollectWindow(modal, "modal", &seen);
  for (const ui::MenuState::Item& item : s.menu.items)
    seen.emplace_back("menu " + std::to_string(item.id), item.text);
  seen.emplace_back("status", s.status);
  return seen;
}

// The texts of the window tree now that show an English line of the module, each as
// "place: text".
Texts EnglishShown() {
  static const EnglishTexts english;
  Texts found;
  for (const auto& [place, text] : Collect(ui::TakeSnapshot()))
    if (!english.Match(text).empty())
      found.push_back(place + ": " + text);
  return found;
}

// Reads every text of the window tree and fails for each one that shows English.
void ExpectGerman(const std::string& where) {
  Seen seen = Collect(ui::TakeSnapshot());
  int texts = 0;
  for (const auto& [place, text] : seen)
    texts += text.empty() ? 0 : 1;
  EXPECT_GT(texts, 1) << where << ": nothing to read";
  for (const std::string& english : EnglishShown())
    ADD_FAILURE() << where << ": English text at " << english;
}

// ---- Layout: about 4 dialog units a character.

constexpr int kUnitsPerCharacter = 4;

// What a control draws beside its text: a push button's edges, the mark of a radio button
// or check box, the indents of a group box's title.
int Margin(const DialogItemTemplate& item) {
  if (item.className != "Button")
    return 0;
  switch (item.style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
    case BS_AUTORADIOBUTTON:
      return 12;
    case BS_GROUPBOX:
      return 8;
    default:
      return 4;
  }
}
// Whether `text` fits into the control; a label as tall as two lines wraps onto the second.
bool Fits(const std::string& text, const DialogItemTemplate& item) {
  int lines = item.className == "Static" ? std::max(1, item.cy / 8) : 1;
  int needed = static_cast<int>(Shown(text).size()) * kUnitsPerCharacter + Margin(item);
  return needed <= item.cx * lines;
}
// A caption shares its bar with the close box.
bool CaptionFits(const std::string& caption, const DialogTemplate& t) {
  return static_cast<int>(caption.size()) * kUnitsPerCharacter + 24 <= t.cx;
}
bool Overlap(const DialogItemTemplate& a, const DialogItemTemplate& b) {
  return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}
bool IsFrame(const DialogItemTemplate& item) {  // a group box or an etched line
  return (item.className == "Button" && (item.style & BS_TYPEMASK) == BS_GROUPBOX) ||
         (item.className == "Static" && (item.style & 0x1F) == SS_ETCHEDHORZ);
}

// The texts code puts on a dialog's controls or its caption while it runs, by dialog: the
// question dialog's default button and edit caption, the editor's edit caption.
std::multimap<int, std::pair<int, UINT>> RunTimeTexts() {
  return {{101, {IDOK, IDS_FINISH}},
          {101, {IDOK, IDS_NEXT}},
          {101, {0, IDS_EDIT_QUESTION_CAPTION}},
          {103, {0, IDS_EDIT_FORM_CAPTION}}};
}

// The layout rules a dialog keeps.
void ExpectLaidOut(const DialogTemplate& t, const qv::ResourceModule& module) {
  SCOPED_TRACE("dialog " + std::to_string(t.id));
  if (!t.caption.empty()) {
    EXPECT_TRUE(CaptionFits(t.caption, t)) << t.caption;
  }
  for (std::size_t i = 0; i < t.items.size(); ++i) {
    const DialogItemTemplate& item = t.items[i];
    EXPECT_GE(item.x, 0);
    EXPECT_GE(item.y, 0);
    EXPECT_LE(item.x + item.cx, t.cx) << item.id << " \"" << item.text << "\" leaves the dialog";
    EXPECT_LE(item.y + item.cy, t.cy) << item.id << " \"" << item.text << "\" leaves the dialog";
    if ((item.style & 0x1F) != SS_ICON || item.className != "Static") {
      EXPECT_TRUE(Fits(item.text, item)) << item.id << " \"" << item.text << "\" " << item.cx;
    }
    for (std::size_t j = i + 1; j < t.items.size(); ++j) {
      if (!IsFrame(item) && !IsFrame(t.items[j])) {
        EXPECT_FALSE(Overlap(item, t.items[j]))
            << "\"" << item.text << "\" and \"" << t.items[j].text << "\"";
      }
    }
  }
  for (const auto& [dialog, text] : RunTimeTexts()) {
    if (dialog != t.id)
      continue;
    std::string shown = module.FindString(text.second);
    if (text.first == 0) {
      EXPECT_TRUE(CaptionFits(shown, t)) << shown;
      continue;
    }
    for (const DialogItemTemplate& item : t.items) {
      if (item.id == text.first) {
        EXPECT_TRUE(Fits(shown, item)) << shown << " on " << item.id;
      }
    }
  }
}

// Mnemonics that two controls of a dialog, or two items of a menu, share; the default
// button's texts that code sets count with the dialog.
std::string SharedMnemonics(const Texts& texts) {
  std::map<unsigned char, Texts> owners;
  for (const std::string& text : texts)
    for (unsigned char m : Mnemonics(text))
      owners[m].push_back(text);
  std::string clashes;
  for (const auto& [m, holders] : owners)
    if (holders.size() > 1)
      for (const std::string& holder : holders)
        clashes += "'" + std::string(1, static_cast<char>(m)) + "' in \"" + holder + "\" ";
  return clashes;
}

void ExpectSameMenu(const std::vector<MenuItemResource>& english,
                    const std::vector<MenuItemResource>& german, const std::string& where) {
  ASSERT_EQ(english.size(), german.size()) << where;
  Texts level;
  for (std::size_t i = 0; i < english.size(); ++i) {
    const MenuItemResource& en = english[i];
    const MenuItemResource& de = german[i];
    std::string here = where + "/" + en.text;
    EXPECT_EQ(en.id, de.id) << here;
    EXPECT_EQ(en.separator, de.separator) << here;
    EXPECT_EQ(en.popup.empty(), de.popup.empty()) << here;
    EXPECT_EQ(Shape(en.text), Shape(de.text)) << here << " -> " << de.text;
    EXPECT_EQ(Mnemonics(en.text).size(), Mnemonics(de.text).size()) << here << " -> " << de.text;
    if (!en.separator) {
      EXPECT_NE(Shown(en.text), Shown(de.text)) << here << " is not translated";
    }
    EXPECT_FALSE(LooksLikeUtf8(de.text)) << de.text;
    level.push_back(de.text);
    ExpectSameMenu(en.popup, de.popup, here);
  }
  EXPECT_EQ(SharedMnemonics(level), "") << where;
}

}  // namespace

// ---- 1. The German module holds what the module holds.

TEST(GermanResources, HasEveryStringOfTheModuleWithItsPlaceholdersAndNoOther) {
  std::vector<int> ids = StringIds(Own());
  ASSERT_FALSE(ids.empty());
  EXPECT_EQ(StringIds(German()), ids);
  for (int id : ids) {
    std::string en = Own().FindString(static_cast<UINT>(id));
    const char* found = German().FindString(static_cast<UINT>(id));
    if (found == nullptr)
      continue;  // reported by the id comparison
    std::string de = found;
    SCOPED_TRACE("string " + std::to_string(id) + " \"" + en + "\" -> \"" + de + "\"");
    EXPECT_EQ(Shape(en), Shape(de));
    EXPECT_EQ(Mnemonics(en).size(), Mnemonics(de).size());
    EXPECT_EQ(Lines(en).size(), Lines(de).size());
    EXPECT_FALSE(LooksLikeUtf8(de));
    EXPECT_EQ(de.find('\r'), std::string::npos);
    if (!SameInBothLanguages(en)) {
      EXPECT_NE(en, de) << "not translated";
    }
    // A command's prompt and tooltip: each translated, but for a word both languages share.
    Texts enLines = Lines(en), deLines = Lines(de);
    for (std::size_t i = 0; i < enLines.size() && i < deLines.size(); ++i) {
      if (!SameInBothLanguages(deLines[i])) {
        EXPECT_NE(enLines[i], deLines[i]) << "line " << i << " not translated";
      }
    }
  }
}

TEST(GermanResources, HasEveryDialogWithTheSameControlsAndThePropertyPage) {
  std::vector<int> ids = DialogIds(Own());
  ASSERT_FALSE(ids.empty());
  // The property page's template: the German module carries it also while the module's own
  // resources lack it.
  std::vector<int> expected = ids;
  if (std::find(ids.begin(), ids.end(), 200) == ids.end())
    expected.insert(std::upper_bound(expected.begin(), expected.end(), 200), 200);
  EXPECT_EQ(DialogIds(German()), expected);
  for (int id : ids) {
    const DialogTemplate* en = Own().FindDialog(id);
    const DialogTemplate* de = German().FindDialog(id);
    ASSERT_NE(de, nullptr) << id;
    SCOPED_TRACE("dialog " + std::to_string(id));
    EXPECT_EQ(de->id, id);
    EXPECT_EQ(de->style, en->style);
    EXPECT_EQ(de->font, en->font);
    EXPECT_EQ(de->pointSize, en->pointSize);
    if (!en->caption.empty()) {  // a page's caption is a string, not the template's
      EXPECT_NE(de->caption, en->caption);
    }
    EXPECT_FALSE(LooksLikeUtf8(de->caption));
    ASSERT_EQ(de->items.size(), en->items.size());
    for (std::size_t i = 0; i < en->items.size(); ++i) {
      const DialogItemTemplate& e = en->items[i];
      const DialogItemTemplate& d = de->items[i];
      SCOPED_TRACE("item " + std::to_string(i) + " \"" + e.text + "\" -> \"" + d.text + "\"");
      EXPECT_EQ(d.id, e.id);
      EXPECT_EQ(d.className, e.className);
      EXPECT_EQ(d.style, e.style);
      EXPECT_EQ(Mnemonics(d.text).size(), Mnemonics(e.text).size());
      EXPECT_EQ(d.text.empty(), e.text.empty());
      EXPECT_FALSE(LooksLikeUtf8(d.text));
      if ((e.style & 0x1F) == SS_ICON && e.className == "Static") {
        EXPECT_EQ(d.text, e.text) << "an icon is named as in the module";
      } else if (!e.text.empty() && !SameInBothLanguages(Shown(d.text))) {
        EXPECT_NE(Shown(d.text), Shown(e.text)) << "not translated";
      }
      // An edit box that does not scroll takes as many characters as its width shows: the
      // German box takes as many as the module's.
      if (e.className == "Edit" && (e.style & (ES_AUTOHSCROLL | ES_MULTILINE)) == 0) {
        EXPECT_EQ(d.cx, e.cx);
      }
    }
  }
}

TEST(GermanResources, ThePropertyPageIsAChildPageWithOneLineOfText) {
  const DialogTemplate* page = German().FindDialog(200);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->style & (WS_CHILD | WS_POPUP | WS_CAPTION), WS_CHILD);
  ASSERT_EQ(page->items.size(), 1u);
  EXPECT_TRUE(EnglishTexts().Match(page->items[0].text).empty());
}

TEST(GermanResources, LayoutsGiveTheGermanTextsRoomAndMnemonicsAreUnique) {
  // The rules hold for the module's own layouts: they are what a layout is measured by.
  for (int id : DialogIds(Own()))
    ExpectLaidOut(*Own().FindDialog(id), Own());
  for (int id : DialogIds(German())) {
    const DialogTemplate& t = *German().FindDialog(id);
    ExpectLaidOut(t, German());
    Texts texts;
    for (const DialogItemTemplate& item : t.items)
      texts.push_back(item.text);
    EXPECT_EQ(SharedMnemonics(texts), "") << "dialog " << id;
    // With each text that code puts on a control in place of the template's.
    for (const auto& [dialog, text] : RunTimeTexts()) {
      if (dialog != id || text.first == 0)
        continue;
      Texts shown = texts;
      for (std::size_t i = 0; i < t.items.size(); ++i)
        if (t.items[i].id == text.first)
          shown[i] = German().FindString(text.second);
      EXPECT_EQ(SharedMnemonics(shown), "") << "dialog " << id << " with string " << text.second;
    }
  }
  // The check that finds a clash finds one.
  EXPECT_NE(SharedMnemonics({"&Hilfe", "&Hinzuf\xFCgen"}), "");
  EXPECT_NE(SharedMnemonics({"&\xC4ndern", "Nur &\xE4ltere"}), "");  // folded as Windows does
}

TEST(GermanResources, HasTheMenusToolbarAndBitmapsOfTheModule) {
  std::vector<int> menus = MenuIds(Own());
  ASSERT_FALSE(menus.empty());
  EXPECT_EQ(MenuIds(German()), menus);
  for (int id : menus)
    ExpectSameMenu(Own().FindMenu(id)->items, German().FindMenu(id)->items,
                   "menu " + std::to_string(id));

  std::vector<int> bars = ToolBarIds(Own());
  ASSERT_FALSE(bars.empty());
  EXPECT_EQ(ToolBarIds(German()), bars);
  for (int id : bars) {
    const ToolBarResource* en = Own().FindToolBar(id);
    const ToolBarResource* de = German().FindToolBar(id);
    ASSERT_NE(de, nullptr);
    EXPECT_EQ(de->buttons, en->buttons);
    EXPECT_EQ(de->buttonWidth, en->buttonWidth);
    EXPECT_EQ(de->buttonHeight, en->buttonHeight);
    // Each button's prompt and tip are German strings of the module.
    for (UINT button : de->buttons) {
      if (button != 0) {
        EXPECT_NE(German().FindString(button), nullptr) << button;
      }
    }
  }

  std::vector<int> bitmaps = BitmapIds(Own());
  ASSERT_FALSE(bitmaps.empty());
  EXPECT_EQ(BitmapIds(German()), bitmaps);
  for (int id : bitmaps) {
    const BitmapResource* en = Own().FindBitmap(id);
    const BitmapResource* de = German().FindBitmap(id);
    ASSERT_NE(de, nullptr);
    EXPECT_NE(de, en) << "a copy, held by the German module";
    EXPECT_EQ(de->id, en->id);
    EXPECT_EQ(de->width, en->width);
    EXPECT_EQ(de->height, en->height);
    EXPECT_EQ(de->images, en->images);
    EXPECT_EQ(de->files, en->files);
  }
}

namespace {

// Every text of the module and of the German module, byte for byte, against the committed
// lists: a changed text shows as a changed line. QV_UPDATE_GOLDEN=1 writes the lists anew.
std::string Escaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F || c == '\\') {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}
void DumpMenu(const std::vector<MenuItemResource>& items, const std::string& where,
              std::string* out) {
  for (const MenuItemResource& item : items) {
    *out += where + " " + std::to_string(item.id) + " " + Escaped(item.text) + "\n";
    DumpMenu(item.popup, where + ">", out);
  }
}
std::string Dump(const qv::ResourceModule& m) {
  std::string dump;
  for (int id : StringIds(m))
    dump += "string " + std::to_string(id) + " " + Escaped(m.FindString(id)) + "\n";
  for (int id : DialogIds(m)) {
    const DialogTemplate* t = m.FindDialog(id);
    dump += "dialog " + std::to_string(id) + " " + Escaped(t->caption) + "\n";
    for (const DialogItemTemplate& item : t->items)
      dump += "  " + std::to_string(item.id) + " " + Escaped(item.text) + "\n";
  }
  for (int id : MenuIds(m))
    DumpMenu(m.FindMenu(id)->items, "menu " + std::to_string(id), &dump);
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

const char kAppName[] = "Formular-Designer";

// Makes the German module current and names the application from its string IDS_APP_NAME, as the
// module's start-up does once a language module is loaded; puts both back at the end.
class InGerman {
 public:
  InGerman() : appName_(qv::AppName()) {
    qv::SetResourceModule(&qv::GermanResources());
    qv::SetAppName(LoadResString(IDS_APP_NAME));
  }
  ~InGerman() { qv::SetAppName(appName_); }
  InGerman(const InGerman&) = delete;
  InGerman& operator=(const InGerman&) = delete;

 private:
  std::string appName_;
};

// A step that reads a message box captioned `caption`, then answers it.
void ReadBox(ui::ScriptedUser& user, const std::string& where, const char* caption,
             int answer = IDOK) {
  user.Then([where, caption, answer] {
    ExpectGerman(where);
    ui::Snapshot s = ui::TakeSnapshot();
    ASSERT_TRUE(s.Top() != nullptr && s.Top()->Find(0xFFFF) != nullptr) << where << ": no box";
    EXPECT_EQ(s.Top()->text, caption) << where;
    ui::Click(answer);
  });
}

class GermanEditor : public EditorFixture {
 protected:
  void Read(const std::string& where, std::function<void()> then) {
    user_.Then([where, then] {
      ExpectGerman(where);
      then();
    });
  }
  void Box(const std::string& where, int answer = IDOK) { ReadBox(user_, where, kAppName, answer); }

  InGerman german_;
};

}  // namespace

TEST_F(GermanEditor, TheEnglishModuleFailsTheCheckThatTheGermanOnePasses) {
  qv::SetResourceModule(&qv::OwnResources());
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
}

TEST_F(GermanEditor, EveryDialogAndBoxOfMakingAFormIsGerman) {
  Read("new form", [] { ui::Click(1); });
  Box("no name");
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "Arbeitsplatz - Stuhl");
    ui::Click(1);
  });
  Box("hyphen in the name");
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "office SURVEY");
    ui::Click(1);
  });
  Box("duplicate form name");
  user_.Then([] {
    ui::Type(IDC_FORM_NAME, "Arbeitsplatz");
    ui::Click(IDC_EDIT_QUESTION);
  });
  Box("nothing selected");
  user_.Then([] { ui::Click(IDC_ADD_QUESTION); });
  Read("question dialog", [] {
    ui::Type(IDC_QUESTION_TEXT, "Raumnummer");
    ui::Click(IDC_COMBO_FIXED_LIST);
  });
  Read("question dialog, fixed list", [] { ui::Click(1); });
  Box("no inventory name");
  user_.Then([] {
    ui::Type(IDC_INVENTORY_NAME, "Raum - Nr");
    ui::Click(1);
  });
  Box("hyphen in the inventory name");
  user_.Then([] {
    ui::Type(IDC_INVENTORY_NAME, "Raum");
    ui::Click(1);
  });
  Read("item list", [] { ui::Click(1); });
  Box("fixed list without items");
  user_.Then([] {
    ui::Type(IDC_ITEM_NAME, "Keller");
    ui::Key(IDC_ITEM_NAME, VK_RETURN);
    ui::Click(1);
  });
  user_.Then([] {
    ui::Select(IDC_QUESTION_LIST, 0);
    ui::Click(IDC_PAGE_BREAK);
  });
  Read("page break", [] { ui::Click(IDC_ADD_QUESTION); });
  user_.Then([] {
    ui::Type(IDC_QUESTION_TEXT, "RAUMNUMMER");
    ui::Type(IDC_INVENTORY_NAME, "Etage");
    ui::Click(1);
  });
  Box("duplicate question");
  user_.Then([] {
    ui::Type(IDC_QUESTION_TEXT, "Welche Etage?");
    ui::Type(IDC_INVENTORY_NAME, "raum");
    ui::Click(1);
  });
  Box("duplicate inventory name");
  user_.Then([] { ui::Click(IDCANCEL); });
  user_.Then([] {
    ui::Select(IDC_QUESTION_LIST, 0);
    ui::Click(IDC_EDIT_QUESTION);
  });
  Read("question dialog, editing", [] { ui::Click(IDCANCEL); });
  user_.Then([] {
    ui::Select(IDC_QUESTION_LIST, 1);
    ui::Click(202);
  });
  Box("deleting the page break", IDNO);
  user_.Then([this] {
    std::filesystem::remove(world_.Host(std::string(kShare) + "QVCstm32.exe"));
    ui::Click(203);
  });
  Box("viewer missing");
  Read("after the preview", [] { ui::Click(1); });
  RunEditor();

  EXPECT_EQ(result_, IDOK);
  std::vector<std::string> made = NewForms();
  ASSERT_EQ(made.size(), 1u);
  // The file is the same in every language: a page break is its keyword.
  std::string bytes = world_.Bytes(kShare + made[0]);
  EXPECT_NE(bytes.find("=PAGEBREAK\r\n"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find("Seitenumbruch"), std::string::npos) << bytes;
}

TEST_F(GermanEditor, AMalformedLineAndAFailedSaveAreReportedInGerman) {
  world_.Put(std::string(kShare) + "FRMBAD.FRM",
             "[Form]\r\nFormName=Schadhaft\r\nField1=EDIT, Raum\r\nField2=PAGEBREAK\r\n");
  doc_.GetFormMap()->SetAt("Schadhaft", std::string(kShare) + "FRMBAD.FRM");
  Box("malformed line");  // loading comes before the dialog's first step
  Read("editing a form", [] {
    EXPECT_EQ(Lines(IDC_QUESTION_LIST).back(), German().FindString(IDS_PAGE_BREAK));
    ui::Key(0, VK_ESCAPE);
  });
  RunEditor(1, "Schadhaft");

  const std::filesystem::path share =
      std::filesystem::path(world_.Host(std::string(kShare) + "FRM1A.FRM")).parent_path();
  user_.Then([&share] {
    ui::Type(IDC_FORM_NAME, "Neue Umfrage");
    std::filesystem::remove_all(share);  // the share takes no new file
    ui::Click(203);
  });
  ReadBox(user_, "failed save", German().FindString(IDS_CAPTION));
  Box("viewer not started");
  user_.Then([&share] {
    std::filesystem::create_directories(share);
    ui::Key(0, VK_ESCAPE);
  });
  RunEditor(1, "Office survey");
}

TEST_F(GermanEditor, TheGroupDialogRefusesInGerman) {
  CCustomView view;
  view.GetDistributionTask().SetDocument(&doc_);
  const char* caption = German().FindString(IDS_CAPTION);
  Read("group dialog", [] {
    ui::Type(IDC_GROUP_NAME, "Neue Gruppe");
    ui::Click(IDOK);
  });
  ReadBox(user_, "no form chosen", caption);
  user_.Then([] {
    ui::Type(IDC_GROUP_NAME, "");
    ui::Check(IDC_GROUP_FORMS, 0);
    ui::Click(IDOK);
  });
  ReadBox(user_, "no group name", caption);
  user_.Then([] {
    ui::Type(IDC_GROUP_NAME, "NEW STARTERS");
    ui::Click(IDOK);
  });
  ReadBox(user_, "duplicate group name", caption);
  user_.Then([] { ui::Click(IDCANCEL); });
  Read("group dialog, changing a group", [] { ui::Click(IDCANCEL); });
  for (auto [mode, name] : {std::pair{CFormGroupDlg::kModeCreate, ""},
                            std::pair{CFormGroupDlg::kModeModify, "New starters"}}) {
    CFormGroupDlg dialog(nullptr, mode, &doc_, name, &view);
    dialog.DoModal();
  }
  EXPECT_EQ(user_.Pending(), 0u);
  FreeDatabasePtr();
}

namespace {

// The control as the console hosts it, in German.
class GermanControl : public ScriptedConsole {
 protected:
  static constexpr UINT kModify = ID_FORMS_MODIFY, kDelete = ID_FORMS_DELETE;

  void Box(const std::string& where, int answer = IDOK) {
    ReadBox(user_, where, German().FindString(IDS_CAPTION), answer);
  }

  InGerman german_;
};

}  // namespace

TEST_F(GermanControl, TheListToolbarMenusPromptsAndBoxesAreGerman) {
  Open();
  ASSERT_EQ(created_, S_OK);
  int bar = ToolBar()->Handle();
  int list = ListHandle();
  user_.Then([&] {
    ExpectGerman("the list");
    View()->SendMessage(WM_COMMAND, MAKEWPARAM(kModify, 0));  // nothing selected
  });
  Box("nothing selected");
  // Each button's tip, and its prompt in the console's status bar.
  static const EnglishTexts english;
  for (UINT button : German().FindToolBar(204)->buttons) {
    if (button == 0)
      continue;
    user_.Then([&, button] { qv::ui::Hover(bar, ButtonIndex(button)); }).Then([&, button] {
      ASSERT_FALSE(sink_->status.empty());
      EXPECT_EQ(english.Match(sink_->status.back()), "") << sink_->status.back();
      EXPECT_NE(Button(button).tip, "");
      ExpectGerman("tip of " + std::to_string(button));
    });
  }
  user_.Then([&] {
    qv::ui::Hover(bar, -1);
    qv::ui::ClickAt(bar, ButtonIndex(ID_VIEW_DETAILS));  // details: the column headers
  });
  user_.Then([&] { qv::ui::SelectAt(list, Row("Asset tag")); })
      .Then([&] { qv::ui::KeyAt(list, VK_APPS); })
      .Then([] {
        ASSERT_TRUE(qv::ui::TakeSnapshot().menu.open);
        ExpectGerman("details and the pop-up menu");
        qv::ui::PickMenuItem(kDelete);
      });
  Box("deleting a form", IDNO);
  user_.Then([&] { EXPECT_EQ(Call(DISPID_ABOUTBOX), S_OK); });
  user_.Then([] {
    ExpectGerman("about box");
    qv::ui::Click(IDOK);
  });
  Run();
  EXPECT_NE(Row("Asset tag"), -1);

  // What the console shows of the control: its shared menu and the prompts of its commands.
  VARIANT menu;
  ASSERT_EQ(Call(CQVccfgCtrl::kGetSharedMenu, {}, &menu), S_OK);
  std::vector<qv::ui::MenuItemState> top = qv::ui::MenuItems(static_cast<HMENU>(menu.Long()));
  ASSERT_EQ(top.size(), 1u);
  Texts shown = {top[0].text};
  for (const qv::ui::MenuItemState& item : qv::ui::MenuItems(top[0].popup)) {
    shown.push_back(item.text);
    BSTR prompt = nullptr;
    ASSERT_EQ(Call(CQVccfgCtrl::kGetMessageString,
                   {VARIANT::FromLong(static_cast<LONG>(item.id)), VARIANT::RefString(&prompt)}),
              S_OK);
    shown.push_back(qv::com::BstrText(prompt));
    SysFreeString(prompt);
  }
  for (const std::string& text : shown)
    EXPECT_EQ(english.Match(text), "") << text;
}

TEST_F(GermanControl, AScheduledFormIsRefusedInGerman) {
  Open();
  TaskConfigRecord record{};
  record.id = -1;
  record.snapinId = View()->GetSnapinId();
  std::strcpy(record.name, "Contact details");
  ASSERT_EQ(AddTaskConfiguration(&record), TRUE);
  ASSERT_GT(qv::AddTask("Contact details", record.id), 0);
  user_.Then([&] { qv::ui::SelectAt(ListHandle(), Row("Contact details")); }).Then([&] {
    View()->SendMessage(WM_COMMAND, MAKEWPARAM(kDelete, 0));
  });
  Box("deleting a form", IDYES);
  Box("a task holds the form");
  Run();
  EXPECT_NE(Row("Contact details"), -1);
}

TEST_F(GermanControl, AFailedSnapinRegistrationIsReportedInGerman) {
  ASSERT_TRUE(qv::WriteHostFileAtomic(world_.World().DatabaseHostPath(), "not a database\n"));
  ReadBox(user_, "registration failed", kAppName);
  Open();
  EXPECT_EQ(created_, E_FAIL);
}
