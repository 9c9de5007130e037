#include "view/CustomView.h"

#include <cstring>

#include "distribution/Configurations.h"

CCustomView::CCustomView() {
  char server[256] = {};
  GetCoreServerName(server, sizeof server);
  m_strCoreServerName = server;
  m_strFormsSharePath = "\\\\" + m_strCoreServerName + "\\qvlogon\\";
}

int CCustomView::IsScheduled(TaskConfigRecord* record, const std::string& name) const {
  return ::IsScheduled(record, name.c_str());
}

int CCustomView::FindConfiguration(TaskConfigRecord* record, const std::string& name) const {
  return ::FindConfiguration(record, name.c_str());
}
