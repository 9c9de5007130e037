// COleControlModule: the application object of a module that serves controls. A module
// defines one static object of a class derived from it; its entry points call Start() before
// anything else, so that InitInstance runs once, on the first call into the module (where the
// Windows loader would run it when the module is loaded). When the module is unloaded its
// static objects go: the derived class's destructor calls Stop(), which runs ExitInstance.
//
// The application's settings live in the framework, one per process: the help file
// (qv::SetHelpFilePath), the name shown as the caption of message boxes (qv::SetAppName) and
// the profile's registry key and name (qv::TheAppProfile). A process that loads two modules
// has the settings of the one that started last.
#pragma once

#include <string>

#include "platform/base/wintypes.h"

class COleControlModule {
 public:
  // `instance` is an address inside the module (any of its functions or objects).
  explicit COleControlModule(HINSTANCE instance) : m_hInstance(instance) {}
  virtual ~COleControlModule() = default;
  COleControlModule(const COleControlModule&) = delete;
  COleControlModule& operator=(const COleControlModule&) = delete;

  // Runs InitInstance the first time; afterwards answers what it answered.
  BOOL Start();
  // Runs ExitInstance when InitInstance ran and succeeded, once.
  void Stop();

  // The framework's own: nothing to do, TRUE.
  virtual BOOL InitInstance() { return TRUE; }
  // The framework's own: 0.
  virtual int ExitInstance() { return 0; }

  // The application's settings.
  void SetHelpFilePath(const std::string& path);
  void SetAppName(const std::string& name);
  const std::string& AppName() const;
  void SetProfileName(const std::string& name);
  void SetRegistryKey(const std::string& key);

  HINSTANCE m_hInstance;

 private:
  int started_ = 0;  // 0 not yet, 1 started, -1 InitInstance failed
};
