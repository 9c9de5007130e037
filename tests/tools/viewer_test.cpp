#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "forms/CustomForm.h"
#include "platform/path/HostFile.h"
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

// A German user reads the viewer's own words in German (the page is Windows-1252; the browser
// tests read its heading and the required legend). Every page break starts a page, the first
// one too.
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

}  // namespace
