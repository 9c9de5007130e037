// IClassFactory: the object a module gives out for one of its classes, which makes the
// class's objects. A module answers a class id with its factory; the caller asks the factory
// for a new object and the interface it wants.
#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"
#include "platform/wintypes.h"

inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IClassFactory : IUnknown {
  // Makes a new object of the factory's class and stores its interface `iid`, referenced for
  // the caller, in *object; S_OK. Fails with CLASS_E_NOAGGREGATION for a non-null `outer`
  // (no class of ours can be aggregated), E_NOINTERFACE when the new object has no interface
  // `iid` (it is then destroyed), E_POINTER for a null `object`; *object is null on failure.
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
  // TRUE keeps the factory's module loaded until a matching FALSE, even with no object of it
  // alive. S_OK.
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};
