#include "platform/text/CaseFold.h"

#include <array>

namespace qv {
namespace {

struct Tables {
  std::array<unsigned char, 256> upper{};
  std::array<unsigned char, 256> lower{};
  constexpr Tables() {
    for (int c = 0; c < 256; ++c) {
      upper[c] = lower[c] = static_cast<unsigned char>(c);
    }
    auto pair = [this](int up, int low) {
      lower[up] = static_cast<unsigned char>(low);
      upper[low] = static_cast<unsigned char>(up);
    };
    for (int c = 'A'; c <= 'Z'; ++c)
      pair(c, c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c) {
      if (c != 0xD7)
        pair(c, c + 32);  // 0xD7 is the multiplication sign
    }
    pair(0x8A, 0x9A);  // S caron
    pair(0x8C, 0x9C);  // OE
    pair(0x8E, 0x9E);  // Z caron
    pair(0x9F, 0xFF);  // Y diaeresis
  }
};

// Built by the compiler: lookups need no guard for a first use.
constexpr Tables kTables;
const Tables& T() {
  return kTables;
}

}  // namespace

char ToUpperChar(char c) {
  return static_cast<char>(T().upper[static_cast<unsigned char>(c)]);
}
char ToLowerChar(char c) {
  return static_cast<char>(T().lower[static_cast<unsigned char>(c)]);
}

std::string ToUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = ToUpperChar(c);
  return out;
}

std::string ToLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = ToLowerChar(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToLowerChar(a[i]) != ToLowerChar(b[i]))
      return false;
  }
  return true;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = T().lower[static_cast<unsigned char>(a[i])];
    unsigned char y = T().lower[static_cast<unsigned char>(b[i])];
    if (x != y)
      return x < y ? -1 : 1;
  }
  if (a.size() != b.size())
    return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

}  // namespace qv
