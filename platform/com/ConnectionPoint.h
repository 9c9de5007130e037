// Events: an object fires them by dispatch id to the sinks its container advised.
//
// An object with events answers IConnectionPointContainer; FindConnectionPoint gives the
// connection point of one outgoing (event) interface, named by its IID. The container advises
// a sink of its own there: an object that answers that IID with an IDispatch. Firing an event
// calls every advised sink's Invoke with the event's DISPID, synchronously and in the order
// the sinks were advised.
//
// These interfaces carry the methods a container and an object of ours use, not every method
// of their Windows namesakes.
#pragma once

#include <span>
#include <utility>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/com/Dispatch.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"

inline constexpr IID IID_IConnectionPoint{
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xDD, 0x01, 0x0E, 0xF9, 0xB4}};
inline constexpr IID IID_IConnectionPointContainer{
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xDD, 0x01, 0x0E, 0xF9, 0xB4}};

struct IConnectionPoint : IUnknown {
  // Connects `sink`: asks it for the point's interface, keeps a reference to what it gives,
  // stores a cookie for Unadvise in *cookie (never 0, nor the cookie of another sink) and
  // returns S_OK. A sink that does not answer the interface gives CONNECT_E_CANNOTCONNECT and
  // *cookie 0; a null `sink` or `cookie` gives E_POINTER.
  virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
  // Disconnects the sink advised with `cookie` and releases it. CONNECT_E_NOCONNECTION when
  // no sink is advised with that cookie.
  virtual HRESULT Unadvise(DWORD cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
  // Stores a referenced pointer to the connection point of the outgoing interface `iid` in
  // *point and returns S_OK. CONNECT_E_NOCONNECTION (and null) when the object fires no such
  // interface; E_POINTER for a null `point`.
  virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

namespace qv::com {

// The connection point of one outgoing dispatch interface. The object that fires the events
// owns one (MakeObject<ConnectionPoint>(iid)), hands it out from FindConnectionPoint, and
// calls Fire. It holds references to its sinks until they are unadvised or it goes.
class ConnectionPoint final : public Object<IConnectionPoint> {
 public:
  explicit ConnectionPoint(REFIID events) : events_(events) {}

  HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT Unadvise(DWORD cookie) override;

  // Calls Invoke(id, DISPATCH_METHOD, args, no result) on every advised sink, in the order
  // they were advised, and returns when the last has returned. Sinks may write the event's
  // out arguments; a later sink sees what an earlier one wrote. What a sink's Invoke returns
  // is not looked at. A sink unadvised during the firing is not called after that; one
  // advised during it is called from the next event on. With no sink nothing happens.
  void Fire(DISPID id, std::span<const VARIANT> args = {});

 private:
  void* FindInterface(REFIID iid) override;

  struct Sink {
    DWORD cookie;
    ComPtr<IDispatch> dispatch;
  };
  IID events_;
  std::vector<Sink> sinks_;  // in the order they were advised
  DWORD lastCookie_ = 0;
};

}  // namespace qv::com
