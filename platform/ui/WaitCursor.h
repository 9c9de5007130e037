// The wait cursor: shown while any CWaitCursor lives. The window framework shows it over
// its windows; a snapshot reports whether it is showing.
#pragma once

class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

namespace qv {
// How many CWaitCursor objects live now (0: the normal cursor).
int WaitCursorDepth();
}  // namespace qv
