// The Python faces of server objects: a late-bound object whose members are
// Python attributes, a member bound to its object, an iterator over an
// enumerator, a class of the type library, and event sinks of Python
// callables.
#ifndef QVR_PYTHON_OBJECTS_H_
#define QVR_PYTHON_OBJECTS_H_

#include <pybind11/pybind11.h>

#include <map>
#include <string>

#include "automation/automation_error.h"
#include "dispatch/dispatch.h"
#include "dispatch/enum_variant.h"
#include "dispatch/type_info.h"

namespace qvr::python {

namespace py = pybind11;

// A server object. Attribute reads call property reads (or give a bound
// member for methods and properties that take arguments), attribute writes
// call property writes; obj(...) and obj[key] use the default member, len()
// Count, iteration the enumerator member.
class ServerObject {
 public:
  explicit ServerObject(ComPtr<Dispatch> object) : object_(std::move(object)) {}

  Dispatch* Get() const { return object_.Get(); }
  const InterfaceInfo* Info() const;

  py::object GetAttr(const std::string& name) const;
  void SetAttr(const std::string& name, const py::object& value) const;
  // Calls member `id` with Python arguments; Ref arguments receive what the
  // member wrote back.
  py::object Call(DispId id, uint16_t flags, const std::string& name, const py::args& args,
                  const py::kwargs& kwargs) const;

  py::object Iterate() const;
  py::object Item(const py::object& key) const;
  size_t Length() const;
  std::string Repr() const;
  py::list Dir() const;

 private:
  DispId IdOf(const std::string& name) const;

  ComPtr<Dispatch> object_;
};

// A method (or a property with parameters) of one object, to be called.
struct BoundMember {
  ServerObject object;
  DispId id;
  uint16_t flags;
  std::string name;
};

class ServerIterator {
 public:
  explicit ServerIterator(ComPtr<EnumVariant> e) : enumerator_(std::move(e)) {}
  py::object Next();

 private:
  ComPtr<EnumVariant> enumerator_;
};

// A class of the type library: calling it creates an object through the
// library's class factory; a predeclared class also answers its members
// from a default instance made on first use.
class CoClass {
 public:
  explicit CoClass(const ClassInfo* info) : info_(info) {}
  const ClassInfo& Info() const { return *info_; }
  py::object Create() const;
  py::object DefaultInstanceAttr(const std::string& name);

 private:
  const ClassInfo* info_;
  py::object default_instance_;
};

// Connects Python callables to the events of `object`: `handler` may be any
// object with methods named after the events (or "On" + name), `callables`
// keyword arguments named after them. Gives the cookie.
uint32_t Advise(const ServerObject& object, const py::object& handler, const py::kwargs& callables);
void Unadvise(const ServerObject& object, uint32_t cookie);

// A Python callable as a server-side object whose default member (id 0) calls
// it with the arguments given, for members that take a hook. An exception it
// raises is kept until the call that ran it returns to Python.
Variant CallableVariant(const py::object& fn);

// Raises the Python AutomationError for a C++ one.
[[noreturn]] void RaiseAutomationError(const AutomationError& e);
// Creates the Python exception class on the module.
void BindAutomationError(py::module_& m);
// Raises an exception an event handler raised, if one is pending.
void RaisePendingHandlerError();

}  // namespace qvr::python

#endif  // QVR_PYTHON_OBJECTS_H_
