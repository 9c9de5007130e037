#include <gtest/gtest.h>

#include <string>

#include "forms/ProfileFile.h"
#include "tests/TestWorld.h"

namespace {

const char kFile[] = "\\\\CORE1\\qvlogon\\PROFTEST.INI";

TEST(ProfileFileRead, ValuesSectionsAndMissingOnes) {
  TestWorld world;
  world.Put(kFile,
            "[Main]\r\nName=  Alpha  \r\nEmpty=\r\nQuoted=\"x, y\"\r\n[Other]\r\nName=Beta\r\n");
  CProfileFile file(kFile);
  std::string out = "before";
  EXPECT_EQ(1, file.ReadString("Main", "Name", out));
  EXPECT_EQ("Alpha", out);
  EXPECT_EQ(1, file.ReadString("main", "NAME", out));
  EXPECT_EQ(1, file.ReadString("Other", "Name", out));
  EXPECT_EQ("Beta", out);
  EXPECT_EQ(1, file.ReadString("Main", "Quoted", out));
  EXPECT_EQ("x, y", out);

  // Present but empty, missing key, missing section, missing file: 0 and out unchanged.
  out = "kept";
  EXPECT_EQ(0, file.ReadString("Main", "Empty", out));
  EXPECT_EQ(0, file.ReadString("Main", "Nothing", out));
  EXPECT_EQ(0, file.ReadString("Nowhere", "Name", out));
  CProfileFile missing("\\\\CORE1\\qvlogon\\NOFILE.INI");
  EXPECT_EQ(0, missing.ReadString("Main", "Name", out));
  EXPECT_EQ("kept", out);
}

TEST(ProfileFileRead, LongValueIsCut) {
  TestWorld world;
  std::string value(9000, 'v');
  value[8194] = 'L';  // the last character that fits
  value[8195] = 'X';  // the first one that does not
  world.Put(kFile, "[S]\r\nK=" + value + "\r\n");
  CProfileFile file(kFile);
  std::string out;
  ASSERT_EQ(1, file.ReadString("S", "K", out));
  EXPECT_EQ(8195u, out.size());
  EXPECT_EQ('L', out.back());
}

TEST(ProfileFilePath, UnboundAndInvalidatedPaths) {
  TestWorld world;
  world.Put(kFile, "[S]\r\nK=v\r\n");
  std::string out = "kept";

  CProfileFile unbound;
  EXPECT_EQ("", unbound.GetPath());
  EXPECT_EQ(0, unbound.ReadString("S", "K", out));
  EXPECT_EQ(0, unbound.WriteString("S", "K", "w"));
  CProfileFile emptyPath("");
  EXPECT_EQ(0, emptyPath.ReadString("S", "K", out));
  EXPECT_EQ("kept", out);

  CProfileFile file(kFile);
  EXPECT_EQ(1, file.ReadString("S", "K", out));
  file.SetPath("");
  EXPECT_EQ(kFile, file.GetPath());
  out = "kept";
  EXPECT_EQ(0, file.ReadString("S", "K", out));
  EXPECT_EQ(0, file.WriteString("S", "K", "changed"));
  EXPECT_EQ("kept", out);
  EXPECT_EQ("[S]\r\nK=v\r\n", world.Bytes(kFile));
  file.SetPath(kFile);
  EXPECT_EQ(1, file.ReadString("S", "K", out));
  EXPECT_EQ("v", out);
}

TEST(ProfileFileRead, DefaultSectionAndKey) {
  TestWorld world;
  world.Put(kFile, "[Group1]\r\nForm1=Office survey\r\n");
  CProfileFile file(kFile);
  std::string out = "kept";
  EXPECT_EQ(0, file.ReadDefault(out));
  file.SetSection("Group1");
  EXPECT_EQ(0, file.ReadDefault(out));  // key not set
  file.SetKey("Form1");
  EXPECT_EQ(1, file.ReadDefault(out));
  EXPECT_EQ("Office survey", out);
  out = "kept";
  file.SetSection("");
  EXPECT_EQ(0, file.ReadDefault(out));
  file.SetSection("Group1");
  file.SetKey("");
  EXPECT_EQ(0, file.ReadDefault(out));
  EXPECT_EQ("kept", out);

  CProfileFile unbound;
  unbound.SetSection("Group1");
  unbound.SetKey("Form1");
  EXPECT_EQ(0, unbound.ReadDefault(out));
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
  std::string out = "kept";
  EXPECT_EQ(0, file.ReadString("Header", "Version", out));
  EXPECT_EQ("kept", out);
}

TEST(ProfileFileText, QuoteText) {
  CProfileFile text;
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a,b", "{a,b}"}, {"{x}", "{x}"}, {"plain", "plain"},
      {"", ""},         {",", "{,}"},   {"{a, b}", "{{a, b}}"},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    text.QuoteText(s);
    EXPECT_EQ(c.out, s) << c.in;
  }
}

TEST(ProfileFileText, UnquoteText) {
  CProfileFile text;
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"{a, b}", "a, b"},
      {"{x}", "x"},
      {"}x{", "}x{"},
      {"plain", "plain"},
      {"{{a, b}}", "{a, b}"},
      {"{}", ""},
      {"Size {cm}", "cm"},
      {"a{b}c{d}e", "b}c{d"},
      {"{open", "{open"},
      {"close}", "close}"},
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    text.UnquoteText(s);
    EXPECT_EQ(c.out, s) << c.in;
  }
}

TEST(ProfileFileText, GetField) {
  CProfileFile text;
  const struct {
    const char* text;
    int n;
    int result;
    const char* out;
  } cases[] = {
      {"EDIT, Color, {Red, Green}, NR, ", 1, 1, "EDIT"},
      {"EDIT, Color, {Red, Green}, NR, ", 2, 1, "Color"},
      {"EDIT, Color, {Red, Green}, NR, ", 3, 1, "{Red, Green}"},
      {"EDIT, Color, {Red, Green}, NR, ", 4, 1, "NR"},
      {"EDIT, Color, {Red, Green}, NR, ", 5, 1, ""},
      {"EDIT, Color, {Red, Green}, NR, ", 6, 0, ""},
      {"a,,b", 2, 1, ""},
      {"a,,b", 3, 1, "b"},
      {"a", 2, 0, ""},
      {"a", 0, 1, "a"},
      {"   x   , y", 1, 1, "x"},
      {" \t x \r\n", 1, 1, "x"},
      {"{a, {b, c}}, d", 1, 1, "{a, {b, c}}"},
      {"{a, {b, c}}, d", 2, 1, "d"},
      {"{a, {b, c}}, d", 3, 0, ""},
      {"a, {b, c", 2, 1, "{b, c"},
      {"a, {b, c", 3, 0, ""},
      {"x}, y", 2, 1, "y"},
      {",", 1, 1, ""},
      {",", 2, 1, ""},
      {",", 3, 0, ""},
      {"a,", 2, 1, ""},
      {"", 1, 0, ""},
  };
  for (const auto& c : cases) {
    std::string out = "stale";
    EXPECT_EQ(c.result, text.GetField(c.text, c.n, out)) << c.text << " #" << c.n;
    EXPECT_EQ(c.out, out) << c.text << " #" << c.n;
  }
}

}  // namespace
