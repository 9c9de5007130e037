// Answers to delivered forms: the answer file's bytes, the viewer's checks, and qvccfg answer
// and answers on a world, with values that a careless writer or reader would change.
#include "tools/answers/Answers.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "forms/CustomForm.h"
#include "forms/FormDefinition.h"
#include "platform/path/World.h"
#include "platform/profile/Profile.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"
#include "tools/common/Cp1252.h"
#include "tools/common/Json.h"
#include "tools/qvccfg/Commands.h"

namespace fs = std::filesystem;
namespace answers = qv::answers;

namespace {

// Names and values that break a line, a key or a quote when written carelessly.
const answers::Values kHostile = {
    {"Room", " 2,\"14\" {x}"},
    {"a=b", "x=y"},
    {"[Section]", "[not one]"},
    {"Desk", "upper"},
    {"desk", "lower"},
    {" lead ", "\""},
    {"100%", ""},
    {"%Answered", "no"},
};

TEST(AnswerFile, WritesTheLayoutAndReadsBackEveryValueExactly) {
  answers::FormAnswers one{"Office survey",
                           "2026-12-07T09:30:00Z",
                           "FRM1A.FRM",
                           {{"Room", "2.14"}, {"Floor", "First"}, {"Color", ""}}};
  EXPECT_EQ(answers::ReplaceFormAnswers("", one),
            "[Office survey]\r\n%Answered=2026-12-07T09:30:00Z\r\n%FormFile=FRM1A.FRM\r\n"
            "Room=\"2.14\"\r\nFloor=\"First\"\r\nColor=\"\"\r\n");

  answers::FormAnswers hostile{"A [b] = c", "t", "X.FRM", kHostile};
  std::vector<answers::FormAnswers> read =
      answers::ParseAnswerFile(answers::ReplaceFormAnswers("", hostile));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].form, hostile.form);
  EXPECT_EQ(read[0].formFile, "X.FRM");
  EXPECT_EQ(read[0].values, kHostile);
}

TEST(AnswerFile, AnsweringAgainReplacesThatFormsSectionOnly) {
  // Another program's lines, with LF ends and a last line without one, keep their bytes.
  const std::string before =
      "; kept\n[Asset tag]\nTag=\"7\"\n[office SURVEY]\r\nRoom=\"1\"\r\n"
      "[Later]\nKey=value";
  answers::FormAnswers again{"Office survey", "t2", "FRM1A.FRM", {{"Room", "2"}}};
  std::string after = answers::ReplaceFormAnswers(before, again);
  EXPECT_EQ(after,
            "; kept\n[Asset tag]\nTag=\"7\"\n[Office survey]\r\n%Answered=t2\r\n"
            "%FormFile=FRM1A.FRM\r\nRoom=\"2\"\r\n[Later]\nKey=value");
  answers::FormAnswers other{"New", "t3", "N.FRM", {}};
  EXPECT_EQ(answers::ReplaceFormAnswers(after, other),
            after + "\r\n[New]\r\n%Answered=t3\r\n%FormFile=N.FRM\r\n");
}

// Room (required), Floor (fixed list), a page break, Color (edit list), Note (no control), Seat.
class AnswerChecks : public ::testing::Test {
 protected:
  AnswerChecks() {
    form.Append(Question(CFormField::kEditBox, "Room", "Room number", true));
    form.Append(
        Question(CFormField::kFixedList, "Floor", "Which floor?", false, "", {"Ground", "First"}));
    form.Append(Marker(CFormField::kPageBreak));
    form.Append(Question(CFormField::kEditList, "Color", "Color", false, "", {"Red"}));
    form.Append(Question(CFormField::kNoControl, "Note", "Read me", true));
    form.Append(Question(CFormField::kEditBox, "Seat", "", true));
  }
  CFormDefinition form;
};

TEST_F(AnswerChecks, RecordEveryQuestionWithAControlInOrder) {
  answers::Values recorded,
      given = {{"seat", "12"}, {"Floor", "first"}, {"Room", "\xE2\x82\xAC \xE4\xB8\xAD"}};
  std::string message;
  ASSERT_TRUE(answers::CheckAnswers(form, given, qv::Language::kEnglish, &recorded, &message))
      << message;
  // A choice as the list holds it; what Windows-1252 cannot hold becomes "?"; not given is "".
  EXPECT_EQ(recorded, (answers::Values{
                          {"Room", "\x80 ?"}, {"Floor", "First"}, {"Color", ""}, {"Seat", "12"}}));
  given[2].second = std::string(255, 'x');
  EXPECT_TRUE(answers::CheckAnswers(form, given, qv::Language::kEnglish, &recorded, &message));
}

TEST_F(AnswerChecks, RefuseWithTheViewersMessage) {
  const answers::Values kOk = {{"Room", "1"}, {"Seat", "2"}};
  auto with = [&](answers::Values extra) {
    answers::Values all = kOk;
    all.insert(all.end(), extra.begin(), extra.end());
    return all;
  };
  const struct {
    answers::Values given;
    std::string message;
  } cases[] = {
      {{{"Seat", "2"}}, "Please answer the question \"Room number\" on page 1."},
      {{{"Room", " \t"}, {"Seat", "2"}}, "Please answer the question \"Room number\" on page 1."},
      // A question without a text is named by its inventory name.
      {{{"Room", "1"}}, "Please answer the question \"Seat\" on page 2."},
      {with({{"Floor", "Basement"}}), "The answer to \"Which floor?\" must be one of its choices."},
      {with({{"Color", std::string(256, 'x')}}),
       "The answer to \"Color\" is longer than 255 characters."},
      {with({{"Color", "a\r\nb"}}), "The answer to \"Color\" must be one line of text."},
      {with({{"Color", "\xC3("}}), "The answer to \"Color\" must be one line of text."},
      {with({{"Colour", "x"}}), "The form has no question \"Colour\" to answer."},
      {with({{"Note", "x"}}), "The form has no question \"Note\" to answer."},
      {with({{"ROOM", "3"}}), "The question \"Room number\" is answered twice."},
  };
  for (const auto& c : cases) {
    answers::Values recorded = {{"kept", "x"}};
    std::string message;
    EXPECT_FALSE(answers::CheckAnswers(form, c.given, qv::Language::kEnglish, &recorded, &message));
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(recorded.size(), 1u) << "nothing recorded on a refusal";
  }
  std::string message;
  answers::Values recorded;
  answers::CheckAnswers(form, {{"Seat", "2"}}, qv::Language::kGerman, &recorded, &message);
  EXPECT_EQ(message, "Bitte beantworten Sie die Frage \"Room number\" auf Seite 1.");
}

TEST_F(AnswerChecks, NamesThatDifferOnlyInCaseAreMatchedExactly) {
  form.Append(Question(CFormField::kEditBox, "room", "Room, small", false));
  answers::Values recorded;
  std::string message;
  ASSERT_TRUE(answers::CheckAnswers(form, {{"room", "b"}, {"Room", "A"}, {"Seat", "1"}},
                                    qv::Language::kEnglish, &recorded, &message))
      << message;
  EXPECT_EQ(recorded.front(), (std::pair<std::string, std::string>{"Room", "A"}));
  EXPECT_EQ(recorded.back(), (std::pair<std::string, std::string>{"room", "b"}));
  EXPECT_FALSE(answers::CheckAnswers(form, {{"ROOM", "x"}, {"Seat", "1"}}, qv::Language::kEnglish,
                                     &recorded, &message));
}

// A world made by qvccfg init, with the office survey delivered to PC-ANNA and PC-BEN.
class AnswerCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "answers.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ASSERT_EQ(Run({"init"}), 0) << err;
    for (const char* client : {"PC-ANNA", "PC-BEN"})
      fs::copy_file(dir_ + "/CORE1/D/Apps/Main/QVLOGON/FRM1A.FRM", Folder(client) + "/FRM1A.FRM");
  }
  void TearDown() override {
    qv::ResetProfiles();
    qv::World::SetCurrent(nullptr);
    fs::remove_all(dir_);
  }
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--world", dir_});
    out.clear();
    err.clear();
    return qv::RunQvccfg(args, &out, &err);
  }
  std::string Folder(const std::string& client) const {
    return dir_ + "/" + client + "/C/QVCLIENT";
  }
  // The CSV with each time answered as "T".
  std::string Csv() {
    EXPECT_EQ(Run({"answers", "office survey", "--csv"}), 0) << err;
    std::vector<std::string> lines = Lines(out, "\r\n");
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
      std::size_t comma = lines[i].find(',');
      lines[i].replace(comma + 1, lines[i].find(',', comma + 1) - comma - 1, "T");
    }
    std::string joined;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
      joined += lines[i] + "\r\n";
    return joined;
  }

  std::string dir_, out, err;
};

TEST_F(AnswerCommands, HostileValuesComeBackExactlyInJsonAndCsv) {
  ASSERT_EQ(Run({"answer", "pc-anna", "Office survey", "Room= 2,\"14\" {x}", "Floor=second",
                 "Color= a=b; \xE2\x82\xAC"}),
            0)
      << err;
  EXPECT_EQ(out, "recorded the answers of PC-ANNA to Office survey (FRM1A.FRM)\n");
  ASSERT_EQ(Run({"answers", "OFFICE SURVEY"}), 0) << err;
  qv::json::Value rows;
  ASSERT_TRUE(qv::json::Parse(out, &rows, nullptr));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["client"], "PC-ANNA");
  EXPECT_EQ(rows[0]["formFile"], "FRM1A.FRM");
  EXPECT_EQ(rows[0]["answers"].dump(),
            R"({"Room":" 2,\"14\" {x}","Floor":"Second","Color":" a=b; €"})");
  EXPECT_EQ(Csv(),
            "Client,Answered,Room,Floor,Color\r\n"
            "PC-ANNA,T,\" 2,\"\"14\"\" {x}\",Second,\" a=b; \xE2\x82\xAC\"\r\n");
}

TEST_F(AnswerCommands, RefusalsWriteNothing) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"answer", "PC-ZOE", "Office survey"}, "qvccfg: PC-ZOE is no client of the world\n"},
      {{"answer", "PC-ANNA", "Asset tag"},
       "qvccfg: no form \"Asset tag\" was delivered to PC-ANNA\n"},
      {{"answer", "PC-ANNA", "Office survey", "Floor=First"},
       "qvccfg: Please answer the question \"Room number\" on page 1.\n"},
      {{"answer", "PC-ANNA", "Office survey", "Room"},
       "qvccfg: an answer is INVENTORY-NAME=VALUE, not Room\n"},
      {{"answer", "PC-ANNA"},
       "qvccfg: answer needs a client and a form: answer CLIENT NAME [NAME=VALUE ...]\n"},
      {{"answers", "Office survey", "--json"},
       "qvccfg: answers takes a form's name and --csv: answers NAME [--csv]\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args), 2) << c.args.back();
    EXPECT_EQ(err, c.err);
  }
  EXPECT_FALSE(fs::exists(Folder("PC-ANNA") + "/CUSTDATA.INI"));
}

TEST_F(AnswerCommands, AFileThatCannotBeReadOrWrittenIsNeverReplaced) {
  // An answer file that cannot be read is named for its client; the other's answers still come.
  fs::create_directory(Folder("PC-ANNA") + "/custdata.ini");
  EXPECT_EQ(Run({"answer", "PC-ANNA", "Office survey", "Room=1"}), 1);
  EXPECT_EQ(err.rfind("qvccfg: PC-ANNA: the answer file cannot be read: ", 0), 0u) << err;
  ASSERT_EQ(Run({"answer", "PC-BEN", "Office survey", "Room=2"}), 0) << err;
  EXPECT_EQ(Run({"answers", "Office survey", "--csv"}), 1);
  EXPECT_EQ(err.rfind("qvccfg: PC-ANNA: the answer file cannot be read: ", 0), 0u) << err;
  EXPECT_EQ(Lines(out, "\r\n").size(), 3u) << out;
  EXPECT_TRUE(fs::is_directory(Folder("PC-ANNA") + "/custdata.ini"));

  // A client that cannot be reached is named, as one whose file cannot be read.
  std::string ini = FileBytes(dir_ + "/world.ini");
  std::ofstream(dir_ + "/world.ini", std::ios::binary)
      << ReplaceAll(ini, "[Computer PC-BEN]\r\nReachable=1", "[Computer PC-BEN]\r\nReachable=0");
  EXPECT_EQ(Run({"answer", "PC-BEN", "Office survey", "Room=2"}), 1);
  EXPECT_EQ(err, "qvccfg: PC-BEN: the computer PC-BEN cannot be reached\n");
  EXPECT_EQ(Run({"answers", "Office survey"}), 1);
  EXPECT_NE(err.find("qvccfg: PC-BEN: the computer PC-BEN cannot be reached\n"), std::string::npos);
  std::ofstream(dir_ + "/world.ini", std::ios::binary) << ini;

  // A read-only answer file stays as it is, also for root.
  std::string file = Folder("PC-BEN") + "/CUSTDATA.INI";
  std::string bytes = FileBytes(file);
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(Run({"answer", "PC-BEN", "Office survey", "Room=3"}), 1);
  EXPECT_EQ(FileBytes(file), bytes);
}

TEST_F(AnswerCommands, TwoFormsOfOneNameAndARenamedQuestion) {
  // The file's name tells two delivered forms of one name apart.
  std::string copy = FileBytes(Folder("PC-ANNA") + "/FRM1A.FRM");
  std::ofstream(Folder("PC-ANNA") + "/OTHER.FRM", std::ios::binary)
      << ReplaceAll(copy, "Field4=COMBOBOX, Color,", "Field4=COMBOBOX, Colour,");
  EXPECT_EQ(Run({"answer", "PC-ANNA", "Office survey", "Room=1"}), 2);
  EXPECT_EQ(err,
            "qvccfg: two forms named \"Office survey\" were delivered to PC-ANNA (FRM1A.FRM, "
            "OTHER.FRM): name the form's file\n");
  ASSERT_EQ(Run({"answer", "PC-ANNA", "other.frm", "Room=1", "Colour=Red"}), 0) << err;
  // The share's form has Color: the recorded Colour keeps a column of its own.
  EXPECT_EQ(Csv(), "Client,Answered,Room,Floor,Color,Colour\r\nPC-ANNA,T,1,,,Red\r\n");
}

}  // namespace
