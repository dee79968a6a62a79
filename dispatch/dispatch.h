// Dispatch: the late-bound interface of every server object.
//
// A client looks member names up to dispatch ids (GetIDsOfNames), then calls
// a member by id (Invoke) as a method, a property read or a property write,
// with Variant arguments. GetTypeInfo hands out the interface's description
// (members in slot order, parameters, types).
//
// Arguments travel in DispParams, first argument first. Named arguments
// follow the positional ones; `named` gives their parameter positions (the
// ids GetIDsOfNames returns for parameter names). An optional argument may be
// left out at the end, named around, or passed as the missing marker
// (Variant(ErrorValue{DISP_E_PARAMNOTFOUND})). A property write takes the new
// value as its last argument (or as the named argument DISPID_PROPERTYPUT).
// Arguments the callee passes by reference are written back into `args`.
//
// A member that raises an automation error gives DISP_E_EXCEPTION with the
// error's number, source and description in ExcepInfo.
#ifndef QVR_DISPATCH_DISPATCH_H_
#define QVR_DISPATCH_DISPATCH_H_

#include <cstdint>
#include <string>
#include <vector>

#include "dispatch/type_info.h"
#include "dispatch/unknown.h"
#include "automation/variant.h"

namespace qvr {

struct DispParams {
  std::vector<Variant> args;
  std::vector<DispId> named;  // parameter positions of the last named.size() args
};

struct ExcepInfo {
  int32_t number = 0;       // the automation error's number
  std::string source;
  std::string description;
  HRESULT scode = S_OK;     // the failure behind it, when it was one
};

// The missing-argument marker.
inline Variant MissingArgument() { return Variant(ErrorValue{DISP_E_PARAMNOTFOUND}); }
inline bool IsMissingArgument(const Variant& v) {
  auto e = v.Get<ErrorValue>();
  return e && e->code == DISP_E_PARAMNOTFOUND;
}

class Dispatch : public Unknown {
 public:
  static constexpr const Guid& kIid = IID_IDispatch;

  // 1 when GetTypeInfo describes the interface.
  virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
  // The description of the object's interface (index 0). It belongs to the
  // type library and lives as long as the server is loaded.
  virtual HRESULT GetTypeInfo(uint32_t index, const InterfaceInfo** info) = 0;
  // ids[0] receives the id of names[0] (a member); ids[1..] the positions of
  // the member's parameters names[1..]. Names compare without regard to case.
  // DISP_E_UNKNOWNNAME when any is unknown (its id is DISPID_UNKNOWN).
  virtual HRESULT GetIDsOfNames(const std::string* names, uint32_t count, DispId* ids) = 0;
  // Calls a member. `result` may be null; `excep` and `arg_err` too. On
  // DISP_E_TYPEMISMATCH or DISP_E_PARAMNOTFOUND `arg_err` names the argument.
  virtual HRESULT Invoke(DispId id, uint16_t flags, DispParams* params, Variant* result,
                         ExcepInfo* excep, uint32_t* arg_err) = 0;
};

// Puts a server object into a Variant (an object Variant holding a reference
// that the Variant releases when it ends). A null `object` gives an object
// Variant holding nothing (the host's Nothing).
Variant DispatchVariant(Dispatch* object);
// The Dispatch inside an object Variant (borrowed), or null when the Variant
// holds no server object.
Dispatch* VariantDispatch(const Variant& v);

}  // namespace qvr

#endif  // QVR_DISPATCH_DISPATCH_H_
