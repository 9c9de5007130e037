// Our layer over the JSON library: error lines with our line and column, the depth and size
// limits, integers, Windows-1252 texts and the object reader's messages.
#include "tools/common/Json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace json = qv::json;

namespace {

// Parses text that must be good; fails the test with the error line otherwise.
json::Value MustParse(std::string_view text) {
  json::Value v;
  std::string error;
  EXPECT_TRUE(json::Parse(text, &v, &error)) << error << " in " << text;
  return v;
}

// The error line of text that must be refused, which leaves the output as it was.
std::string ParseError(std::string_view text) {
  json::Value v("untouched");
  std::string error;
  EXPECT_FALSE(json::Parse(text, &v, &error)) << text;
  EXPECT_EQ(v, json::Value("untouched")) << text;
  return error;
}

std::string Nested(int depth, std::string_view inner) {
  return std::string(depth, '[') + std::string(inner) + std::string(depth, ']');
}

}  // namespace

TEST(JsonParse, BadDocumentsGiveOneLineWithPosition) {
  const std::pair<std::string, std::string> cases[] = {
      {"   ",
       "line 1, column 4: syntax error while parsing value - unexpected end of input; expected "
       "'[', '{', or a literal"},
      // The library's own position would be "line 3, column 0" here, after the line end.
      {"{\n  \"a\": 1,\n  \"b\" 2\n}",
       "line 3, column 7: syntax error while parsing object separator - unexpected number "
       "literal; expected ':'"},
      {"[\"\xC3\xA9\"\r\n, x]",
       "line 2, column 3: syntax error while parsing value - invalid literal; last read: "
       "'\"\xC3\xA9\"<U+000D><U+000A>, x'"},
      {"[-1e400]", "number overflow parsing '-1e400'"},
      // The library would stop at the NUL byte and take what came before for the document.
      {std::string("[1]\0x", 5), "line 1, column 4: unexpected NUL byte"},
      {std::string("[\"\\\0\"]", 6), "line 1, column 4: unexpected NUL byte"}};
  for (const auto& [text, error] : cases)
    EXPECT_EQ(ParseError(text), error) << text;
  json::Value v;
  EXPECT_FALSE(json::Parse("[", &v, nullptr));  // the error pointer may be null
  // Bytes that are not UTF-8 (Windows-1252 text not converted) are written, not thrown at.
  EXPECT_EQ(json::Write(json::Value("a\xE9z"), false), "\"a\xEF\xBF\xBDz\"");
}

TEST(JsonParse, DepthAndSizeLimits) {
  const std::string deep = "arrays and objects are nested deeper than 64 levels";
  EXPECT_EQ(json::Write(MustParse(Nested(64, "1")), false), Nested(64, "1"));
  EXPECT_EQ(ParseError(Nested(65, "")), "line 1, column 65: " + deep);
  std::string objects;  // objects count as levels too
  for (int i = 0; i < 64; ++i)
    objects += "{\"k\":";
  EXPECT_EQ(ParseError(objects + "[]" + std::string(64, '}')), "line 1, column 321: " + deep);
  // Far deeper than the limit is refused without running out of stack.
  EXPECT_EQ(ParseError(std::string(1000000, '[')), "line 1, column 65: " + deep);
  // Brackets inside strings do not count; "\\" ends a string; closing ones count down.
  EXPECT_EQ(MustParse(Nested(2, "\"[[{\\\"" + std::string(100, '[') + "\"")).at(0).at(0),
            json::Value("[[{\"" + std::string(100, '[')));
  EXPECT_EQ(json::DeeperThan(R"({"text":"\\"}[[[)", 2), 15u);
  EXPECT_EQ(json::DeeperThan("[]{}[]", 1), std::string::npos);

  std::string biggest(json::kMaxInputSize, ' ');
  biggest[0] = '0';
  EXPECT_EQ(MustParse(biggest), json::Value(0));
  EXPECT_EQ(ParseError(biggest + " "), "the document is larger than 16777216 bytes");
}

TEST(JsonValue, Integers) {
  json::Value doc = MustParse(R"({"n":3,"s":"3","f":2.5,"big":1e19,"neg":-9223372036854775808})");
  const auto kMin = std::numeric_limits<std::int64_t>::min();
  const auto kMax = std::numeric_limits<std::int64_t>::max();
  const json::Value& three = *json::Find(doc, "n");
  std::int64_t n = 99;
  // Out of range, not a number, not whole, too big: false and n untouched.
  EXPECT_FALSE(json::GetInteger(three, 0, 2, &n) || json::GetInteger(three, 4, 10, &n) ||
               json::GetInteger(*json::Find(doc, "s"), 0, 10, &n) ||
               json::GetInteger(*json::Find(doc, "f"), 0, 10, &n) ||
               json::GetInteger(*json::Find(doc, "big"), kMin, kMax, &n) ||
               json::GetInteger(json::Value(std::nan("")), kMin, kMax, &n));
  EXPECT_EQ(n, 99);
  EXPECT_TRUE(json::GetInteger(three, 3, 3, &n) && n == 3);
  EXPECT_TRUE(json::GetInteger(*json::Find(doc, "neg"), kMin, kMax, &n) && n == kMin);
  EXPECT_TRUE(json::GetInteger(json::Value(kMin), kMin, kMin, &n) && n == kMin);
  EXPECT_FALSE(json::GetInteger(json::Value(kMax), kMin, kMax, &n));  // 2^63 as a double
  EXPECT_EQ(json::Find(three, "n"), nullptr);
}

TEST(JsonCp1252, EveryByteRoundTrips) {
  std::string all, back;
  for (int b = 0; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  ASSERT_TRUE(json::Utf8ToCp1252(json::Cp1252ToUtf8(all), &back));
  EXPECT_EQ(back, all);
  // Euro sign, an unused byte, Y and y diaeresis, e acute.
  EXPECT_EQ(json::Cp1252ToUtf8("\x80\x81\x9F\xFF\xE9"),
            "\xE2\x82\xAC\xC2\x81\xC5\xB8\xC3\xBF\xC3\xA9");
  // No byte for these, or not UTF-8 at all: false and the output untouched.
  for (std::string bad : {"\xC2\x80", "\xC2\x82", "\xC2\x9F", "\xC4\x80", "\xE4\xB8\xAD",
                          "\xF0\x9F\x98\x80", "\xC0\x80", "\xED\xA0\x80", "\xFF", "ok\xC3"}) {
    std::string out = "kept";
    EXPECT_FALSE(json::Utf8ToCp1252("a" + bad, &out)) << bad;
    EXPECT_EQ(out, "kept");
  }
}

TEST(JsonObjectReader, ReadsKnownMembersAndReportsTheFirstProblem) {
  json::Value entry =
      MustParse(R"({"text":"Caf\u00e9 \u20ac","control":2,"visible":true,"items":["a"]})");
  json::ObjectReader good(entry, "entries[2]");
  std::string text, kept = "kept";
  int control = -1, width = 42;
  bool visible = false;
  EXPECT_TRUE(good.Text("text", &text) && good.Int("control", 0, 3, &control) &&
              good.Bool("visible", &visible) && good.ArrayMember("items") != nullptr);
  EXPECT_TRUE(text == "Caf\xE9 \x80" && control == 2 && visible) << text << control;
  EXPECT_FALSE(good.Int("width", 0, 10, &width, json::ObjectReader::Need::kOptional));
  EXPECT_EQ(width, 42);  // an optional member that is absent
  EXPECT_TRUE(good.Finish() && good.error().empty()) << good.error();
  // At the document's root the messages name the member alone; a failed read leaves the output.
  json::ObjectReader root(entry, ""), missing(entry, "");
  EXPECT_FALSE(root.String("control", &kept) || missing.String("title", &kept));
  EXPECT_EQ(kept, "kept");
  root.Fail("title", "a later problem");  // never replaces the first
  EXPECT_EQ(root.error() + "/" + missing.error(),
            "control: expected a string/missing member \"title\"");

  // Each case reads text "t", integer "c" (0 to 3), bool "v" and array "i", in that order.
  const std::pair<std::string, std::string> cases[] = {
      {R"({"t":"a","c":4,"v":true,"i":[]})", "e.c: expected an integer from 0 to 3"},
      {R"({"t":"a","c":1.5,"v":true,"i":[]})", "e.c: expected an integer from 0 to 3"},
      {R"({"t":"a","v":true,"i":[]})", "e: missing member \"c\""},
      {R"({"t":1,"c":9,"v":true,"i":[]})", "e.t: expected a string"},
      {R"({"t":"\u4e2d","c":1,"v":true,"i":[]})",
       "e.t: holds a character that has no Windows-1252 byte"},
      {R"({"t":"a","c":1,"v":1,"i":[]})", "e.v: expected true or false"},
      {R"({"t":"a","c":1,"v":true,"i":{}})", "e.i: expected an array"},
      {R"({"t":"a","c":1,"v":true,"i":[],"colour":1})", "e: unknown member \"colour\""},
      {R"({"t\u0001":"a","t":"a","c":1,"v":true,"i":[]})", "e: unknown member \"t\\u0001\""},
      {"[]", "e: expected an object"}};
  for (const auto& [document, error] : cases) {
    json::Value doc = MustParse(document);
    json::ObjectReader r(doc, "e");
    r.Text("t", &text);
    r.Int("c", 0, 3, &control);
    r.Bool("v", &visible);
    r.ArrayMember("i");
    EXPECT_FALSE(r.Finish() || r.ok()) << document;
    EXPECT_EQ(r.error(), error) << document;
  }
}
