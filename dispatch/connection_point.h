// Connection points: how a server object hands its events to clients.
//
// An object that raises events offers ConnectionPointContainer; its
// FindConnectionPoint gives the ConnectionPoint of an event interface. A
// client advises a sink there (any object answering QueryInterface for the
// event interface or for IID_IDispatch) and receives a cookie; every event is
// then a call of the sink's Invoke with the event's dispatch id, as a method,
// its arguments in order. Unadvise with the cookie ends the connection.
//
// Events are delivered synchronously on the thread that raised them. A sink
// may unadvise itself or another sink from inside an event; a sink
// unadvised during a delivery hears nothing more from that delivery on.
#ifndef QVR_DISPATCH_CONNECTION_POINT_H_
#define QVR_DISPATCH_CONNECTION_POINT_H_

#include <cstdint>
#include <vector>

#include "dispatch/dispatch.h"
#include "dispatch/unknown.h"
#include "dispatch/unknown_impl.h"

namespace qvr {

class ConnectionPointContainer;

class ConnectionPoint : public Unknown {
 public:
  static constexpr const Guid& kIid = IID_IConnectionPoint;

  virtual HRESULT GetConnectionInterface(Guid* iid) = 0;
  // The container the point belongs to (with a reference added).
  virtual HRESULT GetConnectionPointContainer(ConnectionPointContainer** container) = 0;
  // CONNECT_E_CANNOTCONNECT when the sink offers neither the event interface
  // nor IID_IDispatch.
  virtual HRESULT Advise(Unknown* sink, uint32_t* cookie) = 0;
  // CONNECT_E_NOCONNECTION for an unknown cookie.
  virtual HRESULT Unadvise(uint32_t cookie) = 0;
};

class ConnectionPointContainer : public Unknown {
 public:
  static constexpr const Guid& kIid = IID_IConnectionPointContainer;

  // CONNECT_E_NOCONNECTION when the object raises no events of that interface.
  virtual HRESULT FindConnectionPoint(const Guid& iid, ConnectionPoint** point) = 0;
};

// The connection point of one event interface, owned by the object that
// raises the events (which passes itself as `owner`: the point keeps the
// owner alive while a client holds the point).
class EventConnectionPoint : public Implements<ConnectionPoint> {
 public:
  EventConnectionPoint(ConnectionPointContainer* owner, const InterfaceInfo* events);

  // The point lives inside its owner: references to it are references to the
  // owner.
  uint32_t AddRef() override { return owner_->AddRef(); }
  uint32_t Release() override { return owner_->Release(); }

  HRESULT GetConnectionInterface(Guid* iid) override;
  HRESULT GetConnectionPointContainer(ConnectionPointContainer** container) override;
  HRESULT Advise(Unknown* sink, uint32_t* cookie) override;
  HRESULT Unadvise(uint32_t cookie) override;

  // Calls every connected sink with the event `id`; arguments passed by
  // reference come back changed in `args` (the last sink's answer). Failures
  // of sinks are ignored.
  void Fire(DispId id, std::vector<Variant>& args);
  size_t ConnectionCount() const;
  // Drops every connection (the owner is ending).
  void DisconnectAll();

  const InterfaceInfo* Events() const { return events_; }

 private:
  struct Connection {
    uint32_t cookie;
    ComPtr<Dispatch> sink;
  };

  ConnectionPointContainer* owner_;
  const InterfaceInfo* events_;
  std::vector<Connection> connections_;
  uint32_t next_cookie_ = 1;
};

}  // namespace qvr

#endif  // QVR_DISPATCH_CONNECTION_POINT_H_
