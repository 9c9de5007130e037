// One registry hive (HKEY_LOCAL_MACHINE of a computer, or HKEY_CURRENT_USER of its user) as
// the REGEDIT4 text file it is kept in:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Arvex\Quovant\QVNX\Install]
//   "Main Path"="D:\\Apps\\Main"
//   "Count"=dword:0000000a
//
// Key paths and value names match without regard to letter case and keep the case they were
// made with. Values are strings ("..." with \\ and \" escaped) or 32-bit integers (dword:).
// Anything else in the file (another root, another value type, a stray line) makes the text
// damaged: Parse says where, and the registry layer then refuses to write the hive, so a
// damaged file is never replaced by the less that we understood of it.
#pragma once

#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/base/wintypes.h"

namespace qv {

inline constexpr DWORD REG_SZ_TYPE = 1;
inline constexpr DWORD REG_DWORD_TYPE = 4;

struct HiveValue {
  std::string name;  // "" is the key's default value, written "@"
  DWORD type = REG_SZ_TYPE;
  std::string text;  // REG_SZ
  DWORD number = 0;  // REG_DWORD
};

struct HiveKey {
  explicit HiveKey(std::string keyPath) : path(std::move(keyPath)) {}
  HiveKey(const HiveKey&) = delete;  // `index` points into `values`
  HiveKey& operator=(const HiveKey&) = delete;

  std::string path;             // below the root, components joined by "\"
  std::list<HiveValue> values;  // in file order
  // Lower-case name -> its value, so that a key of thousands of values is not walked per
  // lookup (the console keeps one value per row of its list).
  std::unordered_map<std::string, std::list<HiveValue>::iterator> index;
};

class Hive {
 public:
  // The root is the file's key prefix: "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER".
  explicit Hive(std::string root) : root_(std::move(root)) {}

  // Replaces the contents with the parsed text; false and *why ("line 4: ...") when the text
  // is damaged, the contents then empty.
  bool Parse(std::string_view bytes, std::string* why);
  // The contents as REGEDIT4 text with CR LF line ends; Parse of it gives the same contents.
  std::string Serialize() const;

  // True when the key exists, or some key lies below it ("" is the root, always present).
  bool HasKey(std::string_view path) const;
  const HiveValue* FindValue(std::string_view path, std::string_view name) const;
  // The values of a key in file order; null when the key has none of its own.
  const std::list<HiveValue>* Values(std::string_view path) const;
  // Creates the key when missing; false for a path ValidPath refuses.
  bool CreateKey(std::string_view path);
  // Sets a value, creating its key. False when a name or text holds what the file cannot
  // keep (a NUL, CR or LF, or an empty key path component).
  bool SetValue(std::string_view path, const HiveValue& value);
  // False when there was no such value.
  bool DeleteValue(std::string_view path, std::string_view name);
  // Deletes the key and its values. False when there is no such key, when keys lie below it
  // (delete those first), or for the root. Its parent stays: a parent that only existed
  // because of this key is made a key of its own, where the deleted one stood.
  bool DeleteKey(std::string_view path);
  // The names of the keys directly below `path`, each once, in the case they were made
  // with, sorted without regard to case.
  std::vector<std::string> SubKeys(std::string_view path) const;

  // True when a key path can be stored: "" (the root), or components joined by single "\"
  // with none empty and none holding a NUL, CR, LF or "]".
  static bool ValidPath(std::string_view path);

 private:
  HiveKey* FindKey(std::string_view path);
  const HiveKey* FindKey(std::string_view path) const;

  std::string root_;
  std::list<HiveKey> keys_;  // in file order; a list, so keys never move
};

}  // namespace qv
