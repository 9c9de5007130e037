#include "platform/ui/Clipboard.h"

#include <string>
#include <vector>

#include "platform/text/CaseFold.h"

UINT RegisterClipboardFormatA(const char* name) {
  static std::vector<std::string> names;  // format 0xC000 + i is names[i]
  if (name == nullptr || *name == '\0')
    return 0;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (qv::EqualsNoCase(names[i], name))
      return static_cast<UINT>(0xC000 + i);
  names.emplace_back(name);
  return static_cast<UINT>(0xC000 + names.size() - 1);
}
