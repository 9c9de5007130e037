// The localisation library: the user's language, the language library and its failures, the
// help file name, the locale and its record of conventions, and the help pages.
#include "platform/langrt/LangRt.h"

#include <dlfcn.h>
#include <expat.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "languages/de/GermanResources.h"
#include "resources/Dialogs.h"
#include "tests/support/Support.h"

namespace fs = std::filesystem;

// glibc's newlocale leaks the folder list it makes of LOCPATH, which a test below sets.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:argz_add_sep\n";
}

namespace {

std::uintptr_t Value(HINSTANCE handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

// A folder of its own for one test, removed at the end.
struct TempFolder {
  fs::path path = [] {
    std::string pattern = (fs::temp_directory_path() / "langrt-XXXXXX").string();
    return fs::path(mkdtemp(pattern.data()) != nullptr ? pattern : "");
  }();
  ~TempFolder() {
    std::error_code error;
    fs::remove_all(path, error);
  }
};

// Each test starts with no locale variable, the default folders and the "C" locale.
class LangRt : public ::testing::Test {
 protected:
  LangRt() { Reset(); }
  ~LangRt() override { Reset(); }
  static void Reset() {
    qv::SetLanguageFolder("");
    qv::SetHelpFolder("");
    QVsetlocale(QV_LC_ALL, "C");
  }

  static void Set(const char* name, const char* value) { setenv(name, value, 1); }
  static void German() { Set("LANG", "de_DE.UTF-8"); }

 private:
  ClearedEnvironment environment_{{"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE", "LC_COLLATE",
                                   "LC_CTYPE", "LC_MONETARY", "LC_NUMERIC", "LC_TIME", "LOCPATH"}};
};

// ---- The user's language

// Sets the variables of `assignments` ("LC_ALL=de LANG=" ...) and unsets the others.
void UseOnly(const std::string& assignments) {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE", "LC_NUMERIC", "LC_CTYPE"})
    unsetenv(name);
  for (const std::string& assignment : Lines(assignments, " "))
    if (!assignment.empty())
      setenv(assignment.substr(0, assignment.find('=')).c_str(),
             assignment.substr(assignment.find('=') + 1).c_str(), 1);
}

TEST_F(LangRt, TheLanguageIsTheFirstOfLcAllLcMessagesAndLangThatIsSet) {
  using L = qv::Language;
  const std::pair<qv::Language, std::vector<const char*>> cases[] = {
      {L::kGerman,
       {"LANG=de", "LANG=de_DE", "LANG=de_AT.UTF-8", "LANG=de_CH@euro", "LANG=de.ISO-8859-1",
        "LANG=DE_de", "LC_MESSAGES=de_DE.UTF-8 LANG=en_US.UTF-8", "LC_MESSAGES= LANG=de_DE",
        "LC_ALL=de_DE LC_MESSAGES=en_US LANG=en_US", "LC_ALL= LC_MESSAGES= LANG=de_AT"}},
      {L::kEnglish,
       {"LANG=en_US.UTF-8", "LANG=en", "LC_MESSAGES=en_GB LANG=de_DE",
        "LC_ALL=en_US LC_MESSAGES=de_DE LANG=de_DE", "LANGUAGE=de LANG=en_US"}},
      {L::kNone,
       {"", "LANG=C", "LANG=POSIX", "LANG=C.UTF-8", "LANG=", "LANG=fr_FR.UTF-8", "LANG=deu",
        "LANG=german", "LC_ALL=C LC_MESSAGES=de_DE LANG=de_DE",
        "LC_ALL= LC_MESSAGES=fr_FR LANG=de_DE",
        "LANGUAGE=de LC_NUMERIC=de_DE.UTF-8 LC_CTYPE=de_DE.UTF-8"}},
  };
  for (const auto& [expected, environments] : cases) {
    for (const char* assignments : environments) {
      UseOnly(assignments);
      EXPECT_EQ(qv::UserLanguage(), expected) << assignments;
    }
  }
}

// ---- The language library

TEST_F(LangRt, AGermanUserGetsTheGermanLibraryFromTheLanguagesFolder) {
  German();
  HINSTANCE handle = NL_LOADLANGUAGELIBRARY(nullptr, "QVCC");
  ASSERT_GE(Value(handle), 32u) << qv::LanguageLibraryProblem();
  EXPECT_EQ(qv::LanguageLibraryProblem(), "");
  const qv::ResourceModule* resources = qv::LanguageResources(handle);
  ASSERT_NE(resources, nullptr);
  EXPECT_NE(resources, &qv::GermanResources()) << "the library's own copy";
  EXPECT_STREQ(resources->FindString(32809), "Formular-Designer");
  ASSERT_NE(resources->FindDialog(103), nullptr);
  EXPECT_EQ(resources->FindDialog(103)->caption, qv::GermanResources().FindDialog(103)->caption);

  // The same file by another way, or asked for in German by a user of English: the same handle.
  EXPECT_EQ(NL_LOADLANGUAGELIBRARY(nullptr, "QVCC"), handle);
  EXPECT_EQ(NL_LOADLANGUAGELIBRARY(reinterpret_cast<HINSTANCE>(&ProgramFolder), "QVCC"), handle);
  Set("LANG", "en_US.UTF-8");
  EXPECT_EQ(qv::LoadLanguageLibrary(nullptr, "QVCC", qv::Language::kGerman), handle);
  for (qv::Language own : {qv::Language::kEnglish, qv::Language::kNone})
    EXPECT_EQ(Value(qv::LoadLanguageLibrary(nullptr, "QVCC", own)), 2u);
  EXPECT_EQ(Value(qv::LoadLanguageLibrary(nullptr, "QV CC", qv::Language::kGerman)), 2u);

  // What the module's start-up does with the handle.
  qv::SetResourceModule(resources);
  EXPECT_EQ(qv::LoadModuleString(32782), "Ben&utzerdefinierte Datenformulare");
  qv::SetResourceModule(nullptr);
}

// No library for the module's own language, a key naming no file, or a library not there.
TEST_F(LangRt, EveryWayToFailLoadsNothingAndSaysWhy) {
  auto expectNothing = [](const char* key, unsigned code, const char* problem) {
    HINSTANCE handle = NL_LOADLANGUAGELIBRARY(nullptr, key);
    EXPECT_EQ(Value(handle), code);
    EXPECT_EQ(qv::LanguageResources(handle), nullptr);
    EXPECT_NE(qv::LanguageLibraryProblem().find(problem), std::string::npos)
        << qv::LanguageLibraryProblem();
  };
  for (const char* assignments :
       {"LANG=en_US.UTF-8", "LANG=C", "LANG=POSIX", "LANG=fr_FR.UTF-8", "LANG=de-DE", ""}) {
    SCOPED_TRACE(assignments);
    UseOnly(assignments);
    expectNothing("QVCC", 2, "own");
  }
  German();
  for (const char* key : {"", "../QVCC", "QV CC", "QVCC/x", "QVCC.DLL"}) {
    SCOPED_TRACE(key);
    expectNothing(key, 2, "key");
  }
  expectNothing(nullptr, 2, "key");
  expectNothing("QVXX", 2, "QVXXDEU.DLL");

  TempFolder temp;
  ASSERT_FALSE(temp.path.empty());
  const fs::path library = temp.path / "QVCCDEU.DLL";
  qv::SetLanguageFolder((temp.path / "absent").string());
  expectNothing("QVCC", 3, "absent");
  qv::SetLanguageFolder(temp.path.string());
  expectNothing("QVCC", 2, "QVCCDEU.DLL");
  fs::create_directory(library);  // a folder named as the library
  expectNothing("QVCC", 2, "QVCCDEU.DLL");
  fs::remove(library);
  std::ofstream(library) << "Formular-Designer\n";
  expectNothing("QVCC", 11, "QVCCDEU.DLL");
  fs::remove(library);
  fs::copy_file(QV_NOENTRY_LIBRARY, library);
  expectNothing("QVCC", 20, "no entry point");
}

TEST_F(LangRt, OnlyHandlesTheLoaderGaveNameResources) {
  German();
  HINSTANCE handle = NL_LOADLANGUAGELIBRARY(nullptr, "QVCC");
  ASSERT_GE(Value(handle), 32u) << qv::LanguageLibraryProblem();
  EXPECT_NE(qv::LanguageResources(handle), nullptr);
  for (std::uintptr_t value : {std::uintptr_t{0}, std::uintptr_t{2}, std::uintptr_t{31},
                               Value(handle) + 1, std::uintptr_t{100000}})
    EXPECT_EQ(qv::LanguageResources(reinterpret_cast<HINSTANCE>(value)), nullptr) << value;
}

// The library exports its entry alone; a file's folder is clean, also for a relative name.
TEST_F(LangRt, TheGermanLibraryExportsOnlyItsEntryPointAndKnowsItsFolder) {
  TempFolder temp;
  ASSERT_FALSE(temp.path.empty());
  fs::create_directories(temp.path / "lib");
  fs::create_directories(temp.path / "sub");
  fs::copy_file(ProgramFolder() / "languages" / "QVCCDEU.DLL", temp.path / "lib" / "COPY.DLL");
  const fs::path before = fs::current_path();
  fs::current_path(temp.path / "sub");
  void* library = dlopen("../lib/./COPY.DLL", RTLD_NOW | RTLD_LOCAL);
  auto entry = reinterpret_cast<qv::LanguageEntry>(
      library != nullptr ? dlsym(library, qv::kLanguageEntryName) : nullptr);
  const std::string folder =
      entry != nullptr ? qv::ModuleFolder(reinterpret_cast<const void*>(entry)) : "(not loaded)";
  fs::current_path(before);
  EXPECT_EQ(folder, fs::canonical(temp.path / "lib").string());
  ASSERT_NE(entry, nullptr);
  ASSERT_NE(entry(qv::kLanguageInterface), nullptr);
  EXPECT_STREQ(entry(qv::kLanguageInterface)->FindString(32809), "Formular-Designer");
  EXPECT_EQ(entry(qv::kLanguageInterface + 1), nullptr) << "another interface: nothing";
  EXPECT_EQ(dlsym(library, "_ZN2qv15GermanResourcesEv"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZN2qv12OwnResourcesEv"), nullptr);
  dlclose(library);

  int local = 0;  // on the stack: in no file
  for (const void* address : {static_cast<const void*>(nullptr), static_cast<const void*>(&local),
                              reinterpret_cast<const void*>(&ProgramFolder)})
    EXPECT_EQ(fs::path(qv::ModuleFolder(address)), ProgramFolder());
}

// ---- The help file name

TEST_F(LangRt, TheHelpFileNameFollowsTheLanguageAndFallsBackToTheModulesOwn) {
  enum class Help { kBuilt, kEmpty, kGerman, kTooLong };
  struct Case {
    const char* assignments;
    Help folder;
    const char* key;
    const char* expected;  // below the folder, or bare for a folder too long; "" for none
  };
  const Case cases[] = {
      {"LANG=en_US.UTF-8", Help::kBuilt, "QVCC", "QVCC.HLP/index.html"},
      {"", Help::kBuilt, "QVCC", "QVCC.HLP/index.html"},
      {"LANG=de_DE.UTF-8", Help::kBuilt, "QVCC", "QVCCDEU.HLP/index.html"},
      {"LANG=de_DE.UTF-8", Help::kEmpty, "QVCC", "QVCC.HLP/index.html"},
      {"LANG=de_DE.UTF-8", Help::kGerman, "QVCC", "QVCCDEU.HLP/index.html"},
      {"LANG=en_US", Help::kTooLong, "QVCC", "QVCC.HLP/index.html"},
      {"LANG=de_DE.UTF-8", Help::kBuilt, "../QVCC", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.assignments) + " " + c.key + " " + c.expected);
    UseOnly(c.assignments);
    TempFolder temp;
    fs::path folder = c.folder == Help::kBuilt ? ProgramFolder() / "help" : temp.path;
    if (c.folder == Help::kGerman) {
      fs::create_directories(folder / "QVCCDEU.HLP");
      std::ofstream(folder / "QVCCDEU.HLP" / "index.html") << "<p>Hilfe</p>\n";
    }
    if (c.folder == Help::kTooLong)
      folder = "/" + std::string(300, 'h');
    qv::SetHelpFolder(c.folder == Help::kBuilt ? "" : folder.string());
    char buffer[MAX_PATH];
    std::memset(buffer, 'x', sizeof buffer);
    const int length = NL_GetHelpLanguageFileName(nullptr, c.key, buffer);
    const std::string expected = c.expected[0] == '\0' || c.folder == Help::kTooLong
                                     ? c.expected
                                     : (folder / c.expected).string();
    EXPECT_EQ(buffer, expected);
    EXPECT_EQ(length, static_cast<int>(expected.size()));
  }
  EXPECT_EQ(NL_GetHelpLanguageFileName(nullptr, "QVCC", nullptr), 0);

  // What the module makes of it: the page a request for a dialog opens.
  const fs::path german = ProgramFolder() / "help" / "QVCCDEU.HLP";
  const std::string path = (german / "index.html").string();
  EXPECT_EQ(fs::path(qv::HelpPage(path + ">ref", 101)), german / "101.html");
  EXPECT_EQ(fs::path(qv::HelpPage(path + ">ref", 0)), german / "index.html");
  EXPECT_EQ(fs::path(qv::HelpPage(path + ">ref", 999)), german / "index.html");
  EXPECT_EQ(fs::path(qv::HelpPage(path, 200)), german / "200.html");
}

// ---- Locale

// The record's texts, each in brackets, and its numbers.
std::string Conventions(const QVLCONV& c) {
  std::string text;
  for (const char* field :
       {c.decimalPoint, c.thousandsSep, c.grouping, c.currencySymbol, c.intCurrSymbol,
        c.monDecimalPoint, c.monThousandsSep, c.positiveSign, c.negativeSign})
    text += std::string("[") + field + "]";
  for (char value : {c.fracDigits, c.intFracDigits, c.pCsPrecedes, c.pSepBySpace, c.nCsPrecedes,
                     c.nSepBySpace, c.pSignPosn, c.nSignPosn})
    text += " " + std::to_string(value);
  return text;
}
const char kCConventions[] = "[.][][][][][][][][] 127 127 127 127 127 127 127 127";

TEST_F(LangRt, ABlankLocaleIsTheUsersFromTheEnvironment) {
  const std::string processLocale = setlocale(LC_ALL, nullptr);
  QVLCONV record;
  std::memset(&record, 0x5A, sizeof record);
  ASSERT_EQ(QVlocaleconv(&record), 1);
  EXPECT_EQ(Conventions(record), kCConventions);
  EXPECT_EQ(QVlocaleconv(nullptr), 0);
  EXPECT_STREQ(QVsetlocale(QV_LC_ALL, nullptr), "C");

  Set("LANG", "C.UTF-8");
  EXPECT_STREQ(QVsetlocale(QV_LC_ALL, " "), "C.UTF-8");
  EXPECT_STREQ(QVsetlocale(QV_LC_NUMERIC, nullptr), "C.UTF-8");

  // Category by category: LC_ALL, then the category's own variable, then LANG.
  Set("LC_NUMERIC", "POSIX");
  EXPECT_STREQ(QVsetlocale(QV_LC_ALL, ""),
               "LC_COLLATE=C.UTF-8;LC_CTYPE=C.UTF-8;LC_MONETARY=C.UTF-8;LC_NUMERIC=POSIX;"
               "LC_TIME=C.UTF-8");
  EXPECT_STREQ(QVsetlocale(QV_LC_NUMERIC, nullptr), "POSIX");
  Set("LC_ALL", "C");
  EXPECT_STREQ(QVsetlocale(QV_LC_ALL, "  "), "C");

  // One category alone.
  EXPECT_STREQ(QVsetlocale(QV_LC_TIME, "C.UTF-8"), "C.UTF-8");
  EXPECT_STREQ(QVsetlocale(QV_LC_COLLATE, nullptr), "C");
  EXPECT_STREQ(QVsetlocale(QV_LC_ALL, nullptr),
               "LC_COLLATE=C;LC_CTYPE=C;LC_MONETARY=C;LC_NUMERIC=C;LC_TIME=C.UTF-8");
  ASSERT_EQ(QVlocaleconv(&record), 1);
  EXPECT_EQ(Conventions(record), kCConventions);
  EXPECT_EQ(setlocale(LC_ALL, nullptr), processLocale) << "the process's locale is not touched";
}

TEST_F(LangRt, ALocaleThatIsNotThereChangesNothing) {
  EXPECT_STREQ(QVsetlocale(QV_LC_ALL, "C.UTF-8"), "C.UTF-8");
  EXPECT_EQ(QVsetlocale(QV_LC_ALL, "xx_YY.UTF-8"), nullptr);
  EXPECT_EQ(QVsetlocale(QV_LC_NUMERIC, "xx_YY.UTF-8"), nullptr);
  EXPECT_EQ(QVsetlocale(QV_LC_ALL, "locales/de_DE.UTF-8"), nullptr);
  Set("LC_NUMERIC", "xx_YY");
  EXPECT_EQ(QVsetlocale(QV_LC_ALL, " "), nullptr) << "all five or none";
  EXPECT_EQ(QVsetlocale(6, "C"), nullptr);
  EXPECT_EQ(QVsetlocale(-1, "C"), nullptr);
  EXPECT_STREQ(QVsetlocale(QV_LC_ALL, nullptr), "C.UTF-8");
}

// A German locale compiled by localedef into a folder that LOCPATH names.
TEST_F(LangRt, TheRecordHoldsTheConventionsOfTheUsersLocale) {
  TempFolder folder;
  ASSERT_FALSE(folder.path.empty());
  const fs::path compiled = folder.path / "de_DE.UTF-8";
  const std::string command =
      "localedef -c -i de_DE -f UTF-8 '" + compiled.string() + "' >/dev/null 2>&1";
  (void)std::system(command.c_str());
  if (!fs::is_regular_file(compiled / "LC_NUMERIC"))
    GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 here (Debian package locales)";
  Set("LOCPATH", folder.path.c_str());
  Set("LANG", "de_DE.UTF-8");

  ASSERT_STREQ(QVsetlocale(QV_LC_ALL, " "), "de_DE.UTF-8");
  QVLCONV record;
  std::memset(&record, 0x5A, sizeof record);
  ASSERT_EQ(QVlocaleconv(&record), 1);
  // "12,50 \xE2\x82\xAC": the euro sign in UTF-8 after the amount, with a space.
  EXPECT_EQ(Conventions(record), "[,][.][\3\3][\xE2\x82\xAC][EUR][,][.][][-] 2 2 0 1 0 1 1 1");

  // The process keeps its own conventions.
  EXPECT_STREQ(localeconv()->decimal_point, ".");
  char printed[16];
  std::snprintf(printed, sizeof printed, "%.1f", 2.5);
  EXPECT_STREQ(printed, "2.5");

  // Only the numbers of German, the rest of C.
  EXPECT_STREQ(QVsetlocale(QV_LC_ALL, "C"), "C");
  EXPECT_STREQ(QVsetlocale(QV_LC_NUMERIC, "de_DE.UTF-8"), "de_DE.UTF-8");
  ASSERT_EQ(QVlocaleconv(&record), 1);
  EXPECT_EQ(Conventions(record), "[,][.][\3\3][][][][][][] 127 127 127 127 127 127 127 127");
}

// ---- The help pages

// A module's Latin-1 text in UTF-8 without its "&" marks, as the pages hold it.
std::string ShownUtf8(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c == '&' && i + 1 < text.size())
      continue;
    if (c >= 0x80) {
      out += static_cast<char>(0xC0 | (c >> 6));
      c = 0x80 | (c & 0x3F);
    }
    out += static_cast<char>(c);
  }
  return out;
}

struct Page {
  std::string error;  // why the page is not well-formed; "" when it is
  std::string lang, title, heading;
  std::vector<std::string> links;  // href of a and link
};

Page ParsePage(const fs::path& file) {
  struct State {
    Page page;
    std::string open;  // "title" or "h1" while inside one
  } state;
  const std::string bytes = FileBytes(file);
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** atts) {
        auto* s = static_cast<State*>(data);
        const std::string element = name;
        for (int i = 0; atts[i] != nullptr; i += 2) {
          const std::string attribute = atts[i];
          if (element == "html" && attribute == "lang")
            s->page.lang = atts[i + 1];
          if ((element == "a" || element == "link") && attribute == "href")
            s->page.links.push_back(atts[i + 1]);
        }
        if (element == "title" || element == "h1")
          s->open = element;
      },
      [](void* data, const XML_Char*) { static_cast<State*>(data)->open.clear(); });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* chars, int length) {
    auto* s = static_cast<State*>(data);
    if (!s->open.empty())
      (s->open == "h1" ? s->page.heading : s->page.title)
          .append(chars, static_cast<std::size_t>(length));
  });
  if (XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), 1) != XML_STATUS_OK)
    state.page.error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                       std::to_string(XML_GetCurrentLineNumber(parser));
  XML_ParserFree(parser);
  return state.page;
}

// Each language's folder under resources/help and beside the programs, and its resources.
struct HelpLanguage {
  const char* lang;
  const char* built;
  const qv::ResourceModule& (*resources)();
};
const HelpLanguage kHelp[] = {{"en", "QVCC.HLP", &qv::OwnResources},
                              {"de", "QVCCDEU.HLP", &qv::GermanResources}};

// Each page is copied, well-formed, in its language, titled as its dialog, and links only
// pages beside it.
TEST(HelpPages, EveryPageIsCopiedWellFormedTitledAndItsLinksResolve) {
  for (const HelpLanguage& language : kHelp) {
    SCOPED_TRACE(language.built);
    const fs::path source = fs::path(QV_RESOURCES) / "help" / language.lang;
    const fs::path folder = ProgramFolder() / "help" / language.built;
    std::map<std::string, std::string> pages = FolderTree(source);
    std::set<std::string> names;
    for (const auto& [name, bytes] : pages)
      names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"index.html", "view.html", "101.html", "102.html",
                                            "103.html", "104.html", "200.html"}));
    pages["help.css"] = FileBytes(fs::path(QV_RESOURCES) / "help" / "help.css");
    EXPECT_EQ(Changed(pages, FolderTree(folder.string())), std::vector<std::string>{});
    for (const std::string& name : names) {
      SCOPED_TRACE(name);
      Page page = ParsePage(folder / name);
      ASSERT_EQ(page.error, "");
      EXPECT_EQ(page.lang, language.lang);
      EXPECT_NE(page.title, "");
      EXPECT_EQ(page.heading, page.title);
      EXPECT_NE(std::find(page.links.begin(), page.links.end(), "help.css"), page.links.end());
      for (const std::string& link : page.links) {
        EXPECT_EQ(link.find(':'), std::string::npos) << link << ": pages link only each other";
        EXPECT_TRUE(fs::is_regular_file(folder / link.substr(0, link.find('#')))) << link;
      }
    }
    for (int context : {101, 102, 103, 104, 200}) {
      const DialogTemplate* dialog = language.resources().FindDialog(context);
      const std::string caption = context == 200      ? language.resources().FindString(200)
                                  : dialog != nullptr ? dialog->caption
                                                      : "(no dialog)";
      EXPECT_EQ(ParsePage(folder / (std::to_string(context) + ".html")).title, ShownUtf8(caption))
          << context;
    }
  }
}

}  // namespace
