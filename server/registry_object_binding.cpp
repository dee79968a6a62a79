// The late-bound face of qvrClsRegistryObject and its events.
#include <memory>

#include "reglib/qvr_cls_key.h"
#include "reglib/qvr_cls_keys.h"
#include "reglib/qvr_cls_registry_object.h"
#include "reglib/qvr_cls_value.h"
#include "reglib/qvr_cls_values.h"
#include "server/binding_support.h"
#include "server/catalog.h"
#include "server/identifiers.h"

namespace qvr::server {
namespace {

constexpr const char* kInterface = "_qvrClsRegistryObject";
constexpr const char* kEvents = "__qvrClsRegistryObject";

// Hands the registry object's events to the server object's connection
// point, as late-bound calls with the event's dispatch id.
class EventBridge : public qvrClsRegistryObjectEvents {
 public:
  explicit EventBridge(DispatchObject* owner) : owner_(owner) {}

  void KeyEnumerated(const std::string& RegKey, bool HasChildren) override {
    std::vector<Variant> args{Variant(RegKey), Variant(HasChildren)};
    owner_->FireEvent(kKeyEnumeratedDispId, args);
  }
  void ValueEnumerated(const std::shared_ptr<qvrClsValue>& Value) override {
    std::vector<Variant> args{Wrap(Value)};
    owner_->FireEvent(kValueEnumeratedDispId, args);
  }

 private:
  DispatchObject* owner_;
};

class RegistryObjectServer : public DispatchObject {
 public:
  RegistryObjectServer(std::shared_ptr<qvrClsRegistryObject> native, const DispatchTable& table,
                       const InterfaceInfo* events)
      : DispatchObject(native, table, events),
        registry_(std::move(native)),
        bridge_(std::make_shared<EventBridge>(this)),
        cookie_(registry_->Advise(bridge_)) {}
  ~RegistryObjectServer() override { registry_->Unadvise(cookie_); }

 private:
  std::shared_ptr<qvrClsRegistryObject> registry_;
  std::shared_ptr<EventBridge> bridge_;
  uint32_t cookie_;
};

using R = qvrClsRegistryObject;

}  // namespace

void BindRegistryObject(Catalog& catalog) {
  TypeLibrary& lib = catalog.MutableLibrary();
  InterfaceInfo& iface = lib.AddInterface(server_ids::kRegistryObjectInterface, kInterface);
  InterfaceBuilder<R> b(catalog.AddTable(iface));
  const Variant kFalse(false);

  b.Method("AbortEnum", "", {}, [](R& r, Arguments&) {
    r.AbortEnum();
    return Nothing();
  });
  b.Get("Count", "Long", {}, [](R& r, Arguments&) { return Variant(r.Count()); });
  b.Get("MachineName", "String", {}, [](R& r, Arguments&) { return Variant(r.MachineName()); });
  b.Put("MachineName", "String", {Param("szMachineName", "String")}, [](R& r, Arguments& a) {
    r.MachineName(a.String(0));
    return Nothing();
  });
  b.Get("item", "Long", {RefParam("vntIndexKey", "Variant")},
        [](R& r, Arguments& a) { return Variant(r.item(a[0])); }, kDefaultMember);
  b.Put("item", "Long", {RefParam("vntIndexKey", "Variant"), Param("lRegHKey", "Long")},
        [](R& r, Arguments& a) {
          r.item(a[0], a.Long(1));
          return Nothing();
        },
        kDefaultMember);
  b.Method("OpenKey", "Long",
           {Param("uKey", "StandardRegistryKeys"), Param("szSubKey", "String"),
            OptParam("fMustExist", "Boolean", kFalse), OptParam("vntIndexKey", "String", Variant(""))},
           [](R& r, Arguments& a) {
             return Variant(r.OpenKey(a.Long(0), a.String(1), a.Bool(2), a.String(3)));
           });
  b.Method("CloseKey", "", {Param("uKey", "Variant")}, [](R& r, Arguments& a) {
    r.CloseKey(a[0]);
    return Nothing();
  });
  b.Method("GetValue", "Variant",
           {Param("uKey", "Long"), Param("szValue", "String"),
            OptParam("DefaultValue", "Variant", std::nullopt, true),
            OptParam("lpType", "RegistryDataTypes", std::nullopt, true)},
           [](R& r, Arguments& a) {
             RegistryDataTypes before = rdNone;
             if (a.Given(3) && !a[3].IsEmpty()) before = static_cast<RegistryDataTypes>(a.Long(3));
             RegistryDataTypes type = before;
             Variant v = r.GetValue(a.Long(0), a.String(1), a.Optional(2), &type);
             if (type != before || (a.Given(3) && a[3].IsEmpty() && type != rdNone)) {
               a.SetRef(3, Variant(static_cast<int32_t>(type)));
             }
             return v;
           });
  b.Method("GetMultiSZ", "String()", {Param("vData", "String")},
           [](R& r, Arguments& a) { return r.GetMultiSZ(a.String(0)); });
  b.Method("ToMultiSZ", "String", {RefParam("vData", "String()")},
           [](R& r, Arguments& a) { return Variant(r.ToMultiSZ(a[0])); });
  b.Method("SetValue", "Long",
           {Param("uKey", "Long"), Param("szValue", "String"),
            OptParam("vData", "Variant", std::nullopt, true)},
           [](R& r, Arguments& a) {
             return Variant(r.SetValue(a.Long(0), a.String(1), a.Optional(2)));
           });
  b.Method("GetKeyObject", "qvrClsKey",
           {Param("uKey", "Long"), OptParam("fEnumValues", "Boolean", kFalse)},
           [](R& r, Arguments& a) { return Wrap(r.GetKeyObject(a.Long(0), a.Bool(1))); });
  auto enum_params = [&] {
    return std::vector<ParamInfo>{Param("uKey", "StandardRegistryKeys"),
                                  OptParam("fRaiseEvents", "Boolean", kFalse),
                                  OptParam("fDoEvents", "Boolean", kFalse),
                                  OptParam("fReturnNothing", "Boolean", kFalse)};
  };
  b.Method("EnumKeys", "qvrClsKeys", enum_params(), [](R& r, Arguments& a) {
    return Wrap(r.EnumKeys(a.Long(0), a.Bool(1), a.Bool(2), a.Bool(3)));
  });
  b.Method("EnumValues", "qvrClsValues", enum_params(), [](R& r, Arguments& a) {
    return Wrap(r.EnumValues(a.Long(0), a.Bool(1), a.Bool(2), a.Bool(3)));
  });
  b.Method("DeleteValue", "Variant", {Param("uKey", "Long"), Param("szValue", "String")},
           [](R& r, Arguments& a) { return Variant(r.DeleteValue(a.Long(0), a.String(1))); });
  b.Method("DeleteKey", "Variant", {Param("uKey", "Long"), Param("szSubKey", "String")},
           [](R& r, Arguments& a) { return Variant(r.DeleteKey(a.Long(0), a.String(1))); });
  b.Get("RegHKeyLocalMachine", "Long", {},
        [](R& r, Arguments&) { return Variant(r.RegHKeyLocalMachine()); });
  b.Put("RegHKeyLocalMachine", "Long", {Param("lRegHKey", "Long")}, [](R& r, Arguments& a) {
    r.RegHKeyLocalMachine(a.Long(0));
    return Nothing();
  });
  b.Get("RegHKeyUsers", "Long", {}, [](R& r, Arguments&) { return Variant(r.RegHKeyUsers()); });
  b.Put("RegHKeyUsers", "Long", {Param("lRegHKey", "Long")}, [](R& r, Arguments& a) {
    r.RegHKeyUsers(a.Long(0));
    return Nothing();
  });
  // The host's message pump for enumerations given fDoEvents: an object whose
  // default member is called once per item (a Python callable); Nothing
  // removes it.
  b.Method("SetDoEventsHook", "", {Param("Hook", "Object")}, [](R& r, Arguments& a) {
    r.SetDoEventsHook(HookOf(a[0]));
    return Nothing();
  });

  InterfaceInfo& events = lib.AddInterface(server_ids::kRegistryObjectEvents, kEvents, true);
  DispatchTable& event_table = catalog.AddTable(events);
  AddEvent(event_table, qvrClsRegistryObjectEvents::kKeyEnumeratedDispId, "KeyEnumerated",
           {Param("RegKey", "String"), Param("HasChildren", "Boolean")});
  AddEvent(event_table, qvrClsRegistryObjectEvents::kValueEnumeratedDispId, "ValueEnumerated",
           {Param("Value", "qvrClsValue")});

  ClassInfo cls;
  cls.clsid = server_ids::kRegistryObjectClass;
  cls.name = "qvrClsRegistryObject";
  cls.description = "Registry access: keys, values, enumeration with events";
  cls.default_interface = &iface;
  cls.events = &events;
  cls.creatable = true;
  cls.app_object = true;
  cls.predeclared = true;
  lib.AddClass(cls);

  const DispatchTable* table = &catalog.Table(kInterface);
  const InterfaceInfo* events_info = &events;
  catalog.AddMaker(server_ids::kRegistryObjectClass, [table, events_info]() -> Unknown* {
    auto* object = new RegistryObjectServer(qvrClsRegistryObject::Create(), *table, events_info);
    return static_cast<Dispatch*>(object);
  });
}

}  // namespace qvr::server
