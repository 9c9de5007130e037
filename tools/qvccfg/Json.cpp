#include "tools/qvccfg/Json.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <unordered_set>

namespace qv::json {

namespace {

// ---------------------------------------------------------------------------------------------
// UTF-8

// The length of the well-formed UTF-8 sequence that starts at text[pos], with its character in
// *cp; 0 when the bytes there are not one (a stray continuation byte, an overlong form, a
// surrogate, a character past U+10FFFF, or a sequence cut short).
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t* cp) {
  auto byte = [&](std::size_t i) -> unsigned {
    return pos + i < text.size() ? static_cast<unsigned char>(text[pos + i]) : 0x100;
  };
  auto continuation = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };  // 0x100 fails

  unsigned b0 = byte(0);
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  }
  // The allowed range of the second byte narrows for E0, ED, F0 and F4 so that overlong
  // forms, surrogates and characters past U+10FFFF are refused.
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0)
      low = 0xA0;
    if (b0 == 0xED)
      high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0)
      low = 0x90;
    if (b0 == 0xF4)
      high = 0x8F;
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high)
    return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!continuation(i))
      return 0;
  }
  char32_t c = b0 & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i)
    c = (c << 6) | (byte(i) & 0x3F);
  *cp = c;
  return length;
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Characters of the Windows-1252 bytes 0x80 to 0x9F; the bytes the code page leaves unused
// stand for the C1 control character of the same number.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// ---------------------------------------------------------------------------------------------
// Writer

void WriteString(std::string_view s, std::string* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out->push_back('"');
  std::size_t pos = 0;
  while (pos < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[pos]);
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(static_cast<char>(c));
      ++pos;
    } else if (c < 0x20) {
      out->append("\\u00");
      out->push_back(kHex[c >> 4]);
      out->push_back(kHex[c & 0xF]);
      ++pos;
    } else if (c < 0x80) {
      out->push_back(static_cast<char>(c));
      ++pos;
    } else {
      char32_t cp = 0;
      std::size_t n = DecodeUtf8(s, pos, &cp);
      if (n == 0) {
        AppendUtf8(0xFFFD, out);
        ++pos;
      } else {
        out->append(s.substr(pos, n));
        pos += n;
      }
    }
  }
  out->push_back('"');
}

void WriteNumber(double d, std::string* out) {
  if (!std::isfinite(d)) {
    out->append("null");
    return;
  }
  if (d == 0) {  // also -0
    out->push_back('0');
    return;
  }
  // Whole numbers below 1e21 in plain digits; everything else in the shortest form that reads
  // back as the same double.
  char buffer[64];
  std::to_chars_result r;
  if (d == std::trunc(d) && std::fabs(d) < 1e21) {
    r = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed);
  } else {
    r = std::to_chars(buffer, buffer + sizeof buffer, d);
  }
  out->append(buffer, r.ptr);
}

void Newline(int level, std::string* out) {
  out->push_back('\n');
  out->append(static_cast<std::size_t>(level) * 2, ' ');
}

void WriteValue(const Value& v, bool pretty, int level, std::string* out) {
  switch (v.type()) {
    case Value::Type::kNull:
      out->append("null");
      break;
    case Value::Type::kBool:
      out->append(v.AsBool() ? "true" : "false");
      break;
    case Value::Type::kNumber:
      WriteNumber(v.AsNumber(), out);
      break;
    case Value::Type::kString:
      WriteString(v.AsString(), out);
      break;
    case Value::Type::kArray: {
      const Array& array = v.AsArray();
      out->push_back('[');
      for (std::size_t i = 0; i < array.size(); ++i) {
        if (i > 0)
          out->push_back(',');
        if (pretty)
          Newline(level + 1, out);
        WriteValue(array[i], pretty, level + 1, out);
      }
      if (pretty && !array.empty())
        Newline(level, out);
      out->push_back(']');
      break;
    }
    case Value::Type::kObject: {
      const Object& object = v.AsObject();
      out->push_back('{');
      for (std::size_t i = 0; i < object.size(); ++i) {
        if (i > 0)
          out->push_back(',');
        if (pretty)
          Newline(level + 1, out);
        WriteString(object[i].first, out);
        out->append(pretty ? ": " : ":");
        WriteValue(object[i].second, pretty, level + 1, out);
      }
      if (pretty && !object.empty())
        Newline(level, out);
      out->push_back('}');
      break;
    }
  }
}

std::string Quoted(std::string_view s) {
  std::string out;
  WriteString(s, &out);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Parser: recursive descent over the text, one function per kind of value. Containers pass
// their depth down, so the recursion never goes deeper than kMaxDepth containers.

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool ParseDocument(Value* out) {
    if (text_.size() > kMaxInputSize) {
      return Fail(0, "the document is larger than " + std::to_string(kMaxInputSize) + " bytes");
    }
    if (text_.starts_with("\xEF\xBB\xBF"))
      pos_ = 3;
    SkipSpace();
    if (!ParseValue(out, 0))
      return false;
    SkipSpace();
    if (!AtEnd())
      return Fail(pos_, "unexpected text after the value");
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
      ++pos_;
    }
  }

  // Keeps "line L, column C: message" for the byte at offset at; always returns false.
  bool Fail(std::size_t at, std::string_view message) {
    int line = 1, column = 1;
    for (std::size_t i = 0; i < at && i < text_.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(text_[i]);
      if (c == '\n') {
        ++line;
        column = 1;
      } else if ((c & 0xC0) != 0x80) {  // continuation bytes belong to the character before
        ++column;
      }
    }
    error_ = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
    error_.append(message);
    return false;
  }

  // A failure at the current position for something missing there.
  bool Expected(std::string_view what) {
    std::string message = AtEnd() ? "unexpected end of input, expected " : "expected ";
    message.append(what);
    return Fail(pos_, message);
  }

  bool ParseValue(Value* out, int depth) {
    switch (Peek()) {
      case '{':
        return ParseObject(out, depth + 1);
      case '[':
        return ParseArray(out, depth + 1);
      case '"': {
        std::string s;
        if (!ParseString(&s))
          return false;
        *out = Value(std::move(s));
        return true;
      }
      case 't':
        return ParseWord("true", Value(true), out);
      case 'f':
        return ParseWord("false", Value(false), out);
      case 'n':
        return ParseWord("null", Value(), out);
      default:
        if (Peek() == '-' || IsDigit(Peek()))
          return ParseNumber(out);
        return Expected("a value");
    }
  }

  bool ParseWord(std::string_view word, Value value, Value* out) {
    if (text_.substr(pos_, word.size()) != word)
      return Expected("a value");
    pos_ += word.size();
    *out = std::move(value);
    return true;
  }

  bool CheckDepth(int depth) {
    if (depth <= kMaxDepth)
      return true;
    return Fail(
        pos_, "arrays and objects are nested deeper than " + std::to_string(kMaxDepth) + " levels");
  }

  bool ParseArray(Value* out, int depth) {
    if (!CheckDepth(depth))
      return false;
    ++pos_;  // '['
    Array array;
    SkipSpace();
    if (Peek() == ']') {
      ++pos_;
      *out = Value(std::move(array));
      return true;
    }
    while (true) {
      SkipSpace();
      array.emplace_back();
      if (!ParseValue(&array.back(), depth))
        return false;
      SkipSpace();
      if (Peek() == ',') {
        ++pos_;
      } else if (Peek() == ']') {
        ++pos_;
        break;
      } else {
        return Expected("',' or ']'");
      }
    }
    *out = Value(std::move(array));
    return true;
  }

  bool ParseObject(Value* out, int depth) {
    if (!CheckDepth(depth))
      return false;
    ++pos_;  // '{'
    Object object;
    std::unordered_set<std::string> keys;
    SkipSpace();
    if (Peek() == '}') {
      ++pos_;
      *out = Value(std::move(object));
      return true;
    }
    while (true) {
      SkipSpace();
      if (Peek() != '"')
        return Expected("a member name in double quotes");
      std::size_t keyPos = pos_;
      std::string key;
      if (!ParseString(&key))
        return false;
      if (!keys.insert(key).second)
        return Fail(keyPos, "duplicate member " + Quoted(key));
      SkipSpace();
      if (Peek() != ':')
        return Expected("':'");
      ++pos_;
      SkipSpace();
      object.emplace_back(std::move(key), Value());
      if (!ParseValue(&object.back().second, depth))
        return false;
      SkipSpace();
      if (Peek() == ',') {
        ++pos_;
      } else if (Peek() == '}') {
        ++pos_;
        break;
      } else {
        return Expected("',' or '}'");
      }
    }
    *out = Value(std::move(object));
    return true;
  }

  // Four hex digits at text_[at] into *out; false when there are not four.
  bool Hex4(std::size_t at, char32_t* out) const {
    if (at + 4 > text_.size())
      return false;
    char32_t v = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
      char c = text_[i];
      int digit = IsDigit(c)               ? c - '0'
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                           : -1;
      if (digit < 0)
        return false;
      v = v * 16 + static_cast<char32_t>(digit);
    }
    *out = v;
    return true;
  }

  // The escape at pos_ (a backslash) appended to *out as UTF-8.
  bool ParseEscape(std::string* out) {
    std::size_t at = pos_;
    char c = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
    pos_ += 2;
    switch (c) {
      case '"':
      case '\\':
      case '/':
        out->push_back(c);
        return true;
      case 'b':
        out->push_back('\b');
        return true;
      case 'f':
        out->push_back('\f');
        return true;
      case 'n':
        out->push_back('\n');
        return true;
      case 'r':
        out->push_back('\r');
        return true;
      case 't':
        out->push_back('\t');
        return true;
      case 'u':
        break;
      default:
        return Fail(at, "invalid escape in a string");
    }
    char32_t cp = 0;
    if (!Hex4(pos_, &cp))
      return Fail(at, "expected four hex digits after \\u");
    pos_ += 4;
    if (cp >= 0xDC00 && cp <= 0xDFFF) {
      return Fail(at, "\\u escape of a low surrogate without a high surrogate before it");
    }
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      char32_t low = 0;
      if (text_.substr(pos_, 2) != "\\u" || !Hex4(pos_ + 2, &low) || low < 0xDC00 || low > 0xDFFF) {
        return Fail(at, "\\u escape of a high surrogate without a low surrogate after it");
      }
      pos_ += 6;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(cp, out);
    return true;
  }

  bool ParseString(std::string* out) {
    std::size_t start = pos_;
    ++pos_;  // '"'
    std::string s;
    while (true) {
      if (AtEnd())
        return Fail(start, "string is not closed");
      unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        ++pos_;
        break;
      }
      if (c < 0x20) {
        return Fail(pos_, "control character in a string (write it as an escape)");
      }
      if (c == '\\') {
        if (!ParseEscape(&s))
          return false;
      } else if (c < 0x80) {
        s.push_back(static_cast<char>(c));
        ++pos_;
      } else {
        char32_t cp = 0;
        std::size_t n = DecodeUtf8(text_, pos_, &cp);
        if (n == 0)
          return Fail(pos_, "invalid UTF-8 in a string");
        s.append(text_.substr(pos_, n));
        pos_ += n;
      }
      if (s.size() > kMaxStringLength) {
        return Fail(start, "string is longer than " + std::to_string(kMaxStringLength) + " bytes");
      }
    }
    *out = std::move(s);
    return true;
  }

  bool ParseNumber(Value* out) {
    std::size_t start = pos_;
    if (Peek() == '-')
      ++pos_;
    if (!IsDigit(Peek()))
      return Expected("a digit");
    if (Peek() == '0') {
      ++pos_;
      if (IsDigit(Peek()))
        return Fail(start, "number with a leading zero");
    }
    while (IsDigit(Peek()))
      ++pos_;
    if (Peek() == '.') {
      ++pos_;
      if (!IsDigit(Peek()))
        return Expected("a digit after '.'");
      while (IsDigit(Peek()))
        ++pos_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      ++pos_;
      if (Peek() == '+' || Peek() == '-')
        ++pos_;
      if (!IsDigit(Peek()))
        return Expected("a digit in the exponent");
      while (IsDigit(Peek()))
        ++pos_;
    }
    double d = 0;
    auto r = std::from_chars(text_.data() + start, text_.data() + pos_, d);
    if (r.ec != std::errc() || !std::isfinite(d))
      return Fail(start, "number is out of range");
    *out = Value(d);
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::string error_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Value

const std::string& Value::AsString() const {
  static const std::string kEmpty;
  return type_ == Type::kString ? string_ : kEmpty;
}

const Array& Value::AsArray() const {
  static const Array kEmpty;
  return type_ == Type::kArray ? array_ : kEmpty;
}

const Object& Value::AsObject() const {
  static const Object kEmpty;
  return type_ == Type::kObject ? object_ : kEmpty;
}

bool Value::GetInteger(std::int64_t min, std::int64_t max, std::int64_t* out) const {
  if (type_ != Type::kNumber || number_ != std::trunc(number_))
    return false;  // NaN fails too
  // Only numbers inside the int64 range may be converted.
  if (!(number_ >= -9223372036854775808.0 && number_ < 9223372036854775808.0))
    return false;
  std::int64_t n = static_cast<std::int64_t>(number_);
  if (n < min || n > max)
    return false;
  *out = n;
  return true;
}

const Value* Value::Find(std::string_view key) const {
  if (type_ != Type::kObject)
    return nullptr;
  for (const Member& m : object_) {
    if (m.first == key)
      return &m.second;
  }
  return nullptr;
}

void Value::Append(Value v) {
  if (type_ != Type::kArray)
    *this = Value(json::Array());
  array_.push_back(std::move(v));
}

void Value::Set(std::string_view key, Value v) {
  if (type_ != Type::kObject)
    *this = Value(json::Object());
  for (Member& m : object_) {
    if (m.first == key) {
      m.second = std::move(v);
      return;
    }
  }
  object_.emplace_back(std::string(key), std::move(v));
}

bool operator==(const Value& a, const Value& b) {
  if (a.type_ != b.type_)
    return false;
  switch (a.type_) {
    case Value::Type::kNull:
      return true;
    case Value::Type::kBool:
      return a.bool_ == b.bool_;
    case Value::Type::kNumber:
      return a.number_ == b.number_;
    case Value::Type::kString:
      return a.string_ == b.string_;
    case Value::Type::kArray:
      return a.array_ == b.array_;
    case Value::Type::kObject:
      return a.object_ == b.object_;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Parse, Write, code page

bool Parse(std::string_view text, Value* out, std::string* error) {
  Parser parser(text);
  Value v;
  if (!parser.ParseDocument(&v)) {
    if (error)
      *error = parser.error();
    return false;
  }
  *out = std::move(v);
  return true;
}

std::string Write(const Value& v, bool pretty) {
  std::string out;
  WriteValue(v, pretty, 0, &out);
  return out;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    unsigned char b = static_cast<unsigned char>(ch);
    AppendUtf8(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b, &out);
  }
  return out;
}

bool Utf8ToCp1252(std::string_view text, std::string* out) {
  std::string bytes;
  bytes.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t cp = 0;
    std::size_t n = DecodeUtf8(text, pos, &cp);
    if (n == 0)
      return false;
    pos += n;
    int byte = -1;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      byte = static_cast<int>(cp);
    } else {
      for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == cp)
          byte = 0x80 + i;
      }
    }
    if (byte < 0)
      return false;
    bytes.push_back(static_cast<char>(byte));
  }
  *out = std::move(bytes);
  return true;
}

// ---------------------------------------------------------------------------------------------
// ObjectReader

std::string ElementPath(std::string_view arrayPath, std::size_t index) {
  return std::string(arrayPath) + "[" + std::to_string(index) + "]";
}

ObjectReader::ObjectReader(const Value& value, std::string path)
    : value_(value), path_(std::move(path)) {
  if (!value_.IsObject())
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
  const Value* v = value_.Find(key);
  if (!v && need == Need::kRequired)
    Fail("", "missing member " + Quoted(key));
  return v;
}

bool ObjectReader::Bool(std::string_view key, bool* out, Need need) {
  const Value* v = Take(key, need);
  if (!v)
    return false;
  if (!v->IsBool()) {
    Fail(key, "expected true or false");
    return false;
  }
  *out = v->AsBool();
  return true;
}

bool ObjectReader::Int(std::string_view key, int min, int max, int* out, Need need) {
  const Value* v = Take(key, need);
  if (!v)
    return false;
  std::int64_t n = 0;
  if (!v->GetInteger(min, max, &n)) {
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
  if (!v->IsString()) {
    Fail(key, "expected a string");
    return false;
  }
  *out = v->AsString();
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
  if (!v->IsArray()) {
    Fail(key, "expected an array");
    return nullptr;
  }
  return v;
}

const Value* ObjectReader::ObjectMember(std::string_view key, Need need) {
  const Value* v = Take(key, need);
  if (!v)
    return nullptr;
  if (!v->IsObject()) {
    Fail(key, "expected an object");
    return nullptr;
  }
  return v;
}

bool ObjectReader::Finish() {
  if (!error_.empty())
    return false;
  for (const Member& m : value_.AsObject()) {
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
