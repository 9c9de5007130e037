#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "forms/CustomForm.h"
#include "platform/path/HostFile.h"
#include "platform/process/WinExec.h"
#include "platform/profile/Profile.h"
#include "tests/TestWorld.h"
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

// The text between the first `from` and the `to` after it ("" when either is missing).
std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  size_t start = text.find(from);
  if (start == std::string::npos)
    return "";
  size_t end = text.find(to, start + from.size());
  return end == std::string::npos ? "" : text.substr(start, end - start);
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

TEST(FormPage, OfficeSurveyAsTheClientSeesIt) {
  TestWorld world;
  std::string page = LoadAndRender(kSurvey);
  EXPECT_EQ(page.rfind("<!DOCTYPE html>\n", 0), 0u);
  EXPECT_NE(page.find("<meta charset=\"windows-1252\">"), std::string::npos);
  EXPECT_NE(page.find("<title>Office survey</title>"), std::string::npos);
  EXPECT_NE(page.find("<h1>Office survey</h1>"), std::string::npos);
  EXPECT_NE(page.find("<p class=\"description\">Where and how you work</p>"), std::string::npos);
  // Self-contained: nothing is fetched and nothing runs.
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("<link"), std::string::npos);
  EXPECT_EQ(page.find("src="), std::string::npos);

  // The page break splits the form into two pages; Room and Floor on the first.
  EXPECT_EQ(Count(page, "<section class=\"page\""), 2u);
  std::string first = Between(page, "<section class=\"page\" id=\"page-1\">", "</section>");
  std::string second = Between(page, "<section class=\"page\" id=\"page-2\">", "</section>");
  ASSERT_NE(first, "");
  ASSERT_NE(second, "");
  EXPECT_NE(first.find("<h2>Page 1 of 2</h2>"), std::string::npos);
  EXPECT_NE(second.find("<h2>Page 2 of 2</h2>"), std::string::npos);
  EXPECT_NE(first.find("href=\"#page-2\""), std::string::npos);
  EXPECT_NE(second.find("href=\"#page-1\""), std::string::npos);

  // Room: required, with its note and an edit box.
  EXPECT_NE(first.find("<label class=\"text\" for=\"q1\">Room number<span class=\"required\" "
                       "title=\"An answer is required\">*</span></label>\n"
                       "<p class=\"note\">As printed on the door</p>\n"
                       "<input type=\"text\" id=\"q1\" name=\"Room\" required>\n"),
            std::string::npos)
      << first;
  // Floor: not required, a fixed list that starts with nothing chosen.
  EXPECT_NE(first.find("<label class=\"text\" for=\"q2\">Which floor?</label>\n"
                       "<select id=\"q2\" name=\"Floor\">\n<option value=\"\"></option>\n"
                       "<option>Ground</option>\n<option>First</option>\n"
                       "<option>Second</option>\n</select>\n"),
            std::string::npos)
      << first;
  // Color, on the second page: an editable list; texts with commas come back whole.
  EXPECT_EQ(second.find("q1"), std::string::npos);
  EXPECT_NE(second.find("<label class=\"text\" for=\"q4\">Color, if any</label>\n"
                        "<p class=\"note\">Pick or type one</p>\n"
                        "<input type=\"text\" id=\"q4\" name=\"Color\" list=\"q4-choices\">\n"
                        "<datalist id=\"q4-choices\">\n<option value=\"Red\"></option>\n"
                        "<option value=\"Blue, dark\"></option>\n"
                        "<option value=\"Green\"></option>\n</datalist>\n"),
            std::string::npos)
      << second;
  // One required question, one mark, plus the legend that explains it.
  EXPECT_EQ(Count(page, "<span class=\"required\""), 2u);
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

  EXPECT_NE(page.find("<title>Caf\xE9 &lt;&quot;list&quot;&gt; &amp; more</title>"),
            std::string::npos);
  EXPECT_NE(page.find("<p class=\"description\">Tom&#39;s &lt;b&gt;</p>"), std::string::npos);
  // No control: the text alone, without a label for anything.
  EXPECT_NE(page.find("<div class=\"question\">\n<span class=\"text\">Read &lt;this&gt; "
                      "first</span>\n<p class=\"note\">a&amp;b</p>\n</div>\n<hr>\n"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("<select id=\"q3\" name=\"Pick&quot;\" required>"), std::string::npos);
  EXPECT_NE(page.find("<option>&lt;a&gt;</option>\n<option>x &amp; y</option>\n"
                      "<option>it&#39;s</option>\n"),
            std::string::npos);
  EXPECT_NE(page.find(">Odd text</label>"), std::string::npos);
  // Without page breaks there is one page and nothing to move between.
  EXPECT_NE(page.find("<h2>Page 1 of 1</h2>"), std::string::npos);
  EXPECT_EQ(page.find("<nav>"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
}

TEST(FormPage, EveryPageBreakStartsAPage) {
  CFormDefinition form;
  form.Append(Marker(CFormField::kPageBreak));
  form.Append(Question(CFormField::kEditBox, "A", "A", false));
  form.Append(Marker(CFormField::kPageBreak));
  std::string page = qv::RenderFormPage(form);
  EXPECT_NE(page.find("<title>Untitled form</title>"), std::string::npos);
  EXPECT_EQ(Count(page, "<section class=\"page\""), 3u);
  EXPECT_NE(Between(page, "id=\"page-2\"", "</section>").find("id=\"q2\""), std::string::npos);
  EXPECT_NE(page.find("<h2>Page 3 of 3</h2>"), std::string::npos);
}

TEST(ViewerArgs, OneStringOrSeveral) {
  std::string file, err;
  ASSERT_TRUE(qv::ParseViewerArgs({"/d /i=" + kSurvey}, &file, &err)) << err;
  EXPECT_EQ(file, kSurvey);
  ASSERT_TRUE(qv::ParseViewerArgs({"/d", "/i=" + kSurvey}, &file, &err)) << err;
  EXPECT_EQ(file, kSurvey);
  ASSERT_TRUE(qv::ParseViewerArgs({"/I=" + kShare + "My", "Form.FRM", "/D"}, &file, &err));
  EXPECT_EQ(file, kShare + "My Form.FRM");
  ASSERT_TRUE(qv::ParseViewerArgs({"/i=\"" + kShare + "A B.FRM\""}, &file, &err));
  EXPECT_EQ(file, kShare + "A B.FRM");
  EXPECT_EQ(err, "");
}

TEST(ViewerArgs, BadSwitchesAreRefusedWithOneLine) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"/d"},
                                             {"/d", "/x", "/i=" + kSurvey},
                                             {"stray", "/i=" + kSurvey},
                                             {"/i=" + kSurvey, "/i=" + kSurvey}}) {
    std::string file, err;
    EXPECT_FALSE(qv::ParseViewerArgs(args, &file, &err));
    EXPECT_EQ(err.rfind("QVCstm32: ", 0), 0u) << err;
    EXPECT_EQ(Count(err, "\n"), 1u) << err;
    EXPECT_EQ(file, "");
  }
}

TEST(Viewer, WritesThePageIntoTheWorld) {
  TestWorld world;
  std::string out, err;
  ASSERT_EQ(qv::RunViewer({"--world", world.Dir(), "/d /i=" + kSurvey}, &out, &err), 0) << err;
  std::string pagePath = world.Dir() + "/viewer/FRM1A.FRM.html";
  EXPECT_EQ(out, pagePath + "\n");
  EXPECT_EQ(err, "");
  std::string written;
  ASSERT_TRUE(qv::ReadHostFile(pagePath, &written));
  EXPECT_EQ(written, LoadAndRender(kSurvey));
  // The caller's world is current again.
  EXPECT_EQ(qv::World::Current(), &world.World());
}

TEST(Viewer, APagesFolderLinkedOutOfTheWorldIsNotWrittenThrough) {
  TestWorld world;
  const std::string outside = world.Dir() + "-pages";
  fs::create_directories(outside);
  for (const std::string& planted : {std::string("viewer"), std::string("viewer/FRM1A.FRM.html")}) {
    fs::remove_all(world.Dir() + "/viewer");
    if (planted == "viewer") {
      fs::create_directory_symlink(outside, world.Dir() + "/viewer");
    } else {
      fs::create_directories(world.Dir() + "/viewer");
      ASSERT_TRUE(qv::WriteHostFileAtomic(outside + "/page", "mine"));
      fs::create_symlink(outside + "/page", world.Dir() + "/" + planted);
    }
    std::string out, err;
    EXPECT_EQ(qv::RunViewer({"--world", world.Dir(), "/d /i=" + kSurvey}, &out, &err), 1)
        << planted;
    EXPECT_EQ(out, "");
    std::string kept;
    EXPECT_TRUE(planted == "viewer" ? fs::is_empty(outside)
                                    : qv::ReadHostFile(outside + "/page", &kept) && kept == "mine")
        << planted;
    fs::remove_all(outside);
    fs::create_directories(outside);
  }
  fs::remove_all(outside);
}

// Preview of a new form that was never saved gives "/i=" and nothing after it: the page says
// there is no form yet, in the user's language.
TEST(Viewer, AnEmptyPathShowsThatThereIsNoFormYet) {
  TestWorld world;
  std::string file, err;
  ASSERT_TRUE(qv::ParseViewerArgs({"/d /i="}, &file, &err)) << err;
  EXPECT_EQ(file, "");
  std::string out;
  ASSERT_EQ(qv::RunViewer({"--world", world.Dir(), "/d /i="}, &out, &err), 0) << err;
  std::string pagePath = world.Dir() + "/viewer/" + qv::kNoFormPage;
  EXPECT_EQ(out, pagePath + "\n");
  std::string page;
  ASSERT_TRUE(qv::ReadHostFile(pagePath, &page));
  EXPECT_EQ(page, qv::RenderNoFormPage());
  std::string english = qv::RenderNoFormPage(qv::Language::kEnglish);
  EXPECT_NE(english.find("<html lang=\"en\">"), std::string::npos);
  EXPECT_NE(english.find("<h1>No form to show yet</h1>"), std::string::npos);
  EXPECT_NE(english.find("There is no form to show yet"), std::string::npos);
  std::string german = qv::RenderNoFormPage(qv::Language::kGerman);
  EXPECT_NE(german.find("<html lang=\"de\">"), std::string::npos);
  EXPECT_NE(german.find("<h1>Noch kein Formular</h1>"), std::string::npos);
  EXPECT_NE(german.find("Es gibt noch kein Formular zum Anzeigen"), std::string::npos);
}

// A German user reads the viewer's own words in German (the page is Windows-1252).
TEST(FormPage, TheViewersWordsInTheUsersLanguage) {
  CFormDefinition form;
  form.Append(Question(CFormField::kEditBox, "A", "A", true));
  form.Append(Marker(CFormField::kPageBreak));
  form.Append(Question(CFormField::kEditBox, "B", "B", false));
  std::string german = qv::RenderFormPage(form, qv::Language::kGerman);
  EXPECT_NE(german.find("<html lang=\"de\">"), std::string::npos);
  EXPECT_NE(german.find("<title>Formular ohne Namen</title>"), std::string::npos);
  EXPECT_NE(german.find("<h2>Seite 1 von 2</h2>"), std::string::npos);
  EXPECT_NE(german.find(">Weiter &gt;</a>"), std::string::npos);
  EXPECT_NE(german.find(">&lt; Zur\374ck</a>"), std::string::npos);
  EXPECT_NE(german.find("</span> Eine Antwort ist erforderlich.</p>"), std::string::npos);
  EXPECT_NE(german.find("title=\"Eine Antwort ist erforderlich\""), std::string::npos);
  for (const char* english : {"Page ", "Next", "Back", "An answer"})
    EXPECT_EQ(german.find(english), std::string::npos) << english;
  std::string english = qv::RenderFormPage(form, qv::Language::kEnglish);
  EXPECT_NE(english.find("<h2>Page 2 of 2</h2>"), std::string::npos);
  EXPECT_NE(english.find(">&lt; Back</a>"), std::string::npos);
  EXPECT_NE(english.find("</span> An answer is required.</p>"), std::string::npos);
}

TEST(Viewer, UnreadableFormOrWorldIsStatusTwo) {
  TestWorld world;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--world", world.Dir(), "/d /i=" + kShare + "NOPE.FRM"},
           {"--world", world.Dir(), "/d /i=\\\\NOBODY\\qvlogon\\FRM1A.FRM"},
           {"--world", world.Dir() + "/none", "/d /i=" + kSurvey},
           {"--world", world.Dir(), "/d"}}) {
    std::string out, err;
    EXPECT_EQ(qv::RunViewer(args, &out, &err), 2) << args.back();
    EXPECT_EQ(out, "");
    EXPECT_EQ(err.rfind("QVCstm32: ", 0), 0u) << err;
    EXPECT_EQ(Count(err, "\n"), 1u) << err;
  }
  EXPECT_FALSE(fs::exists(world.Dir() + "/viewer"));
}

// The default world carries the viewer built beside the tests, and Preview's command line
// starts it through WinExec: the page appears in the world.
TEST(Viewer, StartedByWinExecFromTheFormsShare) {
  TestWorld world;
  std::string viewer = world.Host(kShare + "QVCstm32.exe");
  std::string built = (fs::read_symlink("/proc/self/exe").parent_path() / "QVCstm32.exe").string();
  std::string viewerBytes, builtBytes;
  ASSERT_TRUE(qv::ReadHostFile(built, &builtBytes)) << built;
  ASSERT_TRUE(qv::ReadHostFile(viewer, &viewerBytes)) << viewer;
  EXPECT_TRUE(viewerBytes == builtBytes);
  struct stat st {};
  ASSERT_EQ(::stat(viewer.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  // A German user: the copy in the share finds the German library although none lies beside
  // it, as the build puts the languages beside the programs and their platform library.
  std::string line = kShare + "QVCstm32.exe /d /i=" + kSurvey;
  std::vector<std::pair<const char*, std::optional<std::string>>> saved;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    saved.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    unsetenv(name);
  }
  setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_GT(WinExec(line.c_str(), SW_SHOWNORMAL), 31u);
  for (const auto& [name, value] : saved) {
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  std::string pagePath = world.Dir() + "/viewer/FRM1A.FRM.html";
  std::string page;
  for (int i = 0; i < 1000 && !qv::ReadHostFile(pagePath, &page); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  CCustomForm form;
  form.SetFilePath(kSurvey);
  form.Load();
  EXPECT_EQ(page, qv::RenderFormPage(form.Definition(), qv::Language::kGerman));
  EXPECT_NE(page.find("<h2>Seite 1 von "), std::string::npos);
}

}  // namespace
