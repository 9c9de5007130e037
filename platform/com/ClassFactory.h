// IClassFactory: the object a module gives out for one of its classes, which makes the
// class's objects. A module answers a class id with its factory; the caller asks the factory
// for a new object and the interface it wants.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"

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

namespace qv::com {

// The factory a module keeps, as a static object, for one of its classes. It is never
// deleted: AddRef and Release count nothing. `create` makes a new object with one reference,
// as IUnknown; `lock` is the module's lock (TRUE one more, FALSE one less), which LockServer
// takes and gives back.
class ObjectFactory final : public IClassFactory {
 public:
  using CreateFunction = IUnknown* (*)();
  using LockFunction = void (*)(BOOL lock);

  ObjectFactory(REFCLSID clsid, CreateFunction create, LockFunction lock)
      : clsid_(clsid), create_(create), lock_(lock) {}

  REFCLSID ClassId() const { return clsid_; }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr)
      return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }

  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr)
      return E_POINTER;
    *object = nullptr;
    if (outer != nullptr)
      return CLASS_E_NOAGGREGATION;
    IUnknown* made = create_();
    if (made == nullptr)
      return E_OUTOFMEMORY;
    HRESULT result = made->QueryInterface(iid, object);
    made->Release();  // the caller's reference, or the end of the object
    return result;
  }
  HRESULT LockServer(BOOL lock) override {
    lock_(lock);
    return S_OK;
  }

 private:
  CLSID clsid_;
  CreateFunction create_;
  LockFunction lock_;
};

}  // namespace qv::com
