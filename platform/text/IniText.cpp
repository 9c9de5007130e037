#include "platform/text/IniText.h"

#include "platform/text/CaseFold.h"

namespace qv {
namespace {

// The bytes a profile line is trimmed of: blanks, tab to CR, and the old end-of-file mark.
bool IsTrim(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a';
}

std::string_view Trim(std::string_view s) {
  return TrimProfileBlanks(s);
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

std::string_view TrimProfileBlanks(std::string_view s) {
  while (!s.empty() && IsTrim(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsTrim(s.back()))
    s.remove_suffix(1);
  return s;
}

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

void IniText::Parse(std::string bytes) {
  sections_.clear();
  index_.clear();
  owned_.clear();
  source_ = std::make_unique<std::string>(std::move(bytes));
  bom_ = std::string_view(*source_).substr(0, 3) == "\xEF\xBB\xBF";
  split_ = false;
  scans_ = 0;
}

namespace {

// Calls f(begin, length, eol) for each line of the bytes from pos on, until f returns
// false.
template <typename F>
void ForEachLine(std::string_view all, std::size_t pos, F f) {
  while (pos < all.size()) {
    std::size_t end = all.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      f(pos, all.size() - pos, 0);
      return;
    }
    int eol = 2;  // the Eol values: 1 CR LF, 2 LF, 3 CR
    std::size_t next = end + 1;
    if (all[end] == '\r') {
      eol = 3;
      if (next < all.size() && all[next] == '\n') {
        eol = 1;
        ++next;
      }
    }
    if (!f(pos, end - pos, eol))
      return;
    pos = next;
  }
}

}  // namespace

void IniText::Split() const {
  if (split_)
    return;
  split_ = true;
  EnsureHead();
  ForEachLine(*source_, bom_ ? 3 : 0, [this](std::size_t begin, std::size_t length, int eol) {
    AddLine(begin, length, static_cast<Eol>(eol));
    return true;
  });
}

bool IniText::Scan(std::string_view section, std::string_view key, std::string_view* value) const {
  std::string_view all(*source_);
  std::string_view want = Trim(section);
  bool inside = want.empty();  // the unnamed head comes first
  bool found = false;
  ForEachLine(all, bom_ ? 3 : 0, [&](std::size_t begin, std::size_t length, int) {
    std::string_view line = all.substr(begin, length);
    std::string_view name;
    if (SectionName(line, &name)) {
      if (inside)
        return false;  // only the first section of a name is seen
      inside = EqualsNoCase(name, want);
      return true;
    }
    if (!inside)
      return true;
    KeyLine k = SplitKey(line);
    if ((!k.hasValue && k.key.empty()) || !EqualsNoCase(k.key, key))
      return true;
    // The first line of the key decides, with a value or without.
    found = k.hasValue;
    if (found)
      *value = StripQuotes(line.substr(k.valueBegin, k.valueEnd - k.valueBegin));
    return false;
  });
  return found;
}

void IniText::AddLine(std::size_t begin, std::size_t length, Eol eol) const {
  Line line;
  line.begin = begin;
  line.length = length;
  line.eol = eol;
  std::string_view name;
  if (SectionName(Text(line), &name)) {
    Section section;
    section.name = std::string(name);
    section.hasHeader = true;
    section.lines.push_back(line);
    index_.emplace(section.name, sections_.size());  // keeps the first of a name
    sections_.push_back(std::move(section));
    return;
  }
  sections_.back().lines.push_back(line);
}

void IniText::EnsureHead() const {
  if (!sections_.empty())
    return;
  sections_.push_back(Section{});
  index_.emplace("", 0);
}

IniText::Line IniText::OwnLine(std::string text) {
  Line line;
  line.own = owned_.emplace_back(std::make_unique<std::string>(std::move(text))).get();
  line.eol = Eol::kCrLf;
  return line;
}

std::size_t IniText::FindKey(const Section& section, std::string_view key) const {
  if (!section.indexed && ++section.lookups > kLookupsBeforeIndex)
    BuildIndex(section);
  if (section.indexed) {
    auto it = section.keys.find(key);
    return it == section.keys.end() ? std::string::npos : it->second;
  }
  for (std::size_t i = section.hasHeader ? 1 : 0; i < section.lines.size(); ++i) {
    KeyLine k = SplitKey(Text(section.lines[i]));
    if ((k.hasValue || !k.key.empty()) && EqualsNoCase(k.key, key))
      return i;
  }
  return std::string::npos;
}

void IniText::BuildIndex(const Section& section) const {
  section.indexed = true;
  section.keys.clear();
  for (std::size_t i = section.hasHeader ? 1 : 0; i < section.lines.size(); ++i)
    IndexKey(section, i);
}

void IniText::IndexKey(const Section& section, std::size_t lineIndex) const {
  KeyLine k = SplitKey(Text(section.lines[lineIndex]));
  if (k.key.empty() && !k.hasValue)
    return;                                // a blank line
  section.keys.emplace(k.key, lineIndex);  // keeps the first of a name
}

namespace {

std::size_t EolSize(int eol) {
  return eol == 1 ? 2 : eol == 0 ? 0 : 1;
}

}  // namespace

std::string IniText::Bytes() const {
  if (!split_)
    return *source_;  // as read
  std::string out;
  out.reserve(Size());
  if (bom_)
    out += "\xEF\xBB\xBF";
  for (const Section& section : sections_) {
    for (const Line& line : section.lines) {
      out += Text(line);
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

std::size_t IniText::Size() const {
  if (!split_ || owned_.empty())
    return source_ == nullptr ? 0 : source_->size();  // nothing written since the parse
  std::size_t size = bom_ ? 3 : 0;
  for (const Section& section : sections_) {
    for (const Line& line : section.lines)
      size += Text(line).size() + EolSize(static_cast<int>(line.eol));
  }
  return size;
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
  if (!split_ && ++scans_ <= kScansBeforeSplit)
    return Scan(section, key, value);
  Split();
  const Section* s = Find(section);
  if (s == nullptr)
    return false;
  std::size_t at = FindKey(*s, key);
  if (at == std::string::npos)
    return false;
  std::string_view text = Text(s->lines[at]);
  KeyLine k = SplitKey(text);
  if (!k.hasValue)
    return false;
  *value = StripQuotes(text.substr(k.valueBegin, k.valueEnd - k.valueBegin));
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

  Split();
  EnsureHead();
  Section* s = Find(section);
  if (s == nullptr) {
    EndLastLine();
    Section added;
    added.name = std::string(section);
    added.hasHeader = true;
    added.lines.push_back(OwnLine("[" + added.name + "]"));
    added.lines.push_back(OwnLine(std::move(newLine)));
    index_.emplace(added.name, sections_.size());
    sections_.push_back(std::move(added));
    return true;
  }

  std::size_t at = FindKey(*s, key);
  if (at != std::string::npos) {
    Line& line = s->lines[at];
    std::string_view text = Text(line);
    KeyLine k = SplitKey(text);
    if (k.hasValue && text.substr(k.valueBegin, k.valueEnd - k.valueBegin) == value)
      return false;
    // Keep the key as the file spells it. An index keeps its view of the key in the old
    // text, which stays where it is.
    line = OwnLine(std::string(k.key) + "=" + std::string(value));
    return true;
  }

  // A new key goes after the section's last non-blank line, ahead of blank lines that part
  // it from the next section. Only blank lines move, and they are not indexed.
  std::size_t first = s->hasHeader ? 1 : 0;
  std::size_t pos = s->lines.size();
  while (pos > first && Trim(Text(s->lines[pos - 1])).empty())
    --pos;
  if (pos == s->lines.size() && pos > 0 && s->lines[pos - 1].eol == Eol::kNone) {
    s->lines[pos - 1].eol = Eol::kCrLf;
  }
  s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(pos), OwnLine(std::move(newLine)));
  if (s->indexed)
    IndexKey(*s, pos);
  return true;
}

std::vector<std::string> IniText::SectionNames() const {
  Split();
  std::vector<std::string> names;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (i == 0) {
      bool anyKey = false;
      for (const Line& line : sections_[0].lines) {
        KeyLine k = SplitKey(Text(line));
        anyKey = anyKey || k.hasValue || !k.key.empty();
      }
      if (!anyKey)
        continue;
    }
    names.push_back(sections_[i].name);
  }
  return names;
}

std::vector<std::pair<std::string, std::string>> IniText::Pairs(std::string_view section) const {
  Split();
  std::vector<std::pair<std::string, std::string>> pairs;
  const Section* s = Find(section);
  if (s == nullptr)
    return pairs;
  if (!s->indexed)
    BuildIndex(*s);
  for (std::size_t i = s->hasHeader ? 1 : 0; i < s->lines.size(); ++i) {
    std::string_view v = Text(s->lines[i]);
    KeyLine k = SplitKey(v);
    if (!k.hasValue)
      continue;
    auto it = s->keys.find(k.key);
    if (it == s->keys.end() || it->second != i)
      continue;  // a later duplicate
    pairs.emplace_back(std::string(k.key),
                       std::string(StripQuotes(v.substr(k.valueBegin, k.valueEnd - k.valueBegin))));
  }
  return pairs;
}

}  // namespace qv
