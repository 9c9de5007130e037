// Reference-counted objects reached through interfaces.
//
// IUnknown is the base of every interface: QueryInterface asks an object for another of its
// interfaces by id, AddRef and Release count the references held to it, and the object deletes
// itself when the last one goes. An interface is never deleted directly.
//
// qv::com::Object implements the three methods for an object of ours: its count starts at 1
// (the creator's reference), Release deletes the object when it reaches 0, and QueryInterface
// asks the object's FindInterface which interface answers an id. Objects live on one thread,
// the user-interface thread, as apartment-threaded objects do: the count is not atomic.
//
// qv::com::ComPtr holds one reference and gives it back when it goes, so that neither callers
// nor tests have to pair AddRef and Release by hand.
#pragma once

#include <cstddef>
#include <utility>

#include "platform/base/wintypes.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IUnknown {
  // On success stores the interface that answers `iid` in *object, counts a reference for the
  // caller (who releases it) and returns S_OK. An object that has no such interface stores
  // null and returns E_NOINTERFACE; a null `object` gives E_POINTER. Asking for IID_IUnknown
  // always gives the same pointer for one object, whichever interface was asked.
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  // Count one more reference; returns the new count (for diagnostics only).
  virtual ULONG AddRef() = 0;
  // Give back one reference; at 0 the object deletes itself. Returns the count left.
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

namespace qv::com {

// The base of an object of ours that implements `Interfaces` (each derived from IUnknown):
//
//   class Sink final : public qv::com::Object<IDispatch> {
//     void* FindInterface(REFIID iid) override {
//       if (iid == IID_IUnknown || iid == IID_IDispatch)
//         return static_cast<IDispatch*>(this);
//       return nullptr;
//     }
//     ...
//   };
//   qv::com::ComPtr<Sink> sink = qv::com::MakeObject<Sink>();
//
// `new` gives the creator the first reference (MakeObject puts it into a ComPtr).
template <class... Interfaces>
class Object : public Interfaces... {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr)
      return E_POINTER;
    *object = FindInterface(iid);
    if (*object == nullptr)
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }

 protected:
  virtual ~Object() = default;

  // The pointer to the interface that answers `iid`, cast to that interface's type (so that
  // the caller may cast the void* back to it), or null when the object has none. It must
  // answer IID_IUnknown, always with the same one of its interfaces. No reference is counted
  // here.
  virtual void* FindInterface(REFIID iid) = 0;

 private:
  ULONG references_ = 1;
};

// Holds one reference to an object through its interface T (or its class).
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a reference of its own: AddRefs `object` (when not null).
  explicit ComPtr(T* object) : object_(object) {
    if (object_ != nullptr)
      object_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  // From a holder of a derived class or interface.
  template <class U>
  ComPtr(const ComPtr<U>& other) : ComPtr(static_cast<T*>(other.Get())) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // Releases what is held and holds nothing.
  void Reset() {
    if (object_ != nullptr)
      std::exchange(object_, nullptr)->Release();
  }
  // Releases what is held and takes over the reference the caller owned on `object`, without
  // counting another.
  void Attach(T* object) {
    Reset();
    object_ = object;
  }
  // Gives the held reference to the caller, who must release it; holds nothing afterwards.
  T* Detach() { return std::exchange(object_, nullptr); }
  // Releases what is held and gives the address of the empty slot, for a callee that stores a
  // referenced interface pointer into it (an "interface pointer out" parameter).
  T** Out() {
    Reset();
    return &object_;
  }

  // Asks the held object for the interface `iid`, which must be of type U. On success `out`
  // holds it and S_OK is returned; otherwise `out` holds nothing and the error is returned
  // (E_POINTER when nothing is held).
  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const {
    out->Reset();
    if (object_ == nullptr)
      return E_POINTER;
    void* found = nullptr;
    HRESULT result = object_->QueryInterface(iid, &found);
    if (SUCCEEDED(result))
      out->Attach(static_cast<U*>(found));
    return result;
  }

 private:
  T* object_ = nullptr;
};

// A new T(arguments...) whose first reference the returned holder owns.
template <class T, class... Arguments>
ComPtr<T> MakeObject(Arguments&&... arguments) {
  ComPtr<T> object;
  object.Attach(new T(std::forward<Arguments>(arguments)...));
  return object;
}

}  // namespace qv::com
