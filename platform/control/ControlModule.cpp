#include "platform/control/ControlModule.h"

#include "platform/registry/AppProfile.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Wnd.h"

void COleControlModule::Stop() {
  if (started_ == 1)
    ExitInstance();
  started_ = 0;
}

BOOL COleControlModule::Start() {
  if (started_ == 0)
    started_ = InitInstance() ? 1 : -1;
  return started_ == 1 ? TRUE : FALSE;
}

void COleControlModule::SetHelpFilePath(const std::string& path) {
  qv::SetHelpFilePath(path);
}

void COleControlModule::SetAppName(const std::string& name) {
  qv::SetAppName(name);
}

const std::string& COleControlModule::AppName() const {
  return qv::AppName();
}

void COleControlModule::SetProfileName(const std::string& name) {
  qv::TheAppProfile().SetProfileName(name);
}

void COleControlModule::SetRegistryKey(const std::string& key) {
  qv::TheAppProfile().SetRegistryKey(key);
}
