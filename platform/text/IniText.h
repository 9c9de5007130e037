// One profile file held in memory: parsed by the reading rules of the private-profile
// functions, and changed one value at a time so that every line not written keeps its bytes
// and its own line end.
//
// A console reads thousands of these at a time, so reading costs little: the file's bytes
// are kept as they came. The first few reads scan them; a text read more often than that,
// or written, is split into lines and sections, which are views into the bytes. Only lines
// written here get text of their own; a line rewritten keeps its earlier text until the
// whole file is parsed again or removed, which bounds what rewrites of one key can hold.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv {

// The text without the blanks a profile line is trimmed of when read (spaces, tab to CR, the
// old end-of-file mark): what a name written to a profile reads back as.
std::string_view TrimProfileBlanks(std::string_view text);

class IniText {
 public:
  IniText() = default;  // empty, and holds no memory until something is written
  explicit IniText(std::string bytes) { Parse(std::move(bytes)); }
  // Views point into the object's own text: it moves, but is never copied.
  IniText(IniText&&) = default;
  IniText& operator=(IniText&&) = default;
  IniText(const IniText&) = delete;
  IniText& operator=(const IniText&) = delete;

  void Parse(std::string bytes);

  // The file's bytes as they are now, and how many there are.
  std::string Bytes() const;
  std::size_t Size() const;

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
    const std::string* own = nullptr;   // the text of a line written here; else in source_
    std::size_t begin = 0, length = 0;  // where a parsed line's text lies in source_
    Eol eol = Eol::kNone;
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
  // Key names are views into the text of their line, which outlives the index.
  using KeyIndex = std::unordered_map<std::string_view, std::size_t, NoCaseHash, NoCaseEq>;
  using NameIndex = std::unordered_map<std::string, std::size_t, NoCaseHash, NoCaseEq>;

  // A text read only a few times is scanned; one read more often is split into lines. A
  // section looked up only a few times is searched line by line; one looked up more often (a
  // form of a thousand questions is read key by key) gets an index of its keys.
  static constexpr int kScansBeforeSplit = 4;
  static constexpr int kLookupsBeforeIndex = 8;

  struct Section {
    std::string name;         // trimmed name as written
    std::vector<Line> lines;  // the header line first, except for the unnamed head
    bool hasHeader = false;
    mutable int lookups = 0;
    mutable bool indexed = false;
    mutable KeyIndex keys;  // key -> index of its first line, once indexed
  };

  std::string_view Text(const Line& line) const {
    return line.own != nullptr ? std::string_view(*line.own)
                               : std::string_view(*source_).substr(line.begin, line.length);
  }
  // A line of text of its own, written here.
  Line OwnLine(std::string text);
  void AddLine(std::size_t begin, std::size_t length, Eol eol) const;
  // The index of the first line of the key in the section; npos when there is none.
  std::size_t FindKey(const Section& section, std::string_view key) const;
  void BuildIndex(const Section& section) const;
  void IndexKey(const Section& section, std::size_t lineIndex) const;
  void EndLastLine();
  Section* Find(std::string_view name);
  const Section* Find(std::string_view name) const;

  // Reads one value straight from the bytes, as Get does from the split text.
  bool Scan(std::string_view section, std::string_view key, std::string_view* value) const;
  // Splits the bytes into lines and sections, once.
  void Split() const;
  // Makes sure the unnamed head exists (an empty text has no sections at all).
  void EnsureHead() const;

  // The bytes parsed (on the heap, so that views into them survive a move; null before a
  // parse) and the texts of lines written since (each on the heap: they never move).
  std::unique_ptr<std::string> source_;
  std::vector<std::unique_ptr<std::string>> owned_;
  bool bom_ = false;
  // Built from the bytes when first needed (Split), hence mutable.
  mutable bool split_ = true;  // nothing to split in an empty text
  mutable int scans_ = 0;
  mutable std::vector<Section> sections_;  // [0]: the unnamed head, once there is any
  mutable NameIndex index_;                // name -> first section
};

}  // namespace qv
