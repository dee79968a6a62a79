// DispatchTable: an interface's description together with the code behind
// each of its members, built member by member in slot order.
//
//   InterfaceBuilder<Counter> b(library.AddInterface(kIid, "_Counter"), table);
//   b.Get("Count", "Long", {}, [](Counter& c, Arguments&) { return Variant(c.Count()); },
//         kDefaultMember);
//   b.Method("Add", "", {{"n", "Long"}}, [](Counter& c, Arguments& a) {
//     c.Add(a.Long(0));
//     return Variant();
//   });
//
// Dispatch ids follow the slot order from 1 (a property's read and write
// share one); the default member gets DISPID_VALUE and an enumerator member
// DISPID_NEWENUM (hidden).
#ifndef QVR_DISPATCH_DISPATCH_TABLE_H_
#define QVR_DISPATCH_DISPATCH_TABLE_H_

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dispatch/arguments.h"
#include "dispatch/type_info.h"
#include "automation/variant.h"

namespace qvr {

// The code of one member: given the wrapped object and the bound arguments,
// gives the result (ignored for property writes). Raises AutomationError for
// failures the caller should see.
using MemberHandler = std::function<Variant(Object& native, Arguments& args)>;

class DispatchTable {
 public:
  explicit DispatchTable(InterfaceInfo& info) : info_(info) {}
  DispatchTable(const DispatchTable&) = delete;
  DispatchTable& operator=(const DispatchTable&) = delete;

  const InterfaceInfo& Info() const { return info_; }
  // The code of a member of Info(); null for one without (an event).
  const MemberHandler* HandlerOf(const MemberInfo& member) const;

  // Appends a member and its code; gives the member's dispatch id.
  DispId Add(MemberInfo member, MemberHandler handler);
  // Appends a member without code (an event of an outgoing interface).
  DispId AddDescription(MemberInfo member);

 private:
  DispId IdFor(const MemberInfo& member);

  InterfaceInfo& info_;
  std::vector<MemberHandler> handlers_;  // parallel to info_.members
  DispId next_id_ = 1;
};

enum MemberFlags : unsigned {
  kDefaultMember = 1,  // DISPID_VALUE
  kHiddenMember = 2,
  kEnumeratorMember = 4,  // DISPID_NEWENUM, hidden
};

template <class T>
class InterfaceBuilder {
 public:
  using Fn = std::function<Variant(T&, Arguments&)>;

  explicit InterfaceBuilder(DispatchTable& table) : table_(table) {}

  InterfaceBuilder& Method(std::string name, std::string type, std::vector<ParamInfo> params,
                           Fn fn, unsigned flags = 0) {
    return Add(DISPATCH_METHOD, std::move(name), std::move(type), std::move(params),
               std::move(fn), flags);
  }
  InterfaceBuilder& Get(std::string name, std::string type, std::vector<ParamInfo> params, Fn fn,
                        unsigned flags = 0) {
    return Add(DISPATCH_PROPERTYGET, std::move(name), std::move(type), std::move(params),
               std::move(fn), flags);
  }
  // `params` ends with the new value's parameter.
  InterfaceBuilder& Put(std::string name, std::string type, std::vector<ParamInfo> params, Fn fn,
                        unsigned flags = 0) {
    return Add(DISPATCH_PROPERTYPUT, std::move(name), std::move(type), std::move(params),
               std::move(fn), flags);
  }

 private:
  InterfaceBuilder& Add(InvokeKind kind, std::string name, std::string type,
                        std::vector<ParamInfo> params, Fn fn, unsigned flags) {
    MemberInfo m;
    m.name = std::move(name);
    m.kind = kind;
    m.type = std::move(type);
    m.params = std::move(params);
    m.is_default = flags & kDefaultMember;
    m.hidden = flags & (kHiddenMember | kEnumeratorMember);
    if (flags & kDefaultMember) m.id = DISPID_VALUE;
    if (flags & kEnumeratorMember) m.id = DISPID_NEWENUM;
    table_.Add(std::move(m), [fn = std::move(fn)](Object& native, Arguments& args) {
      return fn(static_cast<T&>(native), args);
    });
    return *this;
  }

  DispatchTable& table_;
};

// Shorthands for parameter descriptions.
inline ParamInfo Param(std::string name, std::string type) {
  return ParamInfo{std::move(name), std::move(type), false, false, std::nullopt};
}
inline ParamInfo RefParam(std::string name, std::string type) {
  return ParamInfo{std::move(name), std::move(type), false, true, std::nullopt};
}
// An optional parameter; without a default the callee sees it as missing.
inline ParamInfo OptParam(std::string name, std::string type,
                          std::optional<Variant> default_value = std::nullopt,
                          bool by_ref = false) {
  return ParamInfo{std::move(name), std::move(type), true, by_ref, std::move(default_value)};
}

}  // namespace qvr

#endif  // QVR_DISPATCH_DISPATCH_TABLE_H_
