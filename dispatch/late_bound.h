// LateBound: a client's convenience over Dispatch, calling members by name.
//
//   LateBound reg(object);                       // any Dispatch
//   int32_t h = reg.Call("OpenKey", {Variant(HKeyCurrentUser), Variant("Software")}).ToLong();
//   reg.Put("RegHKeyUsers", Variant(0));
//   Variant n = reg.Get("Count");
//
// A member that raises an automation error throws it as AutomationError
// (number, source, description as raised); any other failure throws
// AutomationError with number 438 ("Object doesn't support this property or
// method") for an unknown member, 449 ("Argument not optional"), 450 ("Wrong
// number of arguments or invalid property assignment") or 440 ("Automation
// error") with the HRESULT in the description.
#ifndef QVR_DISPATCH_LATE_BOUND_H_
#define QVR_DISPATCH_LATE_BOUND_H_

#include <string>
#include <utility>
#include <vector>

#include "dispatch/dispatch.h"
#include "automation/automation_error.h"

namespace qvr {

// A named argument for LateBound calls.
struct NamedArg {
  std::string name;
  Variant value;
};

class LateBound {
 public:
  LateBound() = default;
  explicit LateBound(Dispatch* object) : object_(object) {}
  explicit LateBound(ComPtr<Dispatch> object) : object_(std::move(object)) {}
  // The server object inside an object Variant (empty when there is none).
  static LateBound FromVariant(const Variant& v) { return LateBound(VariantDispatch(v)); }

  explicit operator bool() const { return static_cast<bool>(object_); }
  Dispatch* Get() const { return object_.Get(); }

  // The dispatch id of a member name; throws 438 when there is none.
  DispId IdOf(const std::string& name) const;

  // Calls a method (a property read answers too). `args` are passed in
  // order; by-reference parameters come back changed in `args`.
  Variant Call(const std::string& name, std::vector<Variant> args = {},
               std::vector<NamedArg> named = {}) const;
  Variant CallRef(const std::string& name, std::vector<Variant>& args) const;
  Variant Get(const std::string& name, std::vector<Variant> args = {}) const;
  void Put(const std::string& name, Variant value, std::vector<Variant> args = {}) const;

  // The lowest level: Invoke by id with `flags`, with the failure handling
  // above.
  Variant Invoke(DispId id, uint16_t flags, DispParams& params, const std::string& name) const;

 private:
  ComPtr<Dispatch> object_;
};

// The AutomationError that stands for a failed Invoke (see above), for a
// caller that raises it in its own way.
AutomationError InvokeFailure(HRESULT hr, const ExcepInfo& excep, const std::string& member);
// Throws it.
[[noreturn]] void ThrowInvokeFailure(HRESULT hr, const ExcepInfo& excep, const std::string& member);

}  // namespace qvr

#endif  // QVR_DISPATCH_LATE_BOUND_H_
