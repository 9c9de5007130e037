#include "platform/com/Bstr.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// A string's block: its length, then its characters and a NUL. The BSTR points at the
// characters, which start right after the length (malloc's alignment suits both).
using Length = std::uint32_t;

std::atomic<std::size_t> liveStrings{0};

Length* LengthOf(BSTR string) {
  return reinterpret_cast<Length*>(string) - 1;
}

}  // namespace

BSTR SysAllocString(const char* text) {
  if (text == nullptr)
    return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(std::strlen(text)));
}

BSTR SysAllocStringLen(const char* text, UINT length) {
  void* block = std::malloc(sizeof(Length) + length + 1);
  if (block == nullptr)
    return nullptr;
  Length* size = static_cast<Length*>(block);
  *size = length;
  BSTR string = reinterpret_cast<BSTR>(size + 1);
  if (text != nullptr)
    std::memcpy(string, text, length);
  else
    std::memset(string, 0, length);
  string[length] = '\0';
  ++liveStrings;
  return string;
}

void SysFreeString(BSTR string) {
  if (string == nullptr)
    return;
  std::free(LengthOf(string));
  --liveStrings;
}

UINT SysStringLen(BSTR string) {
  return string == nullptr ? 0 : *LengthOf(string);
}

namespace qv::com {

std::size_t LiveStringCount() {
  return liveStrings;
}

std::string BstrText(BSTR string) {
  return string == nullptr ? std::string() : std::string(string, SysStringLen(string));
}

Bstr::Bstr(std::string_view text)
    : string_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

Bstr::Bstr(const Bstr& other)
    : string_(other.string_ == nullptr ? nullptr
                                       : SysAllocStringLen(other.string_, other.Length())) {}

Bstr::Bstr(Bstr&& other) noexcept : string_(std::exchange(other.string_, nullptr)) {}

Bstr& Bstr::operator=(Bstr other) noexcept {
  std::swap(string_, other.string_);
  return *this;
}

Bstr::~Bstr() {
  SysFreeString(string_);
}

void Bstr::Attach(BSTR string) {
  SysFreeString(string_);
  string_ = string;
}

BSTR Bstr::Detach() {
  return std::exchange(string_, nullptr);
}

BSTR* Bstr::Out() {
  Attach(nullptr);
  return &string_;
}

}  // namespace qv::com
