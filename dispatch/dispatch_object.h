// DispatchObject: a server object that exposes a C++ object late-bound.
//
// It wraps a native object (shared, so the native object may outlive it) and
// answers Dispatch calls from a DispatchTable: it binds the caller's
// arguments to the member's parameters (positional, named, omitted optional
// ones, the missing marker), runs the member's code and turns an
// AutomationError into DISP_E_EXCEPTION. It answers QueryInterface for
// IID_IDispatch and for the id of its table's interface; when given an event
// interface it also offers ConnectionPointContainer with one connection
// point. It keeps the server loaded while it lives.
//
// Subclasses connect the native object's events to FireEvent.
#ifndef QVR_DISPATCH_DISPATCH_OBJECT_H_
#define QVR_DISPATCH_DISPATCH_OBJECT_H_

#include <memory>
#include <vector>

#include "dispatch/connection_point.h"
#include "dispatch/dispatch.h"
#include "dispatch/dispatch_table.h"
#include "dispatch/server_lifetime.h"
#include "dispatch/unknown_impl.h"

namespace qvr {

class DispatchObject : public Object, public RefCounted<Dispatch, ConnectionPointContainer> {
 public:
  DispatchObject(std::shared_ptr<Object> native, const DispatchTable& table,
                 const InterfaceInfo* events = nullptr);
  ~DispatchObject() override;

  HRESULT GetTypeInfoCount(uint32_t* count) override;
  HRESULT GetTypeInfo(uint32_t index, const InterfaceInfo** info) override;
  HRESULT GetIDsOfNames(const std::string* names, uint32_t count, DispId* ids) override;
  HRESULT Invoke(DispId id, uint16_t flags, DispParams* params, Variant* result, ExcepInfo* excep,
                 uint32_t* arg_err) override;

  HRESULT FindConnectionPoint(const Guid& iid, ConnectionPoint** point) override;

  const std::shared_ptr<Object>& Native() const { return native_; }
  // Raises event `id` to every connected sink; no effect without an event
  // interface.
  void FireEvent(DispId id, std::vector<Variant>& args);

  // The native object behind a server object held in a Variant, or null.
  static std::shared_ptr<Object> NativeOf(const Variant& v);

 protected:
  void* InterfaceFor(const Guid& iid) override;

 private:
  server_lifetime::ObjectCount counted_;
  std::shared_ptr<Object> native_;
  const DispatchTable& table_;
  std::unique_ptr<EventConnectionPoint> events_;
};

}  // namespace qvr

#endif  // QVR_DISPATCH_DISPATCH_OBJECT_H_
