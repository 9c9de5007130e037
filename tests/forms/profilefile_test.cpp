#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "forms/ProfileFile.h"
#include "tests/TestWorld.h"

namespace {

const char kFile[] = "\\\\CORE1\\qvlogon\\PROFTEST.INI";

// A read into a string that held "kept", as "<result> <string>"; ReadDefault without a section.
std::string Read(const CProfileFile& file, const char* section = nullptr, const char* key = "") {
  std::string out = "kept";
  int result = section != nullptr ? file.ReadString(section, key, out) : file.ReadDefault(out);
  return std::to_string(result) + " " + out;
}

TEST(ProfileFileRead, ValuesSectionsAndMissingOnes) {
  TestWorld world;
  world.Put(kFile,
            "[Main]\r\nName=  Alpha  \r\nEmpty=\r\nQuoted=\"x, y\"\r\n[Other]\r\nName=Beta\r\n");
  CProfileFile file(kFile);
  EXPECT_EQ("1 Alpha", Read(file, "main", "NAME"));
  EXPECT_EQ("1 Beta", Read(file, "Other", "Name"));
  EXPECT_EQ("1 x, y", Read(file, "Main", "Quoted"));
  // Present but empty, missing key, missing section, missing file: 0 and out unchanged.
  EXPECT_EQ("0 kept", Read(file, "Main", "Empty"));
  EXPECT_EQ("0 kept", Read(file, "Main", "Nothing"));
  EXPECT_EQ("0 kept", Read(file, "Nowhere", "Name"));
  EXPECT_EQ("0 kept", Read(CProfileFile("\\\\CORE1\\qvlogon\\NOFILE.INI"), "Main", "Name"));

  std::string value(9000, 'v');  // a long value is cut to the buffer
  value[8194] = 'L';             // the last character that fits
  world.Put(kFile, "[S]\r\nK=" + value + "\r\n");
  EXPECT_EQ("1 " + value.substr(0, 8195), Read(file, "S", "K"));
}

TEST(ProfileFilePath, UnboundAndInvalidatedPaths) {
  TestWorld world;
  world.Put(kFile, "[S]\r\nK=v\r\n");
  CProfileFile unbound;
  EXPECT_EQ("", unbound.GetPath());
  EXPECT_EQ("0 kept", Read(unbound, "S", "K"));
  EXPECT_EQ(0, unbound.WriteString("S", "K", "w"));
  EXPECT_EQ("0 kept", Read(CProfileFile(""), "S", "K"));

  CProfileFile file(kFile);
  EXPECT_EQ("1 v", Read(file, "S", "K"));
  file.SetPath("");
  EXPECT_EQ(kFile, file.GetPath());
  EXPECT_EQ("0 kept", Read(file, "S", "K"));
  EXPECT_EQ(0, file.WriteString("S", "K", "changed"));
  EXPECT_EQ("[S]\r\nK=v\r\n", world.Bytes(kFile));
  file.SetPath(kFile);
  EXPECT_EQ("1 v", Read(file, "S", "K"));
}

TEST(ProfileFileRead, DefaultSectionAndKey) {
  TestWorld world;
  world.Put(kFile, "[Group1]\r\nForm1=Office survey\r\n");
  CProfileFile file(kFile), unbound;
  EXPECT_EQ("0 kept", Read(file));
  file.SetSection("Group1");
  EXPECT_EQ("0 kept", Read(file));  // key not set
  file.SetKey("Form1");
  EXPECT_EQ("1 Office survey", Read(file));
  file.SetSection("");
  EXPECT_EQ("0 kept", Read(file));
  file.SetSection("Group1");
  file.SetKey("");
  EXPECT_EQ("0 kept", Read(file));
  unbound.SetSection("Group1");
  unbound.SetKey("Form1");
  EXPECT_EQ("0 kept", Read(unbound));
}

TEST(ProfileFileWrite, CreatesAppendsAndReplaces) {
  TestWorld world;
  CProfileFile file(kFile);
  EXPECT_NE(0, file.WriteString("Header", "Name", "one"));
  EXPECT_NE(0, file.WriteString("Form", "FormName", "Office"));
  EXPECT_NE(0, file.WriteString("Header", "Version", ""));
  EXPECT_NE(0, file.WriteString("Header", "Name", "two"));
  EXPECT_EQ("[Header]\r\nName=two\r\nVersion=\r\n[Form]\r\nFormName=Office\r\n",
            world.Bytes(kFile));
  EXPECT_EQ("0 kept", Read(file, "Header", "Version"));
}

TEST(ProfileFileText, QuoteAndUnquote) {
  CProfileFile text;
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"a,b", "{a,b}", "a,b"},
      {"{a, b}", "{{a, b}}", "a, b"},
      {"{{a, b}}", "{{{a, b}}}", "{a, b}"},
      {"a{b}c{d}e", "a{b}c{d}e", "b}c{d"},
      {"}x{", "}x{", "}x{"},
      {"{open", "{open", "{open"},
  };
  for (const auto& [in, quotedText, unquotedText] : cases) {
    std::string quoted = in, unquoted = in;
    text.QuoteText(quoted);
    text.UnquoteText(unquoted);
    EXPECT_EQ(quotedText, quoted) << in;
    EXPECT_EQ(unquotedText, unquoted) << in;
  }
}

TEST(ProfileFileText, GetField) {
  CProfileFile text;
  const std::tuple<const char*, int, int, const char*> cases[] = {
      {"EDIT, Color, {Red, Green}, NR, ", 3, 1, "{Red, Green}"},
      {"EDIT, Color, {Red, Green}, NR, ", 5, 1, ""},  // after the last comma
      {"EDIT, Color, {Red, Green}, NR, ", 6, 0, ""},
      {"a,,b", 2, 1, ""},
      {"a", 2, 0, ""},
      {"a", 0, 1, "a"},
      {" \t x \r\n", 1, 1, "x"},
      {"{a, {b, c}}, d", 1, 1, "{a, {b, c}}"},
      {"a, {b, c", 2, 1, "{b, c"},
      {"a, {b, c", 3, 0, ""},
      {"x}, y", 2, 1, "y"},
      {"", 1, 0, ""},
  };
  for (const auto& [line, n, result, expected] : cases) {
    std::string out = "stale";
    EXPECT_EQ(result, text.GetField(line, n, out)) << line << " #" << n;
    EXPECT_EQ(expected, out) << line << " #" << n;
  }
}

}  // namespace
