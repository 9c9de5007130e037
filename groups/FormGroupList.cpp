#include "groups/FormGroupList.h"

#include <cstring>

#include "platform/file/FileApi.h"
#include "platform/profile/Profile.h"

namespace {

std::string Numbered(const char* prefix, std::size_t n) {
  return prefix + std::to_string(n);
}

}  // namespace

CFormGroup::CFormGroup(std::string sectionName, std::string groupName, CProfileFile* file)
    : m_strSectionName(std::move(sectionName)),
      m_strGroupName(std::move(groupName)),
      m_pFile(file) {
  m_bValid = 1;
  if (m_pFile != nullptr)
    LoadForms();
}

// The list has just made this group's section the file's default section.
void CFormGroup::LoadForms() {
  for (std::size_t j = 1;; ++j) {
    m_pFile->SetKey(Numbered("Form", j));
    std::string formName;
    if (!m_pFile->ReadDefault(formName) || formName.empty())
      break;
    AddForm(formName);
  }
  m_walk = 0;
}

void CFormGroup::AddForm(const std::string& formName) {
  m_forms.push_back(std::make_unique<CGroupFormEntry>(formName));
}

bool CFormGroup::RemoveForm(const std::string& formName) {
  for (auto it = m_forms.begin(); it != m_forms.end(); ++it) {
    if ((*it)->GetFormName() == formName) {
      m_forms.erase(it);
      m_walk = 0;
      return true;
    }
  }
  return false;
}

CGroupFormEntry* CFormGroup::GetFirstForm() {
  m_walk = 0;
  return GetNextForm();
}

CGroupFormEntry* CFormGroup::GetNextForm() {
  if (m_walk >= m_forms.size())
    return nullptr;
  return m_forms[m_walk++].get();
}

CFormGroupList::CFormGroupList(const std::string& filePath)
    : m_strFilePath(filePath), m_pFile(std::make_unique<CProfileFile>()) {
  if (!m_strFilePath.empty())
    m_pFile->SetPath(m_strFilePath);
  m_bValid = 1;
  m_nGroupCount = 0;
  Load();
}

void CFormGroupList::Load() {
  const unsigned failures = qv::ProfileReadFailures(m_strFilePath.c_str());
  for (std::size_t i = 1;; ++i) {
    std::string section = Numbered("Group", i);
    std::string name;
    if (!m_pFile->ReadString(section, "Name", name) || name.empty())
      break;
    ++m_nGroupCount;
    m_pFile->SetSection(section);
    m_groups.push_back(std::make_unique<CFormGroup>(section, name, m_pFile.get()));
  }
  if (qv::ProfileReadFailures(m_strFilePath.c_str()) != failures)
    m_bReadFailed = true;
  m_walk = 0;
  m_pCurrentGroup = nullptr;
}

void CFormGroupList::Save() {
  if (m_bReadFailed)
    return;
  if (!m_strFilePath.empty())
    WinRemove(m_strFilePath.c_str());
  Rewind();
  for (std::size_t g = 0; g < m_groups.size(); ++g) {
    CFormGroup& group = *m_groups[g];
    std::string section = Numbered("Group", g + 1);
    m_pFile->WriteString(section, "Name", group.GetGroupName());
    for (std::size_t f = 0; f < group.Forms().size(); ++f)
      m_pFile->WriteString(section, Numbered("Form", f + 1), group.Forms()[f]->GetFormName());
  }
}

CFormGroup* CFormGroupList::GetFirstGroup() {
  m_walk = 0;
  return GetNextGroup();
}

CFormGroup* CFormGroupList::GetNextGroup() {
  m_pCurrentGroup = m_walk < m_groups.size() ? m_groups[m_walk++].get() : nullptr;
  return m_pCurrentGroup;
}

void CFormGroupList::Rewind() {
  m_walk = 0;
  m_pCurrentGroup = nullptr;
  for (auto& group : m_groups)
    group->RewindForms();
}

void CFormGroupList::AddGroup(const std::string& name, const std::vector<std::string>& formNames) {
  auto group = std::make_unique<CFormGroup>(Numbered("Group", m_nGroupCount + 1), name, nullptr);
  for (const std::string& form : formNames)
    group->AddForm(form);
  m_groups.push_back(std::move(group));
  ++m_nGroupCount;
}

void CFormGroupList::ReplaceGroupForms(const std::string& name,
                                       const std::vector<std::string>& formNames) {
  Rewind();
  for (auto& group : m_groups) {
    if (group->GetGroupName() != name)
      continue;
    group->RemoveAllForms();
    for (const std::string& form : formNames)
      group->AddForm(form);
  }
  Rewind();
}

bool CFormGroupList::RemoveGroup(const std::string& name) {
  for (auto it = m_groups.begin(); it != m_groups.end(); ++it) {
    if ((*it)->GetGroupName() == name) {
      m_groups.erase(it);
      Save();
      --m_nGroupCount;
      return true;
    }
  }
  return false;
}

bool CFormGroupList::RemoveFormFromAllGroups(const std::string& formName) {
  bool removed = false;
  for (auto& group : m_groups)
    removed = group->RemoveForm(formName) || removed;
  if (removed)
    Save();
  return removed;
}

CFormGroup* CFormGroupList::FindGroupWithForm(const std::string& formName,
                                              const std::string& groupName) {
  Rewind();
  for (auto& group : m_groups) {
    for (const auto& entry : group->Forms()) {
      if (entry->GetFormName() == formName && group->GetGroupName() == groupName) {
        Rewind();
        return group.get();
      }
    }
  }
  Rewind();
  return nullptr;
}

bool CFormGroupList::IsFormInScheduledGroup(const IGroupScheduling& view,
                                            const std::string& formName) {
  std::vector<std::string> noted;
  Rewind();
  for (CFormGroup* group = GetFirstGroup(); group != nullptr; group = GetNextGroup()) {
    for (CGroupFormEntry* entry = group->GetFirstForm(); entry != nullptr;
         entry = group->GetNextForm()) {
      if (entry->GetFormName() == formName)
        noted.push_back(group->GetGroupName());
    }
  }
  Rewind();
  for (const std::string& name : noted) {
    TaskConfigRecord scratch;
    std::memset(&scratch, 0, sizeof scratch);
    if (view.IsScheduled(&scratch, name))
      return true;
  }
  return false;
}
