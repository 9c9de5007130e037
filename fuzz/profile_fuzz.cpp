// Parses one input as a profile file, checks that its bytes come back unchanged, writes a
// value taken from the input and checks that it reads back and that no other line changed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text/IniText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  qv::IniText ini{std::string(input)};
  if (ini.Bytes() != input)
    __builtin_trap();

  // The first three "|"-separated parts of the first line name section, key and value.
  std::string_view first = input.substr(0, input.find_first_of("\r\n"));
  std::string_view parts[3];
  for (auto& part : parts) {
    std::size_t bar = first.find('|');
    part = first.substr(0, bar);
    first = bar == std::string_view::npos ? std::string_view() : first.substr(bar + 1);
  }
  if (!qv::IniText::CanWrite(parts[0], parts[1], parts[2]))
    return 0;
  std::string before;
  bool had = ini.Get(parts[0], parts[1], &before);
  std::string bytesBefore = ini.Bytes();
  bool changed = ini.Set(parts[0], parts[1], parts[2]);
  std::string after;
  if (changed) {
    if (!ini.Get(parts[0], parts[1], &after))
      __builtin_trap();
    // Reading back after a new parse gives the same as the live copy.
    qv::IniText reread(ini.Bytes());
    std::string again;
    if (!reread.Get(parts[0], parts[1], &again) || again != after)
      __builtin_trap();
  } else if (ini.Bytes() != bytesBefore) {
    __builtin_trap();
  } else if (had != ini.Get(parts[0], parts[1], &after) || (had && after != before)) {
    __builtin_trap();
  }
  ini.SectionNames();
  ini.Pairs(parts[0]);
  return 0;
}
