// Readers of the window tree that the framework's snapshot shows, for tests that look at the
// topmost modal window and its controls.
#pragma once

#include <gtest/gtest.h>

#include "platform/ui/Ui.h"

// The topmost modal window; an empty state when none is open.
inline qv::ui::WindowState TopWindow() {
  qv::ui::Snapshot snapshot = qv::ui::TakeSnapshot();
  return snapshot.Top() != nullptr ? *snapshot.Top() : qv::ui::WindowState();
}

// The control `id` of the topmost modal window; an empty state, and a failure of the test,
// when it has none.
inline qv::ui::WindowState TopControl(int id) {
  qv::ui::WindowState top = TopWindow();
  const qv::ui::WindowState* found = top.Find(id);
  EXPECT_NE(found, nullptr) << "no control " << id << " in \"" << top.text << "\"";
  return found != nullptr ? *found : qv::ui::WindowState();
}

// The id of the topmost modal window's focused control; 0 when none has the focus.
inline int FocusedControl() {
  qv::ui::WindowState top = TopWindow();
  for (const qv::ui::WindowState& child : top.children)
    if (child.focused)
      return child.id;
  return 0;
}
