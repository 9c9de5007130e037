// Parses one input as a registry hive file. Text that parses must come back from Serialize
// in a form that parses to the same contents; text that does not must leave the hive empty.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/Hive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  qv::Hive hive("HKEY_LOCAL_MACHINE");
  std::string why;
  if (!hive.Parse(input, &why)) {
    if (why.empty() || hive.Serialize() != "REGEDIT4\r\n")
      __builtin_trap();
    return 0;
  }
  std::string once = hive.Serialize();
  qv::Hive again("HKEY_LOCAL_MACHINE");
  if (!again.Parse(once, &why) || again.Serialize() != once)
    __builtin_trap();
  return 0;
}
