#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/CustomForm.h"
#include "forms/FieldException.h"
#include "platform/file/FileApi.h"
#include "resources/StringTable.h"
#include "tests/TestWorld.h"

namespace {

std::unique_ptr<CFormField> Question(const std::string& text) {
  auto entry = std::make_unique<CFormField>();
  entry->questionText = text;
  return entry;
}

// Question texts of the definition's entries, in order.
std::vector<std::string> Texts(const CFormDefinition& definition) {
  std::vector<std::string> texts;
  for (const auto& entry : definition.Entries())
    texts.push_back(entry->questionText);
  return texts;
}

// Names of the .FRM files in the forms share.
std::vector<std::string> FormFiles() {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("\\\\CORE1\\qvlogon\\*.FRM", &data);
  if (find == INVALID_HANDLE_VALUE)
    return names;
  do {
    names.push_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

TEST(FormRecordsField, DefaultsAndDeepCopy) {
  CFormField fresh;
  EXPECT_EQ(CFormField::kQuestion, fresh.kind);
  EXPECT_EQ(CFormField::kNoControl, fresh.controlType);
  EXPECT_FALSE(fresh.required);
  EXPECT_FALSE(fresh.marker);
  EXPECT_TRUE(fresh.items.empty());
  EXPECT_EQ("", fresh.questionText);
  EXPECT_EQ("", fresh.inventoryName);
  EXPECT_EQ("", fresh.description);

  CFieldItem empty("");
  EXPECT_EQ("", empty.text);
  EXPECT_FALSE(empty.pendingAdd);
  EXPECT_FALSE(empty.pendingDelete);

  auto original = std::make_unique<CFormField>();
  original->questionText = "Which floor?";
  original->inventoryName = "Floor";
  original->description = "note";
  original->controlType = CFormField::kFixedList;
  original->required = true;
  original->AddItem("Ground");
  original->AddItem("First")->pendingAdd = true;
  original->AddItem("Second")->pendingDelete = true;

  auto copy = std::make_unique<CFormField>(*original);
  EXPECT_EQ("Which floor?", copy->questionText);
  EXPECT_EQ("Floor", copy->inventoryName);
  EXPECT_EQ("note", copy->description);
  EXPECT_EQ(CFormField::kFixedList, copy->controlType);
  EXPECT_EQ(CFormField::kQuestion, copy->kind);
  EXPECT_TRUE(copy->required);
  ASSERT_EQ(3u, copy->items.size());
  const char* texts[] = {"Ground", "First", "Second"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NE(original->items[i].get(), copy->items[i].get());
    EXPECT_EQ(texts[i], copy->items[i]->text);
  }
  EXPECT_TRUE(copy->items[1]->pendingAdd);
  EXPECT_TRUE(copy->items[2]->pendingDelete);
  EXPECT_FALSE(copy->items[0]->pendingAdd || copy->items[0]->pendingDelete);

  copy.reset();
  ASSERT_EQ(3u, original->items.size());
  EXPECT_EQ("Second", original->items[2]->text);

  CFormField marker;
  marker.kind = CFormField::kPageBreak;
  marker.marker = true;
  CFormField markerCopy(marker);
  EXPECT_EQ(CFormField::kPageBreak, markerCopy.kind);
  EXPECT_TRUE(markerCopy.marker);
}

TEST(FormRecordsDefinition, GetAtAndIndexOf) {
  CFormDefinition definition;
  EXPECT_EQ(nullptr, definition.GetAt(0));
  EXPECT_EQ(nullptr, definition.GetAt(-1));
  EXPECT_EQ(-1, definition.IndexOf(nullptr));

  CFormField* a = definition.Append(Question("a"));
  CFormField* b = definition.Append(Question("b"));
  CFormField* c = definition.Append(Question("c"));
  EXPECT_EQ(3, definition.GetCount());
  EXPECT_EQ(a, definition.GetAt(0));
  EXPECT_EQ(c, definition.GetAt(2));
  EXPECT_EQ(nullptr, definition.GetAt(3));
  EXPECT_EQ(a, definition.GetAt(-5));
  EXPECT_EQ(1, definition.IndexOf(b));
  CFormField stranger;
  EXPECT_EQ(-1, definition.IndexOf(&stranger));
  EXPECT_EQ(-1, definition.IndexOf(nullptr));
}

TEST(FormRecordsDefinition, InsertAfterAndRemove) {
  CFormDefinition definition;
  CFormField* a = definition.Append(Question("a"));
  CFormField* c = definition.Append(Question("c"));
  CFormField* b = definition.InsertAfter(a, Question("b"));
  definition.InsertAfter(c, Question("d"));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d"}), Texts(definition));
  CFormField stranger;
  definition.InsertAfter(&stranger, Question("e"));
  definition.InsertAfter(nullptr, Question("f"));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d", "e", "f"}), Texts(definition));

  definition.Remove(&stranger);
  definition.Remove(nullptr);
  EXPECT_EQ(6, definition.GetCount());
  definition.Remove(b);
  EXPECT_EQ((std::vector<std::string>{"a", "c", "d", "e", "f"}), Texts(definition));
  EXPECT_EQ(c, definition.GetAt(1));
}

TEST(FormRecordsDefinition, MoveBefore) {
  CFormDefinition definition;
  CFormField* a = definition.Append(Question("a"));
  CFormField* b = definition.Append(Question("b"));
  b->AddItem("x");
  CFormField* c = definition.Append(Question("c"));

  // Second before first: swapped, and the moved entry is a new object with its items.
  CFormField* moved = definition.MoveBefore(a, b);
  ASSERT_NE(nullptr, moved);
  EXPECT_EQ(moved, definition.GetAt(0));
  EXPECT_EQ((std::vector<std::string>{"b", "a", "c"}), Texts(definition));
  ASSERT_EQ(1u, moved->items.size());
  EXPECT_EQ("x", moved->items[0]->text);
  EXPECT_EQ(-1, definition.IndexOf(b));

  // Last before first.
  CFormField* movedC = definition.MoveBefore(moved, c);
  EXPECT_EQ((std::vector<std::string>{"c", "b", "a"}), Texts(definition));

  // Onto itself and onto the line just below: the order stays.
  CFormField* again = definition.MoveBefore(movedC, movedC);
  EXPECT_EQ((std::vector<std::string>{"c", "b", "a"}), Texts(definition));
  definition.MoveBefore(definition.GetAt(1), again);
  EXPECT_EQ((std::vector<std::string>{"c", "b", "a"}), Texts(definition));

  // A target outside the list sends the copy to the front.
  CFormField stranger;
  definition.MoveBefore(&stranger, a);
  EXPECT_EQ((std::vector<std::string>{"a", "c", "b"}), Texts(definition));

  // A moving entry outside the list changes nothing.
  EXPECT_EQ(nullptr, definition.MoveBefore(definition.GetAt(0), &stranger));
  EXPECT_EQ((std::vector<std::string>{"a", "c", "b"}), Texts(definition));
  EXPECT_EQ(3, definition.GetCount());
}

TEST(FormRecordsException, MessagesComeFromTheStringTable) {
  CFieldException memory(CFieldException::kMemoryAllocation);
  EXPECT_EQ(32801u, memory.GetMessageId());
  EXPECT_EQ("Field memory allocation error!", memory.GetMessage());
  CFieldException parsing(CFieldException::kParsing);
  EXPECT_EQ(32803u, parsing.GetMessageId());
  EXPECT_EQ("Field parsing error!", parsing.GetMessage());
}

TEST(FormRecordsForm, DefaultsFlagsAndPath) {
  TestWorld world;
  auto form = std::make_unique<CCustomForm>();
  EXPECT_FALSE(form->GetSaveOnDestroy());
  EXPECT_TRUE(form->IsNewForm());
  EXPECT_EQ("", form->GetFilePath());
  EXPECT_EQ("", form->GetHeaderName());
  EXPECT_EQ("", form->GetVersion());
  EXPECT_EQ("", form->GetCreationDate());
  EXPECT_EQ("", form->GetLastModifiedDate());
  EXPECT_EQ(0, form->Definition().GetCount());
  EXPECT_EQ("", form->Definition().formName);

  form->SetSaveFlags(true, false);
  EXPECT_TRUE(form->GetSaveOnDestroy());
  EXPECT_FALSE(form->IsNewForm());
  form->SetSaveFlags(false, true);
  form->SetFilePath("\\\\CORE1\\qvlogon\\FRM1A.FRM");
  EXPECT_EQ("\\\\CORE1\\qvlogon\\FRM1A.FRM", form->GetFilePath());
}

TEST(FormRecordsForm, DestroySavesOnlyWhenAsked) {
  TestWorld world;
  const std::vector<std::string> before = FormFiles();
  const std::string survey = world.Bytes("\\\\CORE1\\qvlogon\\FRM1A.FRM");
  {
    CCustomForm form;
    form.Definition().formName = "Not kept";
    form.Definition().Append(Question("q"));
  }
  {
    CCustomForm form;  // bound to an existing file, not asked to save
    form.SetFilePath("\\\\CORE1\\qvlogon\\FRM1A.FRM");
    form.Definition().formName = "Changed";
    form.SetSaveFlags(false, false);
  }
  EXPECT_EQ(before, FormFiles());
  EXPECT_EQ(survey, world.Bytes("\\\\CORE1\\qvlogon\\FRM1A.FRM"));

  {
    CCustomForm form;
    form.Definition().formName = "Kept";
    form.SetSaveFlags(true, true);
  }
  std::vector<std::string> after = FormFiles();
  EXPECT_EQ(before.size() + 1, after.size());
}

TEST(FormRecordsStrings, TableLookupAndFormatting) {
  EXPECT_EQ("QVccfg Control", LoadResString(1));
  EXPECT_EQ("General", LoadResString(200));
  EXPECT_EQ("Modify a Form\nModify", LoadResString(32768));
  EXPECT_EQ(
      "The Form Designer tool cannot run because its database registration failed.  You may "
      "need to run TBLFIX to update tables.",
      LoadResString(32785));
  EXPECT_EQ("Refresh item information\nRefresh", LoadResString(32787));
  EXPECT_EQ("Unable to allocate memory for the form!", LoadResString(32798));
  EXPECT_EQ("-----Page Break-----", LoadResString(32817));
  EXPECT_EQ("Custom Data Forms", LoadResString(32810));
  EXPECT_EQ("At least one item must be entered for the Combo box - (fixed list) field type.",
            LoadResString(32825));
  EXPECT_EQ("", LoadResString(0));
  EXPECT_EQ("", LoadResString(32769));
  EXPECT_EQ("", LoadResString(32826));

  EXPECT_EQ("Delete 'Office survey'?", AfxFormatString1(32800, "Office survey"));
  EXPECT_EQ("Could not launch the form viewer for the following reason:   The file was not found.",
            AfxFormatString1(32795, LoadResString(32797)));
  // Replacements are not scanned again.
  EXPECT_EQ("Delete '%2'?", AfxFormatString2(32800, "%2", "x"));
  std::string text = AfxFormatString2(32822, "a%2b", "CORE1");
  EXPECT_NE(std::string::npos, text.find("the form \"a%2b\".\nIf this"));
  EXPECT_NE(std::string::npos, text.find("core server \"CORE1\"."));
}

}  // namespace
