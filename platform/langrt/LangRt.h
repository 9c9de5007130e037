// The localisation library (langrt32): the locale of the library's number and money
// conventions, the user's language, the language resource module and the help file name.
//
// The user's language is chosen from the environment (platform/text/Language.h). English is
// the module's own language: it has no language library and its help is the module's own.
//
// Where the files lie, for a module whose file is <folder>/<module file> and the key "QVCC":
//   <folder>/languages/QVCC<LANG>.DLL      the language library, e.g. QVCCDEU.DLL for German
//   <folder>/help/QVCC.HLP/index.html      the module's own help (English)
//   <folder>/help/QVCC<LANG>.HLP/index.html  the help in the user's language
// <LANG> is the language's three-letter code of the original file names (DEU for German).
// A help "file" is a folder of HTML pages: index.html lists the pages, and the page of help
// context N is N.html beside it (qv::HelpPage below).
//
// Everything here runs on the one thread that starts the module; nothing is locked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/wintypes.h"
#include "platform/text/Language.h"
#include "platform/ui/DialogTemplate.h"

// ---- Locale

// The category the module passes: all of them.
inline constexpr int QV_LC_ALL = 0;

// Sets the library's locale to the user's: `category` is QV_LC_ALL and `locale` "" or a text
// of blanks only (the module passes " "). Each category (LC_COLLATE, LC_CTYPE, LC_MONETARY,
// LC_NUMERIC, LC_TIME) takes LC_ALL, else its own variable, else LANG (the first set and not
// empty), else "C". Returns the name now in force, as the C library names it ("POSIX" is
// "C"): the one name when all five categories have it, else "LC_COLLATE=...;LC_CTYPE=...;
// LC_MONETARY=...;LC_NUMERIC=...;LC_TIME=...". The text stays valid until the next call.
//
// Null, with nothing changed, for any other category or text, or when the environment names a
// locale this system does not have (all five categories change or none).
//
// The locale is the library's own, read by QVlocaleconv: the process's C locale (setlocale)
// is left as it is, since a module loaded into a host must not change how the host's code
// reads and writes numbers. The library starts in "C".
const char* QVsetlocale(int category, const char* locale);

// The numeric and monetary conventions of the library's locale, as localeconv gives them, in
// a record of 48 bytes. Texts end with a NUL; a text longer than its field is cut to the
// field, never inside a UTF-8 character. A number field holds CHAR_MAX where the locale gives
// no value (as all of them in "C").
struct QVLCONV {
  char decimalPoint[4];     // "." or ","
  char thousandsSep[4];     // "", ".", "," or a (narrow) no-break space
  char grouping[4];         // sizes of digit groups from the right, as localeconv's grouping:
                            // CHAR_MAX ends the grouping, the NUL repeats the last size; a
                            // longer grouping keeps its first three sizes
  char currencySymbol[8];   // "$", "\u20ac" (UTF-8, 3 bytes), "CHF"
  char intCurrSymbol[4];    // ISO 4217 code, "EUR" (without the separator that follows it)
  char monDecimalPoint[4];  // the decimal point and thousands separator of money amounts
  char monThousandsSep[4];
  char positiveSign[4];  // "" or "+"
  char negativeSign[4];  // "-"
  char fracDigits;       // digits after the decimal point of a money amount
  char intFracDigits;    // the same with the ISO code
  char pCsPrecedes;      // 1 when the symbol comes before a positive amount, 0 after
  char pSepBySpace;      // 0 no space between symbol and positive amount, 1 a space, 2 a
                         // space between symbol and sign
  char nCsPrecedes;      // the same two for a negative amount
  char nSepBySpace;
  char pSignPosn;  // where the sign stands: 0 parentheses, 1 before all, 2 after all,
  char nSignPosn;  // 3 before the symbol, 4 after the symbol
};
static_assert(sizeof(QVLCONV) == 48);
static_assert(offsetof(QVLCONV, grouping) == 8);
static_assert(offsetof(QVLCONV, currencySymbol) == 12);
static_assert(offsetof(QVLCONV, intCurrSymbol) == 20);
static_assert(offsetof(QVLCONV, negativeSign) == 36);
static_assert(offsetof(QVLCONV, fracDigits) == 40);
static_assert(offsetof(QVLCONV, nSignPosn) == 47);

// Fills *record from the library's locale (see QVsetlocale). 1 when filled; 0 for a null
// record.
int QVlocaleconv(QVLCONV* record);

// ---- Language library and help file

// Loads the language library of the user's language for the module `module` and its `key`
// ("QVCC"): <module folder>/languages/<key><LANG>.DLL, e.g. QVCCDEU.DLL, with dlopen.
// `module` is an address inside the calling module's loaded file (its base address, or any of
// its functions or data); the module folder is that file's folder as the dynamic linker
// knows it (absolute, links resolved; a relative name is taken from the current directory),
// or the running program's folder for null or an address in no loaded file.
//
// Returns a handle of 32 or more that names the loaded library (qv::LanguageResources gives
// its resources), or a value below 32, as the Windows loader's errors:
//   2  no library: the key is empty or holds other than letters, digits and "_"; the user
//      has no language or English; or there is no such file
//   3  the languages folder does not exist
//   11 the file is there but is not a library that loads
//   20 the library has no entry point QvLanguageResources, or its entry gives no resources
//      (it was built for another version of the interface)
// A library that loads stays loaded for the life of the process; loading the same file again
// gives the same handle.
HINSTANCE NL_LOADLANGUAGELIBRARY(HINSTANCE module, const char* key);

// Writes into `buffer` (MAX_PATH, 260, characters or more) the help file name for the user's
// language: <module folder>/help/<key><LANG>.HLP/index.html when that help is there, else the
// module's own <module folder>/help/<key>.HLP/index.html (whether or not that is there). A name of
// 260 characters or more is written as the bare "<key>[<LANG>].HLP/index.html". Returns the
// length written; 0, with "" written, for a key that names no file (see above), and 0 for a
// null buffer.
int NL_GetHelpLanguageFileName(HINSTANCE module, const char* key, char* buffer);

namespace qv {

// NL_LOADLANGUAGELIBRARY for `language` rather than the user's: the same file of that
// language, the same handles and the same values below 32 (2 for English and none). For a
// program that shows a page in a language it is asked for.
HINSTANCE LoadLanguageLibrary(HINSTANCE module, const char* key, Language language);

// The resources of a loaded language library; null for any value that
// NL_LOADLANGUAGELIBRARY did not return as a handle.
const ResourceModule* LanguageResources(HINSTANCE handle);

// The page to show for a help request: `helpFile` as the module set it (a trailing ">window"
// is dropped) and the request's context. The page of the context, N.html in the help file's
// folder, when it is there; else the help file itself (the contents page).
std::string HelpPage(std::string_view helpFile, DWORD context);

// The one entry point of a language library, exported with C linkage under the name
// kLanguageEntryName:
//   extern "C" const qv::ResourceModule* QvLanguageResources(unsigned interfaceVersion);
// It gives the library's resources, which live as long as the library is loaded, or null
// when it does not know `interfaceVersion`. The loader passes kLanguageInterface; the
// version changes whenever qv::ResourceModule or the resource structures change.
inline constexpr char kLanguageEntryName[] = "QvLanguageResources";
inline constexpr unsigned kLanguageInterface = 1;
using LanguageEntry = const ResourceModule* (*)(unsigned interfaceVersion);

}  // namespace qv
