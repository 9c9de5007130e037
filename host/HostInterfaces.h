// What the control asks of its console beyond events: the object behind the host class that
// takes a scheduled task's record, reached through the control's GetClassInterface event.
#pragma once

#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

// The console's class that schedules handed-over tasks.
inline constexpr CLSID CLSID_ConsoleTaskHost{
    0xAF21E513, 0x8690, 0x11D0, {0xBE, 0x62, 0x00, 0xA0, 0xC9, 0x1E, 0xF7, 0xB9}};
// Its interface; the control calls the one method after the three of IUnknown.
inline constexpr IID IID_IConsoleTaskHost{
    0x525746D0, 0x9BF9, 0x11D0, {0x83, 0x7B, 0x00, 0xA0, 0xC9, 0x1E, 0xF7, 0xB9}};

struct IConsoleTaskHost : IUnknown {
  // Takes the task record (`record`, a handle of qv::TaskRecordHandles(), platform/tasklib)
  // and the window handle of the control's frame (0 without one). The result is the
  // console's; the control passes it on.
  virtual LONG HandOver(LONG record, LONG frameWindow) = 0;

 protected:
  ~IConsoleTaskHost() = default;
};
