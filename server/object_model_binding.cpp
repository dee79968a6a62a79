// The late-bound faces of the key and value objects and their collections.
#include <memory>
#include <vector>

#include "dispatch/enum_variant.h"
#include "reglib/qvr_cls_key.h"
#include "reglib/qvr_cls_keys.h"
#include "reglib/qvr_cls_value.h"
#include "reglib/qvr_cls_values.h"
#include "server/binding_support.h"
#include "server/catalog.h"
#include "server/identifiers.h"

namespace qvr::server {
namespace {

constexpr const char* kKey = "_qvrClsKey";
constexpr const char* kKeys = "_qvrClsKeys";
constexpr const char* kValue = "_qvrClsValue";
constexpr const char* kValues = "_qvrClsValues";

void AddClass(TypeLibrary& lib, const Guid& clsid, const char* name, const char* description,
              const InterfaceInfo& iface) {
  ClassInfo cls;
  cls.clsid = clsid;
  cls.name = name;
  cls.description = description;
  cls.default_interface = &iface;
  lib.AddClass(cls);
}

void BindKey(Catalog& catalog) {
  using K = qvrClsKey;
  InterfaceInfo& iface = catalog.MutableLibrary().AddInterface(server_ids::kKeyInterface, kKey);
  InterfaceBuilder<K> b(catalog.AddTable(iface));
  b.Get("HadChildrenOnEnum", "Boolean", {},
        [](K& k, Arguments&) { return Variant(k.HadChildrenOnEnum()); });
  b.Get("Handle", "Long", {}, [](K& k, Arguments&) { return Variant(k.Handle()); });
  b.Get("Parent", "qvrClsKeys", {}, [](K& k, Arguments&) { return Wrap(k.Parent()); });
  b.Get("KeyName", "String", {}, [](K& k, Arguments&) { return Variant(k.KeyName()); },
        kDefaultMember);
  b.Get("Values", "qvrClsValues", {}, [](K& k, Arguments&) { return Wrap(k.Values()); });
  AddClass(catalog.MutableLibrary(), server_ids::kKeyClass, "qvrClsKey",
           "One registry key found by an enumeration", iface);
}

void BindKeys(Catalog& catalog) {
  using C = qvrClsKeys;
  InterfaceInfo& iface = catalog.MutableLibrary().AddInterface(server_ids::kKeysInterface, kKeys);
  InterfaceBuilder<C> b(catalog.AddTable(iface));
  b.Get("Handle", "Long", {}, [](C& c, Arguments&) { return Variant(c.Handle()); });
  AddCountRemoveClear(b);
  b.Get("NewEnum", "IUnknown", {}, [](C& c, Arguments&) { return Enumerator(c); },
        kEnumeratorMember);
  b.Get("item", "qvrClsKey", {RefParam("vntIndexKey", "Variant")},
        [](C& c, Arguments& a) { return Wrap(c.item(a[0])); }, kDefaultMember);
  AddClass(catalog.MutableLibrary(), server_ids::kKeysClass, "qvrClsKeys",
           "The sub-keys an enumeration found below one key", iface);
}

void BindValue(Catalog& catalog) {
  using V = qvrClsValue;
  InterfaceInfo& iface =
      catalog.MutableLibrary().AddInterface(server_ids::kValueInterface, kValue);
  InterfaceBuilder<V> b(catalog.AddTable(iface));
  b.Get("Value", "Variant", {}, [](V& v, Arguments&) { return v.Value(); });
  b.Put("Value", "Variant", {Param("vData", "Variant")}, [](V& v, Arguments& a) {
    v.Value(a[0]);
    return Nothing();
  });
  b.Get("AutoSet", "Boolean", {}, [](V& v, Arguments&) { return Variant(v.AutoSet()); });
  b.Put("AutoSet", "Boolean", {Param("vData", "Boolean")}, [](V& v, Arguments& a) {
    v.AutoSet(a.Bool(0));
    return Nothing();
  });
  b.Get("Default", "Boolean", {}, [](V& v, Arguments&) { return Variant(v.Default()); });
  b.Put("Default", "Boolean", {Param("vData", "Boolean")}, [](V& v, Arguments& a) {
    v.Default(a.Bool(0));
    return Nothing();
  });
  b.Get("ParentKey", "Long", {}, [](V& v, Arguments&) { return Variant(v.ParentKey()); });
  b.Get("Parent", "qvrClsValues", {}, [](V& v, Arguments&) { return Wrap(v.Parent()); });
  b.Get("Size", "Long", {}, [](V& v, Arguments&) { return Variant(v.Size()); });
  b.Get("ValueName", "String", {}, [](V& v, Arguments&) { return Variant(v.ValueName()); },
        kDefaultMember);
  b.Get("DataType", "RegistryDataTypes", {},
        [](V& v, Arguments&) { return Variant(static_cast<int32_t>(v.DataType())); });
  b.Method("GetValue", "", {}, [](V& v, Arguments&) {
    v.GetValue();
    return Nothing();
  });
  b.Method("SetValue", "", {}, [](V& v, Arguments&) {
    v.SetValue();
    return Nothing();
  });
  b.Method("Clear", "", {}, [](V& v, Arguments&) {
    v.Clear();
    return Nothing();
  });
  b.Method("TypeWord", "String", {OptParam("Friendly", "Boolean", Variant(false))},
           [](V& v, Arguments& a) { return Variant(v.TypeWord(a.Bool(0))); });
  AddClass(catalog.MutableLibrary(), server_ids::kValueClass, "qvrClsValue",
           "One registry value that reads and writes itself", iface);
}

void BindValues(Catalog& catalog) {
  using C = qvrClsValues;
  InterfaceInfo& iface =
      catalog.MutableLibrary().AddInterface(server_ids::kValuesInterface, kValues);
  InterfaceBuilder<C> b(catalog.AddTable(iface));
  b.Get("ParentKey", "Long", {}, [](C& c, Arguments&) { return Variant(c.ParentKey()); });
  AddCountRemoveClear(b);
  b.Get("NewEnum", "IUnknown", {}, [](C& c, Arguments&) { return Enumerator(c); },
        kEnumeratorMember);
  b.Get("item", "qvrClsValue", {RefParam("vntIndexKey", "Variant")},
        [](C& c, Arguments& a) { return Wrap(c.item(a[0])); }, kDefaultMember);
  AddClass(catalog.MutableLibrary(), server_ids::kValuesClass, "qvrClsValues",
           "The values an enumeration found under one key", iface);
}

}  // namespace

void BindObjectModel(Catalog& catalog) {
  BindKey(catalog);
  BindKeys(catalog);
  BindValue(catalog);
  BindValues(catalog);
}

Variant Wrap(const std::shared_ptr<qvrClsKey>& key) { return WrapObject(key, kKey); }
Variant Wrap(const std::shared_ptr<qvrClsKeys>& keys) { return WrapObject(keys, kKeys); }
Variant Wrap(const std::shared_ptr<qvrClsValue>& value) { return WrapObject(value, kValue); }
Variant Wrap(const std::shared_ptr<qvrClsValues>& values) { return WrapObject(values, kValues); }

}  // namespace qvr::server
