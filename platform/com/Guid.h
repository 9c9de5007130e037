// GUID: the 16-byte id of a class, an interface or a type library, with the Windows layout
// (a 32-bit, two 16-bit and eight 8-bit fields), so a record that holds one keeps its size.
//
// Written as text it is "{AE399777-76F3-11D1-8969-00A0C9323807}": the three fields in hex,
// then Data4's first two bytes and its last six. ParseGuid reads that form with or without
// the braces and in either letter case; FormatGuid writes it braced and in upper case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;    // an interface id
using CLSID = GUID;  // a class id
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace qv::com {

// Reads "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" or the same without both braces (hex digits
// in either case). On success fills *guid and returns true. Anything else (a missing or extra
// character, one brace without the other, a non-hex digit, blanks) returns false and leaves
// *guid unchanged.
bool ParseGuid(std::string_view text, GUID* guid);

// "{AE399777-76F3-11D1-8969-00A0C9323807}": braced, upper case, 38 characters.
std::string FormatGuid(REFGUID guid);

}  // namespace qv::com
