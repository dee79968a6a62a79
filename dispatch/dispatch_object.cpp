#include "dispatch/dispatch_object.h"

#include "automation/automation_error.h"

namespace qvr {
namespace {

// The number a host shows for a failure that carried no number of its own
// ("Automation error").
constexpr int32_t kAutomationErrorNumber = 440;

void SetArgErr(uint32_t* arg_err, size_t i) {
  if (arg_err) *arg_err = static_cast<uint32_t>(i);
}

}  // namespace

DispatchObject::DispatchObject(std::shared_ptr<Object> native, const DispatchTable& table,
                               const InterfaceInfo* events)
    : native_(std::move(native)), table_(table) {
  if (events) events_ = std::make_unique<EventConnectionPoint>(this, events);
}

DispatchObject::~DispatchObject() {
  if (events_) events_->DisconnectAll();
}

void* DispatchObject::InterfaceFor(const Guid& iid) {
  if (iid == table_.Info().iid) return static_cast<Dispatch*>(this);
  if (iid == IID_IConnectionPointContainer && !events_) return nullptr;
  return RefCounted::InterfaceFor(iid);
}

HRESULT DispatchObject::GetTypeInfoCount(uint32_t* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(uint32_t index, const InterfaceInfo** info) {
  if (!info) return E_POINTER;
  if (index != 0) return DISP_E_BADINDEX;
  *info = &table_.Info();
  return S_OK;
}

HRESULT DispatchObject::GetIDsOfNames(const std::string* names, uint32_t count, DispId* ids) {
  if (count == 0) return S_OK;
  if (!names || !ids) return E_POINTER;
  const InterfaceInfo& info = table_.Info();
  HRESULT hr = S_OK;
  ids[0] = info.IdOfName(names[0]);
  if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  for (uint32_t i = 1; i < count; ++i) {
    ids[i] = ids[0] == DISPID_UNKNOWN ? DISPID_UNKNOWN : info.ParamIndex(ids[0], names[i]);
    if (ids[i] < 0) {
      ids[i] = DISPID_UNKNOWN;
      hr = DISP_E_UNKNOWNNAME;
    }
  }
  return hr;
}

HRESULT DispatchObject::Invoke(DispId id, uint16_t flags, DispParams* params, Variant* result,
                               ExcepInfo* excep, uint32_t* arg_err) {
  const MemberInfo* member = table_.Info().Find(id, flags);
  if (!member) return DISP_E_MEMBERNOTFOUND;
  const MemberHandler* handler = table_.HandlerOf(*member);
  if (!handler) return DISP_E_MEMBERNOTFOUND;

  static std::vector<Variant> no_args;
  std::vector<Variant>& args = params ? params->args : no_args;
  size_t named = params ? params->named.size() : 0;
  if (named > args.size()) return E_INVALIDARG;
  size_t positional = args.size() - named;
  const size_t n = member->params.size();
  const bool put = member->kind == DISPATCH_PROPERTYPUT;

  std::vector<Variant*> slots(n, nullptr);
  std::vector<bool> bound(n, false);
  auto bind = [&](size_t param, size_t arg) -> HRESULT {
    if (bound[param]) {
      SetArgErr(arg_err, arg);
      return E_INVALIDARG;
    }
    bound[param] = true;
    if (!IsMissingArgument(args[arg])) slots[param] = &args[arg];
    return S_OK;
  };

  bool value_named = false;
  for (size_t i = 0; i < named; ++i) {
    DispId pid = params->named[i];
    size_t arg = positional + i;
    size_t param;
    if (pid == DISPID_PROPERTYPUT && put && n > 0) {
      param = n - 1;
      value_named = true;
    } else if (pid < 0 || static_cast<size_t>(pid) >= n) {
      SetArgErr(arg_err, arg);
      return DISP_E_PARAMNOTFOUND;
    } else {
      param = static_cast<size_t>(pid);
    }
    if (HRESULT hr = bind(param, arg); Failed(hr)) return hr;
  }
  size_t first_positional_params = positional;
  if (put && !value_named) {
    // The last positional argument is the new value.
    if (positional == 0 || n == 0) return DISP_E_BADPARAMCOUNT;
    if (HRESULT hr = bind(n - 1, positional - 1); Failed(hr)) return hr;
    first_positional_params = positional - 1;
  }
  size_t capacity = put ? n - 1 : n;
  if (first_positional_params > capacity) return DISP_E_BADPARAMCOUNT;
  for (size_t j = 0; j < first_positional_params; ++j) {
    if (HRESULT hr = bind(j, j); Failed(hr)) return hr;
  }
  for (size_t i = 0; i < n; ++i) {
    if (!slots[i] && !member->params[i].optional) {
      SetArgErr(arg_err, i);
      return DISP_E_PARAMNOTOPTIONAL;
    }
  }

  Arguments bound_args(*member, std::move(slots));
  try {
    Variant r = (*handler)(*native_, bound_args);
    if (result && !put) *result = std::move(r);
    return S_OK;
  } catch (const AutomationError& e) {
    if (excep) {
      excep->number = e.Number();
      excep->source = e.Source();
      excep->description = e.Description();
      excep->scode = DISP_E_EXCEPTION;
    }
  } catch (const std::exception& e) {
    if (excep) {
      excep->number = kAutomationErrorNumber;
      excep->source = table_.Info().name;
      excep->description = e.what();
      excep->scode = E_FAIL;
    }
  } catch (...) {
    // Nothing may unwind across the interface into a host.
    if (excep) {
      excep->number = kAutomationErrorNumber;
      excep->source = table_.Info().name;
      excep->description = "Automation error";
      excep->scode = E_UNEXPECTED;
    }
  }
  return DISP_E_EXCEPTION;
}

HRESULT DispatchObject::FindConnectionPoint(const Guid& iid, ConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (!events_ || events_->Events()->iid != iid) return CONNECT_E_NOCONNECTION;
  events_->AddRef();
  *point = events_.get();
  return S_OK;
}

void DispatchObject::FireEvent(DispId id, std::vector<Variant>& args) {
  if (!events_) return;
  // A sink may drop the last reference to this object from inside the event.
  ComPtr<Dispatch> keep(static_cast<Dispatch*>(this));
  events_->Fire(id, args);
}

std::shared_ptr<Object> DispatchObject::NativeOf(const Variant& v) {
  auto* d = dynamic_cast<DispatchObject*>(VariantDispatch(v));
  return d ? d->native_ : nullptr;
}

}  // namespace qvr
