#include "tools/common/Json.h"

#include <cmath>
#include <string>

namespace qv::json {

namespace {

// "line L, column C: message" for the byte at offset at (columns count bytes from 1).
std::string AtOffset(std::string_view text, std::size_t at, std::string_view message) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < at && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
         std::string(message);
}

// Why text is not given to the library's parser, or "" when it may be. The parser takes a NUL
// byte for the end of the text, and builds values as deep as the text nests.
std::string Refusal(std::string_view text) {
  if (text.size() > kMaxInputSize)
    return "the document is larger than " + std::to_string(kMaxInputSize) + " bytes";
  if (std::size_t at = text.find('\0'); at != text.npos)
    return AtOffset(text, at, "unexpected NUL byte");
  if (std::size_t at = DeeperThan(text, kMaxDepth); at != text.npos) {
    return AtOffset(
        text, at,
        "arrays and objects are nested deeper than " + std::to_string(kMaxDepth) + " levels");
  }
  return "";
}

std::string Quoted(std::string_view s) {
  return Write(Value(std::string(s)), false);
}

}  // namespace

const Value* Find(const Value& v, std::string_view key) {
  if (!v.is_object())
    return nullptr;
  for (const auto& member : v.get_ref<const Object&>()) {
    if (member.first == key)
      return &member.second;
  }
  return nullptr;
}

bool GetInteger(const Value& v, std::int64_t min, std::int64_t max, std::int64_t* out) {
  if (!v.is_number())
    return false;
  double d = v.get<double>();
  if (d != std::trunc(d))
    return false;  // NaN fails too
  // Only numbers inside the int64 range may be converted.
  if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
    return false;
  std::int64_t n = static_cast<std::int64_t>(d);
  if (n < min || n > max)
    return false;
  *out = n;
  return true;
}

std::size_t DeeperThan(std::string_view text, int maxDepth) {
  int depth = 0;
  bool inString = false, escaped = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (escaped) {
      escaped = false;
    } else if (inString) {
      escaped = c == '\\';
      inString = c != '"';
    } else if (c == '"') {
      inString = true;
    } else if ((c == '[' || c == '{') && ++depth > maxDepth) {
      return i;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return text.npos;
}

bool Parse(std::string_view text, Value* out, std::string* error) {
  std::string why = Refusal(text);
  if (why.empty()) {
    try {
      *out = Value::parse(text.begin(), text.end());
      return true;
    } catch (const Value::parse_error& e) {
      // The library's words placed by the byte it stopped at (e.byte counts from 1; the end of
      // the text counts as one byte): its own line and column restart at 0 after a line end.
      std::string_view what = e.what();
      std::size_t words = what.find(": ");
      why = AtOffset(text, e.byte > 0 ? e.byte - 1 : 0,
                     words == what.npos ? what : what.substr(words + 2));
    } catch (const Value::exception& e) {  // a number out of range, which names itself
      why = e.what();
      why.erase(0, why.find("] ") + 2);
    }
  }
  if (error)
    *error = why;
  return false;
}

// ---------------------------------------------------------------------------------------------
// ObjectReader

std::string ElementPath(std::string_view arrayPath, std::size_t index) {
  return std::string(arrayPath) + "[" + std::to_string(index) + "]";
}

ObjectReader::ObjectReader(const Value& value, std::string path)
    : value_(value), path_(std::move(path)) {
  if (!value_.is_object())
    Fail("", "expected an object");
}

std::string ObjectReader::PathOf(std::string_view key) const {
  if (path_.empty())
    return std::string(key);
  if (key.empty())
    return path_;
  return path_ + "." + std::string(key);
}

void ObjectReader::Fail(std::string_view key, std::string_view message) {
  if (!error_.empty())
    return;
  std::string where = PathOf(key);
  error_ = where.empty() ? std::string(message) : where + ": " + std::string(message);
}

const Value* ObjectReader::Take(std::string_view key, Need need) {
  asked_.emplace_back(key);
  if (!error_.empty())
    return nullptr;
  const Value* v = Find(value_, key);
  if (!v && need == Need::kRequired)
    Fail("", "missing member " + Quoted(key));
  return v;
}

bool ObjectReader::Bool(std::string_view key, bool* out, Need need) {
  const Value* v = Take(key, need);
  if (!v)
    return false;
  if (!v->is_boolean()) {
    Fail(key, "expected true or false");
    return false;
  }
  *out = v->get<bool>();
  return true;
}

bool ObjectReader::Int(std::string_view key, int min, int max, int* out, Need need) {
  const Value* v = Take(key, need);
  if (!v)
    return false;
  std::int64_t n = 0;
  if (!GetInteger(*v, min, max, &n)) {
    Fail(key, "expected an integer from " + std::to_string(min) + " to " + std::to_string(max));
    return false;
  }
  *out = static_cast<int>(n);
  return true;
}

bool ObjectReader::String(std::string_view key, std::string* out, Need need) {
  const Value* v = Take(key, need);
  if (!v)
    return false;
  if (!v->is_string()) {
    Fail(key, "expected a string");
    return false;
  }
  *out = v->get_ref<const std::string&>();
  return true;
}

bool ObjectReader::Text(std::string_view key, std::string* out, Need need) {
  std::string utf8;
  if (!String(key, &utf8, need))
    return false;
  if (!Utf8ToCp1252(utf8, out)) {
    Fail(key, "holds a character that has no Windows-1252 byte");
    return false;
  }
  return true;
}

const Value* ObjectReader::ArrayMember(std::string_view key, Need need) {
  const Value* v = Take(key, need);
  if (!v)
    return nullptr;
  if (!v->is_array()) {
    Fail(key, "expected an array");
    return nullptr;
  }
  return v;
}

const Value* ObjectReader::ObjectMember(std::string_view key, Need need) {
  const Value* v = Take(key, need);
  if (!v)
    return nullptr;
  if (!v->is_object()) {
    Fail(key, "expected an object");
    return nullptr;
  }
  return v;
}

bool ObjectReader::Finish() {
  if (!error_.empty())
    return false;
  for (const auto& m : value_.get_ref<const Object&>()) {
    bool known = false;
    for (const std::string& k : asked_) {
      if (k == m.first)
        known = true;
    }
    if (!known) {
      Fail("", "unknown member " + Quoted(m.first));
      return false;
    }
  }
  return true;
}

}  // namespace qv::json
