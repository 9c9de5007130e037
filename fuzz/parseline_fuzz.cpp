// Feeds one input as a field line of a form file to the parser and the text operations,
// composes the parsed entry back and parses that line again. Must neither crash nor leak.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "forms/FormField.h"
#include "forms/ProfileFile.h"
#include "platform/ui/MessageBox.h"

namespace {

class DiscardBoxes : public qv::MessageBoxHandler {
 public:
  int Show(std::string_view, std::string_view, UINT) override { return IDOK; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static DiscardBoxes discard;
  qv::SetMessageBoxHandler(&discard);

  const std::string line(reinterpret_cast<const char*>(data), size);
  CProfileFile text;
  std::string token;
  for (int n = -1; n <= 8; ++n)
    text.GetField(line, n, token);
  std::string quoted = line;
  text.QuoteText(quoted);
  text.UnquoteText(quoted);
  if (line.find(',') != std::string::npos && quoted != line)
    __builtin_trap();
  std::string unquoted = line;
  text.UnquoteText(unquoted);
  if (unquoted.size() > line.size())
    __builtin_trap();

  CFormField entry;
  if (entry.ParseLine(&text, line) != &entry)
    __builtin_trap();
  std::string composed;
  std::string note;
  entry.ComposeLine(composed, note);
  CFormField again;
  again.ParseLine(&text, composed);
  CFormField copy(again);
  copy.ComposeLine(composed, note);
  return 0;
}
