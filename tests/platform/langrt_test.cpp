// The localisation library: the user's language, the language library and its failures, the
// help file name, the locale and its record of conventions, and the help pages.
#include "platform/langrt/LangRt.h"

#include <dlfcn.h>
#include <expat.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
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

// A module's file below a folder of its own, a copy of a small library, loaded by a name
// relative to the current directory, which is the module's folder while the object lives.
class PlacedModule {
 public:
  explicit PlacedModule(const std::string& name = "module") : before_(fs::current_path()) {
    fs::create_directory(temp_.path / name);
    fs::copy_file(QV_NOENTRY_LIBRARY, temp_.path / name / "MODULE.OCX");
    fs::current_path(temp_.path / name);
    library_ = dlopen(("../" + name + "/./MODULE.OCX").c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  ~PlacedModule() {
    if (library_ != nullptr)
      dlclose(library_);
    fs::current_path(before_);
  }
  HINSTANCE Instance() const {
    return static_cast<HINSTANCE>(library_ != nullptr ? dlsym(library_, "NotALanguageEntry")
                                                      : nullptr);
  }
  static fs::path Folder() { return fs::canonical(fs::current_path()); }

 private:
  TempFolder temp_;
  fs::path before_;
  void* library_ = nullptr;
};

// Each test starts with no locale variable.
class LangRt : public ::testing::Test {
 protected:
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
  ASSERT_GE(Value(handle), 32u);
  const qv::ResourceModule* resources = qv::LanguageResources(handle);
  ASSERT_NE(resources, nullptr);
  EXPECT_NE(resources, &qv::GermanResources()) << "the library's own copy";
  EXPECT_STREQ(resources->FindString(32809), "Formular-Designer");
  for (std::uintptr_t value : {0, 2, 31, 100000})
    EXPECT_EQ(qv::LanguageResources(reinterpret_cast<HINSTANCE>(value)), nullptr) << value;

  // The same file by another way, from an address in no file, or asked for in German by a
  // user of English: the same handle.
  int local = 0;
  for (const void* address :
       {static_cast<const void*>(&local), reinterpret_cast<const void*>(&ProgramFolder)})
    EXPECT_EQ(NL_LOADLANGUAGELIBRARY(static_cast<HINSTANCE>(const_cast<void*>(address)), "QVCC"),
              handle);
  Set("LANG", "en_US.UTF-8");
  EXPECT_EQ(qv::LoadLanguageLibrary(nullptr, "QVCC", qv::Language::kGerman), handle);

  // The library exports its entry alone, which knows one version of the interface.
  void* library = dlopen((ProgramFolder() / "languages" / "QVCCDEU.DLL").c_str(), RTLD_NOW);
  ASSERT_NE(library, nullptr) << dlerror();
  auto entry = reinterpret_cast<qv::LanguageEntry>(dlsym(library, qv::kLanguageEntryName));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry(qv::kLanguageInterface), resources);
  EXPECT_EQ(entry(qv::kLanguageInterface + 1), nullptr) << "another interface: nothing";
  EXPECT_EQ(dlsym(library, "_ZN2qv15GermanResourcesEv"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZN2qv12OwnResourcesEv"), nullptr);
  dlclose(library);
}

// No library for the module's own language or a key that names no file; beside a module: no
// folder, no file, a file that is no library, a library without the entry, then the library.
TEST_F(LangRt, EveryWayToFailLoadsNothingAndALibraryBesideTheModuleLoads) {
  auto expectNothing = [](HINSTANCE module, const char* key, unsigned code) {
    HINSTANCE handle = NL_LOADLANGUAGELIBRARY(module, key);
    EXPECT_EQ(Value(handle), code) << (key != nullptr ? key : "(null)");
    EXPECT_EQ(qv::LanguageResources(handle), nullptr);
  };
  for (const char* assignments : {"LANG=en_US.UTF-8", "LANG=C", "LANG=de-DE", ""}) {
    UseOnly(assignments);
    expectNothing(nullptr, "QVCC", 2);
  }
  German();
  for (const char* key :
       {"", "../languages/QVCC", "QV CC", "QVXX", static_cast<const char*>(nullptr)})
    expectNothing(nullptr, key, 2);

  PlacedModule module;
  ASSERT_NE(module.Instance(), nullptr);
  const fs::path languages = PlacedModule::Folder() / "languages";
  const fs::path library = languages / "QVCCDEU.DLL";
  expectNothing(module.Instance(), "QVCC", 3);
  fs::create_directory(languages);
  expectNothing(module.Instance(), "QVCC", 2);
  fs::create_directory(library);  // a folder named as the library
  expectNothing(module.Instance(), "QVCC", 2);
  fs::remove(library);
  std::ofstream(library) << "Formular-Designer\n";
  expectNothing(module.Instance(), "QVCC", 11);
  fs::remove(library);
  fs::copy_file(QV_NOENTRY_LIBRARY, library);
  expectNothing(module.Instance(), "QVCC", 20);
  fs::remove(library);
  fs::copy_file(ProgramFolder() / "languages" / "QVCCDEU.DLL", library);
  const HINSTANCE built = NL_LOADLANGUAGELIBRARY(nullptr, "QVCC");
  HINSTANCE handle = NL_LOADLANGUAGELIBRARY(module.Instance(), "QVCC");  // the last one loaded
  ASSERT_GE(Value(handle), 32u);
  EXPECT_NE(handle, built) << "another file";
  EXPECT_STREQ(qv::LanguageResources(handle)->FindString(32809), "Formular-Designer");
  EXPECT_EQ(qv::LanguageResources(reinterpret_cast<HINSTANCE>(Value(handle) + 1)), nullptr);
}

// ---- The help file name

TEST_F(LangRt, TheHelpFileNameFollowsTheLanguageAndFallsBackToTheModulesOwn) {
  auto helpFile = [](HINSTANCE module, const char* key) {
    char buffer[MAX_PATH];
    std::memset(buffer, 'x', sizeof buffer);
    const int length = NL_GetHelpLanguageFileName(module, key, buffer);
    EXPECT_EQ(length, static_cast<int>(strnlen(buffer, sizeof buffer)));
    return std::string(buffer, strnlen(buffer, sizeof buffer));
  };
  {
    PlacedModule module;
    const fs::path help = PlacedModule::Folder() / "help";
    struct Case {
      const char* assignments;
      bool germanHelp;  // whether the module's folder holds the German help
      const char* key;
      const char* expected;  // below the help folder; "" for none
    };
    const Case cases[] = {
        {"LANG=en_US.UTF-8", true, "QVCC", "QVCC.HLP"},
        {"LANG=de_DE.UTF-8", false, "QVCC", "QVCC.HLP"},
        {"LANG=de_DE.UTF-8", true, "QVCC", "QVCCDEU.HLP"},
        {"LANG=de_DE.UTF-8", true, "../QVCC", ""},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.assignments) + " " + c.key);
      UseOnly(c.assignments);
      fs::remove_all(help);
      if (c.germanHelp) {
        fs::create_directories(help / "QVCCDEU.HLP");
        std::ofstream(help / "QVCCDEU.HLP" / "index.html") << "<p>Hilfe</p>\n";
      }
      EXPECT_EQ(helpFile(module.Instance(), c.key),
                c.expected[0] == '\0' ? "" : (help / c.expected / "index.html").string());
    }
  }
  EXPECT_EQ(helpFile(nullptr, "QVCC"),
            (ProgramFolder() / "help" / "QVCCDEU.HLP" / "index.html").string());
  EXPECT_EQ(NL_GetHelpLanguageFileName(nullptr, "QVCC", nullptr), 0);
  {
    PlacedModule deep(std::string(250, 'h'));  // a name too long is written bare
    UseOnly("LANG=en_US");
    EXPECT_EQ(helpFile(deep.Instance(), "QVCC"), "QVCC.HLP/index.html");
  }

  // The page a request for a dialog opens: its own, else the contents.
  const fs::path german = ProgramFolder() / "help" / "QVCCDEU.HLP";
  const std::string path = (german / "index.html").string();
  EXPECT_EQ(fs::path(qv::HelpPage(path + ">ref", 101)), german / "101.html");
  EXPECT_EQ(fs::path(qv::HelpPage(path + ">ref", 999)), german / "index.html");
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

// The library's locale is the user's, category by category; one the system lacks changes
// nothing, and the process's own locale is never touched. The German locale is compiled by
// localedef into a folder that LOCPATH names.
TEST_F(LangRt, TheLibrarysLocaleIsTheUsersAndTheRecordHoldsItsConventions) {
  const std::string processLocale = setlocale(LC_ALL, nullptr);
  Set("LC_ALL", "C");
  ASSERT_STREQ(QVsetlocale(QV_LC_ALL, " "), "C");
  QVLCONV record;
  std::memset(&record, 0x5A, sizeof record);
  ASSERT_EQ(QVlocaleconv(&record), 1);
  EXPECT_EQ(Conventions(record), "[.][][][][][][][][] 127 127 127 127 127 127 127 127");
  EXPECT_EQ(QVlocaleconv(nullptr), 0);

  Set("LC_ALL", "");
  Set("LANG", "C.UTF-8");
  Set("LC_NUMERIC", "POSIX");
  EXPECT_STREQ(QVsetlocale(QV_LC_ALL, ""),
               "LC_COLLATE=C.UTF-8;LC_CTYPE=C.UTF-8;LC_MONETARY=C.UTF-8;LC_NUMERIC=C;"
               "LC_TIME=C.UTF-8");
  for (const auto& [category, locale] :
       {std::pair{1, " "}, {-1, " "}, {QV_LC_ALL, "C"}, {QV_LC_ALL, nullptr}})
    EXPECT_EQ(QVsetlocale(category, locale), nullptr) << category;

  TempFolder folder;
  const fs::path compiled = folder.path / "de_DE.UTF-8";
  const std::string command =
      "localedef -c -i de_DE -f UTF-8 '" + compiled.string() + "' >/dev/null 2>&1";
  (void)std::system(command.c_str());
  if (!fs::is_regular_file(compiled / "LC_NUMERIC"))
    GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 here (Debian package locales)";
  Set("LOCPATH", folder.path.c_str());
  Set("LANG", "de_DE.UTF-8");
  Set("LC_NUMERIC", "");
  ASSERT_STREQ(QVsetlocale(QV_LC_ALL, " "), "de_DE.UTF-8");
  ASSERT_EQ(QVlocaleconv(&record), 1);
  // "12,50 \xE2\x82\xAC": the euro sign in UTF-8 after the amount, with a space.
  const std::string german = "[,][.][\3\3][\xE2\x82\xAC][EUR][,][.][][-] 2 2 0 1 0 1 1 1";
  EXPECT_EQ(Conventions(record), german);
  EXPECT_STREQ(localeconv()->decimal_point, ".");
  EXPECT_EQ(setlocale(LC_ALL, nullptr), processLocale);

  Set("LC_TIME", "xx_YY");
  EXPECT_EQ(QVsetlocale(QV_LC_ALL, " "), nullptr);
  ASSERT_EQ(QVlocaleconv(&record), 1);
  EXPECT_EQ(Conventions(record), german) << "all five categories change or none";
}

// ---- The help pages

// A module's Latin-1 text in UTF-8 without its "&" marks, as the pages hold it.
std::string ShownUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text)
    if (c >= 0x80)
      out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    else if (c != '&')
      out += static_cast<char>(c);
  return out;
}

bool WellFormed(const std::string& page) {
  XML_Parser parser = XML_ParserCreate("UTF-8");
  const bool parsed =
      XML_Parse(parser, page.data(), static_cast<int>(page.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return parsed;
}

// What the first group of `pattern` finds in `page`; "" when it finds nothing.
std::string Found(const std::string& page, const std::string& pattern) {
  std::smatch match;
  return std::regex_search(page, match, std::regex(pattern)) ? match[1].str() : "";
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
      const std::string page = FileBytes(folder / name);
      EXPECT_TRUE(WellFormed(page));
      EXPECT_EQ(Found(page, "<html lang=\"([^\"]*)\""), language.lang);
      EXPECT_NE(Found(page, "<title>([^<]*)</title>"), "");
      EXPECT_EQ(Found(page, "<h1>([^<]*)</h1>"), Found(page, "<title>([^<]*)</title>"));
      EXPECT_NE(Found(page, "<link rel=\"stylesheet\" href=\"(help.css)\""), "");
      const std::regex href("href=\"([^\"]*)\"");
      for (auto it = std::sregex_iterator(page.begin(), page.end(), href);
           it != std::sregex_iterator(); ++it) {
        const std::string link = (*it)[1];
        EXPECT_EQ(link.find(':'), std::string::npos) << link << ": pages link only each other";
        EXPECT_TRUE(fs::is_regular_file(folder / link.substr(0, link.find('#')))) << link;
      }
    }
    for (int context : {101, 102, 103, 104, 200}) {
      const DialogTemplate* dialog = language.resources().FindDialog(context);
      const std::string caption = context == 200      ? language.resources().FindString(200)
                                  : dialog != nullptr ? dialog->caption
                                                      : "(no dialog)";
      EXPECT_EQ(
          Found(FileBytes(folder / (std::to_string(context) + ".html")), "<title>([^<]*)</title>"),
          ShownUtf8(caption))
          << context;
    }
  }
}

}  // namespace
