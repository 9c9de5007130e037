#include "tools/qvccfg/Json.h"

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

std::string ParseError(std::string_view text) {
  json::Value v("untouched");
  std::string error;
  EXPECT_FALSE(json::Parse(text, &v, &error)) << text;
  EXPECT_EQ(v, json::Value("untouched")) << "output changed on failure for " << text;
  return error;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

std::string Nested(int depth, std::string_view inner) {
  return std::string(depth, '[') + std::string(inner) + std::string(depth, ']');
}

}  // namespace

TEST(JsonParse, GoodDocumentsWriteBackCompact) {
  const Pairs cases = {
      {" true ", "true"},
      {"1.5E-3", "0.0015"},
      {"123456789012345678901234", "1.2345678901234569e+23"},
      {R"("a\"b\\c\/d")", R"("a\"b\\c/d")"},
      {R"("\b\f\n\r\t")", R"("\u0008\u000C\u000A\u000D\u0009")"},
      {R"("\u0000")", R"("\u0000")"},
      {R"("\u00e9\u20AC")", "\"\xC3\xA9\xE2\x82\xAC\""},
      {R"("\ud83d\ude00")", "\"\xF0\x9F\x98\x80\""},
      {R"("\uDBFF\uDFFF")", "\"\xF4\x8F\xBF\xBF\""},
      {"\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\""},
      {R"({"b":1,"a":2,"c":{"z":null,"y":[true]}})", R"({"b":1,"a":2,"c":{"z":null,"y":[true]}})"},
      {"\t\r\n [ 1 , 2 ]\n", "[1,2]"},
      {"{ \"a\" : \"x\" , \"\" : [ ] }", R"({"a":"x","":[]})"},
      {"\xEF\xBB\xBF[]", "[]"},
  };
  for (const auto& [text, written] : cases) {
    EXPECT_EQ(json::Write(MustParse(text), false), written) << text;
  }
}

TEST(JsonParse, BadDocumentsGiveOneLineWithPosition) {
  const std::string high = "\\u escape of a high surrogate without a low surrogate after it";
  const Pairs cases = {
      {"   ", "line 1, column 4: unexpected end of input, expected a value"},
      {"[1,]", "line 1, column 4: expected a value"},
      {"[1,2", "line 1, column 5: unexpected end of input, expected ',' or ']'"},
      {R"({"a":1 "b":2})", "line 1, column 8: expected ',' or '}'"},
      {R"({"a":1,})", "line 1, column 8: expected a member name in double quotes"},
      {"-01", "line 1, column 1: number with a leading zero"},
      {"1e+", "line 1, column 4: unexpected end of input, expected a digit in the exponent"},
      {"[-1e400]", "line 1, column 2: number is out of range"},
      {"truex", "line 1, column 5: unexpected text after the value"},
      {std::string("[1]\0", 4), "line 1, column 4: unexpected text after the value"},
      {"[\"a\\\"]", "line 1, column 2: string is not closed"},
      {"\"a\x01\"", "line 1, column 3: control character in a string (write it as an escape)"},
      {"\"\\", "line 1, column 2: invalid escape in a string"},
      {R"("\u12G4")", "line 1, column 2: expected four hex digits after \\u"},
      {R"("ab\ud800")", "line 1, column 4: " + high},
      {R"("\ud800\ud800")", "line 1, column 2: " + high},
      {R"("\udc00")",
       "line 1, column 2: \\u escape of a low surrogate without a high surrogate before it"},
      {"\"\xC3", "line 1, column 2: invalid UTF-8 in a string"},
      {R"({"a":1,"\u0061":2})", "line 1, column 8: duplicate member \"a\""},
      {R"({"x":{"a":1},"a":{"a":2,"b":3,"a":4}})", "line 1, column 31: duplicate member \"a\""},
      {"{\n  \"a\": 1,\n  \"b\" 2\n}", "line 3, column 7: expected ':'"},
      {"[1,\r\n2 3]", "line 2, column 3: expected ',' or ']'"},
      {"[\"\xC3\xA9\xE2\x82\xAC\", x]", "line 1, column 8: expected a value"},
      // Where nlohmann's lexer reads further or stops elsewhere than the error falls.
      {"[0 ,01]", "line 1, column 5: number with a leading zero"},
      {"{\"a\":-0.5e}", "line 1, column 11: expected a digit in the exponent"},
      {"[1.]", "line 1, column 4: expected a digit after '.'"},
      {"[- 1]", "line 1, column 3: expected a digit"},
      {"[1e-400]", "line 1, column 2: number is out of range"},
      {"[1 -1]", "line 1, column 4: expected ',' or ']'"},
      {"{\"a\" \"b\"}", "line 1, column 6: expected ':'"},
      {"{1:2}", "line 1, column 2: expected a member name in double quotes"},
      {"[tru]", "line 1, column 2: expected a value"},
      {std::string("[\0]", 3), "line 1, column 2: expected a value"},
      {"\xEF\xBB[]", "line 1, column 1: expected a value"},
      {"\xEF\xBB\xBF", "line 1, column 2: unexpected end of input, expected a value"},
      {R"(["\\ud800\u12"])", "line 1, column 10: expected four hex digits after \\u"},
      {R"(["\ud800\u12"])", "line 1, column 3: " + high},
      {R"(["\ud800\x"])", "line 1, column 3: " + high},
      {R"(["\ud800\u0041"])", "line 1, column 3: " + high},
      {"[\"a\xE2\x82z\"]", "line 1, column 4: invalid UTF-8 in a string"},
      {"[\"a\xE0\x80\"]", "line 1, column 4: invalid UTF-8 in a string"},
  };
  for (const auto& [text, error] : cases) {
    EXPECT_EQ(ParseError(text), error) << text;
  }
  // Not UTF-8: overlong forms, a surrogate, past U+10FFFF, stray and cut-short sequences.
  for (std::string bad :
       {"\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80",
        "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\x80", "\xFF", "\xE2\x82"})
    EXPECT_EQ(ParseError("\"" + bad + "\""), "line 1, column 2: invalid UTF-8 in a string") << bad;
  // The error pointer may be null.
  json::Value v;
  EXPECT_TRUE(!json::Parse("[", &v, nullptr) && json::Parse("[7]", &v, nullptr));
  EXPECT_EQ(v, json::Value(json::Array{7}));
}

TEST(JsonParse, DepthAndSizeLimits) {
  ASSERT_EQ(json::kMaxDepth, 64);
  const std::string deep = "arrays and objects are nested deeper than 64 levels";
  EXPECT_EQ(json::Write(MustParse(Nested(64, "1")), false), Nested(64, "1"));
  EXPECT_EQ(ParseError(Nested(65, "")), "line 1, column 65: " + deep);
  // Objects count as levels too.
  std::string objects;
  for (int i = 0; i < 64; ++i)
    objects += "{\"k\":";
  EXPECT_EQ(ParseError(objects + "[]" + std::string(64, '}')), "line 1, column 321: " + deep);
  MustParse(objects + "1" + std::string(64, '}'));
  // Far deeper than the limit is refused without running out of stack.
  EXPECT_EQ(ParseError(std::string(1000000, '[')), "line 1, column 65: " + deep);

  ASSERT_EQ(json::kMaxStringLength, 1024u * 1024u);
  ASSERT_EQ(json::kMaxInputSize, 16u * 1024u * 1024u);

  std::string longest(json::kMaxStringLength, 'x');
  EXPECT_EQ(MustParse("\"" + longest + "\"").get<std::string>(), longest);
  EXPECT_EQ(ParseError("[\"" + longest + "y\"]"),
            "line 1, column 2: string is longer than 1048576 bytes");
  // The limit is on the string as read, after escapes: 2 bytes for each \u00e9.
  std::string escaped;
  for (std::size_t i = 0; i < json::kMaxStringLength / 2 + 1; ++i)
    escaped += "\\u00e9";
  EXPECT_EQ(ParseError("\"" + escaped + "\""),
            "line 1, column 1: string is longer than 1048576 bytes");

  std::string biggest(json::kMaxInputSize, ' ');
  biggest[0] = '0';
  EXPECT_EQ(MustParse(biggest), json::Value(0));
  EXPECT_EQ(ParseError(biggest + " "),
            "line 1, column 1: the document is larger than 16777216 bytes");
}

TEST(JsonValue, IntegersAndEquality) {
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
  // Integers made by code count as doubles too.
  EXPECT_TRUE(json::GetInteger(json::Value(kMin), kMin, kMin, &n) && n == kMin);
  EXPECT_FALSE(json::GetInteger(json::Value(kMax), kMin, kMax, &n));  // 2^63 as a double
  EXPECT_EQ(json::Find(three, "n"), nullptr);
  EXPECT_EQ(json::Find(doc, "missing"), nullptr);
  // Equality: members in order; numbers as doubles.
  EXPECT_EQ(MustParse(R"({"a":1,"b":2})"), MustParse(R"({"a":1.0,"b":2e0})"));
  EXPECT_NE(MustParse(R"({"a":1,"b":2})"), MustParse(R"({"b":2,"a":1})"));
  EXPECT_NE(MustParse("[1]"), MustParse("[1,1]"));
  EXPECT_NE(json::Value("1"), json::Value(1));
}

TEST(JsonWrite, PrettyAndCompactAreFixed) {
  json::Value doc = MustParse(R"({"name":"Form","count":2})");
  json::Value entries;
  entries.push_back(MustParse(R"({"text":"Q1","ok":true})"));
  entries.push_back(json::Value());
  doc["entries"] = entries;
  doc["empty"] = json::Array{};
  doc["none"] = json::Object{};
  doc["count"] = 3;  // replaces in place

  EXPECT_EQ(json::Write(doc, true),
            "{\n"
            "  \"name\": \"Form\",\n"
            "  \"count\": 3,\n"
            "  \"entries\": [\n"
            "    {\n"
            "      \"text\": \"Q1\",\n"
            "      \"ok\": true\n"
            "    },\n"
            "    null\n"
            "  ],\n"
            "  \"empty\": [],\n"
            "  \"none\": {}\n"
            "}");
  EXPECT_EQ(json::Write(json::Value(json::Array{}), true), "[]");
  EXPECT_EQ(json::Write(json::Value(7), true), "7");

  // Written text reads back as the same value, in both forms.
  EXPECT_EQ(MustParse(json::Write(doc, true)), doc);
  EXPECT_EQ(MustParse(json::Write(doc, false)), doc);
}

TEST(JsonWrite, NumbersAndStrings) {
  const std::vector<std::pair<json::Value, std::string>> cases = {
      {-0.0, "0"},
      {1e20, "100000000000000000000"},
      {9007199254740993.0, "9007199254740992"},
      {1e100, "1e+100"},
      {1.5e-9, "1.5e-09"},
      {std::nan(""), "null"},
      {std::numeric_limits<double>::infinity(), "null"},
      {"tab\there \"q\" back\\slash", R"("tab\u0009here \"q\" back\\slash")"},
      {std::string("\x00\x1F\x7F/", 4), "\"\\u0000\\u001F\x7F/\""},
      // Bytes that are not UTF-8 become U+FFFD, one for each byte.
      {"a\xE9z", "\"a\xEF\xBF\xBDz\""},
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xE2\x82\xAC", "\"\xE2\x82\xAC\""},
  };
  for (const auto& [value, written] : cases) {
    EXPECT_EQ(json::Write(value, false), written);
  }
  // Every finite double reads back exactly.
  for (double d : {0.1, 1.0 / 3, -2.2250738585072014e-308, 1.7976931348623157e308, 5e-324}) {
    EXPECT_EQ(MustParse(json::Write(json::Value(d), false)).get<double>(), d);
  }
}

TEST(JsonCp1252, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b)
    all.push_back(static_cast<char>(b));
  std::string utf8 = json::Cp1252ToUtf8(all);
  std::string back;
  ASSERT_TRUE(json::Utf8ToCp1252(utf8, &back));
  EXPECT_EQ(back, all);

  // Through a JSON document and back.
  json::Value doc = MustParse(json::Write(json::Value(utf8), true));
  ASSERT_TRUE(json::Utf8ToCp1252(doc.get<std::string>(), &back));
  EXPECT_EQ(back, all);

  // Known points (the way back is the round trip above): euro sign, an unused byte, Y and y
  // diaeresis, e acute.
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

TEST(JsonObjectReader, ReadsKnownMembersAndReportsFirstProblem) {
  json::Value entry =
      MustParse(R"({"text":"Caf\u00e9 \u20ac","control":2,"visible":true,"items":["a"]})");

  {
    json::ObjectReader r(entry, "entries[2]");
    std::string text;
    int control = -1, width = 42;
    bool visible = false;
    EXPECT_TRUE(r.Text("text", &text) && r.Int("control", 0, 3, &control) &&
                r.Bool("visible", &visible) && r.ArrayMember("items") != nullptr);
    EXPECT_TRUE(text == "Caf\xE9 \x80" && control == 2 && visible) << text << control;
    EXPECT_FALSE(r.Int("width", 0, 10, &width, json::ObjectReader::Need::kOptional));
    EXPECT_EQ(width, 42);  // an optional member that is absent
    EXPECT_TRUE(r.Finish() && r.error().empty()) << r.error();
    EXPECT_EQ(json::ElementPath(r.PathOf("items"), 0), "entries[2].items[0]");
  }

  // Each case reads text "t", integer "c" (0 to 3), bool "v" and array "i", in that order.
  const Pairs cases = {
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
      {"[]", "e: expected an object"},
  };
  for (const auto& [document, error] : cases) {
    json::Value doc = MustParse(document);
    json::ObjectReader r(doc, "e");
    std::string text;
    int control = 0;
    bool visible = false;
    r.Text("t", &text);
    r.Int("c", 0, 3, &control);
    r.Bool("v", &visible);
    r.ArrayMember("i");
    EXPECT_FALSE(r.Finish()) << document;
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.error(), error) << document;
  }
}

TEST(JsonObjectReader, DocumentRootAndOwnChecks) {
  json::Value doc = MustParse(R"({"name":5,"form":{"id":"x"}})");
  json::ObjectReader r(doc, "");
  std::string name = "kept";
  EXPECT_FALSE(r.String("name", &name));
  EXPECT_EQ(name, "kept");
  EXPECT_EQ(r.error(), "name: expected a string");
  // Later problems do not replace the first.
  EXPECT_EQ(r.ObjectMember("form"), nullptr);
  r.Fail("form", "something else");
  EXPECT_FALSE(r.Finish());
  EXPECT_EQ(r.error(), "name: expected a string");

  json::ObjectReader missing(doc, "");
  EXPECT_FALSE(missing.String("title", &name));
  EXPECT_EQ(missing.error(), "missing member \"title\"");

  json::ObjectReader own(doc, "");
  const json::Value* form = own.ObjectMember("form");
  ASSERT_NE(form, nullptr);
  json::ObjectReader inner(*form, own.PathOf("form"));
  std::string id;
  EXPECT_TRUE(inner.String("id", &id));
  inner.Fail("id", "is not a form id");
  EXPECT_EQ(inner.error(), "form.id: is not a form id");
  own.Fail("", "has no entries");
  EXPECT_EQ(own.error(), "has no entries");
  EXPECT_FALSE(own.Finish());  // "name" was never asked for, but the first error stays
  EXPECT_EQ(own.error(), "has no entries");
}
