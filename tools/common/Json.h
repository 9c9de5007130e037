// The tools' JSON: nlohmann::ordered_json values (members keep the order they were added or
// read in), read and written by the library, with a bound on the nesting of what is read, the
// conversion between Windows-1252 text and UTF-8, and a reader that takes the members of an
// object by name and type with one clear error line for the first problem.
//
// Strings inside a Value are UTF-8. The system's own texts are Windows-1252 bytes; convert them
// with Cp1252ToUtf8 before storing them and with Utf8ToCp1252 after reading them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "tools/common/Cp1252.h"

namespace qv::json {

// Limits of Parse. A document past either is refused with an error line.
inline constexpr int kMaxDepth = 64;                            // nested arrays and objects
inline constexpr std::size_t kMaxInputSize = 16 * 1024 * 1024;  // bytes of the document

using Value = nlohmann::ordered_json;
using Array = Value::array_t;
using Object = Value::object_t;  // members in their stored order

// The member named key of an object (keys compared exactly), or null when there is none or v
// is not an object.
const Value* Find(const Value& v, std::string_view key);

// True, with the number in *out, when v is a number without a fractional part from min to
// max, taken as a double. False, *out unchanged, for any other value.
bool GetInteger(const Value& v, std::int64_t min, std::int64_t max, std::int64_t* out);

// The offset of the first '[' or '{' that opens a level of arrays and objects past maxDepth,
// or npos when there is none. It counts outside strings without parsing, so without building a
// value that copying, writing and comparing walk by recursion. The library's parser reads
// strings the same way and stops at its first error: it never nests deeper than this allows.
std::size_t DeeperThan(std::string_view text, int maxDepth);

// Parses one JSON text with the library's parser (RFC 8259 in UTF-8; a leading byte order mark
// is skipped; of a member named twice the last value counts). A NUL byte, which the library
// would take for the end of the text, and nesting past kMaxDepth are refused before it. On
// failure returns false, leaves *out unchanged and, when error is not null, stores one line:
// "line L, column C: " (columns count bytes from 1) and the library's words, as in "line 1,
// column 4: syntax error while parsing value - unexpected ']'; expected '[', '{', or a
// literal", or the library's "number overflow parsing '1e400'", which names its place.
bool Parse(std::string_view text, Value* out, std::string* error);

// The library's JSON text of v: pretty with a 2-space indent, otherwise without whitespace.
// Bytes that are not well-formed UTF-8 are written as U+FFFD. No line end at the end.
inline std::string Write(const Value& v, bool pretty) {
  return v.dump(pretty ? 2 : -1, ' ', false, Value::error_handler_t::replace);
}

// The system's Windows-1252 texts and the UTF-8 of JSON (tools/common/Cp1252.h).
using text::Cp1252ToUtf8;
using text::Utf8ToCp1252;

// "entries" and 2 give "entries[2]": the path of an array element in error lines.
std::string ElementPath(std::string_view arrayPath, std::size_t index);

// Takes the members of one JSON object by name and expected type. The first problem is kept
// as one line "path: message", for example
//   entries[2].control: expected an integer from 0 to 3
//   entries[2]: missing member "control"
//   entries[2]: unknown member "colour"
// Once an error is kept every later call does nothing and returns false or null, so a caller
// reads all members it knows, then calls Finish once.
class ObjectReader {
 public:
  enum class Need { kRequired, kOptional };

  // path names the object in error lines ("" for the document itself, whose lines then start
  // with the member's name). A value that is not an object is an error at once.
  ObjectReader(const Value& value, std::string path);

  // Each getter returns true and stores the member in *out when it is there with the expected
  // type. A required member that is missing, or a member of another type, keeps an error and
  // returns false; an optional member that is missing returns false, *out unchanged, with no
  // error.
  bool Bool(std::string_view key, bool* out, Need need = Need::kRequired);
  bool Int(std::string_view key, int min, int max, int* out, Need need = Need::kRequired);
  bool String(std::string_view key, std::string* out, Need need = Need::kRequired);
  // A string converted to Windows-1252 bytes; a character without one is an error.
  bool Text(std::string_view key, std::string* out, Need need = Need::kRequired);
  // The member when it is an array (or an object), else null under the same rules.
  const Value* ArrayMember(std::string_view key, Need need = Need::kRequired);
  const Value* ObjectMember(std::string_view key, Need need = Need::kRequired);

  // Keeps "path.key: message" as the error unless one is kept already, for checks of the
  // caller's own (key may be empty for the object as a whole).
  void Fail(std::string_view key, std::string_view message);

  // The path of a member, for error lines of nested readers: "entries[2].items".
  std::string PathOf(std::string_view key) const;

  // Keeps an error for the first member in stored order that no getter asked for. Returns
  // true when no error is kept.
  bool Finish();

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  const Value* Take(std::string_view key, Need need);

  const Value& value_;
  std::string path_;
  std::vector<std::string> asked_;
  std::string error_;
};

}  // namespace qv::json
