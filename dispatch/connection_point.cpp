#include "dispatch/connection_point.h"

#include <algorithm>

namespace qvr {

EventConnectionPoint::EventConnectionPoint(ConnectionPointContainer* owner,
                                           const InterfaceInfo* events)
    : owner_(owner), events_(events) {}

HRESULT EventConnectionPoint::GetConnectionInterface(Guid* iid) {
  if (!iid) return E_POINTER;
  *iid = events_->iid;
  return S_OK;
}

HRESULT EventConnectionPoint::GetConnectionPointContainer(ConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  owner_->AddRef();
  *container = owner_;
  return S_OK;
}

HRESULT EventConnectionPoint::Advise(Unknown* sink, uint32_t* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  ComPtr<Dispatch> d;
  if (Failed(sink->QueryInterface(events_->iid, d.PutVoid())) || !d) {
    if (Failed(sink->QueryInterface(IID_IDispatch, d.PutVoid())) || !d) {
      return CONNECT_E_CANNOTCONNECT;
    }
  }
  uint32_t c = next_cookie_++;
  if (next_cookie_ == 0) next_cookie_ = 1;
  connections_.push_back(Connection{c, std::move(d)});
  *cookie = c;
  return S_OK;
}

HRESULT EventConnectionPoint::Unadvise(uint32_t cookie) {
  auto it = std::find_if(connections_.begin(), connections_.end(),
                         [&](const Connection& c) { return c.cookie == cookie; });
  if (it == connections_.end()) return CONNECT_E_NOCONNECTION;
  connections_.erase(it);
  return S_OK;
}

void EventConnectionPoint::Fire(DispId id, std::vector<Variant>& args) {
  // Sinks may connect and disconnect while we deliver: walk a copy, and
  // before each call check that the connection still stands.
  std::vector<Connection> snapshot = connections_;
  for (const auto& c : snapshot) {
    bool still = std::any_of(connections_.begin(), connections_.end(),
                             [&](const Connection& x) { return x.cookie == c.cookie; });
    if (!still) continue;
    DispParams params{args, {}};
    ExcepInfo excep;
    if (Succeeded(c.sink->Invoke(id, DISPATCH_METHOD, &params, nullptr, &excep, nullptr))) {
      args = std::move(params.args);
    }
  }
}

size_t EventConnectionPoint::ConnectionCount() const { return connections_.size(); }

void EventConnectionPoint::DisconnectAll() {
  std::vector<Connection> dropped;
  dropped.swap(connections_);
}

}  // namespace qvr
