#include "platform/com/ConnectionPoint.h"

#include <algorithm>

namespace qv::com {

void* ConnectionPoint::FindInterface(REFIID iid) {
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint)
    return static_cast<IConnectionPoint*>(this);
  return nullptr;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie == nullptr)
    return E_POINTER;
  *cookie = 0;
  if (sink == nullptr)
    return E_POINTER;
  void* found = nullptr;
  if (FAILED(sink->QueryInterface(events_, &found)) || found == nullptr)
    return CONNECT_E_CANNOTCONNECT;
  ComPtr<IDispatch> dispatch;
  dispatch.Attach(static_cast<IDispatch*>(found));

  auto taken = [this](DWORD candidate) {
    return std::any_of(sinks_.begin(), sinks_.end(),
                       [candidate](const Sink& s) { return s.cookie == candidate; });
  };
  do {
    ++lastCookie_;
  } while (lastCookie_ == 0 || taken(lastCookie_));
  sinks_.push_back(Sink{lastCookie_, std::move(dispatch)});
  *cookie = lastCookie_;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  auto sink = std::find_if(sinks_.begin(), sinks_.end(),
                           [cookie](const Sink& s) { return s.cookie == cookie; });
  if (sink == sinks_.end())
    return CONNECT_E_NOCONNECTION;
  // Released only after the sink has left the list, in case its Release calls back here.
  ComPtr<IDispatch> leaving = std::move(sink->dispatch);
  sinks_.erase(sink);
  return S_OK;
}

void ConnectionPoint::Fire(DISPID id, std::span<const VARIANT> args) {
  // A sink may advise or unadvise while it is called: go through a copy of the list (whose
  // references keep the sinks alive) and skip those that have left. The point keeps itself
  // alive too, should a sink release its owner.
  ComPtr<ConnectionPoint> self(this);
  std::vector<Sink> sinks = sinks_;
  for (const Sink& sink : sinks) {
    bool stillAdvised = std::any_of(sinks_.begin(), sinks_.end(),
                                    [&sink](const Sink& s) { return s.cookie == sink.cookie; });
    if (stillAdvised)
      sink.dispatch->Invoke(id, DISPATCH_METHOD, args, nullptr);
  }
}

}  // namespace qv::com
