#include <gtest/gtest.h>

#include <string>

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

TEST(ProfileFileRead, ValuesEmptyOnesAndLongOnes) {
  TestWorld world;
  world.Put(kFile, "[Main]\r\nName=  Alpha  \r\nEmpty=\r\n");
  CProfileFile file(kFile);
  EXPECT_EQ("1 Alpha", Read(file, "main", "NAME"));
  // Present but empty reads as missing (the profile tests have the missing ones): 0 and out
  // unchanged.
  EXPECT_EQ("0 kept", Read(file, "Main", "Empty"));

  std::string value(9000, 'v');  // a long value is cut to the buffer
  value[8194] = 'L';             // the last character that fits
  world.Put(kFile, "[S]\r\nK=" + value + "\r\n");
  EXPECT_EQ("1 " + value.substr(0, 8195), Read(file, "S", "K"));
}

// A file without a path, or whose path was made invalid, reads nothing and writes nothing;
// ReadDefault needs the section, the key and the path set.
TEST(ProfileFilePath, UnboundInvalidatedAndDefaults) {
  TestWorld world;
  world.Put(kFile, "[S]\r\nK=v\r\n");
  CProfileFile unbound, file(kFile);
  EXPECT_EQ("", unbound.GetPath());
  EXPECT_EQ("0 kept", Read(unbound, "S", "K"));
  EXPECT_EQ(0, unbound.WriteString("S", "K", "w"));
  file.SetPath("");
  EXPECT_EQ(kFile, file.GetPath());
  EXPECT_EQ("0 kept", Read(file, "S", "K"));
  EXPECT_EQ(0, file.WriteString("S", "K", "changed"));
  EXPECT_EQ("[S]\r\nK=v\r\n", world.Bytes(kFile));
  file.SetPath(kFile);
  EXPECT_EQ("1 v", Read(file, "S", "K"));

  EXPECT_EQ("0 kept", Read(file));
  file.SetSection("S");
  EXPECT_EQ("0 kept", Read(file));  // key not set
  file.SetKey("K");
  EXPECT_EQ("1 v", Read(file));
  file.SetSection("");
  EXPECT_EQ("0 kept", Read(file));
  file.SetSection("S");
  file.SetKey("");
  EXPECT_EQ("0 kept", Read(file));
  unbound.SetSection("S");
  unbound.SetKey("K");
  EXPECT_EQ("0 kept", Read(unbound));
}

TEST(ProfileFileText, QuoteUnquoteAndGetField) {
  CProfileFile text;
  const struct {
    const char *in, *quoted, *unquoted;
  } quoting[] = {
      {"a,b", "{a,b}", "a,b"},
      {"{a, b}", "{{a, b}}", "a, b"},
      {"{{a, b}}", "{{{a, b}}}", "{a, b}"},
      {"a{b}c{d}e", "a{b}c{d}e", "b}c{d"},
      {"}x{", "}x{", "}x{"},
      {"{open", "{open", "{open"},
  };
  for (const auto& c : quoting) {
    std::string quoted = c.in, unquoted = c.in;
    text.QuoteText(quoted);
    text.UnquoteText(unquoted);
    EXPECT_EQ(c.quoted, quoted) << c.in;
    EXPECT_EQ(c.unquoted, unquoted) << c.in;
  }

  const struct {
    const char* line;
    int n, result;
    const char* field;
  } fields[] = {
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
  for (const auto& c : fields) {
    std::string out = "stale";
    EXPECT_EQ(c.result, text.GetField(c.line, c.n, out)) << c.line << " #" << c.n;
    EXPECT_EQ(c.field, out) << c.line << " #" << c.n;
  }
}

}  // namespace
