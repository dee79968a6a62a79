// What the binding files share: how a member says it returns nothing, the
// enumerator of a collection, and the members every keyed collection has.
#ifndef QVR_SERVER_BINDING_SUPPORT_H_
#define QVR_SERVER_BINDING_SUPPORT_H_

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dispatch/dispatch.h"
#include "dispatch/dispatch_table.h"
#include "dispatch/enum_variant.h"
#include "automation/variant.h"
#include "server/catalog.h"

namespace qvr::server {

// The result of a member without one.
inline Variant Nothing() { return Variant(); }

// A host's hook: an object whose default member (id 0) is called as a method
// without arguments each time the hook runs. Empty or Nothing gives no hook.
// The object is held as long as the hook is; what it raises is dropped here
// (the host hears of it from its own object).
inline std::function<void()> HookOf(const Variant& v) {
  Dispatch* d = VariantDispatch(v);
  if (!d) return {};
  return [object = ComPtr<Dispatch>(d)] {
    DispParams params;
    Variant result;
    ExcepInfo excep;
    object->Invoke(DISPID_VALUE, DISPATCH_METHOD, &params, &result, &excep, nullptr);
  };
}

// Every member of a collection, each as a server object, for an enumerator.
template <class Collection>
Variant Enumerator(const Collection& c) {
  std::vector<Variant> items;
  items.reserve(static_cast<size_t>(c.Count()));
  for (const auto& member : c) items.push_back(Wrap(member));
  return VariantEnumerator::Make(std::move(items));
}

// Count, Remove and Clear, in this order, as every keyed collection of the
// library offers them.
template <class Collection>
void AddCountRemoveClear(InterfaceBuilder<Collection>& b) {
  b.Get("Count", "Long", {}, [](Collection& c, Arguments&) { return Variant(c.Count()); });
  b.Method("Remove", "", {RefParam("vntIndexKey", "Variant")}, [](Collection& c, Arguments& a) {
    c.Remove(a[0]);
    return Nothing();
  });
  b.Method("Clear", "", {}, [](Collection& c, Arguments&) {
    c.Clear();
    return Nothing();
  });
}

// Describes the event `name` with dispatch id `id` in an event interface's
// table (events have no code of their own: sinks implement them).
inline void AddEvent(DispatchTable& table, DispId id, std::string name,
                     std::vector<ParamInfo> params = {}) {
  MemberInfo event;
  event.id = id;
  event.name = std::move(name);
  event.params = std::move(params);
  table.AddDescription(std::move(event));
}

}  // namespace qvr::server

#endif  // QVR_SERVER_BINDING_SUPPORT_H_
