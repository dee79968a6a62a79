// FunctionSink: an event sink whose events are C++ functions, for hosts and
// tests that connect to a server object's connection point.
//
//   auto* sink = new FunctionSink();
//   sink->On(1, [&](std::vector<Variant>& args) { names.push_back(args[0].AsString()); });
//   uint32_t cookie = ConnectEvents(object, events_iid, sink);
//   ...
//   DisconnectEvents(object, events_iid, cookie);
#ifndef QVR_DISPATCH_FUNCTION_SINK_H_
#define QVR_DISPATCH_FUNCTION_SINK_H_

#include <functional>
#include <map>
#include <vector>

#include "dispatch/dispatch.h"
#include "dispatch/unknown_impl.h"

namespace qvr {

class FunctionSink : public Object, public RefCounted<Dispatch> {
 public:
  using Handler = std::function<void(std::vector<Variant>& args)>;

  FunctionSink() = default;
  // Calls `handler` for the event with dispatch id `id`; others are ignored.
  void On(DispId id, Handler handler) { handlers_[id] = std::move(handler); }

  HRESULT GetTypeInfoCount(uint32_t* count) override;
  HRESULT GetTypeInfo(uint32_t index, const InterfaceInfo** info) override;
  HRESULT GetIDsOfNames(const std::string* names, uint32_t count, DispId* ids) override;
  HRESULT Invoke(DispId id, uint16_t flags, DispParams* params, Variant* result, ExcepInfo* excep,
                 uint32_t* arg_err) override;

 private:
  std::map<DispId, Handler> handlers_;
};

// Advises `sink` at the connection point of `events` of `source`; gives the
// cookie, or 0 when the source offers no such connection point.
uint32_t ConnectEvents(Dispatch* source, const Guid& events, Unknown* sink);
// Undoes it; false for an unknown cookie.
bool DisconnectEvents(Dispatch* source, const Guid& events, uint32_t cookie);

}  // namespace qvr

#endif  // QVR_DISPATCH_FUNCTION_SINK_H_
