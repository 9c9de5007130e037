// Handles that stand for addresses in 32-bit values.
//
// A dispatch method or event parameter typed long holds 32 bits, and an address on this host
// has 64. Where such a parameter carries an address, it carries a handle from a
// HandleTable instead: the side that owns the object registers it and passes the handle, the
// other side resolves the handle back to the object. The long parameters that do this are the
// command-update object a container hands to a control for enabling a command, the database
// pointer an event hands back, the address of a record a control hands to its host, and menu
// handles. (The task library does the same for its records' data field with its own
// RegisterTaskData and TaskDataAddress.)
//
// One table holds objects of one type, and both sides must use the same table: it lives
// beside the type whose addresses it holds. A handle is positive, never 0, and is not given
// to a second object while it is registered; after Unregister it resolves to null, so a stale
// handle finds nothing instead of a dead object. Handles count up from 1 and are not given
// again until the count wraps after 2^31 - 1 of them.
//
// A table is used on one thread, the user-interface thread.
#pragma once

#include <cstddef>
#include <limits>
#include <map>

#include "platform/base/wintypes.h"

namespace qv::com {

template <class T>
class HandleTable {
 public:
  using Handle = LONG;

  // `first` is the first handle given out (1 unless a test wants to see the count wrap).
  explicit HandleTable(Handle first = 1) : next_(first > 0 ? first : 1) {}
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;

  // A new handle for `object`, registered until Unregister. Registering one object twice
  // gives two handles. Returns 0 for a null `object`, and when every positive value is in
  // use.
  Handle Register(T* object) {
    if (object == nullptr || entries_.size() == kMaxHandles)
      return 0;
    while (entries_.count(next_) != 0)
      Advance();
    Handle handle = next_;
    entries_[handle] = object;
    Advance();
    return handle;
  }

  // The object registered under `handle`; null for 0, for a value never given out and for a
  // handle that was unregistered.
  T* Resolve(Handle handle) const {
    auto entry = entries_.find(handle);
    return entry != entries_.end() ? entry->second : nullptr;
  }

  // Forgets `handle`. True when it was registered; false (and nothing changes) otherwise.
  bool Unregister(Handle handle) { return entries_.erase(handle) != 0; }

  // How many handles are registered.
  std::size_t Size() const { return entries_.size(); }

 private:
  static constexpr std::size_t kMaxHandles = std::numeric_limits<Handle>::max();

  void Advance() { next_ = next_ == std::numeric_limits<Handle>::max() ? 1 : next_ + 1; }

  std::map<Handle, T*> entries_;
  Handle next_;
};

// Keeps `object` registered in `table` for the life of this holder: the usual way to pass
// the address of an object that lives for one call.
//
//   qv::com::ScopedHandle<CCmdUI> handle(cmdUIHandles, &cmdUI);
//   VARIANT args[] = {VARIANT::FromLong(handle.Get())};
//   control->Invoke(kOnUpdateCommandUI, DISPATCH_METHOD, args, nullptr);
template <class T>
class ScopedHandle {
 public:
  ScopedHandle(HandleTable<T>& table, T* object) : table_(table), handle_(table.Register(object)) {}
  ~ScopedHandle() { table_.Unregister(handle_); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  typename HandleTable<T>::Handle Get() const { return handle_; }

 private:
  HandleTable<T>& table_;
  typename HandleTable<T>::Handle handle_;
};

}  // namespace qv::com
