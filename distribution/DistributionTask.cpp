#include "distribution/DistributionTask.h"

#include <cstring>
#include <optional>

#include "distribution/RemoteRegistry.h"
#include "forms/CustomDoc.h"
#include "forms/ProfileFile.h"
#include "groups/FormGroupList.h"
#include "platform/file/FileApi.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/WaitCursor.h"

namespace {
constexpr const char* kSection = "MACHINES";
constexpr const char* kGroupListFile = "FDGRPLST.GPS";
}  // namespace

CDistributionTask::CDistributionTask() {
  char core[256] = {};
  GetCoreServerName(core, sizeof core);
  m_strCoreServerName.assign(core, strnlen(core, sizeof core));
  m_strFormsSharePath = "\\\\" + m_strCoreServerName + "\\qvlogon\\";
}

void CDistributionTask::SetName(const std::string& name) {
  m_strScriptFileName = name + ".ini";
  m_strName = name;
}

bool CDistributionTask::IsScriptName(const std::string& name) {
  if (name.empty())
    return false;
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr)
      return false;
  return true;
}

std::string CDistributionTask::ScriptPath(const std::string& scriptsDirectory,
                                          const std::string& name) {
  if (scriptsDirectory.empty() || !IsScriptName(name))
    return "";
  return scriptsDirectory + name + ".ini";
}

void CDistributionTask::AddFormFile(const std::string& formName) {
  if (m_pDocument == nullptr || m_pDocument->GetFormMap() == nullptr)
    return;
  std::string path;
  if (!m_pDocument->GetFormMap()->Lookup(formName, path))
    return;
  std::size_t slash = path.rfind('\\');
  if (slash != std::string::npos)
    m_formFiles.push_back(path.substr(slash + 1));
}

bool CDistributionTask::CollectFormFiles() {
  bool whole = m_pDocument == nullptr || m_pDocument->GetFormMapListingError() == 0;
  if (m_bGroup == 0) {
    AddFormFile(m_strName);
    return whole;
  }
  CFormGroupList groups(m_strFormsSharePath + kGroupListFile);
  for (CFormGroup* group = groups.GetFirstGroup(); group != nullptr;
       group = groups.GetNextGroup()) {
    if (group->GetGroupName() != m_strName)
      continue;
    for (CGroupFormEntry* entry = group->GetFirstForm(); entry != nullptr;
         entry = group->GetNextForm())
      AddFormFile(entry->GetFormName());
    break;
  }
  return whole && !groups.ReadFailed();
}

void CDistributionTask::WriteScript() {
  CWaitCursor wait;
  m_bWritten = false;
  if (!IsScriptName(m_strName))
    return;
  std::optional<CRemoteRegistry> registry;
  std::string mainPath;
  if (!FindMainPath(registry, &mainPath))
    return;
  std::string scriptPath = mainPath + "\\SCRIPTS\\" + m_strScriptFileName;

  if (!CollectFormFiles()) {
    m_formFiles.clear();
    return;
  }
  WinRemove(scriptPath.c_str());
  CProfileFile script;
  script.SetPath(scriptPath);
  bool written = script.WriteString(kSection, "REMDEL0", "\\QVCLIENT\\*.FRM") != 0;
  for (std::size_t i = 0; i < m_formFiles.size(); ++i) {
    const std::string& file = m_formFiles[i];
    written = script.WriteString(kSection, "REMCOPY" + std::to_string(i),
                                 mainPath + "\\QVLOGON\\" + file + ", " + "\\QVCLIENT\\" + file +
                                     ", " + "TOREMOTE") != 0 &&
              written;
  }
  m_formFiles.clear();
  m_bWritten = written;
}
