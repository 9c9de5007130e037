// The console's task pane: the tasks and task configurations of the console database. Its
// window takes drops of task configuration data ("QVNX_TASK_CFG_DATA": a configuration record
// followed by its data): the dropped configuration becomes a scheduled task of its name.
#pragma once

#include <nlohmann/json.hpp>

#include "platform/ole/DropTarget.h"
#include "platform/ui/Wnd.h"

namespace qv::console {

class TaskPane : public COleDropTarget {
 public:
  TaskPane();
  int Handle() const { return window_.Handle(); }

  DROPEFFECT OnDragEnter(CWnd* window, COleDataObject* data, DWORD keys, CPoint point) override;
  DROPEFFECT OnDragOver(CWnd* window, COleDataObject* data, DWORD keys, CPoint point) override;
  BOOL OnDrop(CWnd* window, COleDataObject* data, DROPEFFECT effect, CPoint point) override;

  // [{"id","name","configurationId","runnable"}], in the database's order; a task is not
  // runnable when its configuration names no script that is in the scripts directory.
  static nlohmann::json Tasks();
  // [{"id","name","data"}] of the snap-in "Execute Ini Script".
  static nlohmann::json Configurations();

 private:
  CWnd window_;
};

}  // namespace qv::console
