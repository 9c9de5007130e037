#include "distribution/TaskDataSource.h"

#include <cstring>

#include "distribution/DistributionTask.h"
#include "platform/ole/GlobalMemory.h"
#include "platform/ole/Stream.h"

CTaskDataSource::CTaskDataSource(CDistributionTask* task) : m_pTask(task) {
  std::memset(&m_record, 0, sizeof m_record);
}

BOOL CTaskDataSource::OnRenderData(LPFORMATETC format, LPSTGMEDIUM medium) {
  if ((format->tymed & TYMED_HGLOBAL) == 0)
    return FALSE;
  m_pTask->WriteScript();  // at every rendering
  if (medium->tymed == TYMED_NULL) {
    medium->hGlobal = GlobalAlloc(kBlockFlags, sizeof m_record + m_record.dataLength);
    medium->tymed = TYMED_HGLOBAL;
  }
  if (medium->tymed != TYMED_HGLOBAL)
    return FALSE;
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(medium->hGlobal, FALSE, &stream)) || stream == nullptr)
    return FALSE;
  TaskConfigRecord copy = m_record;
  copy.data = sizeof copy;  // the data follows the record in the block
  stream->Write(&copy, sizeof copy, nullptr);
  if (const void* data = qv::TaskDataAddress(m_record.data))
    stream->Write(data, m_record.dataLength, nullptr);
  stream->Release();
  return TRUE;
}
