#include "dispatch/late_bound.h"

namespace qvr {

AutomationError InvokeFailure(HRESULT hr, const ExcepInfo& excep, const std::string& member) {
  if (hr == DISP_E_EXCEPTION) return AutomationError(excep.number, excep.source, excep.description);
  if (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME) {
    return AutomationError(438, member, "Object doesn't support this property or method");
  }
  if (hr == DISP_E_PARAMNOTOPTIONAL) return AutomationError(449, member, "Argument not optional");
  if (hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTFOUND) {
    return AutomationError(450, member,
                           "Wrong number of arguments or invalid property assignment");
  }
  if (hr == DISP_E_TYPEMISMATCH) return AutomationError(13, member, "Type mismatch");
  return AutomationError(440, member, "Automation error " + DescribeHResult(hr));
}

void ThrowInvokeFailure(HRESULT hr, const ExcepInfo& excep, const std::string& member) {
  throw InvokeFailure(hr, excep, member);
}

DispId LateBound::IdOf(const std::string& name) const {
  if (!object_) throw AutomationError(91, name, "Object variable or With block variable not set");
  DispId id = DISPID_UNKNOWN;
  if (Failed(object_->GetIDsOfNames(&name, 1, &id))) {
    ThrowInvokeFailure(DISP_E_UNKNOWNNAME, {}, name);
  }
  return id;
}

Variant LateBound::Invoke(DispId id, uint16_t flags, DispParams& params,
                          const std::string& name) const {
  if (!object_) throw AutomationError(91, name, "Object variable or With block variable not set");
  Variant result;
  ExcepInfo excep;
  HRESULT hr = object_->Invoke(id, flags, &params, &result, &excep, nullptr);
  if (Failed(hr)) ThrowInvokeFailure(hr, excep, name);
  return result;
}

Variant LateBound::Call(const std::string& name, std::vector<Variant> args,
                        std::vector<NamedArg> named) const {
  DispId id = IdOf(name);
  DispParams params;
  params.args = std::move(args);
  if (!named.empty()) {
    std::vector<std::string> names{name};
    for (const auto& n : named) names.push_back(n.name);
    std::vector<DispId> ids(names.size());
    if (Failed(object_->GetIDsOfNames(names.data(), static_cast<uint32_t>(names.size()),
                                      ids.data()))) {
      ThrowInvokeFailure(DISP_E_PARAMNOTFOUND, {}, name);
    }
    for (size_t i = 0; i < named.size(); ++i) {
      params.args.push_back(std::move(named[i].value));
      params.named.push_back(ids[i + 1]);
    }
  }
  return Invoke(id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, params, name);
}

Variant LateBound::CallRef(const std::string& name, std::vector<Variant>& args) const {
  DispId id = IdOf(name);
  DispParams params{std::move(args), {}};
  struct Restore {
    std::vector<Variant>& to;
    DispParams& from;
    ~Restore() { to = std::move(from.args); }
  } restore{args, params};
  return Invoke(id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, params, name);
}

Variant LateBound::Get(const std::string& name, std::vector<Variant> args) const {
  DispId id = IdOf(name);
  DispParams params{std::move(args), {}};
  return Invoke(id, DISPATCH_PROPERTYGET, params, name);
}

void LateBound::Put(const std::string& name, Variant value, std::vector<Variant> args) const {
  DispId id = IdOf(name);
  DispParams params{std::move(args), {DISPID_PROPERTYPUT}};
  params.args.push_back(std::move(value));
  Invoke(id, DISPATCH_PROPERTYPUT, params, name);
}

}  // namespace qvr
