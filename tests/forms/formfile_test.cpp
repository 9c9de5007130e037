#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "forms/CustomForm.h"
#include "platform/ui/MessageBox.h"
#include "tests/TestWorld.h"

namespace {

using Texts = std::vector<std::string>;

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
  Texts boxes;
};

// The value of a "key=" line of the file's bytes ("" when absent).
std::string ValueOf(const std::string& bytes, const std::string& key) {
  std::smatch match;
  std::regex line("(^|\n)" + key + "=([^\r\n]*)");
  return std::regex_search(bytes, match, line) ? match[2].str() : "";
}

// The form's entries, described one each.
Texts Entries(const CCustomForm& form) {
  Texts entries;
  for (const auto& entry : form.Definition().Entries())
    entries.push_back(Describe(*entry));
  return entries;
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

const Texts kSurveyEntries = {
    "EDIT R Room|Room number||As printed on the door",
    "LISTBOX NR Floor|Which floor?|[Ground][First][Second]|", "PAGEBREAK |||",
    "COMBOBOX NR Color|Color, if any|[Red][Blue, dark][Green]|Pick or type one"};

TEST(FormFileSave, NewOfficeSurveyMatchesGoldenFile) {
  TestWorld world;
  BoxRecorder boxes;
  CCustomForm form;
  BuildOfficeSurvey(form);
  form.SetSaveFlags(false, true);
  const std::string before = std::to_string(std::time(nullptr));
  ASSERT_EQ(1, form.Save());
  const std::string after = std::to_string(std::time(nullptr)), path = form.GetFilePath();
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(std::regex_match(path, std::regex(R"(\\\\CORE1\\QVLOGON\\FRM[0-9A-F]{1,4}\.FRM)")))
      << path;
  std::string bytes = world.Bytes(path), created = form.GetCreationDate();
  EXPECT_TRUE(before <= created && created <= after) << created;  // as many digits till 2286
  EXPECT_EQ(WithDates(bytes, created.c_str(), created.c_str()), bytes);
  EXPECT_EQ(created, form.GetLastModifiedDate());
  EXPECT_EQ(Golden("office_survey.frm"), WithDates(bytes, "904651200", "904737600"));
  // Saving changes neither the flags nor the entries (quoting works on copies).
  EXPECT_TRUE(form.IsNewForm());
  EXPECT_FALSE(form.GetSaveOnDestroy());
  EXPECT_EQ(kSurveyEntries[3], Describe(*form.Definition().GetAt(3)));

  // Each save of a new form makes another file; the first file and the default world's forms
  // stay as they were.
  ASSERT_EQ(1, form.Save());
  EXPECT_NE(path, form.GetFilePath());
  EXPECT_EQ(bytes, world.Bytes(path));
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
  EXPECT_EQ("904737600", form.GetLastModifiedDate());  // the save below writes its own
  EXPECT_EQ(kSurveyEntries, Entries(form));
  form.SetSaveFlags(false, false);
  ASSERT_EQ(1, form.Save());
  EXPECT_EQ(kTestForm, form.GetFilePath());
  EXPECT_EQ(golden, ReplaceValue(world.Bytes(kTestForm), "LastModifiedDate", "904737600"));
}

// A share that takes no file, or a form file there that cannot be read, is not written: the
// save error is shown and the form stays as it was.
TEST(FormFileSave, ShareThatTakesNoFileOrAFileThatCannotBeReadShowsTheSaveError) {
  TestWorld world;
  BoxRecorder boxes;
  const Texts saveError = {
      "Custom Data Forms|An error occured while trying to save the form \"Office survey\".\nIf "
      "this is an additional console, Administrative rights are required on the core server "
      "\"CORE1\".|" +
      std::to_string(MB_OK | MB_ICONSTOP)};
  const std::string fifo = world.Host(kTestForm);
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0644));  // there, but not a file we can read
  CCustomForm bound;
  BuildOfficeSurvey(bound);
  bound.SetFilePath(kTestForm);
  bound.SetSaveFlags(false, false);
  EXPECT_EQ(0, bound.Save());
  EXPECT_EQ(saveError, boxes.boxes);
  struct stat st {};
  ASSERT_EQ(0, lstat(fifo.c_str(), &st));
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  boxes.boxes.clear();
  std::filesystem::path share = std::filesystem::path(fifo).parent_path();
  std::filesystem::remove_all(share);
  CCustomForm form;
  BuildOfficeSurvey(form);
  form.SetSaveFlags(false, true);
  EXPECT_EQ(0, form.Save());
  EXPECT_EQ(saveError, boxes.boxes);
  EXPECT_EQ("", form.GetFilePath() + form.GetHeaderName() + form.GetCreationDate());
  EXPECT_TRUE(form.IsNewForm());
  EXPECT_FALSE(std::filesystem::exists(share));
  // Once the share is back the same form saves.
  std::filesystem::create_directories(share);
  ASSERT_EQ(1, form.Save());
  EXPECT_EQ(saveError, boxes.boxes);
  EXPECT_EQ("Office survey", ValueOf(world.Bytes(form.GetFilePath()), "FormName"));
}

// The entry list ends at the first missing or empty field (Field3 would raise a parsing
// message if it were ever read); a malformed line is reported and loading goes on. Values
// missing in the file keep what they held; a file without a creation date gets it empty.
TEST(FormFileLoad, EntriesUpToTheFirstGapAndMalformedLines) {
  TestWorld world;
  const struct {
    const char* fields;
    Texts entries;
    bool parsingBox;
  } cases[] = {
      {"Field1=EDIT, A, a, R, \r\nField3=EDIT\r\n", {"EDIT R A|a||"}, false},
      {"Field1=EDIT, A, a, R, \r\nField2=\r\nField3=EDIT\r\n", {"EDIT R A|a||"}, false},
      {"Field2=EDIT, B, b, R, \r\n", {}, false},
      {"Field1=EDIT, Room\r\nFieldNote1=n1\r\nField2=PAGEBREAK\r\nField3=COMBOBOX, C, c, R, {x, "
       "y}\r\n",
       {"EDIT NR Room|||n1", "PAGEBREAK |||", "COMBOBOX R C|c|[x][y]|"},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fields);
    BoxRecorder boxes;
    world.Put(kTestForm,
              std::string("[Header]\r\nVersion=3\r\n[Form]\r\nFormName=Short\r\n") + c.fields);
    CCustomForm form;
    form.SetHeaderName("kept");
    form.SetFilePath(kTestForm);
    form.Load();
    EXPECT_EQ(c.entries, Entries(form));
    EXPECT_EQ(c.parsingBox ? Texts{kParsingBox} : Texts{}, boxes.boxes);
    EXPECT_EQ("kept", form.GetHeaderName());
    EXPECT_EQ("3", form.GetVersion());
    EXPECT_EQ("Short", form.Definition().formName);
    form.SetSaveFlags(false, false);
    ASSERT_EQ(1, form.Save());
    EXPECT_NE(std::string::npos, world.Bytes(kTestForm).find("\r\nCreationDate=\r\n"));
  }
}

TEST(FormFileParse, FieldLines) {
  BoxRecorder boxes;
  CProfileFile text;
  const struct {
    const char* line;
    const char* entry;
    bool parseError;
  } cases[] = {
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
  for (const auto& c : cases) {
    boxes.boxes.clear();
    CFormField entry;
    EXPECT_EQ(&entry, entry.ParseLine(&text, c.line)) << c.line;
    EXPECT_EQ(c.entry, Describe(entry)) << c.line;
    EXPECT_EQ(c.parseError ? Texts{kParsingBox} : Texts{}, boxes.boxes) << c.line;
  }
  CFormField untouched;
  EXPECT_EQ(nullptr, untouched.ParseLine(nullptr, "EDIT, A, B, R, "));
  EXPECT_EQ("NONE NR |||", Describe(untouched));
}

}  // namespace
