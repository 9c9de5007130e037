#include "tools/qvccfg/Json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
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

std::string Nested(int depth, std::string_view inner) {
  return std::string(depth, '[') + std::string(inner) + std::string(depth, ']');
}

}  // namespace

TEST(JsonParse, GoodDocumentsWriteBackCompact) {
  struct Case {
    std::string text;
    std::string written;
  };
  const std::vector<Case> cases = {
      {"null", "null"},
      {" true ", "true"},
      {"false", "false"},
      {"0", "0"},
      {"-0", "0"},
      {"12", "12"},
      {"-3.5", "-3.5"},
      {"1e2", "100"},
      {"1.5E-3", "0.0015"},
      {"0.1", "0.1"},
      {"1e21", "1e+21"},
      {"123456789012345678901234", "1.2345678901234569e+23"},
      {"\"\"", "\"\""},
      {R"("a\"b\\c\/d")", R"("a\"b\\c/d")"},
      {R"("\b\f\n\r\t")", R"("\u0008\u000C\u000A\u000D\u0009")"},
      {R"("\u0000")", R"("\u0000")"},
      {R"("\u00e9\u20AC")", "\"\xC3\xA9\xE2\x82\xAC\""},
      {R"("\ud83d\ude00")", "\"\xF0\x9F\x98\x80\""},
      {R"("\uDBFF\uDFFF")", "\"\xF4\x8F\xBF\xBF\""},
      {"\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\""},
      {"\"\x7F\"", "\"\x7F\""},
      {"[]", "[]"},
      {"{}", "{}"},
      {"[1,[2,[]],{}]", "[1,[2,[]],{}]"},
      {R"({"b":1,"a":2,"c":{"z":null,"y":[true]}})", R"({"b":1,"a":2,"c":{"z":null,"y":[true]}})"},
      {"\t\r\n [ 1 , 2 ]\n", "[1,2]"},
      {"{ \"a\" : \"x\" , \"\" : [ ] }", R"({"a":"x","":[]})"},
      {"\xEF\xBB\xBF[]", "[]"},
  };
  for (const Case& c : cases) {
    json::Value v = MustParse(c.text);
    EXPECT_EQ(json::Write(v, false), c.written) << c.text;
  }
}

TEST(JsonParse, BadDocumentsGiveOneLineWithPosition) {
  struct Case {
    std::string text;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"", "line 1, column 1: unexpected end of input, expected a value"},
      {"   ", "line 1, column 4: unexpected end of input, expected a value"},
      {"[1,]", "line 1, column 4: expected a value"},
      {"[1 2]", "line 1, column 4: expected ',' or ']'"},
      {"[1,2", "line 1, column 5: unexpected end of input, expected ',' or ']'"},
      {R"({"a":1 "b":2})", "line 1, column 8: expected ',' or '}'"},
      {R"({"a" 1})", "line 1, column 6: expected ':'"},
      {"{a:1}", "line 1, column 2: expected a member name in double quotes"},
      {R"({"a":1,})", "line 1, column 8: expected a member name in double quotes"},
      {R"({"a":)", "line 1, column 6: unexpected end of input, expected a value"},
      {"01", "line 1, column 1: number with a leading zero"},
      {"-01", "line 1, column 1: number with a leading zero"},
      {"-", "line 1, column 2: unexpected end of input, expected a digit"},
      {"-a", "line 1, column 2: expected a digit"},
      {"+1", "line 1, column 1: expected a value"},
      {".5", "line 1, column 1: expected a value"},
      {"1.", "line 1, column 3: unexpected end of input, expected a digit after '.'"},
      {"1.e5", "line 1, column 3: expected a digit after '.'"},
      {"1e", "line 1, column 3: unexpected end of input, expected a digit in the exponent"},
      {"1e+", "line 1, column 4: unexpected end of input, expected a digit in the exponent"},
      {"1e400", "line 1, column 1: number is out of range"},
      {"[-1e400]", "line 1, column 2: number is out of range"},
      {"NaN", "line 1, column 1: expected a value"},
      {"Infinity", "line 1, column 1: expected a value"},
      {"tru", "line 1, column 1: expected a value"},
      {"nul", "line 1, column 1: expected a value"},
      {"True", "line 1, column 1: expected a value"},
      {"truex", "line 1, column 5: unexpected text after the value"},
      {"[1] [2]", "line 1, column 5: unexpected text after the value"},
      {std::string("[1]\0", 4), "line 1, column 4: unexpected text after the value"},
      {"'a'", "line 1, column 1: expected a value"},
      {"\"abc", "line 1, column 1: string is not closed"},
      {"[\"a\\\"]", "line 1, column 2: string is not closed"},
      {"\"a\x01\"", "line 1, column 3: control character in a string (write it as an escape)"},
      {"\"a\nb\"", "line 1, column 3: control character in a string (write it as an escape)"},
      {R"("\x")", "line 1, column 2: invalid escape in a string"},
      {R"("\U0041")", "line 1, column 2: invalid escape in a string"},
      {"\"\\", "line 1, column 2: invalid escape in a string"},
      {R"("\u12")", "line 1, column 2: expected four hex digits after \\u"},
      {R"("\u12G4")", "line 1, column 2: expected four hex digits after \\u"},
      {R"("ab\ud800")",
       "line 1, column 4: \\u escape of a high surrogate without a low surrogate after it"},
      {R"("\ud800\u0041")",
       "line 1, column 2: \\u escape of a high surrogate without a low surrogate after it"},
      {R"("\ud800\ud800")",
       "line 1, column 2: \\u escape of a high surrogate without a low surrogate after it"},
      {R"("\udc00")",
       "line 1, column 2: \\u escape of a low surrogate without a high surrogate before it"},
      {"\"\xC0\xAF\"", "line 1, column 2: invalid UTF-8 in a string"},          // overlong
      {"\"\xC1\xBF\"", "line 1, column 2: invalid UTF-8 in a string"},          // overlong
      {"\"\xE0\x80\xAF\"", "line 1, column 2: invalid UTF-8 in a string"},      // overlong
      {"\"\xF0\x80\x80\xAF\"", "line 1, column 2: invalid UTF-8 in a string"},  // overlong
      {"\"\xED\xA0\x80\"", "line 1, column 2: invalid UTF-8 in a string"},      // surrogate
      {"\"\xF4\x90\x80\x80\"", "line 1, column 2: invalid UTF-8 in a string"},  // past U+10FFFF
      {"\"\xF8\x88\x80\x80\x80\"", "line 1, column 2: invalid UTF-8 in a string"},
      {"\"\x80\"", "line 1, column 2: invalid UTF-8 in a string"},
      {"\"\xFF\"", "line 1, column 2: invalid UTF-8 in a string"},
      {"\"\xE2\x82\"", "line 1, column 2: invalid UTF-8 in a string"},
      {"\"\xC3", "line 1, column 2: invalid UTF-8 in a string"},
      {"\xC3\xA9", "line 1, column 1: expected a value"},
      {R"({"a":1,"a":2})", "line 1, column 8: duplicate member \"a\""},
      {R"({"a":1,"\u0061":2})", "line 1, column 8: duplicate member \"a\""},
      {R"({"x":{"a":1},"a":{"a":2,"b":3,"a":4}})", "line 1, column 31: duplicate member \"a\""},
      {"{\n  \"a\": 1,\n  \"b\" 2\n}", "line 3, column 7: expected ':'"},
      {"[1,\r\n2 3]", "line 2, column 3: expected ',' or ']'"},
      {"[\"\xC3\xA9\xE2\x82\xAC\", x]", "line 1, column 8: expected a value"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseError(c.text), c.error) << c.text;
  }
}

TEST(JsonParse, ErrorPointerMayBeNull) {
  json::Value v;
  EXPECT_FALSE(json::Parse("[", &v, nullptr));
  EXPECT_TRUE(json::Parse("[7]", &v, nullptr));
  EXPECT_EQ(v, json::Value(json::Array{7}));
}

TEST(JsonParse, DepthLimit) {
  ASSERT_EQ(json::kMaxDepth, 64);
  json::Value v = MustParse(Nested(64, "1"));
  for (int i = 0; i < 64; ++i) {
    ASSERT_TRUE(v.IsArray());
    ASSERT_EQ(v.AsArray().size(), 1u);
    json::Value inner = v.AsArray()[0];
    v = inner;
  }
  EXPECT_EQ(v, json::Value(1));

  EXPECT_EQ(ParseError(Nested(65, "")),
            "line 1, column 65: arrays and objects are nested deeper than 64 levels");
  // Objects count as levels too.
  std::string objects;
  for (int i = 0; i < 64; ++i)
    objects += "{\"k\":";
  EXPECT_EQ(ParseError(objects + "[]" + std::string(64, '}')),
            "line 1, column 321: arrays and objects are nested deeper than 64 levels");
  MustParse(objects + "1" + std::string(64, '}'));
  // Far deeper than the limit is refused without running out of stack.
  EXPECT_EQ(ParseError(std::string(1000000, '[')),
            "line 1, column 65: arrays and objects are nested deeper than 64 levels");
}

TEST(JsonParse, SizeLimits) {
  ASSERT_EQ(json::kMaxStringLength, 1024u * 1024u);
  ASSERT_EQ(json::kMaxInputSize, 16u * 1024u * 1024u);

  std::string longest(json::kMaxStringLength, 'x');
  EXPECT_EQ(MustParse("\"" + longest + "\"").AsString(), longest);
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

TEST(JsonValue, AccessorsAndIntegers) {
  json::Value doc = MustParse(R"({"n":3,"s":"3","f":2.5,"big":1e19,"neg":-9223372036854775808})");
  std::int64_t n = 99;
  EXPECT_TRUE(doc.Find("n")->GetInteger(0, 3, &n));
  EXPECT_EQ(n, 3);
  n = 99;
  EXPECT_FALSE(doc.Find("n")->GetInteger(0, 2, &n));
  EXPECT_FALSE(doc.Find("n")->GetInteger(4, 10, &n));
  EXPECT_FALSE(doc.Find("s")->GetInteger(0, 10, &n));
  EXPECT_FALSE(doc.Find("f")->GetInteger(0, 10, &n));
  const auto kMin = std::numeric_limits<std::int64_t>::min();
  const auto kMax = std::numeric_limits<std::int64_t>::max();
  EXPECT_FALSE(doc.Find("big")->GetInteger(kMin, kMax, &n));
  EXPECT_EQ(n, 99);
  EXPECT_TRUE(doc.Find("neg")->GetInteger(kMin, kMax, &n));
  EXPECT_EQ(n, kMin);
  EXPECT_FALSE(json::Value(std::nan("")).GetInteger(kMin, kMax, &n));
  EXPECT_TRUE(json::Value(-1).GetInteger(-1, -1, &n));
  EXPECT_EQ(n, -1);

  EXPECT_EQ(doc.Find("missing"), nullptr);
  EXPECT_EQ(doc.Find("n")->Find("n"), nullptr);
  EXPECT_EQ(doc.Find("n")->AsString(), "");
  EXPECT_TRUE(doc.Find("s")->AsArray().empty());
  EXPECT_EQ(doc.Find("s")->AsNumber(), 0);
  EXPECT_FALSE(doc.Find("n")->AsBool());
  EXPECT_EQ(doc.Find("s")->AsString(), "3");

  // Equality: members in order; numbers as doubles.
  EXPECT_EQ(MustParse(R"({"a":1,"b":2})"), MustParse(R"({"a":1.0,"b":2e0})"));
  EXPECT_NE(MustParse(R"({"a":1,"b":2})"), MustParse(R"({"b":2,"a":1})"));
  EXPECT_NE(MustParse("[1]"), MustParse("[1,1]"));
  EXPECT_NE(json::Value(), json::Value(false));
  EXPECT_NE(json::Value("1"), json::Value(1));
}

TEST(JsonWrite, PrettyAndCompactAreFixed) {
  json::Value doc;
  doc.Set("name", "Form");
  doc.Set("count", 2);
  json::Value entries;
  json::Value entry;
  entry.Set("text", "Q1");
  entry.Set("ok", true);
  entries.Append(entry);
  entries.Append(json::Value());
  doc.Set("entries", entries);
  doc.Set("empty", json::Array{});
  doc.Set("none", json::Object{});
  doc.Set("count", 3);  // replaces in place

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
  EXPECT_EQ(json::Write(doc, false),
            R"({"name":"Form","count":3,"entries":[{"text":"Q1","ok":true},null],)"
            R"("empty":[],"none":{}})");
  EXPECT_EQ(json::Write(json::Value(json::Array{}), true), "[]");
  EXPECT_EQ(json::Write(json::Value(7), true), "7");

  // Written text reads back as the same value, in both forms.
  EXPECT_EQ(MustParse(json::Write(doc, true)), doc);
  EXPECT_EQ(MustParse(json::Write(doc, false)), doc);
  EXPECT_EQ(json::Write(MustParse(json::Write(doc, true)), true), json::Write(doc, true));
}

TEST(JsonWrite, NumbersAndStrings) {
  struct Case {
    json::Value value;
    std::string written;
  };
  const std::vector<Case> cases = {
      {3, "3"},
      {-7, "-7"},
      {0.5, "0.5"},
      {-0.0, "0"},
      {1e20, "100000000000000000000"},
      {1.2345e20, "123450000000000000000"},
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
  for (const Case& c : cases) {
    EXPECT_EQ(json::Write(c.value, false), c.written);
  }
  // Every finite double reads back exactly.
  for (double d : {0.1, 1.0 / 3, -2.2250738585072014e-308, 1.7976931348623157e308, 5e-324}) {
    EXPECT_EQ(MustParse(json::Write(json::Value(d), false)).AsNumber(), d);
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
  ASSERT_TRUE(json::Utf8ToCp1252(doc.AsString(), &back));
  EXPECT_EQ(back, all);

  struct Case {
    std::string cp1252;
    std::string utf8;
  };
  const std::vector<Case> cases = {
      {"A", "A"},
      {"\x80", "\xE2\x82\xAC"},  // euro sign
      {"\x81", "\xC2\x81"},      // unused byte
      {"\x8A", "\xC5\xA0"},      // S caron
      {"\x8D\x8F\x90\x9D", "\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
      {"\x92", "\xE2\x80\x99"},  // right single quote
      {"\x99", "\xE2\x84\xA2"},  // trade mark
      {"\x9F", "\xC5\xB8"},      // Y diaeresis
      {"\xA0", "\xC2\xA0"},
      {"\xE9", "\xC3\xA9"},
      {"\xFF", "\xC3\xBF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(json::Cp1252ToUtf8(c.cp1252), c.utf8);
    std::string bytes;
    EXPECT_TRUE(json::Utf8ToCp1252(c.utf8, &bytes));
    EXPECT_EQ(bytes, c.cp1252);
  }

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
      MustParse(R"({"text":"Caf\u00e9 \u20ac","control":2,"visible":true,"items":["a"],"sub":{}})");

  {
    json::ObjectReader r(entry, "entries[2]");
    std::string text;
    int control = -1;
    bool visible = false;
    EXPECT_TRUE(r.Text("text", &text));
    EXPECT_EQ(text, "Caf\xE9 \x80");
    EXPECT_TRUE(r.Int("control", 0, 3, &control));
    EXPECT_EQ(control, 2);
    EXPECT_TRUE(r.Bool("visible", &visible));
    EXPECT_TRUE(visible);
    const json::Value* items = r.ArrayMember("items");
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(items->AsArray().size(), 1u);
    EXPECT_EQ(json::ElementPath(r.PathOf("items"), 0), "entries[2].items[0]");
    EXPECT_NE(r.ObjectMember("sub"), nullptr);
    int width = 42;
    EXPECT_FALSE(r.Int("width", 0, 10, &width, json::ObjectReader::Need::kOptional));
    EXPECT_EQ(width, 42);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.Finish());
    EXPECT_EQ(r.error(), "");
  }

  struct Case {
    std::string document;
    std::string error;
  };
  // Each case reads the same members in the same order: text, control, visible, items.
  const std::vector<Case> cases = {
      {R"({"text":"a","control":4,"visible":true,"items":[]})",
       "entries[2].control: expected an integer from 0 to 3"},
      {R"({"text":"a","control":1.5,"visible":true,"items":[]})",
       "entries[2].control: expected an integer from 0 to 3"},
      {R"({"text":"a","control":"1","visible":true,"items":[]})",
       "entries[2].control: expected an integer from 0 to 3"},
      {R"({"text":"a","visible":true,"items":[]})", "entries[2]: missing member \"control\""},
      {R"({"text":1,"control":9,"visible":true,"items":[]})", "entries[2].text: expected a string"},
      {R"({"text":"\u4e2d","control":1,"visible":true,"items":[]})",
       "entries[2].text: holds a character that has no Windows-1252 byte"},
      {R"({"text":"a","control":1,"visible":1,"items":[]})",
       "entries[2].visible: expected true or false"},
      {R"({"text":"a","control":1,"visible":null,"items":[]})",
       "entries[2].visible: expected true or false"},
      {R"({"text":"a","control":1,"visible":true,"items":{}})",
       "entries[2].items: expected an array"},
      {R"({"text":"a","control":1,"visible":true,"items":[],"colour":1})",
       "entries[2]: unknown member \"colour\""},
      {R"({"te\u0001xt":"a","text":"a","control":1,"visible":true,"items":[]})",
       "entries[2]: unknown member \"te\\u0001xt\""},
      {"[]", "entries[2]: expected an object"},
  };
  for (const Case& c : cases) {
    json::Value doc = MustParse(c.document);
    json::ObjectReader r(doc, "entries[2]");
    std::string text;
    int control = 0;
    bool visible = false;
    r.Text("text", &text);
    r.Int("control", 0, 3, &control);
    r.Bool("visible", &visible);
    r.ArrayMember("items");
    EXPECT_FALSE(r.Finish()) << c.document;
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.error(), c.error) << c.document;
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
