#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "forms/CustomForm.h"
#include "forms/FieldException.h"
#include "platform/ui/MessageBox.h"
#include "tests/TestWorld.h"

namespace {

const char kTestForm[] = "\\\\CORE1\\qvlogon\\FRMTEST.FRM";

struct Box {
  std::string caption;
  std::string text;
  UINT type;
};

// Records every message box while it lives.
class BoxRecorder : public qv::MessageBoxHandler {
 public:
  BoxRecorder() { qv::SetMessageBoxHandler(this); }
  ~BoxRecorder() override { qv::SetMessageBoxHandler(nullptr); }
  int Show(std::string_view caption, std::string_view text, UINT type) override {
    boxes.push_back({std::string(caption), std::string(text), type});
    return IDOK;
  }
  std::vector<Box> boxes;
};

std::string Golden(const std::string& name) {
  std::ifstream in(std::string(QV_TEST_DATA) + "/forms/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The value of a "key=" line of the file's bytes ("" when absent).
std::string ValueOf(const std::string& bytes, const std::string& key) {
  std::smatch match;
  std::regex line("(^|\n)" + key + "=([^\r\n]*)");
  return std::regex_search(bytes, match, line) ? match[2].str() : "";
}

std::string ReplaceValue(const std::string& bytes, const std::string& key,
                         const std::string& value) {
  return std::regex_replace(bytes, std::regex("(^|\n)" + key + "=[^\r\n]*"),
                            "$1" + key + "=" + value);
}

void BuildOfficeSurvey(CCustomForm& form) {
  CFormDefinition& definition = form.Definition();
  definition.formName = "Office survey";
  definition.formDescription = "Where and how you work";

  auto room = std::make_unique<CFormField>();
  room->controlType = CFormField::kEditBox;
  room->inventoryName = "Room";
  room->questionText = "Room number";
  room->required = true;
  room->description = "As printed on the door";
  definition.Append(std::move(room));

  auto floor = std::make_unique<CFormField>();
  floor->controlType = CFormField::kFixedList;
  floor->inventoryName = "Floor";
  floor->questionText = "Which floor?";
  for (const char* item : {"Ground", "First", "Second"})
    floor->AddItem(item);
  definition.Append(std::move(floor));

  auto pageBreak = std::make_unique<CFormField>();
  pageBreak->kind = CFormField::kPageBreak;
  pageBreak->marker = true;
  pageBreak->description = "not written for a marker";
  definition.Append(std::move(pageBreak));

  auto color = std::make_unique<CFormField>();
  color->controlType = CFormField::kEditList;
  color->inventoryName = "Color";
  color->questionText = "Color, if any";
  color->description = "Pick or type one";
  for (const char* item : {"Red", "Blue, dark", "Green"})
    color->AddItem(item);
  definition.Append(std::move(color));
}

std::vector<std::string> Items(const CFormField& entry) {
  std::vector<std::string> texts;
  for (const auto& item : entry.items)
    texts.push_back(item->text);
  return texts;
}

TEST(FormFileSave, NewOfficeSurveyMatchesGoldenFile) {
  TestWorld world;
  BoxRecorder boxes;
  CCustomForm form;
  BuildOfficeSurvey(form);
  form.SetSaveFlags(false, true);
  unsigned long before = static_cast<unsigned long>(std::time(nullptr));
  ASSERT_EQ(1, form.Save());
  unsigned long after = static_cast<unsigned long>(std::time(nullptr));
  EXPECT_TRUE(boxes.boxes.empty());

  const std::string path = form.GetFilePath();
  EXPECT_TRUE(std::regex_match(path, std::regex(R"(\\\\CORE1\\QVLOGON\\FRM[0-9A-F]{1,4}\.FRM)")))
      << path;
  std::string tempPath = path.substr(0, path.size() - 4) + ".TMP";
  EXPECT_FALSE(world.Exists(tempPath));

  std::string bytes = world.Bytes(path);
  std::string created = ValueOf(bytes, "CreationDate");
  EXPECT_EQ(created, ValueOf(bytes, "LastModifiedDate"));
  unsigned long stamp = std::stoul(created);
  EXPECT_LE(before, stamp);
  EXPECT_GE(after, stamp);
  EXPECT_EQ(created, form.GetCreationDate());
  EXPECT_EQ(created, form.GetLastModifiedDate());
  EXPECT_EQ("Quovant(R) Custom Data INI file", form.GetHeaderName());
  EXPECT_EQ("1.0", form.GetVersion());

  bytes = ReplaceValue(bytes, "CreationDate", "904651200");
  bytes = ReplaceValue(bytes, "LastModifiedDate", "904737600");
  EXPECT_EQ(Golden("office_survey.frm"), bytes);
  // Saving does not change the flags.
  EXPECT_TRUE(form.IsNewForm());
  EXPECT_FALSE(form.GetSaveOnDestroy());
}

TEST(FormFileSave, MixedEntriesMatchGoldenFile) {
  TestWorld world;
  CCustomForm form;
  form.SetHeaderName("Own header");
  form.SetVersion("2.5");
  CFormDefinition& definition = form.Definition();
  definition.formName = "Mixed";
  definition.formDescription = "";
  auto plain = std::make_unique<CFormField>();  // control type 3
  plain->inventoryName = "Inv, id";
  plain->questionText = "Size {cm}";
  plain->description = "braces without a comma stay as they are";
  definition.Append(std::move(plain));
  auto separator = std::make_unique<CFormField>();
  separator->kind = CFormField::kSeparator;
  separator->marker = true;
  definition.Append(std::move(separator));
  auto list = std::make_unique<CFormField>();
  list->controlType = CFormField::kFixedList;
  list->inventoryName = "Pick";
  list->questionText = "Pick one";
  list->required = true;
  for (const char* item : {"", "a,b", "{c}"})
    list->AddItem(item);
  definition.Append(std::move(list));

  ASSERT_EQ(1, form.Save());
  std::string bytes = world.Bytes(form.GetFilePath());
  bytes = ReplaceValue(bytes, "CreationDate", "1");
  bytes = ReplaceValue(bytes, "LastModifiedDate", "2");
  EXPECT_EQ(Golden("mixed_entries.frm"), bytes);
}

TEST(FormFileLoad, OfficeSurveyGoldenFile) {
  TestWorld world;
  BoxRecorder boxes;
  world.Put(kTestForm, Golden("office_survey.frm"));
  CCustomForm form;
  form.SetFilePath(kTestForm);
  form.Load();
  EXPECT_TRUE(boxes.boxes.empty());

  EXPECT_EQ("Quovant(R) Custom Data INI file", form.GetHeaderName());
  EXPECT_EQ("1.0", form.GetVersion());
  EXPECT_EQ("904651200", form.GetCreationDate());
  EXPECT_EQ("904737600", form.GetLastModifiedDate());
  const CFormDefinition& definition = form.Definition();
  EXPECT_EQ("Office survey", definition.formName);
  EXPECT_EQ("Where and how you work", definition.formDescription);
  ASSERT_EQ(4, definition.GetCount());

  const CFormField& room = *definition.GetAt(0);
  EXPECT_EQ(CFormField::kQuestion, room.kind);
  EXPECT_FALSE(room.marker);
  EXPECT_EQ(CFormField::kEditBox, room.controlType);
  EXPECT_EQ("Room", room.inventoryName);
  EXPECT_EQ("Room number", room.questionText);
  EXPECT_TRUE(room.required);
  EXPECT_TRUE(room.items.empty());
  EXPECT_EQ("As printed on the door", room.description);

  const CFormField& floor = *definition.GetAt(1);
  EXPECT_EQ(CFormField::kFixedList, floor.controlType);
  EXPECT_FALSE(floor.required);
  EXPECT_EQ((std::vector<std::string>{"Ground", "First", "Second"}), Items(floor));
  EXPECT_EQ("", floor.description);

  const CFormField& pageBreak = *definition.GetAt(2);
  EXPECT_EQ(CFormField::kPageBreak, pageBreak.kind);
  EXPECT_TRUE(pageBreak.marker);

  const CFormField& color = *definition.GetAt(3);
  EXPECT_EQ(CFormField::kEditList, color.controlType);
  EXPECT_EQ("Color", color.inventoryName);
  EXPECT_EQ("Color, if any", color.questionText);
  EXPECT_EQ((std::vector<std::string>{"Red", "Blue, dark", "Green"}), Items(color));
  EXPECT_EQ("Pick or type one", color.description);
}

TEST(FormFileSave, ExistingFormIsRewrittenWhole) {
  TestWorld world;
  std::string golden = Golden("office_survey.frm");
  // Extra lines that the form does not hold: they must not survive a save.
  world.Put(kTestForm, golden + "Field5=\r\n[Other]\r\nKey=value\r\n");
  CCustomForm form;
  form.SetFilePath(kTestForm);
  form.Load();
  form.SetSaveFlags(false, false);
  ASSERT_EQ(1, form.Save());
  EXPECT_EQ(kTestForm, form.GetFilePath());
  std::string first = world.Bytes(kTestForm);
  EXPECT_EQ("904651200", ValueOf(first, "CreationDate"));
  EXPECT_EQ(golden, ReplaceValue(first, "LastModifiedDate", "904737600"));

  ASSERT_EQ(1, form.Save());
  std::string second = world.Bytes(kTestForm);
  EXPECT_EQ(ReplaceValue(first, "LastModifiedDate", "x"),
            ReplaceValue(second, "LastModifiedDate", "x"));
}

TEST(FormFileSave, FewerEntriesLeaveNoOldKeys) {
  TestWorld world;
  std::ostringstream file;
  file << "[Header]\r\nName=Quovant(R) Custom Data INI file\r\nVersion=1.0\r\n"
       << "LastModifiedDate=5\r\n[Form]\r\nFormName=Nine\r\nFormDescription=\r\n";
  for (int n = 1; n <= 9; ++n) {
    file << "Field" << n << "=EDIT, Id" << n << ", Question " << n << ", NR, \r\n"
         << "FieldNote" << n << "=Note " << n << "\r\n";
  }
  world.Put(kTestForm, file.str());
  CCustomForm form;
  form.SetFilePath(kTestForm);
  form.Load();
  ASSERT_EQ(9, form.Definition().GetCount());
  while (form.Definition().GetCount() > 4) {
    form.Definition().Remove(form.Definition().GetAt(4));
  }
  form.SetSaveFlags(false, false);
  ASSERT_EQ(1, form.Save());
  std::string bytes = world.Bytes(kTestForm);
  EXPECT_NE(std::string::npos,
            bytes.find("Field4=EDIT, Id4, Question 4, NR, \r\nFieldNote4=Note 4"));
  for (int n = 5; n <= 9; ++n) {
    EXPECT_EQ(std::string::npos, bytes.find("Field" + std::to_string(n) + "=")) << n;
    EXPECT_EQ(std::string::npos, bytes.find("FieldNote" + std::to_string(n) + "=")) << n;
  }
  // The file had no creation date: an existing form writes it empty.
  EXPECT_NE(std::string::npos, bytes.find("\r\nCreationDate=\r\n"));
}

TEST(FormFileSave, EachNewSaveMakesAnotherFile) {
  TestWorld world;
  CCustomForm form;
  form.Definition().formName = "Twice";
  form.SetSaveFlags(false, true);
  ASSERT_EQ(1, form.Save());
  std::string first = form.GetFilePath();
  std::string firstBytes = world.Bytes(first);
  form.Definition().formDescription = "second save";
  ASSERT_EQ(1, form.Save());
  std::string second = form.GetFilePath();
  EXPECT_NE(first, second);
  EXPECT_EQ(firstBytes, world.Bytes(first));
  EXPECT_EQ("second save", ValueOf(world.Bytes(second), "FormDescription"));
  // The forms of the default world are untouched.
  EXPECT_EQ("Office survey", ValueOf(world.Bytes("\\\\CORE1\\qvlogon\\FRM1A.FRM"), "FormName"));
}

TEST(FormFileSave, ShareThatTakesNoFileShowsTheSaveError) {
  TestWorld world;
  BoxRecorder boxes;
  std::filesystem::path share =
      std::filesystem::path(world.Host("\\\\CORE1\\qvlogon\\FRM1A.FRM")).parent_path();
  std::filesystem::remove_all(share);

  CCustomForm form;
  BuildOfficeSurvey(form);
  form.SetSaveFlags(false, true);
  EXPECT_EQ(0, form.Save());
  ASSERT_EQ(1u, boxes.boxes.size());
  EXPECT_EQ("Custom Data Forms", boxes.boxes[0].caption);
  EXPECT_EQ(
      "An error occured while trying to save the form \"Office survey\".\nIf this is an "
      "additional console, Administrative rights are required on the core server \"CORE1\".",
      boxes.boxes[0].text);
  EXPECT_EQ(MB_ICONSTOP, boxes.boxes[0].type & MB_ICONMASK);
  EXPECT_EQ("", form.GetFilePath());
  EXPECT_EQ("", form.GetHeaderName());
  EXPECT_EQ("", form.GetCreationDate());
  EXPECT_TRUE(form.IsNewForm());
  EXPECT_FALSE(std::filesystem::exists(share));

  // Once the share is back the same form saves.
  std::filesystem::create_directories(share);
  ASSERT_EQ(1, form.Save());
  EXPECT_EQ(1u, boxes.boxes.size());
  EXPECT_EQ("Office survey", ValueOf(world.Bytes(form.GetFilePath()), "FormName"));
}

TEST(FormFileLoad, EntryListEndsAtFirstMissingOrEmptyField) {
  TestWorld world;
  BoxRecorder boxes;
  const char* header = "[Header]\r\nVersion=3\r\n[Form]\r\nFormName=Short\r\n";
  // Field3 would raise a parsing message if it were ever read.
  world.Put(kTestForm, std::string(header) + "Field1=EDIT, A, a, R, \r\nField3=EDIT\r\n");
  CCustomForm gap;
  gap.SetHeaderName("kept");
  gap.SetFilePath(kTestForm);
  gap.Load();
  EXPECT_EQ(1, gap.Definition().GetCount());
  EXPECT_EQ("kept", gap.GetHeaderName());
  EXPECT_EQ("3", gap.GetVersion());
  EXPECT_EQ("", gap.GetCreationDate());
  EXPECT_EQ("", gap.Definition().GetAt(0)->description);

  world.Put(kTestForm, std::string(header) +
                           "Field1=EDIT, A, a, R, \r\nField2=\r\nField3=EDIT, C, c, R, \r\n");
  CCustomForm empty;
  empty.SetFilePath(kTestForm);
  empty.Load();
  EXPECT_EQ(1, empty.Definition().GetCount());

  world.Put(kTestForm, std::string(header) + "Field2=EDIT, B, b, R, \r\n");
  CCustomForm none;
  none.SetFilePath(kTestForm);
  none.Load();
  EXPECT_EQ(0, none.Definition().GetCount());
  EXPECT_EQ("Short", none.Definition().formName);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST(FormFileLoad, MalformedLineIsReportedAndLoadingGoesOn) {
  TestWorld world;
  BoxRecorder boxes;
  world.Put(kTestForm,
            "[Form]\r\nField1=EDIT, Room\r\nFieldNote1=n1\r\nField2=PAGEBREAK\r\n"
            "Field3=COMBOBOX, C, c, R, {x, y}\r\n");
  CCustomForm form;
  form.SetFilePath(kTestForm);
  form.Load();
  ASSERT_EQ(1u, boxes.boxes.size());
  EXPECT_EQ("Field parsing error!", boxes.boxes[0].text);
  EXPECT_EQ("Form Designer", boxes.boxes[0].caption);
  ASSERT_EQ(3, form.Definition().GetCount());
  const CFormField& broken = *form.Definition().GetAt(0);
  EXPECT_EQ(CFormField::kEditBox, broken.controlType);
  EXPECT_EQ("Room", broken.inventoryName);
  EXPECT_EQ("", broken.questionText);
  EXPECT_EQ("n1", broken.description);
  EXPECT_TRUE(form.Definition().GetAt(1)->marker);
  EXPECT_EQ((std::vector<std::string>{"x", "y"}), Items(*form.Definition().GetAt(2)));
}

TEST(FormFileParse, FieldLines) {
  BoxRecorder boxes;
  CProfileFile text;
  const struct {
    const char* line;
    int kind;
    int controlType;
    const char* inventory;
    const char* question;
    bool required;
    std::vector<std::string> items;
    bool parseError;
  } cases[] = {
      {"EDIT, Room, Room number, R, ", 2, 0, "Room", "Room number", true, {}, false},
      {"EDIT, Room, Room number, R,", 2, 0, "Room", "Room number", true, {}, false},
      {"EDIT,Room,Room number,R,", 2, 0, "Room", "Room number", true, {}, false},
      {"EDIT, Room, Room number, R", 2, 0, "Room", "Room number", true, {}, false},
      {"LISTBOX,Floor,Which floor?,NR,{Ground,First}",
       2,
       1,
       "Floor",
       "Which floor?",
       false,
       {"Ground", "First"},
       false},
      {"COMBOBOX, C, {C, if any}, NR, {Red, {Blue, dark}, Green}",
       2,
       2,
       "C",
       "C, if any",
       false,
       {"Red", "Blue, dark", "Green"},
       false},
      {"edit, Room, Room number, r, ", 2, 3, "Room", "Room number", false, {}, false},
      {", Inv, Text, R, ", 2, 3, "Inv", "Text", true, {}, false},
      {"EDIT,   padded  ,  text  , R, ", 2, 0, "padded", "text", true, {}, false},
      {"LISTBOX, Size, Size {cm}, NR, {}", 2, 1, "Size", "cm", false, {}, false},
      {"COMBOBOX, X, Y, NR, {,}", 2, 2, "X", "Y", false, {"", ""}, false},
      {"COMBOBOX, X, Y, NR, {a,}", 2, 2, "X", "Y", false, {"a", ""}, false},
      {"COMBOBOX, X, Y, NR, {a, }", 2, 2, "X", "Y", false, {"a", ""}, false},
      {"EDIT, X, Y, NR, Single", 2, 0, "X", "Y", false, {"Single"}, false},
      {"SEPARATOR", 0, 3, "", "", false, {}, false},
      {"PAGEBREAK", 1, 3, "", "", false, {}, false},
      {" PAGEBREAK , junk", 1, 3, "", "", false, {}, false},
      {"EDIT, Room", 2, 0, "Room", "", false, {}, true},
      {"EDIT, Room, Room number", 2, 0, "Room", "Room number", false, {}, true},
      {"LISTBOX", 2, 1, "", "", false, {}, true},
      {"", 2, 3, "", "", false, {}, true},
  };
  for (const auto& c : cases) {
    boxes.boxes.clear();
    CFormField entry;
    EXPECT_EQ(&entry, entry.ParseLine(&text, c.line)) << c.line;
    EXPECT_EQ(c.kind, entry.kind) << c.line;
    EXPECT_EQ(c.kind != CFormField::kQuestion, entry.marker) << c.line;
    EXPECT_EQ(c.inventory, entry.inventoryName) << c.line;
    EXPECT_EQ(c.question, entry.questionText) << c.line;
    if (c.kind == CFormField::kQuestion) {
      EXPECT_EQ(c.controlType, entry.controlType) << c.line;
      EXPECT_EQ(c.required, entry.required) << c.line;
    }
    EXPECT_EQ(c.items, Items(entry)) << c.line;
    if (c.parseError) {
      ASSERT_EQ(1u, boxes.boxes.size()) << c.line;
      EXPECT_EQ("Field parsing error!", boxes.boxes[0].text);
      EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.boxes[0].type);
    } else {
      EXPECT_TRUE(boxes.boxes.empty()) << c.line;
    }
  }

  CFormField untouched;
  EXPECT_EQ(nullptr, untouched.ParseLine(nullptr, "EDIT, A, B, R, "));
  EXPECT_EQ(CFormField::kNoControl, untouched.controlType);
  EXPECT_EQ("", untouched.inventoryName);
}

TEST(FormFileCompose, FieldLinesAndNotes) {
  CFormField question;
  question.controlType = CFormField::kNoControl;
  question.inventoryName = "Inv";
  question.questionText = "Size {cm}";
  question.description = "help";
  std::string line = "stale";
  std::string note = "stale";
  question.ComposeLine(line, note);
  EXPECT_EQ(", Inv, Size {cm}, NR, ", line);
  EXPECT_EQ("help", note);

  question.controlType = CFormField::kEditList;
  question.required = true;
  question.questionText = "a, b";
  question.AddItem("one");
  question.AddItem("two, three");
  question.ComposeLine(line, note);
  EXPECT_EQ("COMBOBOX, Inv, {a, b}, R, {one, {two, three}}", line);
  EXPECT_EQ("a, b", question.questionText);  // quoting works on copies
  EXPECT_EQ("two, three", question.items[1]->text);

  // What is composed parses back to the same entry.
  CProfileFile text;
  CFormField back;
  back.ParseLine(&text, line);
  EXPECT_EQ(CFormField::kEditList, back.controlType);
  EXPECT_EQ("a, b", back.questionText);
  EXPECT_TRUE(back.required);
  EXPECT_EQ((std::vector<std::string>{"one", "two, three"}), Items(back));

  CFormField separator;
  separator.kind = CFormField::kSeparator;
  separator.marker = true;
  separator.description = "ignored";
  separator.questionText = "ignored";
  separator.ComposeLine(line, note);
  EXPECT_EQ("SEPARATOR", line);
  EXPECT_EQ("", note);
  separator.kind = CFormField::kPageBreak;
  separator.ComposeLine(line, note);
  EXPECT_EQ("PAGEBREAK", line);
}

}  // namespace
