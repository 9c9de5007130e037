// Feeds arbitrary bytes to the JSON parser and the code page conversions. A document that
// parses must nest no deeper than the limit, and write and parse back to an equal value, in
// both output forms, and writing must give the same text again; a refused one gets one error
// line; the conversions must be exact reverses of each other.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/common/Json.h"

namespace json = qv::json;

namespace {

void Check(bool ok) {
  if (!ok)
    std::abort();
}

// Nesting of arrays and objects; the recursion is as deep as the limit lets a value be.
int Depth(const json::Value& v) {
  if (!v.is_structured())
    return 0;
  int deepest = 0;
  for (const json::Value& element : v)
    deepest = std::max(deepest, Depth(element));
  return deepest + 1;
}

void CheckJson(std::string_view text) {
  json::Value v;
  std::string error;
  if (!json::Parse(text, &v, &error)) {
    Check(!error.empty() && error.find('\n') == std::string::npos);
    return;
  }
  Check(Depth(v) <= json::kMaxDepth);
  for (bool pretty : {false, true}) {
    std::string written = json::Write(v, pretty);
    json::Value again;
    Check(json::Parse(written, &again, &error));
    Check(again == v);
    Check(json::Write(again, pretty) == written);
  }
}

void CheckCp1252(std::string_view bytes) {
  // Every byte string is Windows-1252 text that converts to UTF-8 and back unchanged.
  std::string utf8 = json::Cp1252ToUtf8(bytes);
  std::string back;
  Check(json::Utf8ToCp1252(utf8, &back));
  Check(back == bytes);
  // UTF-8 that converts to Windows-1252 converts back to the same UTF-8.
  std::string cp1252;
  if (json::Utf8ToCp1252(bytes, &cp1252))
    Check(json::Cp1252ToUtf8(cp1252) == bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckJson(text);
  CheckCp1252(text);
  return 0;
}
