// CCustomView: the console's one view, a list of the forms and groups of the core server that
// carries every command of the plug-in: a new form, modifying a form or group, deleting,
// scheduling, making a group of several forms, refreshing, and the four presentations.
//
// Rows carry item data 3 (a form), 4 (a group) or -2 (the "Add new form" row); the commands
// branch on it. The presentation and the column widths are kept in the application profile
// ("LastViewType", "NameColWidth", "DescColWidth"), the order of the rows too ("Item<n>").
#pragma once

#include <cstdint>
#include <string>

#include "distribution/DistributionTask.h"
#include "groups/GroupScheduling.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/View.h"
#include "view/Catalogue.h"
#include "view/HostControl.h"

class CCustomDoc;

class CCustomView : public CListView, public IGroupScheduling {
  DECLARE_DYNCREATE(CCustomView)

 public:
  // The presentations, in the low two style bits of the list window.
  static constexpr int kLargeIcons = 0;
  static constexpr int kDetails = 1;
  static constexpr int kSmallIcons = 2;
  static constexpr int kList = 3;

  CCustomView();
  ~CCustomView() override;

  CCustomDoc* GetDocument() const;

  // The selected row's index and item data; false when no row is selected.
  bool GetSelectedItem(int* index, DWORD_PTR* data) const;
  // 1 while a form or group row is selected (the control's enable rules read it).
  int GetItemSelected() const { return m_bItemSelected; }

  // Empties the list, fills it anew from the share and rewrites the saved order.
  void Refresh();
  // The catalogue of the view (the rows, the form map and the saved order).
  void FillCatalogue();
  void SaveOrder(int rowToDelete);
  bool GetFormDescription(const std::string& name, std::string& out) const;

  // The core server's scripts directory; "" when it cannot be found.
  std::string GetScriptsDirectory() const;
  // 1 when the configuration of that name exists and a task uses it; the record then holds
  // the configuration, also when no task uses it.
  int IsScheduled(TaskConfigRecord* record, const std::string& name) const override;
  // 1 when a configuration of that name exists (the record then holds it).
  int FindConfiguration(TaskConfigRecord* record, const std::string& name) const;

  CDistributionTask& GetDistributionTask() { return m_distributionTask; }
  // The group dialog's rewrite of a scheduled group's script: SetName(name), SetGroup(1) and
  // WriteScript on the distribution task.
  void WriteGroupScript(const std::string& name) override;
  int GetViewType() const { return m_viewType; }
  std::uintptr_t GetDatabasePointer() const { return m_databasePointer; }
  LONG GetSnapinId() const { return m_snapinId; }
  // The control the view's frame lies in; null when it lies in no control.
  IHostControl* GetControl() const;

  // The commands whose work lies in scheduling and deletion.
  void Schedule();
  void DeleteSelected();

 protected:
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  int OnCreate() override;
  void OnDestroy() override;

 private:
  void AddCommands();
  void MakeImagesAndColumns();
  void SelectAndFocus(int index);
  void SelectLast();
  void SetViewType(int type);

  void OnNewForm();
  void OnModify();
  void ModifyForm(int index);
  void ModifyGroup(int index);
  void OnProperties();
  void OnMultipleForms();
  void OnOpenSelected();
  LRESULT OnItemChanged(NMHDR* header);
  LRESULT OnBeginDrag();
  bool PrepareConfiguration(TaskConfigRecord* record, const std::string& name);
  LRESULT OnKeyUp(WPARAM key);
  void OnContextMenu(CPoint point);

  CDistributionTask m_distributionTask;
  TaskConfigRecord m_dragRecord{};
  CImageList m_largeImages;
  CImageList m_smallImages;
  int m_bItemSelected = 0;
  std::uintptr_t m_databasePointer = 0;  // the console's database handle, 0 without one
  LONG m_snapinId = 0;
  std::string m_strCoreServerName;
  std::string m_strFormsSharePath;
  int m_viewType = kLargeIcons;
  // (The catalogue keeps the working list of names for one fill itself: view/Catalogue.h.)
};

// The process-wide buffer that holds the script file name a configuration added here carries
// as its data (512 characters).
char* ConfigurationDataBuffer();
inline constexpr std::size_t kConfigurationDataSize = 512;

// The clipboard format of dragged task data, registered once per process by the first view
// made inside a control that has a database; 0 until then.
UINT TaskDataClipboardFormat();
