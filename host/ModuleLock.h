// The module's lock count: while it is above 0 the module must stay loaded (DllCanUnloadNow
// answers by it). Every live plug-in object holds one lock.
#pragma once

#include "platform/base/wintypes.h"

// The locks held now.
LONG ModuleLockCount();
// One lock more; one lock less. Each Unlock gives back a lock a Lock took.
void LockModule();
void UnlockModule();

// Holds one lock while it lives (a member of an object that keeps the module loaded).
class ModuleLock {
 public:
  ModuleLock() { LockModule(); }
  ~ModuleLock() { UnlockModule(); }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;
};
