#include "platform/com/Guid.h"

#include <cstdio>

namespace qv::com {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

// The value of `digits` hex digits at text[*at], moving *at past them; false on a non-hex
// character.
bool ReadHex(std::string_view text, std::size_t* at, int digits, std::uint32_t* value) {
  std::uint32_t result = 0;
  for (int i = 0; i < digits; ++i) {
    int digit = HexValue(text[*at]);
    if (digit < 0)
      return false;
    result = result * 16 + static_cast<std::uint32_t>(digit);
    ++*at;
  }
  *value = result;
  return true;
}

bool ReadDash(std::string_view text, std::size_t* at) {
  if (text[*at] != '-')
    return false;
  ++*at;
  return true;
}

}  // namespace

bool ParseGuid(std::string_view text, GUID* guid) {
  constexpr std::size_t kBareLength = 36;
  if (text.size() == kBareLength + 2 && text.front() == '{' && text.back() == '}')
    text = text.substr(1, kBareLength);
  if (text.size() != kBareLength)
    return false;

  GUID result{};
  std::size_t at = 0;
  std::uint32_t value = 0;
  if (!ReadHex(text, &at, 8, &value))
    return false;
  result.Data1 = value;
  if (!ReadDash(text, &at) || !ReadHex(text, &at, 4, &value))
    return false;
  result.Data2 = static_cast<std::uint16_t>(value);
  if (!ReadDash(text, &at) || !ReadHex(text, &at, 4, &value))
    return false;
  result.Data3 = static_cast<std::uint16_t>(value);
  if (!ReadDash(text, &at))
    return false;
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !ReadDash(text, &at))
      return false;
    if (!ReadHex(text, &at, 2, &value))
      return false;
    result.Data4[i] = static_cast<std::uint8_t>(value);
  }
  *guid = result;
  return true;
}

std::string FormatGuid(REFGUID guid) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.Data1), static_cast<unsigned>(guid.Data2),
                static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2],
                guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

}  // namespace qv::com
