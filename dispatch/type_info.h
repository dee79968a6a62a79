// The run-time description of a server's classes and interfaces: its type
// library.
//
// A TypeLibrary lists the enumerations (named constants), the interfaces with
// their members in slot order, and the classes with their flags. Clients read
// it to bind names to dispatch ids, to learn which members are properties or
// methods and which parameters are optional, and to find the creatable
// classes; ToJson writes the same description for tools.
//
// Dispatch ids: a property's read and write share one id; the default member
// has DISPID_VALUE (0), a hidden enumerator member DISPID_NEWENUM (-4).
#ifndef QVR_DISPATCH_TYPE_INFO_H_
#define QVR_DISPATCH_TYPE_INFO_H_

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dispatch/guid.h"
#include "automation/variant.h"

namespace qvr {

using DispId = int32_t;
inline constexpr DispId DISPID_UNKNOWN = -1;
inline constexpr DispId DISPID_VALUE = 0;
inline constexpr DispId DISPID_PROPERTYPUT = -3;
inline constexpr DispId DISPID_NEWENUM = -4;

// How a member is called; also the flags of Dispatch::Invoke.
enum InvokeKind : uint16_t {
  DISPATCH_METHOD = 1,
  DISPATCH_PROPERTYGET = 2,
  DISPATCH_PROPERTYPUT = 4,
  DISPATCH_PROPERTYPUTREF = 8,
};

struct ParamInfo {
  std::string name;
  // The parameter's type as a client's language names it: "Long", "String",
  // "Boolean", "Variant", "String()", an enumeration or a class name.
  std::string type;
  bool optional = false;
  bool by_ref = false;
  // The value an omitted optional parameter takes; none when the callee sees
  // it as missing.
  std::optional<Variant> default_value;
};

struct MemberInfo {
  DispId id = DISPID_UNKNOWN;
  std::string name;
  InvokeKind kind = DISPATCH_METHOD;
  // Parameters in order; a property write's last parameter is the value.
  std::vector<ParamInfo> params;
  // The result type ("" for none; for a property write, the property's type).
  std::string type;
  bool hidden = false;
  bool is_default = false;
  // Position in the interface, from 0, in the order clients bind to.
  int32_t slot = 0;
};

struct InterfaceInfo {
  Guid iid;
  std::string name;
  // An outgoing (event) interface that clients implement.
  bool source = false;
  std::vector<MemberInfo> members;

  // The member with that id that can be called as `flags` asks (a property
  // read also answers a method call; a write answers PUT and PUTREF).
  const MemberInfo* Find(DispId id, uint16_t flags) const;
  // Any member of that id (read before write).
  const MemberInfo* Find(DispId id) const;
  // The id of a member name, compared without regard to case;
  // DISPID_UNKNOWN when there is none.
  DispId IdOfName(std::string_view name) const;
  // The position of a parameter of member `id` by name (compared without
  // regard to case), or -1.
  int32_t ParamIndex(DispId id, std::string_view param) const;
};

struct ClassInfo {
  Guid clsid;
  std::string name;
  std::string description;
  const InterfaceInfo* default_interface = nullptr;
  const InterfaceInfo* events = nullptr;  // null when the class raises none
  bool creatable = false;
  bool app_object = false;    // members reachable without creating one
  bool predeclared = false;   // a global default instance exists
  bool control = false;       // a visual control a host places on a form
};

struct EnumInfo {
  std::string name;
  std::vector<std::pair<std::string, int32_t>> values;
};

class TypeLibrary {
 public:
  TypeLibrary(Guid libid, std::string name, std::string description, uint16_t major,
              uint16_t minor);
  TypeLibrary(const TypeLibrary&) = delete;
  TypeLibrary& operator=(const TypeLibrary&) = delete;

  const Guid& LibId() const { return libid_; }
  const std::string& Name() const { return name_; }
  const std::string& Description() const { return description_; }
  uint16_t MajorVersion() const { return major_; }
  uint16_t MinorVersion() const { return minor_; }
  std::string VersionText() const;  // "1.0"

  // Building. Returned references stay valid for the library's life.
  InterfaceInfo& AddInterface(Guid iid, std::string name, bool source = false);
  ClassInfo& AddClass(ClassInfo info);
  EnumInfo& AddEnum(std::string name, std::vector<std::pair<std::string, int32_t>> values);

  const std::deque<InterfaceInfo>& Interfaces() const { return interfaces_; }
  const std::deque<ClassInfo>& Classes() const { return classes_; }
  const std::deque<EnumInfo>& Enums() const { return enums_; }

  const InterfaceInfo* FindInterface(const Guid& iid) const;
  const InterfaceInfo* FindInterface(std::string_view name) const;
  const ClassInfo* FindClass(const Guid& clsid) const;
  const ClassInfo* FindClass(std::string_view name) const;  // without regard to case
  // A named constant of any enumeration, without regard to case.
  std::optional<int32_t> FindConstant(std::string_view name) const;

  // "<library>.<class>", and the same with ".<major>" appended.
  std::string ProgId(const ClassInfo& c) const;
  std::string VersionedProgId(const ClassInfo& c) const;

  // The whole description as a JSON document (UTF-8, one object; see the
  // README for its fields).
  std::string ToJson() const;
  // Writes ToJson() to `path`; false with `error` set when it cannot.
  bool WriteJson(const std::string& path, std::string* error) const;

 private:
  Guid libid_;
  std::string name_;
  std::string description_;
  uint16_t major_;
  uint16_t minor_;
  std::deque<InterfaceInfo> interfaces_;
  std::deque<ClassInfo> classes_;
  std::deque<EnumInfo> enums_;
};

}  // namespace qvr

#endif  // QVR_DISPATCH_TYPE_INFO_H_
