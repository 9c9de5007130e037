#include "platform/registry/Hive.h"

#include <algorithm>
#include <cstdio>

#include "platform/text/CaseFold.h"

namespace qv {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";

bool HoldsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

// Reads a quoted string at the start of `line` ("..." with \\ and \" escapes) and moves
// `line` past it. False when there is no closing quote or an unknown escape.
bool ReadQuoted(std::string_view* line, std::string* out) {
  std::string_view rest = *line;
  if (rest.empty() || rest[0] != '"')
    return false;
  out->clear();
  for (std::size_t i = 1; i < rest.size(); ++i) {
    char c = rest[i];
    if (c == '"') {
      *line = rest.substr(i + 1);
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= rest.size() || (rest[i + 1] != '\\' && rest[i + 1] != '"'))
        return false;
      c = rest[++i];
    }
    out->push_back(c);
  }
  return false;
}

void WriteQuoted(std::string_view text, std::string* out) {
  out->push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"')
      out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

bool ParseDword(std::string_view digits, DWORD* number) {
  if (digits.empty() || digits.size() > 8)
    return false;
  DWORD value = 0;
  for (char c : digits) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0)
      return false;
    value = value * 16 + static_cast<DWORD>(digit);
  }
  *number = value;
  return true;
}

// One value line: "name"="text", "name"=dword:0000000a, or @=... for the default value.
bool ParseValueLine(std::string_view line, HiveValue* value) {
  if (line.starts_with('@')) {
    value->name.clear();
    line.remove_prefix(1);
  } else if (!ReadQuoted(&line, &value->name)) {
    return false;
  }
  if (!line.starts_with('='))
    return false;
  line.remove_prefix(1);
  if (line.starts_with("dword:")) {
    value->type = REG_DWORD_TYPE;
    value->text.clear();
    return ParseDword(line.substr(6), &value->number);
  }
  value->type = REG_SZ_TYPE;
  value->number = 0;
  return ReadQuoted(&line, &value->text) && line.empty();
}

}  // namespace

bool Hive::ValidPath(std::string_view path) {
  if (path.empty())
    return true;
  std::size_t start = 0;
  while (true) {
    std::size_t end = path.find('\\', start);
    std::string_view part = path.substr(start, end - start);
    if (part.empty() || HoldsLineBreakOrNul(part) || part.find(']') != std::string_view::npos)
      return false;
    if (end == std::string_view::npos)
      return true;
    start = end + 1;
  }
}

bool Hive::Parse(std::string_view bytes, std::string* why) {
  keys_.clear();
  int number = 0;
  HiveKey* key = nullptr;
  auto fail = [&](const char* what) {
    keys_.clear();
    *why = "line " + std::to_string(number) + ": " + what;
    return false;
  };
  while (!bytes.empty()) {
    std::size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    if (line.ends_with('\r'))
      line.remove_suffix(1);
    ++number;
    if (number == 1) {
      if (line != kHeader)
        return fail("the file does not start with REGEDIT4");
      continue;
    }
    if (line.empty())
      continue;
    if (line.starts_with('[')) {
      if (!line.ends_with(']'))
        return fail("a key line does not end with ]");
      std::string_view full = line.substr(1, line.size() - 2);
      std::string_view path;
      if (EqualsNoCase(full, root_))
        path = {};
      else if (full.size() > root_.size() && full[root_.size()] == '\\' &&
               EqualsNoCase(full.substr(0, root_.size()), root_))
        path = full.substr(root_.size() + 1);
      else
        return fail("a key lies outside the hive's root");
      if (!ValidPath(path))
        return fail("a key path has an empty or invalid name");
      key = FindKey(path);
      if (key == nullptr)
        key = &keys_.emplace_back(std::string(path));
      continue;
    }
    HiveValue value;
    if (key == nullptr)
      return fail("a value stands before the first key");
    if (!ParseValueLine(line, &value))
      return fail("a value is neither a quoted string nor dword:");
    if (!SetValue(key->path, value))
      return fail("a value holds what the file cannot keep");
  }
  if (number == 0)
    return fail("the file is empty");
  return true;
}

std::string Hive::Serialize() const {
  std::string out(kHeader);
  out += "\r\n";
  for (const HiveKey& key : keys_) {
    out += "\r\n[" + root_;
    if (!key.path.empty())
      out += "\\" + key.path;
    out += "]\r\n";
    for (const HiveValue& value : key.values) {
      if (value.name.empty())
        out += "@";
      else
        WriteQuoted(value.name, &out);
      out += "=";
      if (value.type == REG_DWORD_TYPE) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", value.number);
        out += digits;
      } else {
        WriteQuoted(value.text, &out);
      }
      out += "\r\n";
    }
  }
  return out;
}

HiveKey* Hive::FindKey(std::string_view path) {
  for (HiveKey& key : keys_)
    if (EqualsNoCase(key.path, path))
      return &key;
  return nullptr;
}

const HiveKey* Hive::FindKey(std::string_view path) const {
  return const_cast<Hive*>(this)->FindKey(path);
}

bool Hive::HasKey(std::string_view path) const {
  if (path.empty() || FindKey(path) != nullptr)
    return true;
  for (const HiveKey& key : keys_)
    if (key.path.size() > path.size() && key.path[path.size()] == '\\' &&
        EqualsNoCase(std::string_view(key.path).substr(0, path.size()), path))
      return true;
  return false;
}

const HiveValue* Hive::FindValue(std::string_view path, std::string_view name) const {
  const HiveKey* key = FindKey(path);
  if (key == nullptr)
    return nullptr;
  auto found = key->index.find(ToLower(name));
  return found == key->index.end() ? nullptr : &*found->second;
}

const std::list<HiveValue>* Hive::Values(std::string_view path) const {
  const HiveKey* key = FindKey(path);
  return key == nullptr ? nullptr : &key->values;
}

bool Hive::CreateKey(std::string_view path) {
  if (!ValidPath(path))
    return false;
  if (!path.empty() && FindKey(path) == nullptr)
    keys_.emplace_back(std::string(path));
  return true;
}

bool Hive::SetValue(std::string_view path, const HiveValue& value) {
  if (!ValidPath(path) || HoldsLineBreakOrNul(value.name) ||
      (value.type == REG_SZ_TYPE && HoldsLineBreakOrNul(value.text)))
    return false;
  HiveKey* key = FindKey(path);
  if (key == nullptr)
    key = &keys_.emplace_back(std::string(path));
  std::string lower = ToLower(value.name);
  auto found = key->index.find(lower);
  if (found != key->index.end()) {
    std::string keepName = std::move(found->second->name);
    *found->second = value;
    found->second->name = std::move(keepName);
    return true;
  }
  key->values.push_back(value);
  key->index.emplace(std::move(lower), std::prev(key->values.end()));
  return true;
}

bool Hive::DeleteValue(std::string_view path, std::string_view name) {
  HiveKey* key = FindKey(path);
  if (key == nullptr)
    return false;
  auto found = key->index.find(ToLower(name));
  if (found == key->index.end())
    return false;
  key->values.erase(found->second);
  key->index.erase(found);
  return true;
}

bool Hive::DeleteKey(std::string_view path) {
  if (path.empty())
    return false;
  auto found = keys_.end();
  for (auto it = keys_.begin(); it != keys_.end(); ++it) {
    if (EqualsNoCase(it->path, path))
      found = it;
  }
  if (found == keys_.end() || !SubKeys(path).empty())
    return false;
  std::size_t cut = found->path.rfind('\\');
  std::string parent = cut == std::string::npos ? std::string() : found->path.substr(0, cut);
  auto next = keys_.erase(found);
  if (!HasKey(parent))
    keys_.emplace(next, parent);
  return true;
}

std::vector<std::string> Hive::SubKeys(std::string_view path) const {
  std::vector<std::string> names;
  std::size_t skip = path.empty() ? 0 : path.size() + 1;
  for (const HiveKey& key : keys_) {
    if (key.path.size() <= skip ||
        (skip > 0 && (key.path[path.size()] != '\\' ||
                      !EqualsNoCase(std::string_view(key.path).substr(0, path.size()), path))))
      continue;
    std::string name = key.path.substr(skip, key.path.find('\\', skip) - skip);
    bool known = false;
    for (const std::string& n : names)
      known = known || EqualsNoCase(n, name);
    if (!known)
      names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return ToLower(a) < ToLower(b); });
  return names;
}

}  // namespace qv
