#include "platform/ui/WaitCursor.h"

namespace {
int g_depth = 0;  // one user-interface thread: no lock
}

CWaitCursor::CWaitCursor() {
  ++g_depth;
}

CWaitCursor::~CWaitCursor() {
  --g_depth;
}

namespace qv {
int WaitCursorDepth() {
  return g_depth;
}
}  // namespace qv
