// The localisation library: the user's language from LC_ALL, LC_MESSAGES and LANG; the
// language library loaded from the languages folder, and every way it can fail; the help file
// name in both languages; the locale and its 48-byte record of conventions; and the help
// pages themselves, well-formed, linked and titled as their dialogs.
#include "platform/langrt/LangRt.h"

#include <dlfcn.h>
#include <expat.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "languages/de/GermanResources.h"
#include "resources/Dialogs.h"
#include "tests/support/Support.h"

namespace fs = std::filesystem;

// glibc's newlocale does not free the list of folders it makes of LOCPATH (a few bytes each
// call), and the test of a compiled German locale below sets LOCPATH: leak checking is told
// to let that one go. Programs without the leak checker never call this.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:argz_add_sep\n";
}

namespace {

std::uintptr_t Value(HINSTANCE handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

// A folder of its own for one test, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "langrt-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~TempFolder() {
    std::error_code error;
    if (!path_.empty())
      fs::remove_all(path_, error);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Every test starts with none of the locale variables set, the default folders and the "C"
// locale, and leaves the environment as it found it.
class LangRt : public ::testing::Test {
 protected:
  LangRt() {
    qv::SetLanguageFolder("");
    qv::SetHelpFolder("");
    QVsetlocale(QV_LC_ALL, "C");
  }
  ~LangRt() override {
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

struct LanguageCase {
  const char* lcAll;  // null: not set
  const char* lcMessages;
  const char* lang;
  qv::Language expected;
};

TEST_F(LangRt, TheLanguageIsTheFirstOfLcAllLcMessagesAndLangThatIsSet) {
  using L = qv::Language;
  const LanguageCase cases[] = {
      {nullptr, nullptr, nullptr, L::kNone},
      {nullptr, nullptr, "de", L::kGerman},
      {nullptr, nullptr, "de_DE", L::kGerman},
      {nullptr, nullptr, "de_AT.UTF-8", L::kGerman},
      {nullptr, nullptr, "de_CH@euro", L::kGerman},
      {nullptr, nullptr, "de.ISO-8859-1", L::kGerman},
      {nullptr, nullptr, "DE_de", L::kGerman},
      {nullptr, nullptr, "en_US.UTF-8", L::kEnglish},
      {nullptr, nullptr, "en", L::kEnglish},
      {nullptr, nullptr, "C", L::kNone},
      {nullptr, nullptr, "POSIX", L::kNone},
      {nullptr, nullptr, "C.UTF-8", L::kNone},
      {nullptr, nullptr, "", L::kNone},
      {nullptr, nullptr, "fr_FR.UTF-8", L::kNone},
      {nullptr, nullptr, "deu", L::kNone},
      {nullptr, nullptr, "german", L::kNone},
      {nullptr, "de_DE.UTF-8", "en_US.UTF-8", L::kGerman},
      {nullptr, "en_GB", "de_DE", L::kEnglish},
      {nullptr, "", "de_DE", L::kGerman},
      {"de_DE", "en_US", "en_US", L::kGerman},
      {"en_US", "de_DE", "de_DE", L::kEnglish},
      {"C", "de_DE", "de_DE", L::kNone},
      {"", "", "de_AT", L::kGerman},
      {"", "fr_FR", "de_DE", L::kNone},
  };
  for (const LanguageCase& c : cases) {
    SCOPED_TRACE(std::string("LC_ALL=") + (c.lcAll ? c.lcAll : "(unset)") +
                 " LC_MESSAGES=" + (c.lcMessages ? c.lcMessages : "(unset)") +
                 " LANG=" + (c.lang ? c.lang : "(unset)"));
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    unsetenv("LANG");
    if (c.lcAll)
      Set("LC_ALL", c.lcAll);
    if (c.lcMessages)
      Set("LC_MESSAGES", c.lcMessages);
    if (c.lang)
      Set("LANG", c.lang);
    EXPECT_EQ(qv::UserLanguage(), c.expected);
  }
}

TEST_F(LangRt, OtherVariablesDoNotChooseTheLanguage) {
  Set("LANGUAGE", "de");
  Set("LC_NUMERIC", "de_DE.UTF-8");
  Set("LC_CTYPE", "de_DE.UTF-8");
  EXPECT_EQ(qv::UserLanguage(), qv::Language::kNone);
  Set("LANG", "en_US");
  EXPECT_EQ(qv::UserLanguage(), qv::Language::kEnglish);
}

// ---- The language library

TEST_F(LangRt, AGermanUserGetsTheGermanLibraryFromTheLanguagesFolder) {
  German();
  const fs::path library = ProgramFolder() / "languages" / "QVCCDEU.DLL";
  ASSERT_TRUE(fs::is_regular_file(library)) << "the build puts the library at " << library;

  HINSTANCE handle = NL_LOADLANGUAGELIBRARY(nullptr, "QVCC");
  ASSERT_GE(Value(handle), 32u) << qv::LanguageLibraryProblem();
  EXPECT_EQ(qv::LanguageLibraryProblem(), "");
  const qv::ResourceModule* resources = qv::LanguageResources(handle);
  ASSERT_NE(resources, nullptr);
  EXPECT_NE(resources, &qv::GermanResources()) << "the library's own copy";
  EXPECT_STREQ(resources->FindString(32809), "Formular-Designer");
  ASSERT_NE(resources->FindDialog(103), nullptr);
  EXPECT_EQ(resources->FindDialog(103)->caption, qv::GermanResources().FindDialog(103)->caption);
  ASSERT_NE(resources->FindBitmap(201), nullptr);
  EXPECT_EQ(resources->FindBitmap(201)->files, qv::OwnResources().FindBitmap(201)->files);
  ASSERT_NE(resources->FindToolBar(204), nullptr);
  EXPECT_EQ(resources->FindToolBar(204)->buttons, qv::OwnResources().FindToolBar(204)->buttons);

  // The same file again: the same handle. A module address in this program finds the same
  // folder.
  EXPECT_EQ(NL_LOADLANGUAGELIBRARY(nullptr, "QVCC"), handle);
  EXPECT_EQ(NL_LOADLANGUAGELIBRARY(reinterpret_cast<HINSTANCE>(&ProgramFolder), "QVCC"), handle);
  Set("LANG", "de_CH@euro");
  EXPECT_EQ(NL_LOADLANGUAGELIBRARY(nullptr, "QVCC"), handle);
}

TEST_F(LangRt, TheModuleMakesTheLibraryCurrentAndReadsItsStrings) {
  // What the module's start-up does with the handle.
  German();
  HINSTANCE handle = NL_LOADLANGUAGELIBRARY(nullptr, "QVCC");
  ASSERT_GE(Value(handle), 32u) << qv::LanguageLibraryProblem();
  qv::SetResourceModule(qv::LanguageResources(handle));
  EXPECT_EQ(qv::LoadModuleString(32809), "Formular-Designer");
  EXPECT_EQ(qv::LoadModuleString(32782), "Ben&utzerdefinierte Datenformulare");
  qv::SetResourceModule(&qv::OwnResources());
  EXPECT_EQ(qv::LoadModuleString(32809), "Form Designer");
  qv::SetResourceModule(nullptr);
}

TEST_F(LangRt, NoLanguageLibraryForEnglishNoLanguageOrAnUnknownOne) {
  for (const char* lang : {"en_US.UTF-8", "C", "POSIX", "fr_FR.UTF-8", "de-DE"}) {
    SCOPED_TRACE(lang);
    Set("LANG", lang);
    HINSTANCE handle = NL_LOADLANGUAGELIBRARY(nullptr, "QVCC");
    EXPECT_EQ(Value(handle), 2u);
    EXPECT_EQ(qv::LanguageResources(handle), nullptr);
    EXPECT_NE(qv::LanguageLibraryProblem(), "");
  }
  unsetenv("LANG");
  EXPECT_EQ(Value(NL_LOADLANGUAGELIBRARY(nullptr, "QVCC")), 2u);
}

// A page asked for in a language gets that language's library whatever the user's language.
TEST_F(LangRt, ALanguageAskedForLoadsItsLibraryWhateverTheUsersLanguage) {
  Set("LANG", "en_US.UTF-8");
  HINSTANCE handle = qv::LoadLanguageLibrary(nullptr, "QVCC", qv::Language::kGerman);
  ASSERT_GE(Value(handle), 32u) << qv::LanguageLibraryProblem();
  ASSERT_NE(qv::LanguageResources(handle), nullptr);
  EXPECT_STREQ(qv::LanguageResources(handle)->FindString(32809), "Formular-Designer");
  for (qv::Language own : {qv::Language::kEnglish, qv::Language::kNone})
    EXPECT_EQ(Value(qv::LoadLanguageLibrary(nullptr, "QVCC", own)), 2u);
  German();
  EXPECT_EQ(NL_LOADLANGUAGELIBRARY(nullptr, "QVCC"), handle);
  EXPECT_EQ(Value(qv::LoadLanguageLibrary(nullptr, "QVCC", qv::Language::kEnglish)), 2u);
  EXPECT_EQ(Value(qv::LoadLanguageLibrary(nullptr, "QV CC", qv::Language::kGerman)), 2u);
}

TEST_F(LangRt, AKeyThatNamesNoFileLoadsNothing) {
  German();
  for (const char* key : {"", "../QVCC", "QV CC", "QVCC/x", "QVCC.DLL"}) {
    SCOPED_TRACE(key);
    EXPECT_EQ(Value(NL_LOADLANGUAGELIBRARY(nullptr, key)), 2u);
  }
  EXPECT_EQ(Value(NL_LOADLANGUAGELIBRARY(nullptr, nullptr)), 2u);
  EXPECT_EQ(Value(NL_LOADLANGUAGELIBRARY(nullptr, "QVXX")), 2u) << "no QVXXDEU.DLL";
}

TEST_F(LangRt, AMissingFolderOrFileLoadsNothing) {
  German();
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  qv::SetLanguageFolder(folder.path().string());
  EXPECT_EQ(Value(NL_LOADLANGUAGELIBRARY(nullptr, "QVCC")), 2u);
  EXPECT_NE(qv::LanguageLibraryProblem().find("QVCCDEU.DLL"), std::string::npos);

  qv::SetLanguageFolder((folder.path() / "absent").string());
  EXPECT_EQ(Value(NL_LOADLANGUAGELIBRARY(nullptr, "QVCC")), 3u);

  // A folder named as the library is no library file either.
  fs::create_directory(folder.path() / "QVCCDEU.DLL");
  qv::SetLanguageFolder(folder.path().string());
  EXPECT_EQ(Value(NL_LOADLANGUAGELIBRARY(nullptr, "QVCC")), 2u);
}

TEST_F(LangRt, AFileThatIsNoLibraryLoadsNothing) {
  German();
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  std::ofstream(folder.path() / "QVCCDEU.DLL") << "Formular-Designer\n";
  qv::SetLanguageFolder(folder.path().string());
  HINSTANCE handle = NL_LOADLANGUAGELIBRARY(nullptr, "QVCC");
  EXPECT_EQ(Value(handle), 11u);
  EXPECT_EQ(qv::LanguageResources(handle), nullptr);
}

TEST_F(LangRt, ALibraryWithoutTheEntryPointLoadsNothing) {
  German();
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  ASSERT_TRUE(fs::is_regular_file(QV_NOENTRY_LIBRARY));
  fs::copy_file(QV_NOENTRY_LIBRARY, folder.path() / "QVCCDEU.DLL");
  qv::SetLanguageFolder(folder.path().string());
  HINSTANCE handle = NL_LOADLANGUAGELIBRARY(nullptr, "QVCC");
  EXPECT_EQ(Value(handle), 20u);
  EXPECT_EQ(qv::LanguageResources(handle), nullptr);
  EXPECT_NE(qv::LanguageLibraryProblem().find("no entry point"), std::string::npos)
      << qv::LanguageLibraryProblem();
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

TEST_F(LangRt, TheGermanLibraryExportsOnlyItsEntryPoint) {
  const fs::path file = ProgramFolder() / "languages" / "QVCCDEU.DLL";
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto entry = reinterpret_cast<qv::LanguageEntry>(dlsym(library, qv::kLanguageEntryName));
  ASSERT_NE(entry, nullptr);
  const qv::ResourceModule* resources = entry(qv::kLanguageInterface);
  ASSERT_NE(resources, nullptr);
  EXPECT_STREQ(resources->FindString(32809), "Formular-Designer");
  EXPECT_EQ(entry(qv::kLanguageInterface + 1), nullptr) << "another interface: nothing";
  // qv::GermanResources and the module's own functions stay inside.
  EXPECT_EQ(dlsym(library, "_ZN2qv15GermanResourcesEv"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZN2qv12OwnResourcesEv"), nullptr);
  // The library's own folder, from an address inside it.
  EXPECT_EQ(fs::path(qv::ModuleFolder(reinterpret_cast<const void*>(entry))),
            ProgramFolder() / "languages");
  dlclose(library);
}

TEST_F(LangRt, TheModuleFolderIsThatOfTheFileHoldingTheAddress) {
  EXPECT_EQ(fs::path(qv::ModuleFolder(nullptr)), ProgramFolder());
  EXPECT_EQ(fs::path(qv::ModuleFolder(reinterpret_cast<const void*>(&ProgramFolder))),
            ProgramFolder());
  int local = 0;  // on the stack: in no file
  EXPECT_EQ(fs::path(qv::ModuleFolder(&local)), ProgramFolder());

  // A library loaded by a relative name, as a program started by "./qvtests" is named: the
  // folder is still absolute and clean.
  TempFolder temp;
  ASSERT_FALSE(temp.path().empty());
  fs::create_directories(temp.path() / "lib");
  fs::create_directories(temp.path() / "sub");
  fs::copy_file(ProgramFolder() / "languages" / "QVCCDEU.DLL", temp.path() / "lib" / "COPY.DLL");
  const fs::path before = fs::current_path();
  fs::current_path(temp.path() / "sub");
  void* library = dlopen("../lib/./COPY.DLL", RTLD_NOW | RTLD_LOCAL);
  void* entry = library != nullptr ? dlsym(library, qv::kLanguageEntryName) : nullptr;
  const std::string folder = entry != nullptr ? qv::ModuleFolder(entry) : "(not loaded)";
  fs::current_path(before);
  EXPECT_EQ(folder, fs::canonical(temp.path() / "lib").string());
  if (library != nullptr)
    dlclose(library);
}

// ---- The help file name

TEST_F(LangRt, TheHelpFileNameFollowsTheLanguage) {
  char buffer[MAX_PATH];
  const fs::path help = ProgramFolder() / "help";

  Set("LANG", "en_US.UTF-8");
  int length = NL_GetHelpLanguageFileName(nullptr, "QVCC", buffer);
  EXPECT_EQ(fs::path(buffer), help / "QVCC.HLP" / "index.html");
  EXPECT_EQ(length, static_cast<int>(std::strlen(buffer)));
  EXPECT_TRUE(fs::is_regular_file(buffer));

  unsetenv("LANG");
  NL_GetHelpLanguageFileName(nullptr, "QVCC", buffer);
  EXPECT_EQ(fs::path(buffer), help / "QVCC.HLP" / "index.html");

  German();
  length = NL_GetHelpLanguageFileName(nullptr, "QVCC", buffer);
  EXPECT_EQ(fs::path(buffer), help / "QVCCDEU.HLP" / "index.html");
  EXPECT_EQ(length, static_cast<int>(std::strlen(buffer)));
  EXPECT_TRUE(fs::is_regular_file(buffer));

  // What the module makes of it, and the page a request for the question dialog opens.
  std::string path = std::string(buffer) + ">ref";
  EXPECT_EQ(fs::path(qv::HelpPage(path, 101)), help / "QVCCDEU.HLP" / "101.html");
  EXPECT_EQ(fs::path(qv::HelpPage(path, 0)), help / "QVCCDEU.HLP" / "index.html");
  EXPECT_EQ(fs::path(qv::HelpPage(path, 999)), help / "QVCCDEU.HLP" / "index.html");
  EXPECT_EQ(fs::path(qv::HelpPage(std::string(buffer), 200)), help / "QVCCDEU.HLP" / "200.html");
}

TEST_F(LangRt, WithoutHelpInTheLanguageTheModulesOwnIsNamed) {
  char buffer[MAX_PATH];
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  qv::SetHelpFolder(folder.path().string());
  German();
  NL_GetHelpLanguageFileName(nullptr, "QVCC", buffer);
  EXPECT_EQ(fs::path(buffer), folder.path() / "QVCC.HLP" / "index.html");

  fs::create_directories(folder.path() / "QVCCDEU.HLP");
  std::ofstream(folder.path() / "QVCCDEU.HLP" / "index.html") << "<p>Hilfe</p>\n";
  NL_GetHelpLanguageFileName(nullptr, "QVCC", buffer);
  EXPECT_EQ(fs::path(buffer), folder.path() / "QVCCDEU.HLP" / "index.html");
}

TEST_F(LangRt, AHelpFileNameThatDoesNotFitIsWrittenBare) {
  char buffer[MAX_PATH];
  qv::SetHelpFolder("/" + std::string(300, 'h'));
  Set("LANG", "en_US");
  int length = NL_GetHelpLanguageFileName(nullptr, "QVCC", buffer);
  EXPECT_STREQ(buffer, "QVCC.HLP/index.html");
  EXPECT_EQ(length, 19);
}

TEST_F(LangRt, AKeyThatNamesNoFileGivesNoHelpFileName) {
  char buffer[MAX_PATH];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(NL_GetHelpLanguageFileName(nullptr, "../QVCC", buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(NL_GetHelpLanguageFileName(nullptr, "QVCC", nullptr), 0);
}

// ---- Locale

void ExpectCConventions(const QVLCONV& c) {
  EXPECT_STREQ(c.decimalPoint, ".");
  EXPECT_STREQ(c.thousandsSep, "");
  EXPECT_STREQ(c.grouping, "");
  EXPECT_STREQ(c.currencySymbol, "");
  EXPECT_STREQ(c.intCurrSymbol, "");
  EXPECT_STREQ(c.monDecimalPoint, "");
  EXPECT_STREQ(c.monThousandsSep, "");
  EXPECT_STREQ(c.positiveSign, "");
  EXPECT_STREQ(c.negativeSign, "");
  for (char value : {c.fracDigits, c.intFracDigits, c.pCsPrecedes, c.pSepBySpace, c.nCsPrecedes,
                     c.nSepBySpace, c.pSignPosn, c.nSignPosn})
    EXPECT_EQ(value, CHAR_MAX);
}

TEST_F(LangRt, TheRecordHoldsTheConventionsOfC) {
  QVLCONV record;
  std::memset(&record, 0x5A, sizeof record);
  ASSERT_EQ(QVlocaleconv(&record), 1);
  ExpectCConventions(record);
  EXPECT_EQ(QVlocaleconv(nullptr), 0);
}

TEST_F(LangRt, ABlankLocaleIsTheUsersFromTheEnvironment) {
  const std::string processLocale = setlocale(LC_ALL, nullptr);
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

  QVLCONV record;
  ASSERT_EQ(QVlocaleconv(&record), 1);
  ExpectCConventions(record);
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

// A German locale compiled for the test into a folder of its own, which LOCPATH names, so
// the test needs no locale installed on the machine; only localedef and the locale sources.
TEST_F(LangRt, TheRecordHoldsTheConventionsOfTheUsersLocale) {
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const fs::path compiled = folder.path() / "de_DE.UTF-8";
  const std::string command =
      "localedef -c -i de_DE -f UTF-8 '" + compiled.string() + "' >/dev/null 2>&1";
  (void)std::system(command.c_str());
  if (!fs::is_regular_file(compiled / "LC_NUMERIC"))
    GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 here (Debian package locales)";
  Set("LOCPATH", folder.path().c_str());
  Set("LANG", "de_DE.UTF-8");

  ASSERT_STREQ(QVsetlocale(QV_LC_ALL, " "), "de_DE.UTF-8");
  QVLCONV record;
  std::memset(&record, 0x5A, sizeof record);
  ASSERT_EQ(QVlocaleconv(&record), 1);
  EXPECT_STREQ(record.decimalPoint, ",");
  EXPECT_STREQ(record.thousandsSep, ".");
  EXPECT_STREQ(record.grouping, "\3\3");
  EXPECT_STREQ(record.currencySymbol, "\xE2\x82\xAC");  // the euro sign in UTF-8
  EXPECT_STREQ(record.intCurrSymbol, "EUR");
  EXPECT_STREQ(record.monDecimalPoint, ",");
  EXPECT_STREQ(record.monThousandsSep, ".");
  EXPECT_STREQ(record.positiveSign, "");
  EXPECT_STREQ(record.negativeSign, "-");
  EXPECT_EQ(record.fracDigits, 2);
  EXPECT_EQ(record.intFracDigits, 2);
  EXPECT_EQ(record.pCsPrecedes, 0) << "12,50 \xE2\x82\xAC";
  EXPECT_EQ(record.pSepBySpace, 1);
  EXPECT_EQ(record.pSignPosn, 1);

  // The process keeps its own conventions.
  EXPECT_STREQ(localeconv()->decimal_point, ".");
  char printed[16];
  std::snprintf(printed, sizeof printed, "%.1f", 2.5);
  EXPECT_STREQ(printed, "2.5");

  // Only the numbers of German, the rest of C.
  EXPECT_STREQ(QVsetlocale(QV_LC_ALL, "C"), "C");
  EXPECT_STREQ(QVsetlocale(QV_LC_NUMERIC, "de_DE.UTF-8"), "de_DE.UTF-8");
  ASSERT_EQ(QVlocaleconv(&record), 1);
  EXPECT_STREQ(record.decimalPoint, ",");
  EXPECT_STREQ(record.currencySymbol, "");
}

// ---- The help pages

// The module's 8-bit texts (Windows-1252, here only its Latin-1 letters) in UTF-8, without
// their "&" marks, as the pages hold them.
std::string ShownUtf8(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c == '&' && i + 1 < text.size())
      continue;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
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

const int kContexts[] = {101, 102, 103, 104, 200};

struct HelpLanguage {
  const char* source;  // folder under resources/help
  const char* built;   // help folder beside the programs
  const char* lang;
  const qv::ResourceModule& (*resources)();
};
const HelpLanguage kHelp[] = {
    {"en", "QVCC.HLP", "en", &qv::OwnResources},
    {"de", "QVCCDEU.HLP", "de", &qv::GermanResources},
};

std::set<std::string> HtmlFiles(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".html")
      names.insert(entry.path().filename().string());
  return names;
}

TEST(HelpPages, EveryContextHasAPageInBothLanguagesAndTheBuildCopiesThem) {
  const std::set<std::string> expected = {"index.html", "view.html", "101.html", "102.html",
                                          "103.html",   "104.html",  "200.html"};
  for (const HelpLanguage& language : kHelp) {
    SCOPED_TRACE(language.source);
    const fs::path source = fs::path(QV_RESOURCES) / "help" / language.source;
    const fs::path built = ProgramFolder() / "help" / language.built;
    EXPECT_EQ(HtmlFiles(source), expected);
    ASSERT_TRUE(fs::is_directory(built));
    EXPECT_EQ(HtmlFiles(built), expected);
    for (const std::string& name : expected)
      EXPECT_TRUE(FileBytes(built / name) == FileBytes(source / name)) << name << " is not a copy";
    EXPECT_TRUE(FileBytes(built / "help.css") ==
                FileBytes(fs::path(QV_RESOURCES) / "help" / "help.css"));
    for (int context : kContexts)
      EXPECT_EQ(fs::path(qv::HelpPage((built / "index.html").string() + ">ref",
                                      static_cast<DWORD>(context))),
                built / (std::to_string(context) + ".html"));
  }
}

// Each page is well-formed, in its language, titled as its heading says, and links only pages
// beside it; a dialog's page is titled with the dialog's caption in its language.
TEST(HelpPages, EveryPageIsWellFormedTitledAndItsLinksResolve) {
  for (const HelpLanguage& language : kHelp) {
    const fs::path folder = ProgramFolder() / "help" / language.built;
    for (const std::string& name : HtmlFiles(folder)) {
      SCOPED_TRACE(std::string(language.built) + "/" + name);
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
    for (int context : kContexts) {
      const DialogTemplate* dialog = language.resources().FindDialog(context);
      const std::string caption = context == 200      ? language.resources().FindString(200)
                                  : dialog != nullptr ? dialog->caption
                                                      : "(no dialog)";
      EXPECT_EQ(ParsePage(folder / (std::to_string(context) + ".html")).title, ShownUtf8(caption))
          << language.built << " " << context;
    }
  }
}

}  // namespace
