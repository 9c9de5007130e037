#include "tools/qvccfg/Json.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <unordered_set>

namespace qv::json {

using text::AppendUtf8;
using text::DecodeUtf8;

namespace {

// ---------------------------------------------------------------------------------------------
// Writer: ours, not nlohmann's dump(), because dump() would change the bytes qvccfg prints.
// It escapes control characters as \n, \t and lowercase \u001f where ours are \u000A and
// \u001F, prints whole doubles as "3.0" and switches to exponents at other magnitudes than
// std::to_chars, writes -0.0 as "-0.0", and replaces a cut-short UTF-8 sequence with one
// U+FFFD where ours puts one for each byte.

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
    case Value::value_t::null:
    case Value::value_t::binary:     // never made by qvccfg nor by Parse
    case Value::value_t::discarded:  // never made by qvccfg nor by Parse
      out->append("null");
      break;
    case Value::value_t::boolean:
      out->append(v.get<bool>() ? "true" : "false");
      break;
    case Value::value_t::number_integer:
    case Value::value_t::number_unsigned:
    case Value::value_t::number_float:
      WriteNumber(v.get<double>(), out);
      break;
    case Value::value_t::string:
      WriteString(v.get_ref<const std::string&>(), out);
      break;
    case Value::value_t::array: {
      const Array& array = v.get_ref<const Array&>();
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
    case Value::value_t::object: {
      const Object& object = v.get_ref<const Object&>();
      out->push_back('{');
      bool first = true;
      for (const auto& [key, member] : object) {
        if (!first)
          out->push_back(',');
        first = false;
        if (pretty)
          Newline(level + 1, out);
        WriteString(key, out);
        out->append(pretty ? ": " : ":");
        WriteValue(member, pretty, level + 1, out);
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
// Parser: nlohmann's lexer and parser decide what is JSON; Reader receives their events,
// builds the value, applies the limits and the rule on duplicate members, and words each
// refusal in our own terms at the character it is about.
//
// nlohmann's events carry no positions, so Reader follows the text itself: end_ is the offset
// just after the last token an event stood for, and the next token starts after blanks and at
// most one ',' or ':'. An error is placed by the grammar at that point (what may come next),
// and inside a string or a number by the byte at which nlohmann's lexer stopped.

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Decimal digits of n.
std::size_t Digits(std::uint64_t n) {
  std::size_t digits = 1;
  for (; n >= 10; n /= 10)
    ++digits;
  return digits;
}

// The bytes of the UTF-8 sequence a lead byte starts; 0 for any other byte.
std::size_t SequenceLength(unsigned char b) {
  return b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
}

// The handler of nlohmann's SAX interface (its member names are nlohmann's).
class Reader {
 public:
  explicit Reader(std::string_view text)
      : text_(text), end_(text.starts_with("\xEF\xBB\xBF") ? 3 : 0) {}

  bool Run() {
    if (text_.size() > kMaxInputSize) {
      return Fail(0, "the document is larger than " + std::to_string(kMaxInputSize) + " bytes");
    }
    if (!Value::sax_parse(text_.data(), text_.data() + text_.size(), this))
      return false;
    // nlohmann's lexer takes a NUL byte for the end of the text.
    std::size_t rest = SkipSpace(end_);
    if (rest < text_.size())
      return Fail(rest, "unexpected text after the value");
    return true;
  }

  Value& root() { return root_; }
  const std::string& error() const { return error_; }

  bool null() { return Scalar(nullptr, TokenStart() + 4); }
  bool boolean(bool b) { return Scalar(b, TokenStart() + (b ? 4 : 5)); }

  // nlohmann gives integers without their text; they are as long as their digits and sign.
  // Those that come here began with '-' ("-0" too, which stays a negative zero).
  bool number_integer(Value::number_integer_t n) {
    std::size_t start = TokenStart();
    std::uint64_t magnitude = n < 0 ? 0 - static_cast<std::uint64_t>(n) : n;
    return Number(start, start + 1 + Digits(magnitude), n == 0 ? -0.0 : static_cast<double>(n));
  }
  bool number_unsigned(Value::number_unsigned_t n) {
    std::size_t start = TokenStart();
    return Number(start, start + Digits(n), static_cast<double>(n));
  }
  // Every number reads as the double std::from_chars gives; one it cannot give (past the
  // range of a double either way) is refused.
  bool number_float(Value::number_float_t, const std::string& token) {
    std::size_t start = TokenStart();
    double d = 0;
    auto r = std::from_chars(text_.data() + start, text_.data() + start + token.size(), d);
    if (r.ec != std::errc() || !std::isfinite(d))
      return Fail(start, "number is out of range");
    return Number(start, start + token.size(), d);
  }

  bool string(std::string& s) {
    std::size_t start = TokenStart();
    if (!CheckLength(s, start))
      return false;
    return Scalar(std::move(s), StringEnd(start));
  }
  bool binary(Value::binary_t&) { return Fail(TokenStart(), "expected a value"); }  // not JSON

  bool start_object(std::size_t) { return Open(Value::object()); }
  bool start_array(std::size_t) { return Open(Value::array()); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }

  bool key(std::string& k) {
    std::size_t start = TokenStart();
    if (!CheckLength(k, start))
      return false;
    if (!keys_.back().insert(k).second)
      return Fail(start, "duplicate member " + Quoted(k));
    // Unique by the check above, so the member goes at the end without ordered_map's search.
    Object& object = stack_.back()->get_ref<Object&>();
    object.emplace_back(std::move(k), nullptr);
    member_ = &object.back().second;
    end_ = StringEnd(start);
    after_ = kKey;
    number_ = false;
    return true;
  }

  // position is the count of bytes nlohmann's lexer had read, the one it stopped at included
  // (the end of the text counts as one).
  bool parse_error(std::size_t position, const std::string&, const Value::exception& e) {
    std::size_t at = SkipSpace(end_);
    if (number_ && at == end_ && at < text_.size() && IsDigit(text_[at])) {
      return Fail(numberStart_, "number with a leading zero");  // nlohmann reads "0" and "1"
    }
    bool wantKey = after_ == kOpen && stack_.back()->is_object();
    if (after_ == kValue || after_ == kKey) {
      if (stack_.empty())
        return Fail(at, "unexpected text after the value");
      bool inArray = stack_.back()->is_array();
      char separator = after_ == kKey ? ':' : ',';
      if (at >= text_.size() || text_[at] != separator) {
        return Expected(at, after_ == kKey ? "':'" : inArray ? "',' or ']'" : "',' or '}'");
      }
      at = SkipSpace(at + 1);
      wantKey = after_ == kValue && !inArray;
    }
    char c = at < text_.size() ? text_[at] : '\0';
    if (at < text_.size() && c == '"')
      return StringError(at, position - 1, e.what());
    if (wantKey)
      return Expected(at, "a member name in double quotes");
    if (at < text_.size() && (c == '-' || IsDigit(c)))
      return NumberError(at, position - 1, e.id);
    return Expected(at, "a value");
  }

 private:
  // What the last event stood for: nothing yet, '[' or '{', a member name, or a whole value.
  enum After { kNothing, kOpen, kKey, kValue };

  std::size_t SkipSpace(std::size_t at) const {
    while (at < text_.size() &&
           (text_[at] == ' ' || text_[at] == '\t' || text_[at] == '\n' || text_[at] == '\r')) {
      ++at;
    }
    return at;
  }

  // Where the token of the current event starts.
  std::size_t TokenStart() const {
    std::size_t at = SkipSpace(end_);
    if ((after_ == kKey || after_ == kValue) && at < text_.size() &&
        (text_[at] == ',' || text_[at] == ':')) {
      at = SkipSpace(at + 1);
    }
    return at;
  }

  // Just after the closing quote of the string that starts at start (a string nlohmann took).
  std::size_t StringEnd(std::size_t start) const {
    std::size_t at = start + 1;
    while (text_[at] != '"')
      at += text_[at] == '\\' ? 2 : 1;
    return at + 1;
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

  // A failure at offset at for something missing there.
  bool Expected(std::size_t at, std::string_view what) {
    std::string message = at >= text_.size() ? "unexpected end of input, expected " : "expected ";
    message.append(what);
    return Fail(at, message);
  }

  bool CheckLength(const std::string& s, std::size_t start) {
    if (s.size() <= kMaxStringLength)
      return true;
    return Fail(start, "string is longer than " + std::to_string(kMaxStringLength) + " bytes");
  }

  // Puts v where the open array or object (or the document) wants its next value.
  Value* Place(Value v) {
    if (stack_.empty()) {
      root_ = std::move(v);
      return &root_;
    }
    if (stack_.back()->is_array()) {
      Array& array = stack_.back()->get_ref<Array&>();
      array.push_back(std::move(v));
      return &array.back();
    }
    *member_ = std::move(v);
    return member_;
  }

  bool Scalar(Value v, std::size_t end) {
    Place(std::move(v));
    end_ = end;
    after_ = kValue;
    number_ = false;
    return true;
  }

  bool Number(std::size_t start, std::size_t end, double d) {
    Scalar(d, end);
    number_ = true;
    numberStart_ = start;
    return true;
  }

  bool Open(Value container) {
    std::size_t at = TokenStart();
    if (stack_.size() >= static_cast<std::size_t>(kMaxDepth)) {
      return Fail(
          at, "arrays and objects are nested deeper than " + std::to_string(kMaxDepth) + " levels");
    }
    stack_.push_back(Place(std::move(container)));
    keys_.emplace_back();
    end_ = at + 1;
    after_ = kOpen;
    number_ = false;
    return true;
  }

  bool Close() {
    end_ = SkipSpace(end_) + 1;  // the ']' or '}'
    stack_.pop_back();
    keys_.pop_back();
    after_ = kValue;
    number_ = false;
    return true;
  }

  // A number nlohmann's lexer refused at offset stop, or one out of its range (id 406).
  bool NumberError(std::size_t start, std::size_t stop, int id) {
    if (id == 406)
      return Fail(start, "number is out of range");
    char before = text_[stop - 1];
    if (before == '-' && stop - 1 == start)
      return Expected(stop, "a digit");
    if (before == '.')
      return Expected(stop, "a digit after '.'");
    return Expected(stop, "a digit in the exponent");
  }

  // Whether the backslash at offset at begins an escape (is not the second of "\\").
  bool EscapeAt(std::size_t at) const {
    std::size_t run = 0;
    for (std::size_t i = at + 1; i > 0 && text_[i - 1] == '\\'; --i)
      ++run;
    return run % 2 == 1;
  }

  // A string nlohmann's lexer refused at offset stop (the end of the text when stop is its
  // size), told by its message. Each error falls on the character or escape it is about; a
  // string that grew past its limit before that point is refused for its length instead.
  bool StringError(std::size_t start, std::size_t stop, std::string_view what) {
    auto says = [&](std::string_view words) { return what.find(words) != std::string::npos; };
    const std::string high = "\\u escape of a high surrogate without a low surrogate after it";
    const bool unclosed = says("missing closing quote");
    std::size_t at = stop;
    std::string message;
    if (unclosed) {
      at = start;
      message = "string is not closed";
    } else if (says("control character")) {
      message = "control character in a string (write it as an escape)";
    } else if (says("forbidden character after backslash")) {
      at = stop - 1;
      message = "invalid escape in a string";
    } else if (says("must be followed by 4 hex digits")) {
      std::size_t u = stop;  // back over the digits read before the one that failed
      while (text_[u - 1] != 'u')
        --u;
      at = u - 2;
      message = "expected four hex digits after \\u";
      // The second escape of a pair (after \uD800 to \uDBFF): the first is the one refused.
      if (at >= start + 7 && EscapeAt(at - 6) && text_[at - 5] == 'u' &&
          (text_[at - 4] | 0x20) == 'd' &&
          std::string_view("89abAB").find(text_[at - 3]) < std::string_view::npos) {
        at -= 6;
        message = high;
      }
    } else if (says("must be followed by U+DC00")) {
      // nlohmann stops after the high surrogate at a byte that is not '\\', at one after '\\'
      // that is not 'u', or at the last digit of a second escape that is no low surrogate.
      if (text_[stop - 1] == '\\')
        at = stop - 7;
      else if (text_[stop - 4] == 'u' && text_[stop - 5] == '\\')
        at = stop - 11;
      else
        at = stop - 6;
      message = high;
    } else if (says("must follow U+D800")) {
      at = stop - 5;
      message = "\\u escape of a low surrogate without a high surrogate before it";
    } else {  // ill-formed UTF-8: the error falls on the first byte of the sequence
      for (std::size_t back = 1; back <= 3 && stop - back > start; ++back) {
        unsigned char b = static_cast<unsigned char>(text_[stop - back]);
        if ((b & 0xC0) == 0x80)
          continue;
        if (SequenceLength(b) > back)
          at = stop - back;
        break;
      }
      message = "invalid UTF-8 in a string";
    }
    // What came before the error is a whole string once closed; its UTF-8 is never longer.
    std::size_t read = (unclosed ? text_.size() : at) - start;
    if (read > kMaxStringLength + 1) {
      Value before = Value::parse(std::string(text_.substr(start, read)) + '"', nullptr, false);
      if (before.is_string() && !CheckLength(before.get_ref<const std::string&>(), start))
        return false;
    }
    return Fail(at, message);
  }

  std::string_view text_;
  std::size_t end_;
  After after_ = kNothing;
  bool number_ = false;  // the last event was a number, starting at numberStart_
  std::size_t numberStart_ = 0;
  Value root_;
  std::vector<Value*> stack_;  // the open arrays and objects, innermost last
  std::vector<std::unordered_set<std::string>> keys_;  // the member names of each
  Value* member_ = nullptr;  // the member the last key made, waiting for its value
  std::string error_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Values, Parse, Write, code page

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

bool Parse(std::string_view text, Value* out, std::string* error) {
  Reader reader(text);
  if (!reader.Run()) {
    if (error)
      *error = reader.error();
    return false;
  }
  *out = std::move(reader.root());
  return true;
}

std::string Write(const Value& v, bool pretty) {
  std::string out;
  WriteValue(v, pretty, 0, &out);
  return out;
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
