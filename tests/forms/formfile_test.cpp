#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "forms/CustomForm.h"
#include "platform/ui/MessageBox.h"
#include "tests/TestWorld.h"

namespace {

const char kTestForm[] = "\\\\CORE1\\qvlogon\\FRMTEST.FRM";
const std::string kParsingBox = "Form Designer|Field parsing error!|" + std::to_string(MB_OK);

// Records every message box while it lives, as "caption|text|type".
class BoxRecorder : public qv::MessageBoxHandler {
 public:
  BoxRecorder() { qv::SetMessageBoxHandler(this); }
  ~BoxRecorder() override { qv::SetMessageBoxHandler(nullptr); }
  int Show(std::string_view caption, std::string_view text, UINT type) override {
    boxes.push_back(std::string(caption) + "|" + std::string(text) + "|" + std::to_string(type));
    return IDOK;
  }
  std::vector<std::string> boxes;
};

// The value of a "key=" line of the file's bytes ("" when absent).
std::string ValueOf(const std::string& bytes, const std::string& key) {
  std::smatch match;
  std::regex line("(^|\n)" + key + "=([^\r\n]*)");
  return std::regex_search(bytes, match, line) ? match[2].str() : "";
}

void BuildOfficeSurvey(CCustomForm& form) {
  CFormDefinition& definition = form.Definition();
  definition.formName = "Office survey";
  definition.formDescription = "Where and how you work";
  definition.Append(
      Question(CFormField::kEditBox, "Room", "Room number", true, "As printed on the door"));
  definition.Append(Question(CFormField::kFixedList, "Floor", "Which floor?", false, "",
                             {"Ground", "First", "Second"}));
  definition.Append(Marker(CFormField::kPageBreak, "not written for a marker"));
  definition.Append(Question(CFormField::kEditList, "Color", "Color, if any", false,
                             "Pick or type one", {"Red", "Blue, dark", "Green"}));
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
  EXPECT_FALSE(world.Exists(path.substr(0, path.size() - 4) + ".TMP"));

  std::string bytes = world.Bytes(path);
  std::string created = ValueOf(bytes, "CreationDate");
  EXPECT_EQ(created, ValueOf(bytes, "LastModifiedDate"));
  EXPECT_LE(before, std::stoul(created));
  EXPECT_GE(after, std::stoul(created));
  EXPECT_EQ(created, form.GetCreationDate());
  EXPECT_EQ(created, form.GetLastModifiedDate());
  EXPECT_EQ(Golden("office_survey.frm"), WithDates(bytes, "904651200", "904737600"));
  // Saving changes neither the flags nor the entries (quoting works on copies).
  EXPECT_TRUE(form.IsNewForm());
  EXPECT_FALSE(form.GetSaveOnDestroy());
  EXPECT_EQ("COMBOBOX NR Color|Color, if any|[Red][Blue, dark][Green]|Pick or type one",
            Describe(*form.Definition().GetAt(3)));

  // Each save of a new form makes another file; the first file and the default world's forms
  // stay as they were.
  form.Definition().formDescription = "second save";
  ASSERT_EQ(1, form.Save());
  EXPECT_NE(path, form.GetFilePath());
  EXPECT_EQ(bytes, world.Bytes(path));
  EXPECT_EQ("second save", ValueOf(world.Bytes(form.GetFilePath()), "FormDescription"));
  EXPECT_EQ("Office survey", ValueOf(world.Bytes("\\\\CORE1\\qvlogon\\FRM1A.FRM"), "FormName"));
}

TEST(FormFileSave, MixedEntriesMatchGoldenFile) {
  TestWorld world;
  CCustomForm form;
  form.SetHeaderName("Own header");
  form.SetVersion("2.5");
  CFormDefinition& definition = form.Definition();
  definition.formName = "Mixed";
  definition.Append(Question(CFormField::kNoControl, "Inv, id", "Size {cm}", false,
                             "braces without a comma stay as they are"));
  definition.Append(Marker(CFormField::kSeparator));
  definition.Append(
      Question(CFormField::kFixedList, "Pick", "Pick one", true, "", {"", "a,b", "{c}"}));
  ASSERT_EQ(1, form.Save());
  EXPECT_EQ(Golden("mixed_entries.frm"), WithDates(world.Bytes(form.GetFilePath()), "1", "2"));
}

TEST(FormFile, GoldenFileLoadsAndIsRewrittenWhole) {
  TestWorld world;
  BoxRecorder boxes;
  std::string golden = Golden("office_survey.frm");
  // Extra lines that the form does not hold: they must not survive a save.
  world.Put(kTestForm, golden + "Field5=\r\n[Other]\r\nKey=value\r\n");
  CCustomForm form;
  form.SetFilePath(kTestForm);
  form.Load();
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ("904651200", form.GetCreationDate());
  EXPECT_EQ("904737600", form.GetLastModifiedDate());
  const CFormDefinition& definition = form.Definition();
  EXPECT_EQ("Office survey", definition.formName);
  EXPECT_EQ("Where and how you work", definition.formDescription);
  ASSERT_EQ(4, definition.GetCount());
  EXPECT_EQ("EDIT R Room|Room number||As printed on the door", Describe(*definition.GetAt(0)));
  EXPECT_EQ("LISTBOX NR Floor|Which floor?|[Ground][First][Second]|",
            Describe(*definition.GetAt(1)));
  EXPECT_EQ("PAGEBREAK |||", Describe(*definition.GetAt(2)));
  EXPECT_EQ("COMBOBOX NR Color|Color, if any|[Red][Blue, dark][Green]|Pick or type one",
            Describe(*definition.GetAt(3)));

  form.SetSaveFlags(false, false);
  ASSERT_EQ(1, form.Save());
  EXPECT_EQ(kTestForm, form.GetFilePath());
  std::string first = world.Bytes(kTestForm);
  EXPECT_EQ(golden, ReplaceValue(first, "LastModifiedDate", "904737600"));
  ASSERT_EQ(1, form.Save());
  EXPECT_EQ(ReplaceValue(first, "LastModifiedDate", "x"),
            ReplaceValue(world.Bytes(kTestForm), "LastModifiedDate", "x"));
  // Fewer entries leave no old keys.
  form.Definition().Remove(form.Definition().GetAt(3));
  ASSERT_EQ(1, form.Save());
  std::string fewer = world.Bytes(kTestForm);
  EXPECT_NE(std::string::npos, fewer.find("\r\nField3=PAGEBREAK\r\nFieldNote3=\r\n"));
  EXPECT_FALSE(std::regex_search(fewer, std::regex("Field(Note)?4="))) << fewer;
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
  const std::string saveError =
      "An error occured while trying to save the form \"Office survey\".\nIf this is an "
      "additional console, Administrative rights are required on the core server \"CORE1\".";
  EXPECT_EQ(std::vector<std::string>{"Custom Data Forms|" + saveError + "|" +
                                     std::to_string(MB_OK | MB_ICONSTOP)},
            boxes.boxes);
  EXPECT_EQ("", form.GetFilePath() + form.GetHeaderName() + form.GetCreationDate());
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
  // Field3 would raise a parsing message if it were ever read.
  const std::tuple<const char*, int> cases[] = {
      {"Field1=EDIT, A, a, R, \r\nField3=EDIT\r\n", 1},
      {"Field1=EDIT, A, a, R, \r\nField2=\r\nField3=EDIT\r\n", 1},
      {"Field2=EDIT, B, b, R, \r\n", 0},
  };
  for (const auto& [fields, count] : cases) {
    world.Put(kTestForm,
              std::string("[Header]\r\nVersion=3\r\n[Form]\r\nFormName=Short\r\n") + fields);
    CCustomForm form;
    form.SetHeaderName("kept");  // values missing in the file keep what they held
    form.SetFilePath(kTestForm);
    form.Load();
    EXPECT_EQ(count, form.Definition().GetCount()) << fields;
    EXPECT_EQ("kept", form.GetHeaderName());
    EXPECT_EQ("3", form.GetVersion());
    EXPECT_EQ("Short", form.Definition().formName);
    form.SetSaveFlags(false, false);  // the file has no creation date: it is written empty
    ASSERT_EQ(1, form.Save());
    EXPECT_NE(std::string::npos, world.Bytes(kTestForm).find("\r\nCreationDate=\r\n"));
  }
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
  EXPECT_EQ(std::vector<std::string>{kParsingBox}, boxes.boxes);
  ASSERT_EQ(3, form.Definition().GetCount());
  EXPECT_EQ("EDIT NR Room|||n1", Describe(*form.Definition().GetAt(0)));
  EXPECT_EQ("PAGEBREAK |||", Describe(*form.Definition().GetAt(1)));
  EXPECT_EQ("COMBOBOX R C|c|[x][y]|", Describe(*form.Definition().GetAt(2)));
}

TEST(FormFileParse, FieldLines) {
  BoxRecorder boxes;
  CProfileFile text;
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"EDIT,Room,Room number,R", "EDIT R Room|Room number||", false},
      {"edit, Room, Room number, r, ", "NONE NR Room|Room number||", false},
      {", Inv, Text, R, ", "NONE R Inv|Text||", false},
      {"LISTBOX, Size, Size {cm}, NR, {}", "LISTBOX NR Size|cm||", false},
      {"COMBOBOX, X, Y, NR, {a, }", "COMBOBOX NR X|Y|[a][]|", false},
      {"EDIT, X, Y, NR, Single", "EDIT NR X|Y|[Single]|", false},
      {" PAGEBREAK , junk", "PAGEBREAK |||", false},
      {"EDIT, Room, Room number", "EDIT NR Room|Room number||", true},
      {"LISTBOX", "LISTBOX NR |||", true},
      {"", "NONE NR |||", true},
  };
  for (const auto& [line, expected, parseError] : cases) {
    boxes.boxes.clear();
    CFormField entry;
    EXPECT_EQ(&entry, entry.ParseLine(&text, line)) << line;
    EXPECT_EQ(expected, Describe(entry)) << line;
    EXPECT_EQ(parseError ? std::vector<std::string>{kParsingBox} : std::vector<std::string>{},
              boxes.boxes)
        << line;
  }
  CFormField untouched;
  EXPECT_EQ(nullptr, untouched.ParseLine(nullptr, "EDIT, A, B, R, "));
  EXPECT_EQ("NONE NR |||", Describe(untouched));
}

}  // namespace

TEST(FormFileSave, LineBreaksInTextsBecomeBlanksAndNoEntryIsLost) {
  TestWorld world;
  CCustomForm form;
  BuildOfficeSurvey(form);
  form.Definition().formDescription = "Where\r\nand how\nyou work\r";
  form.Definition().GetAt(0)->questionText = "Room\nnumber";
  form.Definition().GetAt(0)->description = "As printed\r\non the door";
  form.SetSaveFlags(false, true);
  ASSERT_EQ(1, form.Save());
  const std::string bytes = world.Bytes(form.GetFilePath());
  EXPECT_EQ("Where and how you work ", ValueOf(bytes, "FormDescription"));
  EXPECT_EQ("EDIT, Room, Room number, R, ", ValueOf(bytes, "Field1"));
  EXPECT_EQ("As printed on the door", ValueOf(bytes, "FieldNote1"));
  CCustomForm again;
  again.SetFilePath(form.GetFilePath());
  again.Load();
  EXPECT_EQ("Where and how you work", again.Definition().formDescription);
  EXPECT_EQ(4u, again.Definition().Entries().size());
}

TEST(FormFileSave, AFormFileThatCannotBeReadIsNotReplaced) {
  TestWorld world;
  BoxRecorder boxes;
  const std::string host = world.Host(kTestForm);
  ASSERT_EQ(0, mkfifo(host.c_str(), 0644));  // there, but not a file we can read
  CCustomForm form;
  BuildOfficeSurvey(form);
  form.SetFilePath(kTestForm);
  form.SetSaveFlags(false, false);
  EXPECT_EQ(0, form.Save());
  ASSERT_EQ(1u, boxes.boxes.size());
  EXPECT_EQ(0u, boxes.boxes[0].find("Custom Data Forms|An error occured"));
  struct stat st {};
  ASSERT_EQ(0, lstat(host.c_str(), &st));
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
