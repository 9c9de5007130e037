#include "platform/text/WordOrder.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text/CaseFold.h"

namespace qv {
namespace {

// What sets a character apart from the ASCII characters it sorts as; plain comes first.
enum Mark {
  kPlain,
  kAcute,
  kGrave,
  kCircumflex,
  kDiaeresis,
  kTilde,
  kRing,
  kCedilla,
  kCaron,
  kStroke,
  kHook,
  kOrdinal,
  kSuperscript,
  kJoined
};

struct Special {
  unsigned char byte;  // lower case
  const char* base;
  Mark mark;
};

// The Windows-1252 letters and digits beyond ASCII, in lower case (upper-case letters are
// folded first), with the ASCII characters they sort as.
constexpr Special kSpecials[] = {
    {0x83, "f", kHook},         // ƒ
    {0x9A, "s", kCaron},        // š Š
    {0x9C, "oe", kJoined},      // œ Œ
    {0x9E, "z", kCaron},        // ž Ž
    {0xAA, "a", kOrdinal},      // ª
    {0xB2, "2", kSuperscript},  // ²
    {0xB3, "3", kSuperscript},  // ³
    {0xB9, "1", kSuperscript},  // ¹
    {0xBA, "o", kOrdinal},      // º
    {0xDF, "ss", kJoined},      // ß
    {0xE0, "a", kGrave},        // à À
    {0xE1, "a", kAcute},        // á Á
    {0xE2, "a", kCircumflex},   // â Â
    {0xE3, "a", kTilde},        // ã Ã
    {0xE4, "a", kDiaeresis},    // ä Ä
    {0xE5, "a", kRing},         // å Å
    {0xE6, "ae", kJoined},      // æ Æ
    {0xE7, "c", kCedilla},      // ç Ç
    {0xE8, "e", kGrave},        // è È
    {0xE9, "e", kAcute},        // é É
    {0xEA, "e", kCircumflex},   // ê Ê
    {0xEB, "e", kDiaeresis},    // ë Ë
    {0xEC, "i", kGrave},        // ì Ì
    {0xED, "i", kAcute},        // í Í
    {0xEE, "i", kCircumflex},   // î Î
    {0xEF, "i", kDiaeresis},    // ï Ï
    {0xF0, "d", kStroke},       // ð Ð
    {0xF1, "n", kTilde},        // ñ Ñ
    {0xF2, "o", kGrave},        // ò Ò
    {0xF3, "o", kAcute},        // ó Ó
    {0xF4, "o", kCircumflex},   // ô Ô
    {0xF5, "o", kTilde},        // õ Õ
    {0xF6, "o", kDiaeresis},    // ö Ö
    {0xF8, "o", kStroke},       // ø Ø
    {0xF9, "u", kGrave},        // ù Ù
    {0xFA, "u", kAcute},        // ú Ú
    {0xFB, "u", kCircumflex},   // û Û
    {0xFC, "u", kDiaeresis},    // ü Ü
    {0xFD, "y", kAcute},        // ý Ý
    {0xFE, "th", kJoined},      // þ Þ
    {0xFF, "y", kDiaeresis},    // ÿ Ÿ
};

// Weights of the first step: a symbol weighs its byte value, below every digit and letter.
constexpr int kDigits = 0x100;
constexpr int kLetters = 0x200;

struct Unit {
  int weight;
  Mark mark;
};

struct SortKey {
  std::vector<Unit> units;
  int leftOut = 0;  // hyphens and apostrophes
};

// c is an ASCII lower-case letter, a digit or a symbol.
int WeightOf(char c) {
  auto byte = static_cast<unsigned char>(c);
  if (byte >= 'a' && byte <= 'z')
    return kLetters + (byte - 'a');
  if (byte >= '0' && byte <= '9')
    return kDigits + (byte - '0');
  return byte;
}

const Special* FindSpecial(char c) {
  for (const Special& special : kSpecials)
    if (special.byte == static_cast<unsigned char>(c))
      return &special;
  return nullptr;
}

SortKey MakeKey(std::string_view text) {
  SortKey key;
  for (char c : text) {
    if (c == '-' || c == '\'') {
      ++key.leftOut;
      continue;
    }
    char lower = ToLowerChar(c);
    if (const Special* special = FindSpecial(lower)) {
      for (const char* base = special->base; *base != '\0'; ++base)
        key.units.push_back({WeightOf(*base), base == special->base ? special->mark : kPlain});
    } else {
      key.units.push_back({WeightOf(lower), kPlain});
    }
  }
  return key;
}

int Order(int a, int b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

int CompareWordOrder(std::string_view a, std::string_view b) {
  SortKey keyA = MakeKey(a);
  SortKey keyB = MakeKey(b);
  std::size_t common = std::min(keyA.units.size(), keyB.units.size());
  for (std::size_t i = 0; i < common; ++i)
    if (keyA.units[i].weight != keyB.units[i].weight)
      return Order(keyA.units[i].weight, keyB.units[i].weight);
  if (keyA.units.size() != keyB.units.size())
    return keyA.units.size() < keyB.units.size() ? -1 : 1;
  for (std::size_t i = 0; i < common; ++i)
    if (keyA.units[i].mark != keyB.units[i].mark)
      return Order(keyA.units[i].mark, keyB.units[i].mark);
  if (keyA.leftOut != keyB.leftOut)
    return Order(keyA.leftOut, keyB.leftOut);
  // Only the places of the hyphens and apostrophes can differ now.
  return Order(ToLower(a).compare(ToLower(b)), 0);
}

}  // namespace qv
