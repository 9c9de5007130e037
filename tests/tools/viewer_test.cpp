#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "forms/CustomForm.h"
#include "platform/path/HostFile.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"
#include "tools/viewer/ClientViewer.h"
#include "tools/viewer/FormPage.h"
#include "tools/viewer/Viewer.h"

namespace fs = std::filesystem;

namespace {

const std::string kShare = "\\\\CORE1\\qvlogon\\";
const std::string kSurvey = kShare + "FRM1A.FRM";

std::string LoadAndRender(const std::string& winPath) {
  CCustomForm form;
  form.SetFilePath(winPath);
  form.Load();
  return qv::RenderFormPage(form.Definition());
}

bool Has(const std::string& page, const std::string& what) {
  return page.find(what) != std::string::npos;
}

// The sample form as its client's user sees it: two pages (Room and Floor on the first), the
// required question marked, an edit box, a fixed list that starts with nothing chosen and an
// editable one whose texts with commas come back whole; self-contained, nothing runs.
TEST(FormPage, OfficeSurveyAsTheClientSeesIt) {
  TestWorld world;
  EXPECT_EQ(LoadAndRender(kSurvey), GoldenFile("office-survey.html"));
}

TEST(FormPage, SeparatorsPlainTextAndEscaping) {
  CFormDefinition form;
  form.formName = "Caf\xE9 <\"list\"> & more";
  form.formDescription = "Tom's <b>";
  form.Append(Question(CFormField::kNoControl, "Intro", "Read <this> first", false, "a&b"));
  form.Append(Marker(CFormField::kSeparator));
  form.Append(
      Question(CFormField::kFixedList, "Pick\"", "Pick one", true, "", {"<a>", "x & y", "it's"}));
  form.Append(Question(CFormField::kEditBox, "Tab", "Odd\x01text", false));
  std::string page = qv::RenderFormPage(form);
  for (const char* part :
       {"<title>Caf\xE9 &lt;&quot;list&quot;&gt; &amp; more</title>",
        "<p class=\"description\">Tom&#39;s &lt;b&gt;</p>",
        // No control: the text alone, without a label for anything.
        "<div class=\"question\">\n<span class=\"text\">Read &lt;this&gt; first</span>\n"
        "<p class=\"note\">a&amp;b</p>\n</div>\n<hr>\n",
        "<select id=\"q3\" name=\"Pick&quot;\" required>",
        "<option>&lt;a&gt;</option>\n<option>x &amp; y</option>\n<option>it&#39;s</option>\n",
        ">Odd text</label>", "<h2>Page 1 of 1</h2>"})
    EXPECT_TRUE(Has(page, part)) << part << "\n" << page;
  // Without page breaks there is nothing to move between.
  EXPECT_FALSE(Has(page, "<nav>") || Has(page, "<b>")) << page;
}

// The viewer's own words in the user's language; every page break starts a page, the first too.
TEST(FormPage, TheViewersWordsInTheUsersLanguage) {
  CFormDefinition form;
  form.Append(Marker(CFormField::kPageBreak));
  form.Append(Question(CFormField::kEditBox, "A", "A", true));
  form.Append(Marker(CFormField::kPageBreak));
  form.Append(Question(CFormField::kEditBox, "B", "B", false));
  std::string german = qv::RenderFormPage(form, qv::Language::kGerman);
  for (const char* part : {"<html lang=\"de\">", "<title>Formular ohne Namen</title>",
                           ">Weiter &gt;</a>", ">&lt; Zur\374ck</a>"})
    EXPECT_TRUE(Has(german, part)) << part;
  std::size_t second = german.find("id=\"page-2\"");
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(german.find("id=\"q2\"", second), german.find("</section>", second));
  EXPECT_TRUE(Has(german, "id=\"page-3\"") && !Has(german, "id=\"page-4\""));
  EXPECT_TRUE(Has(qv::RenderNoFormPage(qv::Language::kGerman), "<h1>Noch kein Formular</h1>"));
}

TEST(ViewerArgs, OneStringOrSeveralAndBadSwitches) {
  const std::pair<std::vector<std::string>, std::optional<std::string>> cases[] = {
      {{"/d /i=" + kSurvey}, kSurvey},
      {{"/d", "/i=" + kSurvey}, kSurvey},
      {{"/I=" + kShare + "My", "Form.FRM", "/D"}, kShare + "My Form.FRM"},
      {{"/i=\"" + kShare + "A B.FRM\""}, kShare + "A B.FRM"},
      {{"/d /i="}, ""},  // Preview of a form never saved
      {{}, std::nullopt},
      {{"/d"}, std::nullopt},
      {{"/d", "/x", "/i=" + kSurvey}, std::nullopt},
      {{"stray", "/i=" + kSurvey}, std::nullopt},
      {{"/i=" + kSurvey, "/i=" + kSurvey}, std::nullopt},
  };
  for (const auto& [args, expected] : cases) {
    std::string file, err;
    SCOPED_TRACE(args.empty() ? "" : args.back());
    EXPECT_EQ(qv::ParseViewerArgs(args, &file, &err), expected.has_value()) << err;
    EXPECT_EQ(file, expected.value_or(""));
    if (!expected) {
      EXPECT_TRUE(err.rfind("QVCstm32: ", 0) == 0 && OneLine(err)) << err;
    }
  }
}

// The page goes into the world's viewer folder ("no form yet" for an empty path, in the
// user's language); an unreadable form or world is status 2 and writes nothing.
TEST(Viewer, WritesThePageIntoTheWorldOrSaysWhyNot) {
  TestWorld world;
  const std::string pages = world.Dir() + "/viewer/";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string page;
  } cases[] = {
      {{"--world", world.Dir(), "/d /i=" + kShare + "NOPE.FRM"}, 2, ""},
      {{"--world", world.Dir(), "/d /i=\\\\NOBODY\\qvlogon\\FRM1A.FRM"}, 2, ""},
      {{"--world", world.Dir() + "/none", "/d /i=" + kSurvey}, 2, ""},
      {{"--world", world.Dir(), "/d"}, 2, ""},
      {{"--world", world.Dir(), "/d /i=" + kSurvey}, 0, "FRM1A.FRM.html"},
      {{"--world", world.Dir(), "/d /i="}, 0, qv::kNoFormPage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    std::string out, err;
    EXPECT_EQ(qv::RunViewer(c.args, &out, &err), c.status);
    if (c.status != 0) {
      EXPECT_EQ(out, "");
      EXPECT_TRUE(err.rfind("QVCstm32: ", 0) == 0 && OneLine(err)) << err;
      EXPECT_FALSE(fs::exists(pages));
      continue;
    }
    EXPECT_EQ(out, pages + c.page + "\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(FileBytes(pages + c.page),
              c.page == qv::kNoFormPage ? qv::RenderNoFormPage() : LoadAndRender(kSurvey));
    EXPECT_EQ(qv::World::Current(), &world.World());  // the caller's world is current again
  }
}

TEST(Viewer, APagesFolderLinkedOutOfTheWorldIsNotWrittenThrough) {
  TestWorld world;
  const std::string outside = world.Dir() + "-pages";
  for (bool folder : {true, false}) {
    fs::remove_all(world.Dir() + "/viewer");
    fs::remove_all(outside);
    fs::create_directories(outside);
    if (folder) {
      fs::create_directory_symlink(outside, world.Dir() + "/viewer");
    } else {
      fs::create_directories(world.Dir() + "/viewer");
      ASSERT_TRUE(qv::WriteHostFileAtomic(outside + "/page", "mine"));
      fs::create_symlink(outside + "/page", world.Dir() + "/viewer/FRM1A.FRM.html");
    }
    std::string out, err;
    EXPECT_EQ(qv::RunViewer({"--world", world.Dir(), "/d /i=" + kSurvey}, &out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(FolderTree(outside), (folder ? std::map<std::string, std::string>{}
                                           : std::map<std::string, std::string>{{"page", "mine"}}));
  }
  fs::remove_all(outside);
}

// The terminal mode on PC-ANNA's drive C: without the world; the office survey as A.FRM and a
// copy named "Asset tag" as Z.FRM: the list is in name order, not file order.
class TerminalSession : public ::testing::Test {
 protected:
  TerminalSession()
      : drive_(world_.Dir() + "/PC-ANNA/C"), answers_(drive_ + "/QVCLIENT/CUSTDATA.INI") {
    // An escape sequence in a form must not reach the terminal.
    std::string survey =
        ReplaceValue(Golden("office_survey.frm"), "FieldNote1", "As \x1B[2Jprinted");
    EXPECT_TRUE(qv::WriteHostFileAtomic(drive_ + "/QVCLIENT/A.FRM", survey));
    EXPECT_TRUE(qv::WriteHostFileAtomic(drive_ + "/QVCLIENT/Z.FRM",
                                        ReplaceValue(survey, "FormName", "Asset tag")));
  }
  int Run(const std::string& input, std::vector<std::string> args = {}) {
    if (args.empty())
      args = {"--client", drive_, "--name", "pc-anna"};
    std::istringstream in(input);
    std::ostringstream o, e;
    int status = qv::RunClientViewer(args, in, o, e);
    out_ = o.str();
    err_ = e.str();
    return status;
  }
  // The answer file with its time of answering checked and taken out.
  std::string Recorded() {
    std::string bytes = FileBytes(answers_);
    std::regex when("%Answered=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\r\n");
    EXPECT_TRUE(std::regex_search(bytes, when)) << bytes;
    return std::regex_replace(bytes, when, "");
  }
  // How often the output holds `what`.
  std::size_t Count(const std::string& what) const { return Lines(out_, what).size() - 1; }

  TestWorld world_;
  std::string drive_, answers_, out_, err_;
};

TEST_F(TerminalSession, RefusedThenAnsweredThenChangedWithDefaultsKept) {
  // The required room left empty: refused, back to the room; Enter keeps the later answers.
  ASSERT_EQ(Run("2\n\n2\nGr\xC3\xBCn\n2.14\n\n\n"), 0) << err_ << out_;
  EXPECT_EQ(err_, "");
  for (const char* part :
       {"  1. Asset tag\n  2. Office survey\n", "* An answer is required.\n",
        "Page 1 of 2\nRoom number *\n  As  [2Jprinted\n", "  2. First\n  3. Second\n",
        "  - Blue, dark\n",
        "\nPlease answer the question \"Room number\" on page 1.\n\nPage 1 of 2\n", "  [First] > ",
        "  [Gr\xC3\xBCn] > ", "Your answers have been recorded."})
    EXPECT_TRUE(Has(out_, part)) << part << "\n" << out_;
  EXPECT_EQ(out_.find('\x1B'), std::string::npos);
  EXPECT_EQ(Count("Room number *"), 2u);
  EXPECT_EQ(Count("Page 2 of 2"), 2u);
  EXPECT_EQ(Recorded(),
            "[Office survey]\r\n%FormFile=A.FRM\r\nRoom=\"2.14\"\r\nFloor=\"First\"\r\n"
            "Color=\"Gr\xFCn\"\r\n");

  // Again, answered: the answers are the defaults; a choice by its text, one that is none, "-".
  ASSERT_EQ(Run("2\n\nBasement\n-\nsecond\n\n"), 0) << err_ << out_;
  EXPECT_TRUE(Has(out_, "  2. Office survey [answered]\n") && Has(out_, "  [2.14] > ")) << out_;
  EXPECT_TRUE(
      Has(out_, "\"Which floor?\" must be one of its choices.\n\nPage 1 of 2\nWhich floor?"))
      << out_;
  EXPECT_EQ(Count("Room number *"), 1u);
  EXPECT_EQ(Recorded(),
            "[Office survey]\r\n%FormFile=A.FRM\r\nRoom=\"2.14\"\r\nFloor=\"Second\"\r\n"
            "Color=\"\"\r\n");
}

// Input that ends anywhere, or q, records nothing and leaves the answer file as it was.
TEST_F(TerminalSession, EndOfInputOrQuitRecordsNothing) {
  ASSERT_EQ(Run("1\nA-7\n\n\n"), 0) << err_;
  const auto before = FolderTree(drive_);
  for (const std::string input : {"", "x\n9\n", "2\n", "2\n\n2\nRed\n", "2\n\n\n\n\n", "q\n"}) {
    SCOPED_TRACE(input);
    EXPECT_EQ(Run(input), 1);
    EXPECT_EQ(err_, input == "q\n" ? "" : "QVCstm32: end of input: nothing was recorded\n");
    EXPECT_EQ(FolderTree(drive_), before);
  }
}

// Arguments and drive folders that cannot be used: one line, status 2, nothing written.
TEST_F(TerminalSession, BadArgumentsAndFoldersAreRefused) {
  const std::string outside = world_.Dir() + ".outside";
  fs::create_directories(outside + "/QVCLIENT");
  ASSERT_TRUE(qv::WriteHostFileAtomic(outside + "/QVCLIENT/A.FRM", Golden("office_survey.frm")));
  fs::create_directory_symlink(outside, world_.Dir() + "/link");
  fs::remove(world_.Dir() + "/PC-BEN/C/QVCLIENT");
  fs::create_directory_symlink(outside + "/QVCLIENT", world_.Dir() + "/PC-BEN/C/QVCLIENT");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--client", world_.Dir() + "/link"}, "is a symbolic link"},
      {{"--client", world_.Dir() + "/PC-BEN/C"}, "symbolic link at \"QVCLIENT\""},
      {{"--client", world_.Dir() + "/world.ini"}, "is not a directory"},
      {{"--client", world_.Dir() + "/none"}, "does not exist"},
      {{"--client", drive_, "--name", "PC ANNA"}, "is not a computer name"},
      {{"--client", drive_, "--name", "PC-ANNA-1234567"}, ""},  // 15 characters are fine
      {{"--client", drive_, "--name", "PC-ANNA-12345678"}, "is not a computer name"},
      {{"--client", drive_, "--name"}, "unexpected argument --name"},
      {{"--client", drive_, drive_}, "unexpected argument"},
  };
  for (const auto& [args, why] : cases) {
    SCOPED_TRACE(args.back());
    EXPECT_EQ(Run("2\n\n", args), why.empty() ? 1 : 2);
    EXPECT_TRUE(why.empty() ||
                (OneLine(err_) && err_.rfind("QVCstm32: ", 0) == 0 && Has(err_, why)))
        << err_;
  }
  EXPECT_EQ(FolderTree(outside).size(), 2u);  // QVCLIENT and A.FRM: no answers
  fs::remove_all(outside);
}

TEST(ClientDrive, TheEnvironmentElseTheFolderTheViewerIsInstalledIn) {
  const std::tuple<const char*, std::string, std::string> cases[] = {
      {"/drive", "/c/QVCLIENT/bin/QVCstm32", "/drive"},
      {"", "/c/QVCLIENT/bin/QVCstm32", "/c"},
      {nullptr, "/home/u/c/qvclient/BIN/QVCstm32.exe", "/home/u/c"},
      {nullptr, "/c/bin/QVCstm32", ""},
      {nullptr, "/c/QVCLIENT/QVCstm32", ""},
      {nullptr, "", ""},
  };
  for (const auto& [environment, program, drive] : cases)
    EXPECT_EQ(qv::DefaultClientDrive(environment, program), drive) << program;
}

// Without a name the computer is the host's; its drive C: is the folder, also through C$.
TEST(ClientDrive, TheWorldOfOneComputer) {
  TestWorld w;
  std::string why, host;
  auto world = qv::World::ForClientDrive(w.Dir() + "/PC-ANNA/C/", "", &why);
  ASSERT_NE(world, nullptr) << why;
  const std::string name = world->ConsoleName();
  EXPECT_TRUE(std::regex_match(name, std::regex("[A-Z0-9-]{1,15}"))) << name;
  EXPECT_EQ(world->Clients(), std::vector<std::string>{name});
  EXPECT_EQ(world->Dir(), w.Dir() + "/PC-ANNA/C");
  ASSERT_TRUE(world->MapPath("c:\\qvclient\\X.FRM", &host, &why)) << why;
  EXPECT_EQ(host, w.Dir() + "/PC-ANNA/C/QVCLIENT/X.FRM");
  ASSERT_TRUE(world->MapPath("\\\\" + name + "\\C$\\QVCLIENT", &host, &why)) << why;
  EXPECT_EQ(host, w.Dir() + "/PC-ANNA/C/QVCLIENT");
  EXPECT_FALSE(world->MapPath("C:\\..\\..\\world.ini", &host, &why));
  EXPECT_FALSE(world->Contains(w.Dir() + "/world.ini"));
}

}  // namespace
