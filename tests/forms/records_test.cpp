#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/CustomForm.h"
#include "forms/FieldException.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "tests/TestWorld.h"

namespace {

std::unique_ptr<CFormField> Q(const std::string& text) {
  auto entry = std::make_unique<CFormField>();
  entry->questionText = text;
  return entry;
}

// Question texts of the definition's entries, in order, one after the other.
std::string Texts(const CFormDefinition& definition) {
  std::string texts;
  for (const auto& entry : definition.Entries())
    texts += entry->questionText;
  return texts;
}

// A copy holds everything the entry holds, its items' marks too.
TEST(FormRecordsField, DefaultsAndCopies) {
  auto original = Question(CFormField::kFixedList, "Floor", "Which floor?", true, "note",
                           {"Ground", "First", "Second"});
  original->items[1]->pendingAdd = true;
  original->items[2]->pendingDelete = true;
  CFormField copy(*original);
  EXPECT_EQ("LISTBOX R Floor|Which floor?|[Ground][First][Second]|note", Describe(copy));
  EXPECT_TRUE(copy.items[1]->pendingAdd && copy.items[2]->pendingDelete);
  EXPECT_FALSE(copy.items[0]->pendingAdd || copy.items[0]->pendingDelete);
  EXPECT_EQ("PAGEBREAK |||", Describe(CFormField(*Marker(CFormField::kPageBreak))));
}

TEST(FormRecordsDefinition, GetAtIndexOfInsertAfterAndRemove) {
  CFormDefinition definition;
  EXPECT_EQ(nullptr, definition.GetAt(0));
  EXPECT_EQ(nullptr, definition.GetAt(-1));
  EXPECT_EQ(-1, definition.IndexOf(nullptr));
  CFormField* a = definition.Append(Q("a"));
  CFormField* b = definition.Append(Q("b"));
  CFormField* c = definition.Append(Q("c"));
  EXPECT_EQ(c, definition.GetAt(2));
  EXPECT_EQ(nullptr, definition.GetAt(3));
  EXPECT_EQ(a, definition.GetAt(-5));
  EXPECT_EQ(1, definition.IndexOf(b));
  CFormField stranger;
  EXPECT_EQ(-1, definition.IndexOf(&stranger));

  definition.Remove(b);
  b = definition.InsertAfter(a, Q("b"));
  definition.InsertAfter(c, Q("d"));
  definition.InsertAfter(&stranger, Q("e"));
  definition.InsertAfter(nullptr, Q("f"));
  EXPECT_EQ("abcdef", Texts(definition));
  definition.Remove(&stranger);
  definition.Remove(nullptr);
  definition.Remove(b);
  EXPECT_EQ("acdef", Texts(definition));
  EXPECT_EQ(c, definition.GetAt(1));
}

TEST(FormRecordsDefinition, MoveBefore) {
  CFormDefinition definition;
  definition.Append(Q("a"));
  definition.Append(Q("b"));
  definition.Append(Q("c"));
  CFormField stranger;
  // Target and moving entry by position (-1: an entry outside the list), and the order after.
  const struct {
    int target, moving;
    const char* order;
  } steps[] = {
      {0, 1, "bac"},   // second before first: swapped
      {0, 2, "cba"},   // last before first
      {0, 0, "cba"},   // onto itself: the order stays
      {1, 0, "cba"},   // onto the line just below: the order stays
      {-1, 2, "acb"},  // a target outside the list sends the copy to the front
      {0, -1, "acb"},  // a moving entry outside the list changes nothing
  };
  for (const auto& s : steps) {
    CFormField* from = s.moving < 0 ? &stranger : definition.GetAt(s.moving);
    CFormField* moved =
        definition.MoveBefore(s.target < 0 ? &stranger : definition.GetAt(s.target), from);
    EXPECT_EQ(s.order, Texts(definition)) << s.target << " " << s.moving;
    EXPECT_EQ(s.moving < 0, moved == nullptr);
    if (s.moving >= 0) {  // the moved entry is a new object in the list; the old one is gone
      EXPECT_NE(-1, definition.IndexOf(moved));
      EXPECT_EQ(-1, definition.IndexOf(from));
    }
  }
}

// The texts themselves are the string table's (the language tests compare them all).
TEST(FormRecordsStrings, ExceptionsAndFormatting) {
  CFieldException memory(CFieldException::kMemoryAllocation), parsing(CFieldException::kParsing);
  EXPECT_EQ(32801u, memory.GetMessageId());
  EXPECT_EQ("Field memory allocation error!", memory.GetMessage());
  EXPECT_EQ("", LoadResString(0) + LoadResString(32769));  // ids the table lacks
  // Replacements are not scanned again.
  EXPECT_EQ("Delete '%2'?", AfxFormatString2(IDS_DELETE_PROMPT, "%2", "x"));
  std::string text = AfxFormatString2(IDS_SAVE_FAILED, "a%2b", "CORE1");
  EXPECT_NE(std::string::npos, text.find("the form \"a%2b\".\nIf this"));
}

}  // namespace
