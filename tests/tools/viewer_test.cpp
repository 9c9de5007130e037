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
#include "tests/support/Support.h"
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

TEST(ViewerArgs, OneStringOrSeveral) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"/d /i=" + kSurvey}, kSurvey},
      {{"/d", "/i=" + kSurvey}, kSurvey},
      {{"/I=" + kShare + "My", "Form.FRM", "/D"}, kShare + "My Form.FRM"},
      {{"/i=\"" + kShare + "A B.FRM\""}, kShare + "A B.FRM"},
  };
  for (const auto& [args, expected] : cases) {
    std::string file, err;
    ASSERT_TRUE(qv::ParseViewerArgs(args, &file, &err)) << err;
    EXPECT_EQ(file, expected);
  }
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
  EXPECT_NE(qv::RenderNoFormPage(qv::Language::kEnglish).find("<h1>No form to show yet</h1>"),
            std::string::npos);
  EXPECT_NE(qv::RenderNoFormPage(qv::Language::kGerman).find("<h1>Noch kein Formular</h1>"),
            std::string::npos);
}

// A German user reads the viewer's own words in German (the page is Windows-1252).
// Every page break starts a page, the first one too.
TEST(FormPage, TheViewersWordsInTheUsersLanguage) {
  CFormDefinition form;
  form.Append(Marker(CFormField::kPageBreak));
  form.Append(Question(CFormField::kEditBox, "A", "A", true));
  form.Append(Marker(CFormField::kPageBreak));
  form.Append(Question(CFormField::kEditBox, "B", "B", false));
  std::string german = qv::RenderFormPage(form, qv::Language::kGerman);
  EXPECT_NE(german.find("<html lang=\"de\">"), std::string::npos);
  EXPECT_NE(german.find("<title>Formular ohne Namen</title>"), std::string::npos);
  EXPECT_EQ(Count(german, "<section class=\"page\""), 3u);
  EXPECT_NE(Between(german, "id=\"page-2\"", "</section>").find("id=\"q2\""), std::string::npos);
  EXPECT_NE(german.find("<h2>Seite 1 von 3</h2>"), std::string::npos);
  EXPECT_NE(german.find(">Weiter &gt;</a>"), std::string::npos);
  EXPECT_NE(german.find(">&lt; Zur\374ck</a>"), std::string::npos);
  EXPECT_NE(german.find("</span> Eine Antwort ist erforderlich.</p>"), std::string::npos);
  for (const char* english : {"Page ", "Next", "Back", "An answer"})
    EXPECT_EQ(german.find(english), std::string::npos) << english;
  std::string english = qv::RenderFormPage(form, qv::Language::kEnglish);
  EXPECT_NE(english.find("<title>Untitled form</title>"), std::string::npos);
  EXPECT_NE(english.find("<h2>Page 3 of 3</h2>"), std::string::npos);
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
