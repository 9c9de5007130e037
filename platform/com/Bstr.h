// BSTR: a string that one side allocates and the other frees, the automation string of
// dispatch calls and events. A method that gives a string out allocates it with
// SysAllocString; the caller owns it and frees it with SysFreeString.
//
// Ours holds 8-bit text, Windows-1252 as everywhere in this system, stored byte for byte as
// given: no conversion to or from wide characters. A BSTR points at its first character; its
// length is kept before it, so it may hold NUL bytes, and a NUL follows its last character so
// it can be read as C text. A null BSTR is a valid empty string.
//
// Every string allocated here is counted until it is freed: LiveStringCount() lets a test
// see a leak.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/base/wintypes.h"

using BSTR = char*;

// A new string holding the NUL-terminated `text`; null for a null `text` or when memory runs
// out.
BSTR SysAllocString(const char* text);
// A new string of `length` characters copied from `text`, NUL bytes included; with a null
// `text`, `length` zero characters. Null when memory runs out.
BSTR SysAllocStringLen(const char* text, UINT length);
// Frees a string from the two functions above. Null does nothing.
void SysFreeString(BSTR string);
// The number of characters in the string, not counting the NUL that follows; 0 for null.
UINT SysStringLen(BSTR string);

namespace qv::com {

// Strings allocated and not yet freed, in the whole process.
std::size_t LiveStringCount();

// The characters of `string` (all of them, NUL bytes included); empty for null.
std::string BstrText(BSTR string);

// Owns one BSTR (or none) and frees it when it goes. Copies hold copies of the string.
class Bstr {
 public:
  Bstr() = default;
  // Allocates a string holding `text`.
  explicit Bstr(std::string_view text);
  Bstr(const Bstr& other);
  Bstr(Bstr&& other) noexcept;
  Bstr& operator=(Bstr other) noexcept;
  ~Bstr();

  BSTR Get() const { return string_; }
  std::string Text() const { return BstrText(string_); }
  UINT Length() const { return SysStringLen(string_); }

  // Frees what is held and takes over `string`, which the caller owned.
  void Attach(BSTR string);
  // Gives the held string to the caller, who must free it; holds nothing afterwards.
  BSTR Detach();
  // Frees what is held and gives the address of the empty slot, for a callee that stores a
  // newly allocated string into it (a "string out" parameter).
  BSTR* Out();

 private:
  BSTR string_ = nullptr;
};

}  // namespace qv::com
