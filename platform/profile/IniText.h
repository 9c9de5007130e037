// One profile file held in memory: parsed by the reading rules of the private-profile
// functions, and changed one value at a time so that every line not written keeps its bytes
// and its own line end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv {

class IniText {
 public:
  IniText() { Parse(""); }
  explicit IniText(std::string_view bytes) { Parse(bytes); }

  void Parse(std::string_view bytes);

  // The file's bytes as they are now.
  std::string Bytes() const;

  // The value of key in section, trimmed, with one enclosing pair of quotes removed. False
  // when the section or key is absent, or the key's line has no "=".
  bool Get(std::string_view section, std::string_view key, std::string* value) const;
  // The same, as a view into this text that is valid until the next change.
  bool Get(std::string_view section, std::string_view key, std::string_view* value) const;

  // False for names and values that would forge lines when written: a line break in any of
  // them, "]" in the section, "=" in the key, or a key that would read back as a section
  // header (it starts with "[").
  static bool CanWrite(std::string_view section, std::string_view key, std::string_view value);

  // Writes key=value (see platform/profile/Profile.h for the rules); the caller has checked
  // CanWrite. Returns true when the bytes changed.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // Section names in file order (the unnamed head first when it holds any line), and the
  // key/value pairs of the first section of a name, in file order (keys without "=" skipped).
  std::vector<std::string> SectionNames() const;
  std::vector<std::pair<std::string, std::string>> Pairs(std::string_view section) const;

 private:
  enum class Eol : unsigned char { kNone, kCrLf, kLf, kCr };
  struct Line {
    std::string text;  // without its line end
    Eol eol = Eol::kNone;
    bool hasValue = false;                     // a key line with "="
    std::size_t valueBegin = 0, valueEnd = 0;  // the trimmed value within text
  };
  // Names are compared without regard to case; lookups take string_views.
  struct NoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const;
  };
  struct NoCaseEq {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  using NameIndex = std::unordered_map<std::string, std::size_t, NoCaseHash, NoCaseEq>;

  struct Section {
    std::string name;         // trimmed name as written
    std::vector<Line> lines;  // the header line first, except for the unnamed head
    NameIndex keys;           // key -> index of its first line
    bool hasHeader = false;
  };

  void AddLine(std::string_view text, Eol eol);
  void IndexKey(Section& section, std::size_t lineIndex);
  void EndLastLine();
  Section* Find(std::string_view name);
  const Section* Find(std::string_view name) const;

  bool bom_ = false;
  std::vector<Section> sections_;  // sections_[0]: the unnamed head
  NameIndex index_;                // name -> first section
};

}  // namespace qv
