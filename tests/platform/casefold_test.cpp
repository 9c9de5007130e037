#include "platform/text/CaseFold.h"

#include <gtest/gtest.h>

TEST(CaseFold, FoldsAsciiAndLatinLettersOnly) {
  EXPECT_EQ(qv::ToUpper("frm1a.tmp"), "FRM1A.TMP");
  EXPECT_EQ(qv::ToUpper("\xE9t\xE9"), "\xC9T\xC9");  // été
  EXPECT_EQ(qv::ToLower("\x8A\x8C\x8E\x9F"), "\x9A\x9C\x9E\xFF");
  EXPECT_EQ(qv::ToUpper("\xF7\xD7[]"), "\xF7\xD7[]");  // signs and brackets stay
  EXPECT_TRUE(qv::EqualsNoCase("Field1", "FIELD1"));
  EXPECT_FALSE(qv::EqualsNoCase("Field1", "Field11"));
  EXPECT_LT(qv::CompareNoCase("apple", "Banana"), 0);
  EXPECT_LT(qv::CompareNoCase("Banana", "cherry"), 0);
  EXPECT_NE(qv::CompareNoCase("a", "A"), 0);  // a total order: ties broken by the bytes
  EXPECT_EQ(qv::CompareNoCase("a", "a"), 0);
}
