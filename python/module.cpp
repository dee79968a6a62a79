// qvrRegistryBrowser: the library's classes for Python scripts, through the
// server's late-bound interface and its type library.
//
//   import qvrRegistryBrowser as q
//   reg = q.qvrClsRegistryObject()
//   h = reg.OpenKey(q.HKeyCurrentUser, "Software\\Acme")
//   reg.SetValue(h, "Count", 300)            # REG_DWORD
//   cookie = q.advise(reg, KeyEnumerated=lambda name, has_children: print(name))
//   for key in reg.EnumKeys(h, True): print(key.KeyName)
//   q.key_info("HKCU\\Software\\Acme").last_write   # datetime (UTC) or None
//   for m in q.find("HKCU\\Software", "acme"): print(m.key_path, m.value_name)
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "dispatch/registration.h"
#include "python/find.h"
#include "python/key_info.h"
#include "python/objects.h"
#include "python/values.h"
#include "server/entry_points.h"

namespace py = pybind11;
using namespace qvr;
using namespace qvr::python;

namespace {

const TypeLibrary& Library() {
  const TypeLibrary* lib = nullptr;
  if (Failed(DllGetTypeLibrary(&lib)) || !lib) throw std::runtime_error("no type library");
  return *lib;
}

void Check(HRESULT hr, const char* what) {
  if (Failed(hr)) {
    RaiseAutomationError(AutomationError(hr, "qvrRegistryBrowser", std::string(what) + " failed: " +
                                                                         DescribeHResult(hr)));
  }
}

}  // namespace

PYBIND11_MODULE(qvrRegistryBrowser, m) {
  m.doc() = "qvrRegistryBrowser: registry access, selection records and the registry browser "
            "control, late-bound through the library's server interface.";
  BindValueTypes(m);
  BindAutomationError(m);
  BindKeyInfo(m);
  BindFind(m);

  py::class_<ServerObject>(m, "ServerObject", "An object of the qvrRegistryBrowser library.")
      .def("__getattr__", &ServerObject::GetAttr)
      .def("__setattr__", &ServerObject::SetAttr)
      .def("__call__",
           [](const ServerObject& o, py::args args, py::kwargs kwargs) {
             return o.Call(DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, "(default)",
                           args, kwargs);
           })
      .def("__getitem__", &ServerObject::Item)
      .def("__iter__", &ServerObject::Iterate)
      .def("__len__", &ServerObject::Length)
      .def("__bool__", [](const ServerObject&) { return true; })
      .def("__repr__", &ServerObject::Repr)
      .def("__dir__", &ServerObject::Dir)
      .def("__eq__", [](const ServerObject& a, py::object b) {
        return py::isinstance<ServerObject>(b) && b.cast<ServerObject&>().Get() == a.Get();
      })
      .def("__hash__", [](const ServerObject& o) { return reinterpret_cast<uintptr_t>(o.Get()); });

  py::class_<BoundMember>(m, "BoundMember", "A member of a server object, to be called.")
      .def("__call__",
           [](const BoundMember& b, py::args args, py::kwargs kwargs) {
             return b.object.Call(b.id, b.flags, b.name, args, kwargs);
           })
      .def("__repr__", [](const BoundMember& b) { return "<member " + b.name + ">"; });

  py::class_<ServerIterator>(m, "ServerIterator")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", &ServerIterator::Next);

  py::class_<CoClass>(m, "CoClass", "A class of the type library; call it to create an object.")
      .def("__call__", &CoClass::Create)
      .def("__getattr__", &CoClass::DefaultInstanceAttr)
      .def_property_readonly("name", [](const CoClass& c) { return c.Info().name; })
      .def_property_readonly("clsid", [](const CoClass& c) { return c.Info().clsid.ToString(); })
      .def_property_readonly("creatable", [](const CoClass& c) { return c.Info().creatable; })
      .def("__repr__", [](const CoClass& c) { return "<class qvrRegistryBrowser." + c.Info().name + ">"; });

  const TypeLibrary& lib = Library();
  for (const auto& c : lib.Classes()) m.attr(c.name.c_str()) = py::cast(CoClass(&c));
  py::object namespace_type = py::module_::import("types").attr("SimpleNamespace");
  for (const auto& e : lib.Enums()) {
    py::dict values;
    for (const auto& [name, value] : e.values) {
      values[py::str(name)] = value;
      m.attr(name.c_str()) = value;
    }
    m.attr(e.name.c_str()) = namespace_type(**values);
  }

  m.def("advise", &Advise, py::arg("object"), py::arg("handler") = py::none(),
        "Connects Python callables to the object's events (keyword arguments named after the "
        "events, or a handler object with methods of those names); returns the cookie.");
  m.def("unadvise", &Unadvise, py::arg("object"), py::arg("cookie"),
        "Ends the connection with that cookie.");
  m.def("query_interface", [](const ServerObject& o, const std::string& name) {
    const InterfaceInfo* info = Library().FindInterface(name);
    if (!info) throw py::value_error("the type library has no interface " + name);
    ComPtr<Dispatch> other;
    if (Failed(o.Get()->QueryInterface(info->iid, other.PutVoid())) || !other) {
      throw py::type_error(o.Repr() + " does not offer " + name);
    }
    return ServerObject(other);
  }, py::arg("object"), py::arg("interface"),
        "Another interface of the object by name: query_interface(ctl, \"_ctlRegistryUI\") "
        "gives what a person does with the control.");
  m.def("typelib_json", [] { return Library().ToJson(); },
        "The type library as JSON text.");
  m.def("write_typelib", [](const std::string& path) {
    std::string error;
    if (!Library().WriteJson(path, &error)) throw std::runtime_error(error);
  }, py::arg("path"), "Writes the type library as a JSON file.");
  m.def("register_server", [] { Check(DllRegisterServer(), "DllRegisterServer"); },
        "Registers the library's classes in the local registry.");
  m.def("unregister_server", [] { Check(DllUnregisterServer(), "DllUnregisterServer"); },
        "Removes what register_server wrote.");
  m.def("can_unload_now", [] { return DllCanUnloadNow() == S_OK; },
        "True when no object of the library is alive.");
  m.attr("LIBID") = lib.LibId().ToString();
  m.attr("__version__") = lib.VersionText();
}
