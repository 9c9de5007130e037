// Message boxes. The window framework puts up real boxes; until it is installed (and in
// command-line programs) the console handler prints "caption: text" on stderr and answers
// IDOK, or IDNO to a Yes/No question, so no unattended run ever agrees to anything.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/wintypes.h"

namespace qv {

class MessageBoxHandler {
 public:
  virtual ~MessageBoxHandler() = default;
  // Shows one box and returns the button chosen (IDOK, IDYES, ...).
  virtual int Show(std::string_view caption, std::string_view text, UINT type) = 0;
};

// Installs the handler that shows every box from now on; null restores the console handler.
void SetMessageBoxHandler(MessageBoxHandler* handler);

// The application name, the caption of AfxMessageBox; "Form Designer" until set.
void SetAppName(std::string name);
const std::string& AppName();

}  // namespace qv

// The framework's plain box: caption is the application name.
int AfxMessageBox(const std::string& text, UINT type = MB_OK, UINT helpId = 0);

// A box with its own caption; the owner window only places the box.
int MessageBoxA(void* owner, const char* text, const char* caption, UINT type);
