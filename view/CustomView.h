// CCustomView: the console's one view, a list of the forms and groups of the core server that
// carries every command of the plug-in. This part holds its data and the task lookups that
// the group dialog, scheduling and deletion use.
#pragma once

#include <list>
#include <memory>
#include <string>

#include "distribution/DistributionTask.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/ListCtrl.h"
#include "view/Catalogue.h"

class CCustomView : public CListCtrl {
 public:
  // The presentations, in the low two style bits of the list window.
  static constexpr int kLargeIcons = 0;
  static constexpr int kDetails = 1;
  static constexpr int kSmallIcons = 2;
  static constexpr int kList = 3;

  CCustomView();

  // 1 when the configuration of that name exists and a task uses it; the record then holds
  // the configuration, also when no task uses it.
  int IsScheduled(TaskConfigRecord* record, const std::string& name) const;
  // 1 when a configuration of that name exists (the record then holds it).
  int FindConfiguration(TaskConfigRecord* record, const std::string& name) const;

  CDistributionTask& GetDistributionTask() { return m_distributionTask; }
  int GetItemSelected() const { return m_bItemSelected; }

 protected:
  CDistributionTask m_distributionTask;
  TaskConfigRecord m_dragRecord{};
  int m_bItemSelected = 0;
  std::uintptr_t m_databasePointer = 0;  // the console's database handle, 0 without one
  LONG m_snapinId = 0;
  std::string m_strCoreServerName;
  std::string m_strFormsSharePath;
  int m_viewType = kLargeIcons;
  std::list<std::unique_ptr<CCatalogName>> m_catalogNames;
};
