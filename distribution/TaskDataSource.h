// Dragging a form or group out of the list: the data source offers its task configuration in
// the clipboard format "QVNX_TASK_CFG_DATA" for delayed rendering, and renders it only when a
// drop target asks. Rendering writes the distribution script, so the script on the core server
// matches what was dropped. The rendered block is the 272-byte configuration record, whose
// data-address field holds 272 (where the data starts in the block), followed by the data: the
// script file name, without a NUL.
#pragma once

#include "platform/ole/DataSource.h"
#include "platform/ole/DropSource.h"
#include "platform/tasklib/TaskLib.h"

class CDistributionTask;

class CTaskDataSource : public COleDataSource {
 public:
  static constexpr DWORD kBlockFlags = 0x2042;  // moveable, shareable, zero-filled

  explicit CTaskDataSource(CDistributionTask* task);

  // The record offered, copied when the drag starts, and the format it is offered in.
  void SetRecord(const TaskConfigRecord& record) { m_record = record; }
  void SetFormat(UINT format) { m_format = format; }

  BOOL OnRenderData(LPFORMATETC format, LPSTGMEDIUM medium) override;

 private:
  UINT m_format = 0;
  CDistributionTask* m_pTask;
  TaskConfigRecord m_record;
};

// The drag's drop source: the framework's behaviour unchanged.
class CTaskDropSource : public COleDropSource {};

// The name of the format task configurations are offered in.
inline constexpr const char* kTaskDataFormatName = "QVNX_TASK_CFG_DATA";
