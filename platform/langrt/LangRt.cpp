#include "platform/langrt/LangRt.h"

#include <dlfcn.h>
#include <locale.h>

#include <array>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---- Locale

constexpr int kCategories = 5;  // QV_LC_COLLATE .. QV_LC_TIME, at index category - 1
constexpr std::array<int, kCategories> kMasks = {LC_COLLATE_MASK, LC_CTYPE_MASK, LC_MONETARY_MASK,
                                                 LC_NUMERIC_MASK, LC_TIME_MASK};
constexpr std::array<const char*, kCategories> kNames = {"LC_COLLATE", "LC_CTYPE", "LC_MONETARY",
                                                         "LC_NUMERIC", "LC_TIME"};

struct LibraryLocale {
  std::array<std::string, kCategories> names = {"C", "C", "C", "C", "C"};
  locale_t locale = nullptr;  // built from the names when first needed
  std::string answer;         // what QVsetlocale returned last
};

LibraryLocale& Current() {
  static LibraryLocale current;
  return current;
}

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0' ? value : nullptr;
}

// The locale of a category in the environment, as POSIX programs resolve "".
std::string EnvironmentLocale(int index) {
  for (const char* variable : {"LC_ALL", kNames[index], "LANG"})
    if (const char* value = NonEmptyEnv(variable))
      return value;
  return "C";
}

bool Blank(const char* text) {
  for (; *text != '\0'; ++text)
    if (*text != ' ')
      return false;
  return true;
}

// A locale object with each category set to its name; null when one of them is missing.
locale_t Build(const std::array<std::string, kCategories>& names) {
  locale_t built = newlocale(LC_ALL_MASK, "C", nullptr);
  for (int i = 0; built != nullptr && i < kCategories; ++i) {
    if (names[i] == "C" || names[i] == "POSIX")
      continue;
    locale_t next = newlocale(kMasks[i], names[i].c_str(), built);
    if (next == nullptr)
      freelocale(built);  // newlocale leaves its base alone when it fails
    built = next;
  }
  return built;
}

std::string NameOf(const LibraryLocale& current, int category) {
  if (category != QV_LC_ALL)
    return current.names[category - 1];
  bool same = true;
  for (const std::string& name : current.names)
    same = same && name == current.names[0];
  if (same)
    return current.names[0];
  std::string composite;
  for (int i = 0; i < kCategories; ++i)
    composite += std::string(i == 0 ? "" : ";") + kNames[i] + "=" + current.names[i];
  return composite;
}

// Copies `text` into a field of `size` bytes with its NUL, cut to fit before any UTF-8
// character that would not fit whole.
void CopyText(char* field, std::size_t size, const char* text) {
  std::size_t length = text != nullptr ? std::strlen(text) : 0;
  if (length >= size) {
    length = size - 1;
    // text[length] is the first byte left out: while it continues a character, that
    // character would be cut, so leave out its earlier bytes too.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
      --length;
  }
  std::memset(field, 0, size);
  if (length > 0)
    std::memcpy(field, text, length);
}

// ---- Language libraries

struct LoadedLibrary {
  void* library;
  const qv::ResourceModule* resources;
};

std::vector<LoadedLibrary>& Libraries() {
  static std::vector<LoadedLibrary> libraries;
  return libraries;
}

constexpr std::uintptr_t kFirstHandle = 32;
constexpr std::uintptr_t kNoLibrary = 2;
constexpr std::uintptr_t kNoFolder = 3;
constexpr std::uintptr_t kNotALibrary = 11;
constexpr std::uintptr_t kNoEntry = 20;

std::string& Problem() {
  static std::string problem;
  return problem;
}
std::string& LanguageFolderSetting() {
  static std::string folder;
  return folder;
}
std::string& HelpFolderSetting() {
  static std::string folder;
  return folder;
}

HINSTANCE Fail(std::uintptr_t code, std::string why) {
  Problem() = std::move(why);
  return reinterpret_cast<HINSTANCE>(code);
}

// A key names files: one or more letters, digits and "_", at most 32.
bool UsableKey(const char* key) {
  if (key == nullptr || key[0] == '\0' || std::strlen(key) > 32)
    return false;
  for (const char* c = key; *c != '\0'; ++c)
    if (std::isalnum(static_cast<unsigned char>(*c)) == 0 && *c != '_')
      return false;
  return true;
}

std::string FolderOr(const std::string& setting, HINSTANCE module, const char* name) {
  if (!setting.empty())
    return setting;
  return (fs::path(qv::ModuleFolder(module)) / name).string();
}

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

}  // namespace

const char* QVsetlocale(int category, const char* locale) {
  if (category < QV_LC_ALL || category > QV_LC_TIME)
    return nullptr;
  LibraryLocale& current = Current();
  if (locale != nullptr) {
    std::array<std::string, kCategories> names = current.names;
    for (int i = 0; i < kCategories; ++i) {
      if (category != QV_LC_ALL && category != i + 1)
        continue;
      names[i] = Blank(locale) ? EnvironmentLocale(i) : std::string(locale);
      if (names[i].find('/') != std::string::npos)
        return nullptr;
    }
    locale_t built = Build(names);
    if (built == nullptr)
      return nullptr;
    if (current.locale != nullptr)
      freelocale(current.locale);
    current.locale = built;
    current.names = names;
  }
  current.answer = NameOf(current, category);
  return current.answer.c_str();
}

int QVlocaleconv(QVLCONV* record) {
  if (record == nullptr)
    return 0;
  LibraryLocale& current = Current();
  if (current.locale == nullptr)
    current.locale = Build(current.names);
  if (current.locale == nullptr)
    return 0;
  locale_t previous = uselocale(current.locale);
  const lconv* c = localeconv();
  std::memset(record, 0, sizeof *record);
  CopyText(record->decimalPoint, sizeof record->decimalPoint, c->decimal_point);
  CopyText(record->thousandsSep, sizeof record->thousandsSep, c->thousands_sep);
  CopyText(record->grouping, sizeof record->grouping, c->grouping);
  CopyText(record->currencySymbol, sizeof record->currencySymbol, c->currency_symbol);
  CopyText(record->intCurrSymbol, sizeof record->intCurrSymbol, c->int_curr_symbol);
  CopyText(record->monDecimalPoint, sizeof record->monDecimalPoint, c->mon_decimal_point);
  CopyText(record->monThousandsSep, sizeof record->monThousandsSep, c->mon_thousands_sep);
  CopyText(record->positiveSign, sizeof record->positiveSign, c->positive_sign);
  CopyText(record->negativeSign, sizeof record->negativeSign, c->negative_sign);
  record->fracDigits = c->frac_digits;
  record->intFracDigits = c->int_frac_digits;
  record->pCsPrecedes = c->p_cs_precedes;
  record->pSepBySpace = c->p_sep_by_space;
  record->nCsPrecedes = c->n_cs_precedes;
  record->nSepBySpace = c->n_sep_by_space;
  record->pSignPosn = c->p_sign_posn;
  record->nSignPosn = c->n_sign_posn;
  uselocale(previous);
  return 1;
}

HINSTANCE NL_LOADLANGUAGELIBRARY(HINSTANCE module, const char* key) {
  return qv::LoadLanguageLibrary(module, key, qv::UserLanguage());
}

int NL_GetHelpLanguageFileName(HINSTANCE module, const char* key, char* buffer) {
  if (buffer == nullptr)
    return 0;
  buffer[0] = '\0';
  if (!UsableKey(key))
    return 0;
  const fs::path folder = FolderOr(HelpFolderSetting(), module, "help");
  const std::string code = qv::LanguageCode(qv::UserLanguage());
  std::string name = std::string(key) + code + ".HLP";
  if (!code.empty() && !IsFile(folder / name / "index.html"))
    name = std::string(key) + ".HLP";
  std::string written = (folder / name / "index.html").string();
  if (written.size() >= MAX_PATH)
    written = (fs::path(name) / "index.html").string();
  std::memcpy(buffer, written.c_str(), written.size() + 1);
  return static_cast<int>(written.size());
}

namespace qv {

const char* LanguageCode(Language language) {
  return language == Language::kGerman ? "DEU" : "";
}

HINSTANCE LoadLanguageLibrary(HINSTANCE module, const char* key, Language language) {
  if (!UsableKey(key))
    return Fail(kNoLibrary, "the key names no file");
  const char* code = LanguageCode(language);
  if (code[0] == '\0')
    return Fail(kNoLibrary, "the language is the module's own");
  const fs::path folder = FolderOr(LanguageFolderSetting(), module, "languages");
  std::error_code error;
  if (!fs::is_directory(folder, error))
    return Fail(kNoFolder, "no folder " + folder.string());
  const fs::path file = folder / (std::string(key) + code + ".DLL");
  if (!IsFile(file))
    return Fail(kNoLibrary, "no file " + file.string());

  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    return Fail(kNotALibrary, why != nullptr ? why : "dlopen failed");
  }
  auto entry = reinterpret_cast<LanguageEntry>(dlsym(library, kLanguageEntryName));
  const ResourceModule* resources = entry != nullptr ? entry(kLanguageInterface) : nullptr;
  if (resources == nullptr) {
    dlclose(library);
    return Fail(kNoEntry, entry == nullptr ? "no entry point in " + file.string()
                                           : "the entry of " + file.string() + " gives nothing");
  }

  std::vector<LoadedLibrary>& libraries = Libraries();
  std::uintptr_t index = 0;
  while (index < libraries.size() && libraries[index].library != library)
    ++index;
  if (index < libraries.size())
    dlclose(library);  // loaded before: the table keeps the first reference
  else
    libraries.push_back({library, resources});
  Problem().clear();
  return reinterpret_cast<HINSTANCE>(kFirstHandle + index);
}

std::string ModuleFolder(const void* address) {
  Dl_info info{};
  if (address != nullptr && dladdr(address, &info) != 0 && info.dli_fname != nullptr &&
      std::strchr(info.dli_fname, '/') != nullptr) {
    // The linker keeps the name it was given ("./qvtests", "../lib/x.so"): its folder is made
    // absolute and clean, links resolved, as the running program's own folder is below. A
    // file that is itself a link still belongs to the folder it was loaded from.
    std::error_code error;
    fs::path file = fs::absolute(info.dli_fname, error);
    fs::path folder;
    if (!error && fs::exists(file, error))
      folder = fs::canonical(file.parent_path(), error);
    if (!error && !folder.empty())
      return folder.string();
  }
  // The running program: the dynamic linker names it as it was started (possibly without a
  // folder, or relative to a directory since left), so ask the system instead.
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : program.parent_path().string();
}

void SetLanguageFolder(std::string folder) {
  LanguageFolderSetting() = std::move(folder);
}

void SetHelpFolder(std::string folder) {
  HelpFolderSetting() = std::move(folder);
}

const ResourceModule* LanguageResources(HINSTANCE handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  const std::vector<LoadedLibrary>& libraries = Libraries();
  if (value < kFirstHandle || value - kFirstHandle >= libraries.size())
    return nullptr;
  return libraries[value - kFirstHandle].resources;
}

const std::string& LanguageLibraryProblem() {
  return Problem();
}

std::string HelpPage(std::string_view helpFile, DWORD context) {
  std::string_view file = helpFile;
  const auto window = file.rfind('>');
  if (window != std::string_view::npos && file.find('/', window) == std::string_view::npos)
    file = file.substr(0, window);
  if (context != 0) {
    fs::path page = fs::path(file).parent_path() / (std::to_string(context) + ".html");
    if (IsFile(page))
      return page.string();
  }
  return std::string(file);
}

}  // namespace qv
