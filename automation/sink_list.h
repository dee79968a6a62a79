// SinkList<Sink>: the event connections of one event source.
//
// The source connects sinks with Advise, which returns a cookie (never 0),
// drops them with Unadvise, and tells every connected sink of an event with
// Deliver, in the order the sinks were connected. One sink may be connected
// several times; it then hears every event once per connection.
//
// The list holds its sinks weakly: it never keeps a sink alive, so a sink may
// own the source. A sink that has ended is skipped and dropped.
//
// Sinks may call back into the source while they are told:
//   - a sink disconnected during a delivery (its own connection or another)
//     hears nothing more, from that delivery on;
//   - a sink connected during a delivery hears from the next event on;
//   - a sink may cause another event; the nested delivery follows the same
//     rules.
// An exception a sink throws ends the delivery and reaches Deliver's caller;
// the list stays usable.
//
//   SinkList<Events> sinks;
//   uint32_t cookie = sinks.Advise(handler);
//   sinks.Deliver([&](Events& sink) { sink.Changed(name); });
//   sinks.Unadvise(cookie);
//
// Not safe from several threads: the source's thread only.
#ifndef QVR_AUTOMATION_SINK_LIST_H_
#define QVR_AUTOMATION_SINK_LIST_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qvr {

template <class Sink>
class SinkList {
 public:
  SinkList() = default;
  SinkList(const SinkList&) = delete;
  SinkList& operator=(const SinkList&) = delete;

  // Connects `sink` and returns the connection's cookie.
  uint32_t Advise(const std::shared_ptr<Sink>& sink) {
    const uint32_t cookie = next_cookie_++;
    if (next_cookie_ == 0) next_cookie_ = 1;
    connections_.push_back(Connection{cookie, sink});
    return cookie;
  }

  // Undoes the connection with that cookie; 0 and unknown cookies are
  // ignored.
  void Unadvise(uint32_t cookie) {
    if (cookie == 0) return;
    for (Connection& connection : connections_) {
      if (connection.cookie == cookie) {
        Drop(connection);
        break;
      }
    }
    if (delivering_ == 0) Compact();
  }

  // Calls `event(sink)` for every connected, live sink.
  template <class Event>
  void Deliver(const Event& event) {
    DeliveryScope scope(*this);
    // Connections made meanwhile are appended past `count` and wait for the
    // next event; entries are only marked during a delivery, never moved, so
    // the positions hold while sinks add and drop connections.
    const size_t count = connections_.size();
    for (size_t i = 0; i < count; ++i) {
      if (connections_[i].cookie == 0) continue;
      std::shared_ptr<Sink> sink = connections_[i].sink.lock();
      if (!sink) {
        Drop(connections_[i]);
        continue;
      }
      event(*sink);
    }
  }

 private:
  struct Connection {
    uint32_t cookie;  // 0 once dropped
    std::weak_ptr<Sink> sink;
  };

  // Marks deliveries under way, nested ones included; the last to end
  // removes the connections dropped meanwhile.
  class DeliveryScope {
   public:
    explicit DeliveryScope(SinkList& list) : list_(list) { ++list_.delivering_; }
    ~DeliveryScope() {
      if (--list_.delivering_ == 0) list_.Compact();
    }
    DeliveryScope(const DeliveryScope&) = delete;
    DeliveryScope& operator=(const DeliveryScope&) = delete;

   private:
    SinkList& list_;
  };

  void Drop(Connection& connection) {
    connection.cookie = 0;
    connection.sink.reset();
    dropped_ = true;
  }

  void Compact() {
    if (!dropped_) return;
    std::erase_if(connections_, [](const Connection& c) { return c.cookie == 0; });
    dropped_ = false;
  }

  std::vector<Connection> connections_;
  uint32_t next_cookie_ = 1;
  int delivering_ = 0;
  bool dropped_ = false;
};

}  // namespace qvr

#endif  // QVR_AUTOMATION_SINK_LIST_H_
