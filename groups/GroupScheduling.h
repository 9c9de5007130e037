// IGroupScheduling: what the group list and the group dialog ask of the view they work for.
// Whether a form or group is scheduled is the view's to say (a task configuration of that name
// that a task uses), and a scheduled group's script is written by the view's distribution
// task. The view implements it; the group code knows neither the view nor the task.
#pragma once

#include <string>

#include "platform/tasklib/TaskLib.h"

class IGroupScheduling {
 public:
  virtual ~IGroupScheduling() = default;

  // 1 when the configuration of that name exists and a task uses it; the record then holds
  // the configuration, also when no task uses it.
  virtual int IsScheduled(TaskConfigRecord* record, const std::string& name) const = 0;
  // Rewrites the script of the group `name` with the view's distribution task: the task's
  // name becomes the group's, its group flag 1, and it writes the script.
  virtual void WriteGroupScript(const std::string& name) = 0;
};
