#include "platform/ui/Clipboard.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/text/CaseFold.h"

namespace {

constexpr UINT kFirstFormat = 0xC000;

std::vector<std::string>& Names() {
  static std::vector<std::string> names;  // format 0xC000 + i is names[i]
  return names;
}

}  // namespace

UINT RegisterClipboardFormatA(const char* name) {
  std::vector<std::string>& names = Names();
  if (name == nullptr || *name == '\0')
    return 0;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (qv::EqualsNoCase(names[i], name))
      return static_cast<UINT>(kFirstFormat + i);
  names.emplace_back(name);
  return static_cast<UINT>(kFirstFormat + names.size() - 1);
}

int GetClipboardFormatNameA(UINT format, char* buffer, int size) {
  const std::vector<std::string>& names = Names();
  if (buffer == nullptr || size < 1 || format < kFirstFormat ||
      format - kFirstFormat >= names.size())
    return 0;
  const std::string& name = names[format - kFirstFormat];
  std::size_t copied = std::min(name.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, name.data(), copied);
  buffer[copied] = '\0';
  return static_cast<int>(copied);
}
