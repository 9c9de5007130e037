// CFormGroupDlg: the modal dialog in which a group of forms is made, or the forms of a group
// are changed. Every form of the document's form map is a line of a check list, in the map's
// own order, with the group's members checked; OK writes the group list file and, when the
// group is a scheduled task, rewrites the group's distribution script.
//
// A group whose name is changed here is added as a new group beside the old one; the old
// group and any task made for it stay as they were.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "groups/FormGroupList.h"
#include "groups/GroupScheduling.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "resources/ResourceIds.h"

class CCustomDoc;

class CFormGroupDlg : public CDialog {
 public:
  static constexpr int kTemplate = IDD_FORM_GROUP;
  static constexpr int kModeModify = 0;
  static constexpr int kModeCreate = 1;

  // Mode 1 makes a new group (the name is then empty), mode 0 changes the group `groupName`.
  // Loads the group list file of the core server's forms share.
  CFormGroupDlg(CWnd* parent, int mode, CCustomDoc* document, const std::string& groupName,
                IGroupScheduling* view);
  ~CFormGroupDlg() override;

  // 1 once the name or the form list changed; back to 0 on Cancel. The view refreshes its
  // list after a changed group.
  int GetChanged() const { return m_bChanged; }
  const std::string& GetGroupName() const { return m_strGroupName; }

  // The group name the name box's text gives: the text without the blanks around it. The
  // group list file reads a name back trimmed, so " Lead" could only ever be found as "Lead";
  // the checks, the comparison with the opening name and the save all see the trimmed name.
  static std::string GroupNameOf(const std::string& text);

 protected:
  BOOL OnInitDialog() override;
  std::unique_ptr<CWnd> CreateControl(const DialogItemTemplate& item) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  void FillFormList();
  void OnChangeGroupName();
  void OnSelchangeFormList();
  void OnCheckChangeFormList();
  // A box of this dialog: the string of `id`, caption "Custom Data Forms", OK, no icon.
  void Tell(UINT id);
  std::string NameInBox() const;

  CEdit* m_groupNameBox = nullptr;
  CCheckListBox* m_formList = nullptr;
  CCustomDoc* m_pDocument;
  std::string m_strCoreServerName;
  std::string m_strFormsSharePath;
  std::string m_strGroupName;
  int m_bListValid = 0;
  int m_bNewName;
  std::unique_ptr<CFormGroupList> m_pGroupList;
  int m_bChanged = 0;
  std::vector<std::string> m_selectedForms;
  IGroupScheduling* m_pView;
  std::string m_strOpeningName;
};
