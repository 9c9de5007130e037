#include "platform/langrt/LangRt.h"

#include <dlfcn.h>
#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---- Locale

struct LibraryLocale {
  locale_t locale = nullptr;  // "C" until QVsetlocale sets it
  std::string answer;         // what QVsetlocale returned last
};

LibraryLocale& Current() {
  static LibraryLocale current;
  return current;
}

bool Blank(const char* text) {
  for (; *text != '\0'; ++text)
    if (*text != ' ')
      return false;
  return true;
}

// The name of a locale: one name, or each category's when they differ.
std::string NameOf(locale_t locale) {
  constexpr std::pair<int, const char*> kCategories[] = {{LC_COLLATE, "LC_COLLATE"},
                                                         {LC_CTYPE, "LC_CTYPE"},
                                                         {LC_MONETARY, "LC_MONETARY"},
                                                         {LC_NUMERIC, "LC_NUMERIC"},
                                                         {LC_TIME, "LC_TIME"}};
  std::string composite;
  bool same = true;
  const std::string first = nl_langinfo_l(_NL_LOCALE_NAME(LC_COLLATE), locale);
  for (const auto& [category, name] : kCategories) {
    const std::string value = nl_langinfo_l(_NL_LOCALE_NAME(category), locale);
    same = same && value == first;
    composite += std::string(composite.empty() ? "" : ";") + name + "=" + value;
  }
  return same ? first : composite;
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

HINSTANCE Fail(std::uintptr_t code) {
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

// The folder of the file that holds `address` (a loaded program or library), as the dynamic
// linker knows it; the running program's folder for null, or when the address lies in no
// loaded file.
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

// The three letters that name the language's files: "DEU" for German; "" for English and
// none, whose files are the module's own.
const char* LanguageCode(qv::Language language) {
  return language == qv::Language::kGerman ? "DEU" : "";
}

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

}  // namespace

const char* QVsetlocale(int category, const char* locale) {
  if (category != QV_LC_ALL || locale == nullptr || !Blank(locale))
    return nullptr;
  // newlocale reads "" from the environment as setlocale does, category by category.
  locale_t built = newlocale(LC_ALL_MASK, "", nullptr);
  if (built == nullptr)
    return nullptr;
  LibraryLocale& current = Current();
  if (current.locale != nullptr)
    freelocale(current.locale);
  current.locale = built;
  current.answer = NameOf(built);
  return current.answer.c_str();
}

int QVlocaleconv(QVLCONV* record) {
  if (record == nullptr)
    return 0;
  LibraryLocale& current = Current();
  if (current.locale == nullptr)
    current.locale = newlocale(LC_ALL_MASK, "C", nullptr);
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
  const fs::path folder = fs::path(ModuleFolder(module)) / "help";
  const std::string code = LanguageCode(qv::UserLanguage());
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

HINSTANCE LoadLanguageLibrary(HINSTANCE module, const char* key, Language language) {
  const char* code = LanguageCode(language);
  if (!UsableKey(key) || code[0] == '\0')
    return Fail(kNoLibrary);
  const fs::path folder = fs::path(ModuleFolder(module)) / "languages";
  std::error_code error;
  if (!fs::is_directory(folder, error))
    return Fail(kNoFolder);
  const fs::path file = folder / (std::string(key) + code + ".DLL");
  if (!IsFile(file))
    return Fail(kNoLibrary);

  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr)
    return Fail(kNotALibrary);
  auto entry = reinterpret_cast<LanguageEntry>(dlsym(library, kLanguageEntryName));
  const ResourceModule* resources = entry != nullptr ? entry(kLanguageInterface) : nullptr;
  if (resources == nullptr) {
    dlclose(library);
    return Fail(kNoEntry);
  }

  std::vector<LoadedLibrary>& libraries = Libraries();
  std::uintptr_t index = 0;
  while (index < libraries.size() && libraries[index].library != library)
    ++index;
  if (index < libraries.size())
    dlclose(library);  // loaded before: the table keeps the first reference
  else
    libraries.push_back({library, resources});
  return reinterpret_cast<HINSTANCE>(kFirstHandle + index);
}

const ResourceModule* LanguageResources(HINSTANCE handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  const std::vector<LoadedLibrary>& libraries = Libraries();
  if (value < kFirstHandle || value - kFirstHandle >= libraries.size())
    return nullptr;
  return libraries[value - kFirstHandle].resources;
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
