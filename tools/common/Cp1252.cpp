#include "tools/common/Cp1252.h"

namespace qv::text {
namespace {

// The characters of 0x80-0x9F; the code page leaves five of them unused, and those keep the
// C1 control of the same number so that they survive a round trip.
constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t* cp) {
  auto byte = [&](std::size_t i) -> unsigned {
    return pos + i < text.size() ? static_cast<unsigned char>(text[pos + i]) : 0x100;
  };
  unsigned b0 = byte(0);
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  }
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    low = b0 == 0xE0 ? 0xA0 : low;
    high = b0 == 0xED ? 0x9F : high;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    low = b0 == 0xF0 ? 0x90 : low;
    high = b0 == 0xF4 ? 0x8F : high;
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high)
    return 0;
  char32_t value = b0 & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80)  // 0x100, past the end, fails too
      return 0;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  *cp = value;
  return length;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    unsigned char b = static_cast<unsigned char>(ch);
    AppendUtf8(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b, &out);
  }
  return out;
}

namespace {

// The conversion of both: `replacement` < 0 refuses a character without a byte.
bool ToCp1252(std::string_view text, std::string* out, int replacement) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = 0;
    std::size_t n = DecodeUtf8(text, pos, &cp);
    if (n == 0)
      return false;
    pos += n;
    int byte = -1;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      byte = static_cast<int>(cp);
    } else {
      for (int i = 0; i < 32 && byte < 0; ++i)
        if (kHigh[i] == cp)
          byte = 0x80 + i;
    }
    if (byte < 0 && replacement < 0)
      return false;
    bytes.push_back(static_cast<char>(byte < 0 ? replacement : byte));
  }
  *out = std::move(bytes);
  return true;
}

}  // namespace

bool Utf8ToCp1252(std::string_view text, std::string* out) {
  return ToCp1252(text, out, -1);
}

bool Utf8ToCp1252Replacing(std::string_view text, std::string* out, char replacement) {
  return ToCp1252(text, out, static_cast<unsigned char>(replacement));
}

}  // namespace qv::text
