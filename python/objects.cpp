#include "python/objects.h"

#include <vector>

#include "dispatch/class_factory.h"
#include "dispatch/function_sink.h"
#include "dispatch/late_bound.h"
#include "dispatch/unknown_impl.h"
#include "base/unicode.h"
#include "python/values.h"
#include "server/entry_points.h"

namespace qvr::python {
namespace {

PyObject* g_automation_error = nullptr;
// An exception raised by a Python event handler, kept until the call that
// raised the event returns to Python.
PyObject* g_pending_type = nullptr;
PyObject* g_pending_value = nullptr;
PyObject* g_pending_trace = nullptr;

void StashHandlerError(py::error_already_set& e) {
  if (g_pending_type) return;  // the first one wins
  e.restore();
  PyErr_Fetch(&g_pending_type, &g_pending_value, &g_pending_trace);
}

const TypeLibrary& Library() {
  static const TypeLibrary* lib = [] {
    const TypeLibrary* l = nullptr;
    DllGetTypeLibrary(&l);
    return l;
  }();
  return *lib;
}

size_t RequiredParams(const MemberInfo& m) {
  size_t n = 0;
  for (const auto& p : m.params) n += !p.optional;
  return n;
}

// Event sink whose events call Python callables.
class PythonSink : public Object, public RefCounted<Dispatch> {
 public:
  void On(DispId id, py::object fn) { handlers_[id] = std::move(fn); }

  HRESULT GetTypeInfoCount(uint32_t* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(uint32_t, const InterfaceInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const std::string*, uint32_t, DispId*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DispId id, uint16_t, DispParams* params, Variant*, ExcepInfo*,
                 uint32_t*) override {
    auto it = handlers_.find(id);
    if (it == handlers_.end()) return S_OK;
    py::gil_scoped_acquire gil;
    try {
      py::tuple args(params ? params->args.size() : 0);
      for (size_t i = 0; params && i < params->args.size(); ++i) {
        args[i] = FromVariant(params->args[i]);
      }
      it->second(*args);
    } catch (py::error_already_set& e) {
      StashHandlerError(e);
      return DISP_E_EXCEPTION;
    }
    return S_OK;
  }

 private:
  std::map<DispId, py::object> handlers_;
};

const InterfaceInfo* EventsOf(const ServerObject& object) {
  const InterfaceInfo* info = object.Info();
  if (!info) return nullptr;
  for (const auto& c : Library().Classes()) {
    if (c.default_interface == info) return c.events;
  }
  return nullptr;
}

}  // namespace

Variant CallableVariant(const py::object& fn) {
  ComPtr<PythonSink> sink(new PythonSink());
  sink->On(DISPID_VALUE, fn);
  return DispatchVariant(sink.Get());
}

void RaiseAutomationError(const AutomationError& e) {
  std::string text = e.Description() + " (error " + std::to_string(e.Number()) +
                     (e.Source().empty() ? "" : ", " + e.Source()) + ")";
  // A description can quote a key or value name, which need not be UTF-8.
  py::object exc = py::handle(g_automation_error)(TextToPython(text));
  exc.attr("number") = e.Number();
  exc.attr("source") = TextToPython(e.Source());
  exc.attr("description") = TextToPython(e.Description());
  PyErr_SetObject(g_automation_error, exc.ptr());
  throw py::error_already_set();
}

void BindAutomationError(py::module_& m) {
  g_automation_error = PyErr_NewExceptionWithDoc(
      "qvrRegistryBrowser.AutomationError",
      "An error a server object raised: .number, .source and .description.", PyExc_RuntimeError,
      nullptr);
  m.attr("AutomationError") = py::handle(g_automation_error);
}

void RaisePendingHandlerError() {
  if (!g_pending_type) return;
  PyErr_Restore(g_pending_type, g_pending_value, g_pending_trace);
  g_pending_type = g_pending_value = g_pending_trace = nullptr;
  throw py::error_already_set();
}

const InterfaceInfo* ServerObject::Info() const {
  const InterfaceInfo* info = nullptr;
  if (object_ && Succeeded(object_->GetTypeInfo(0, &info))) return info;
  return nullptr;
}

DispId ServerObject::IdOf(const std::string& name) const {
  DispId id = DISPID_UNKNOWN;
  object_->GetIDsOfNames(&name, 1, &id);
  return id;
}

py::object ServerObject::Call(DispId id, uint16_t flags, const std::string& name,
                              const py::args& args, const py::kwargs& kwargs) const {
  DispParams params;
  std::vector<std::pair<size_t, RefValue*>> refs;
  for (size_t i = 0; i < args.size(); ++i) {
    params.args.push_back(ToVariant(args[i]));
    if (py::isinstance<RefValue>(args[i])) refs.emplace_back(i, &args[i].cast<RefValue&>());
  }
  if (kwargs && !kwargs.empty()) {
    std::vector<std::string> names{name};
    for (auto item : kwargs) names.push_back(item.first.cast<std::string>());
    std::vector<DispId> ids(names.size());
    object_->GetIDsOfNames(names.data(), static_cast<uint32_t>(names.size()), ids.data());
    size_t k = 1;
    for (auto item : kwargs) {
      if (ids[k] == DISPID_UNKNOWN) {
        throw py::type_error(name + "() has no parameter " + names[k]);
      }
      params.named.push_back(ids[k++]);
      if (py::isinstance<RefValue>(item.second)) {
        refs.emplace_back(params.args.size(), &item.second.cast<RefValue&>());
      }
      params.args.push_back(ToVariant(item.second));
    }
  }
  Variant result;
  ExcepInfo excep;
  HRESULT hr = object_->Invoke(id, flags, &params, &result, &excep, nullptr);
  RaisePendingHandlerError();
  if (Failed(hr)) RaiseAutomationError(InvokeFailure(hr, excep, name));
  for (auto& [index, ref] : refs) ref->value = FromVariant(params.args[index]);
  return FromVariant(result);
}

py::object ServerObject::GetAttr(const std::string& name) const {
  const InterfaceInfo* info = Info();
  DispId id = IdOf(name);
  if (id == DISPID_UNKNOWN || !info) {
    throw py::attribute_error((info ? info->name.substr(info->name.find_first_not_of('_')) : "object") +
                              " has no member " + name);
  }
  const MemberInfo* get = info->Find(id, DISPATCH_PROPERTYGET);
  const MemberInfo* method = info->Find(id, DISPATCH_METHOD);
  std::string proper = (get ? get : method) ? (get ? get : method)->name : name;
  if (get && get->kind == DISPATCH_PROPERTYGET && RequiredParams(*get) == 0) {
    return Call(id, DISPATCH_PROPERTYGET, proper, py::args(), py::kwargs());
  }
  uint16_t flags = (method && method->kind == DISPATCH_METHOD) ? DISPATCH_METHOD
                                                              : DISPATCH_PROPERTYGET;
  return py::cast(BoundMember{*this, id, flags, proper});
}

void ServerObject::SetAttr(const std::string& name, const py::object& value) const {
  const InterfaceInfo* info = Info();
  DispId id = IdOf(name);
  if (id == DISPID_UNKNOWN || !info || !info->Find(id, DISPATCH_PROPERTYPUT)) {
    throw py::attribute_error("cannot assign " + name + ": no such writable property");
  }
  py::args args = py::make_tuple();
  py::kwargs none;
  DispParams params;
  params.args.push_back(ToVariant(value));
  params.named.push_back(DISPID_PROPERTYPUT);
  ExcepInfo excep;
  HRESULT hr = object_->Invoke(id, DISPATCH_PROPERTYPUT, &params, nullptr, &excep, nullptr);
  RaisePendingHandlerError();
  if (Failed(hr)) RaiseAutomationError(InvokeFailure(hr, excep, name));
}

py::object ServerObject::Iterate() const {
  const InterfaceInfo* info = Info();
  py::object en;
  if (info && info->Find(DISPID_NEWENUM)) {
    en = Call(DISPID_NEWENUM, DISPATCH_PROPERTYGET | DISPATCH_METHOD, "NewEnum", py::args(),
              py::kwargs());
  } else if (DispId id = IdOf("NewEnum"); id != DISPID_UNKNOWN) {
    en = Call(id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, "NewEnum", py::args(), py::kwargs());
  } else {
    throw py::type_error("object is not iterable");
  }
  if (!py::isinstance<ServerIterator>(en)) throw py::type_error("NewEnum gave no enumerator");
  return en;
}

py::object ServerObject::Item(const py::object& key) const {
  const InterfaceInfo* info = Info();
  DispId id = info && info->Find(DISPID_VALUE) ? DISPID_VALUE : IdOf("item");
  if (id == DISPID_UNKNOWN) throw py::type_error("object is not subscriptable");
  return Call(id, DISPATCH_PROPERTYGET | DISPATCH_METHOD, "item", py::make_tuple(key),
              py::kwargs());
}

size_t ServerObject::Length() const {
  DispId id = IdOf("Count");
  if (id == DISPID_UNKNOWN) throw py::type_error("object has no Count");
  return Call(id, DISPATCH_PROPERTYGET, "Count", py::args(), py::kwargs()).cast<size_t>();
}

std::string ServerObject::Repr() const {
  const InterfaceInfo* info = Info();
  std::string name = info ? info->name.substr(info->name.find_first_not_of('_')) : "object";
  return "<qvrRegistryBrowser." + name + " object>";
}

py::list ServerObject::Dir() const {
  py::list out;
  if (const InterfaceInfo* info = Info()) {
    for (const auto& m : info->members) {
      if (m.kind != DISPATCH_PROPERTYPUT && !m.hidden) out.append(m.name);
    }
  }
  return out;
}

py::object ServerIterator::Next() {
  Variant item;
  uint32_t fetched = 0;
  if (enumerator_->Next(1, &item, &fetched) != S_OK || fetched == 0) throw py::stop_iteration();
  return FromVariant(item);
}

py::object CoClass::Create() const {
  if (!info_->creatable) {
    throw py::type_error(info_->name + " objects are made by the library, not by hosts");
  }
  ComPtr<ClassFactory> factory;
  HRESULT hr = DllGetClassObject(&info_->clsid, &IID_IClassFactory, factory.PutVoid());
  ComPtr<Dispatch> object;
  if (Succeeded(hr)) hr = factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid());
  if (Failed(hr)) RaiseAutomationError(AutomationError(429, info_->name,
                                       "ActiveX component can't create object " +
                                       DescribeHResult(hr)));
  return py::cast(ServerObject(object));
}

py::object CoClass::DefaultInstanceAttr(const std::string& name) {
  if (!info_->predeclared) {
    throw py::attribute_error(info_->name + " has no attribute " + name +
                              " (create an object first)");
  }
  if (!default_instance_) default_instance_ = Create();
  return default_instance_.cast<ServerObject&>().GetAttr(name);
}

uint32_t Advise(const ServerObject& object, const py::object& handler,
                const py::kwargs& callables) {
  const InterfaceInfo* events = EventsOf(object);
  if (!events) throw py::type_error(object.Repr() + " raises no events");
  ComPtr<PythonSink> sink(new PythonSink());
  size_t used = 0;
  for (const auto& m : events->members) {
    py::object fn;
    for (auto item : callables) {
      if (EqualsNoCase(item.first.cast<std::string>(), m.name)) {
        fn = py::reinterpret_borrow<py::object>(item.second);
        ++used;
      }
    }
    if (!fn && !handler.is_none()) {
      for (const std::string& attr : {m.name, "On" + m.name}) {
        if (py::hasattr(handler, attr.c_str())) {
          fn = handler.attr(attr.c_str());
          break;
        }
      }
    }
    if (fn) sink->On(m.id, fn);
  }
  if (callables && used != callables.size()) {
    std::string known;
    for (const auto& m : events->members) known += (known.empty() ? "" : ", ") + m.name;
    throw py::type_error("unknown event name; the events are " + known);
  }
  uint32_t cookie = ConnectEvents(object.Get(), events->iid, sink.Get());
  if (cookie == 0) throw py::type_error("the object refused the connection");
  return cookie;
}

void Unadvise(const ServerObject& object, uint32_t cookie) {
  const InterfaceInfo* events = EventsOf(object);
  if (!events || !DisconnectEvents(object.Get(), events->iid, cookie)) {
    throw py::value_error("no connection with cookie " + std::to_string(cookie));
  }
}

}  // namespace qvr::python
