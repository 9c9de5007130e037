// The group list file "FDGRPLST.GPS" in the forms share: every form group of the core
// server, each a name and the names of its forms, in order.
//
//   [Group1]
//   Name=Site survey
//   Form1=Hardware
//   Form2=Location
//   [Group2]
//   Name=Desk check
//   Form1=Hardware
//
// Groups are numbered from 1 without gaps, forms within a group too; a reader stops at the
// first number without a value. CFormGroupList is the image of the file for one operation:
// it loads the file when made, is changed in memory, and writes the whole file anew on Save.
// Names are compared exactly (letter case counts).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "forms/ProfileFile.h"
#include "groups/GroupScheduling.h"

class CGroupFormEntry {
 public:
  explicit CGroupFormEntry(std::string formName) : m_strFormName(std::move(formName)) {}
  const std::string& GetFormName() const { return m_strFormName; }
  int GetFlag() const { return m_nFlag; }

 private:
  std::string m_strFormName;
  int m_nFlag = 1;  // always 1
};

class CFormGroup {
 public:
  // A loaded group reads its forms from `file` at its section; a group made in memory
  // (file null) starts without forms.
  CFormGroup(std::string sectionName, std::string groupName, CProfileFile* file);

  const std::string& GetSectionName() const { return m_strSectionName; }
  const std::string& GetGroupName() const { return m_strGroupName; }
  int IsValid() const { return m_bValid; }

  const std::vector<std::unique_ptr<CGroupFormEntry>>& Forms() const { return m_forms; }
  void AddForm(const std::string& formName);
  void RemoveAllForms() {
    m_forms.clear();
    m_walk = 0;
  }
  // Removes the first entry of that form name; false when there is none.
  bool RemoveForm(const std::string& formName);

  // The walk over the forms: the first entry, then each next one; null at the end.
  CGroupFormEntry* GetFirstForm();
  CGroupFormEntry* GetNextForm();
  void RewindForms() { m_walk = 0; }

 private:
  void LoadForms();

  std::string m_strSectionName;
  std::string m_strGroupName;
  std::vector<std::unique_ptr<CGroupFormEntry>> m_forms;
  CProfileFile* m_pFile;  // the list's file, not owned; null for a group made in memory
  int m_bValid = 0;
  std::size_t m_walk = 0;  // index of the entry the walk returns next
};

class CFormGroupList {
 public:
  static constexpr const char* kFileName = "FDGRPLST.GPS";

  // Binds the list to the file (when the path is not empty) and loads it. A missing file
  // gives a list without groups; the next Save creates it.
  explicit CFormGroupList(const std::string& filePath);
  CFormGroupList(const CFormGroupList&) = delete;
  CFormGroupList& operator=(const CFormGroupList&) = delete;

  // Appends the groups of the file, Group1, Group2, ... up to the first without a Name, to
  // the list (the constructor calls it on an empty list) and puts every walk at its start.
  // A read of the file that failed marks the list as read in part (ReadFailed).
  void Load();
  // Deletes the file and writes every group anew, numbered from 1, each group's forms
  // numbered from 1 too; nothing is written when the path is empty, or when the file could
  // not be read whole: the list lacks what the error hid, and saving it would drop that.
  void Save();
  // True when a read of the file failed while the list was loaded.
  bool ReadFailed() const { return m_bReadFailed; }

  // The walk over the groups: the first group, then each next one; null at the end.
  CFormGroup* GetFirstGroup();
  CFormGroup* GetNextGroup();
  // Puts the group walk and every group's form walk back at their starts.
  void Rewind();

  // Appends a group in memory (no save).
  void AddGroup(const std::string& name, const std::vector<std::string>& formNames);
  // Gives every group of that name exactly these forms (no save).
  void ReplaceGroupForms(const std::string& name, const std::vector<std::string>& formNames);
  // Removes the first group of that name and saves; false (nothing written) when none.
  bool RemoveGroup(const std::string& name);
  // True when a group that lists the form (exact name) is scheduled: the groups are noted in
  // order (a group that lists the form twice, twice) and each is asked of the view.
  bool IsFormInScheduledGroup(const IGroupScheduling& view, const std::string& formName);
  // Removes the form from every group and saves; false (nothing written) when no group
  // listed it.
  bool RemoveFormFromAllGroups(const std::string& formName);
  // The group named `groupName` that lists `formName`; null when none does.
  CFormGroup* FindGroupWithForm(const std::string& formName, const std::string& groupName);

  int IsValid() const { return m_bValid; }
  int GetGroupCount() const { return m_nGroupCount; }
  const std::string& GetFilePath() const { return m_strFilePath; }

 private:
  std::string m_strFilePath;
  std::vector<std::unique_ptr<CFormGroup>> m_groups;
  int m_bValid = 0;
  std::size_t m_walk = 0;  // index of the group the walk returns next
  std::unique_ptr<CProfileFile> m_pFile;
  CFormGroup* m_pCurrentGroup = nullptr;
  int m_nGroupCount = 0;
  bool m_bReadFailed = false;
};
