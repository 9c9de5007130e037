// IHostControl: what the frame and the view ask of the control they lie in: the console's
// database pointer, the hand-over of a task record to the console, and the prompt and status
// text of a command. The control implements it; the view reaches it from its frame's parent
// window and never needs the control's own class.
#pragma once

#include "platform/com/Bstr.h"
#include "platform/tasklib/TaskLib.h"

class IHostControl {
 public:
  virtual ~IHostControl() = default;

  // The console's database pointer (a handle); 0 when the console gave none.
  virtual LONG GetDatabasePointer() const = 0;
  // Hands `record` to the console's host object; its method's result, 0 when there is none.
  virtual LONG CallHostClassInterface(TaskRecord* record) = 0;
  // The string of `id` up to its first newline, as a new string the caller frees.
  virtual void GetMessageString(LONG id, BSTR* message) = 0;
  virtual void FireNoLogStatus(const char* text) = 0;
};
