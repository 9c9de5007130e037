#include "platform/ui/MessageBox.h"

#include <cstdio>

namespace qv {
namespace {

class ConsoleHandler : public MessageBoxHandler {
 public:
  int Show(std::string_view caption, std::string_view text, UINT type) override {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
  }
};

ConsoleHandler g_console;
MessageBoxHandler* g_handler = &g_console;

std::string& Name() {
  static std::string name = "Form Designer";
  return name;
}

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler* handler) {
  g_handler = handler != nullptr ? handler : &g_console;
}

void SetAppName(std::string name) {
  Name() = std::move(name);
}
const std::string& AppName() {
  return Name();
}

}  // namespace qv

int AfxMessageBox(const std::string& text, UINT type, UINT /*helpId*/) {
  return qv::g_handler->Show(qv::AppName(), text, type);
}

int MessageBoxA(void* /*owner*/, const char* text, const char* caption, UINT type) {
  return qv::g_handler->Show(caption != nullptr ? caption : "", text != nullptr ? text : "", type);
}
