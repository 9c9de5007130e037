#include "host/ModuleLock.h"

namespace {
// Objects live on the user-interface thread only: the count needs no lock of its own.
LONG g_locks = 0;
}  // namespace

LONG ModuleLockCount() {
  return g_locks;
}

void LockModule() {
  ++g_locks;
}

void UnlockModule() {
  --g_locks;
}
