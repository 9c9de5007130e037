#include "platform/profile/IniText.h"

#include "platform/text/CaseFold.h"

namespace qv {
namespace {

// The bytes a profile line is trimmed of: blanks, tab to CR, and the old end-of-file mark.
bool IsTrim(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsTrim(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsTrim(s.back()))
    s.remove_suffix(1);
  return s;
}

// A key line split at its first "=": the key as written and where the value lies in `text`.
struct KeyLine {
  std::string_view key;
  bool hasValue = false;
  std::size_t valueBegin = 0, valueEnd = 0;
};

KeyLine SplitKey(std::string_view text) {
  KeyLine k;
  std::string_view t = Trim(text);
  std::size_t offset = static_cast<std::size_t>(t.data() - text.data());
  std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) {
    k.key = t;
    return k;
  }
  k.key = Trim(t.substr(0, eq));
  k.hasValue = true;
  std::size_t begin = eq + 1;
  while (begin < t.size() && IsTrim(t[begin]))
    ++begin;
  k.valueBegin = offset + begin;
  k.valueEnd = offset + t.size();
  return k;
}

// A "[" line with a "]" in it names a section: the text up to the last "]", trimmed.
bool SectionName(std::string_view text, std::string_view* name) {
  std::string_view t = Trim(text);
  if (t.empty() || t.front() != '[')
    return false;
  std::size_t close = t.rfind(']');
  if (close == std::string_view::npos || close == 0)
    return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

std::string_view StripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

}  // namespace

std::size_t IniText::NoCaseHash::operator()(std::string_view s) const {
  std::size_t h = 1469598103934665603ull;
  for (char c : s) {
    h ^= static_cast<unsigned char>(ToLowerChar(c));
    h *= 1099511628211ull;
  }
  return h;
}

bool IniText::NoCaseEq::operator()(std::string_view a, std::string_view b) const {
  return EqualsNoCase(a, b);
}

void IniText::Parse(std::string_view bytes) {
  sections_.clear();
  index_.clear();
  sections_.push_back(Section{});
  index_.emplace("", 0);
  bom_ = bytes.substr(0, 3) == "\xEF\xBB\xBF";
  if (bom_)
    bytes.remove_prefix(3);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      AddLine(bytes.substr(pos), Eol::kNone);
      break;
    }
    Eol eol = Eol::kLf;
    std::size_t next = end + 1;
    if (bytes[end] == '\r') {
      eol = Eol::kCr;
      if (next < bytes.size() && bytes[next] == '\n') {
        eol = Eol::kCrLf;
        ++next;
      }
    }
    AddLine(bytes.substr(pos, end - pos), eol);
    pos = next;
  }
}

void IniText::AddLine(std::string_view text, Eol eol) {
  std::string_view name;
  if (SectionName(text, &name)) {
    Section section;
    section.name = std::string(name);
    section.hasHeader = true;
    section.lines.push_back(Line{std::string(text), eol, false, 0, 0});
    index_.emplace(section.name, sections_.size());  // keeps the first of a name
    sections_.push_back(std::move(section));
    return;
  }
  Section& section = sections_.back();
  section.lines.push_back(Line{std::string(text), eol, false, 0, 0});
  IndexKey(section, section.lines.size() - 1);
}

void IniText::IndexKey(Section& section, std::size_t lineIndex) {
  Line& line = section.lines[lineIndex];
  KeyLine k = SplitKey(line.text);
  line.hasValue = k.hasValue;
  line.valueBegin = k.valueBegin;
  line.valueEnd = k.valueEnd;
  if (k.key.empty() && !k.hasValue)
    return;  // a blank line
  section.keys.emplace(std::string(k.key), lineIndex);
}

std::string IniText::Bytes() const {
  std::string out;
  if (bom_)
    out += "\xEF\xBB\xBF";
  for (const Section& section : sections_) {
    for (const Line& line : section.lines) {
      out += line.text;
      switch (line.eol) {
        case Eol::kNone:
          break;
        case Eol::kCrLf:
          out += "\r\n";
          break;
        case Eol::kLf:
          out += '\n';
          break;
        case Eol::kCr:
          out += '\r';
          break;
      }
    }
  }
  return out;
}

const IniText::Section* IniText::Find(std::string_view name) const {
  auto it = index_.find(Trim(name));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

IniText::Section* IniText::Find(std::string_view name) {
  auto it = index_.find(Trim(name));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

bool IniText::Get(std::string_view section, std::string_view key, std::string* value) const {
  std::string_view view;
  if (!Get(section, key, &view))
    return false;
  value->assign(view);
  return true;
}

bool IniText::Get(std::string_view section, std::string_view key, std::string_view* value) const {
  key = Trim(key);  // names are compared as the file's lines give them: trimmed
  const Section* s = Find(section);
  if (s == nullptr)
    return false;
  auto it = s->keys.find(key);
  if (it == s->keys.end())
    return false;
  const Line& line = s->lines[it->second];
  if (!line.hasValue)
    return false;
  std::string_view v(line.text);
  *value = StripQuotes(v.substr(line.valueBegin, line.valueEnd - line.valueBegin));
  return true;
}

void IniText::EndLastLine() {
  for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
    if (!s->lines.empty()) {
      if (s->lines.back().eol == Eol::kNone)
        s->lines.back().eol = Eol::kCrLf;
      return;
    }
  }
}

bool IniText::CanWrite(std::string_view section, std::string_view key, std::string_view value) {
  auto breaks = [](std::string_view t) {
    return t.find_first_of("\r\n") != std::string_view::npos;
  };
  return !breaks(section) && !breaks(key) && !breaks(value) &&
         section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
         !Trim(key).starts_with('[');
}

bool IniText::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  while (!value.empty() &&
         (value.front() == ' ' || (value.front() >= '\t' && value.front() <= '\r'))) {
    value.remove_prefix(1);
  }
  std::string newLine = std::string(key) + "=" + std::string(value);

  Section* s = Find(section);
  if (s == nullptr) {
    EndLastLine();
    Section added;
    added.name = std::string(section);
    added.hasHeader = true;
    added.lines.push_back(Line{"[" + added.name + "]", Eol::kCrLf, false, 0, 0});
    added.lines.push_back(Line{newLine, Eol::kCrLf, false, 0, 0});
    IndexKey(added, 1);
    index_.emplace(added.name, sections_.size());
    sections_.push_back(std::move(added));
    return true;
  }

  auto it = s->keys.find(key);
  if (it != s->keys.end()) {
    Line& line = s->lines[it->second];
    std::string_view text(line.text);
    if (line.hasValue && text.substr(line.valueBegin, line.valueEnd - line.valueBegin) == value) {
      return false;
    }
    // Keep the key as the file spells it.
    line.text = std::string(SplitKey(text).key) + "=" + std::string(value);
    line.eol = Eol::kCrLf;
    IndexKey(*s, it->second);
    return true;
  }

  // A new key goes after the section's last non-blank line, ahead of blank lines that part
  // it from the next section. Only blank lines move, and they are not indexed.
  std::size_t first = s->hasHeader ? 1 : 0;
  std::size_t pos = s->lines.size();
  while (pos > first && Trim(s->lines[pos - 1].text).empty())
    --pos;
  if (pos == s->lines.size() && pos > 0 && s->lines[pos - 1].eol == Eol::kNone) {
    s->lines[pos - 1].eol = Eol::kCrLf;
  }
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(pos),
                  Line{newLine, Eol::kCrLf, false, 0, 0});
  IndexKey(*s, pos);
  return true;
}

std::vector<std::string> IniText::SectionNames() const {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (i == 0 && sections_[0].keys.empty())
      continue;
    names.push_back(sections_[i].name);
  }
  return names;
}

std::vector<std::pair<std::string, std::string>> IniText::Pairs(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> pairs;
  const Section* s = Find(section);
  if (s == nullptr)
    return pairs;
  for (std::size_t i = 0; i < s->lines.size(); ++i) {
    const Line& line = s->lines[i];
    if (!line.hasValue)
      continue;
    KeyLine k = SplitKey(line.text);
    auto it = s->keys.find(k.key);
    if (it == s->keys.end() || it->second != i)
      continue;  // a later duplicate
    std::string_view v(line.text);
    pairs.emplace_back(
        std::string(k.key),
        std::string(StripQuotes(v.substr(line.valueBegin, line.valueEnd - line.valueBegin))));
  }
  return pairs;
}

}  // namespace qv
