// The late-bound faces of the selection records and their collections.
#include <memory>
#include <vector>

#include "dispatch/enum_variant.h"
#include "selection/qvr_collection.h"
#include "selection/qvr_data.h"
#include "selection/qvr_selected_data.h"
#include "server/binding_support.h"
#include "server/catalog.h"
#include "server/identifiers.h"

namespace qvr::server {
namespace {

constexpr const char* kData = "_qvrData";
constexpr const char* kSelectedData = "_qvrSelectedData";
constexpr const char* kCollection = "_qvrCollection";

ClassInfo Creatable(const Guid& clsid, const char* name, const char* description,
                    const InterfaceInfo& iface) {
  ClassInfo cls;
  cls.clsid = clsid;
  cls.name = name;
  cls.description = description;
  cls.default_interface = &iface;
  cls.creatable = true;
  cls.app_object = true;
  cls.predeclared = true;
  return cls;
}

void BindData(Catalog& catalog) {
  using D = qvrData;
  InterfaceInfo& iface = catalog.MutableLibrary().AddInterface(server_ids::kDataInterface, kData);
  InterfaceBuilder<D> b(catalog.AddTable(iface));
  // The eleven fields, each read and written, in field order.
  struct Field {
    const char* name;
    std::string D::*member;
  };
  static const Field fields[] = {
      {"strRegistryClsID", &D::strRegistryClsID},     {"strRegistryName", &D::strRegistryName},
      {"strRegistryDesc", &D::strRegistryDesc},       {"strRegistryImage", &D::strRegistryImage},
      {"strPropSheetAct", &D::strPropSheetAct},       {"strPropSheetDefault", &D::strPropSheetDefault},
      {"strPropSheetHive", &D::strPropSheetHive},     {"strPropSheetKey", &D::strPropSheetKey},
      {"strPropSheetName", &D::strPropSheetName},     {"strPropSheetType", &D::strPropSheetType},
      {"strPropSheetValue", &D::strPropSheetValue},
  };
  for (const Field& f : fields) {
    auto member = f.member;
    b.Get(f.name, "String", {}, [member](D& d, Arguments&) { return Variant(d.*member); });
    b.Put(f.name, "String", {Param(f.name, "String")}, [member](D& d, Arguments& a) {
      d.*member = a.String(0);
      return Nothing();
    });
  }
  ClassInfo cls;
  cls.clsid = server_ids::kDataClass;
  cls.name = "qvrData";
  cls.description = "One picked value: the eleven fields of a selection record";
  cls.default_interface = &iface;
  catalog.MutableLibrary().AddClass(cls);
}

void BindSelectedData(Catalog& catalog) {
  using S = qvrSelectedData;
  InterfaceInfo& iface =
      catalog.MutableLibrary().AddInterface(server_ids::kSelectedDataInterface, kSelectedData);
  InterfaceBuilder<S> b(catalog.AddTable(iface));
  AddCountRemoveClear(b);
  b.Method("NewEnum", "IUnknown", {}, [](S& s, Arguments&) { return Enumerator(s); });
  b.Method("item", "qvrData", {RefParam("vntIndexKey", "Variant")},
           [](S& s, Arguments& a) { return Wrap(s.item(a[0])); });
  catalog.MutableLibrary().AddClass(Creatable(server_ids::kSelectedDataClass, "qvrSelectedData",
                                              "The picked values of one key", iface));
  const DispatchTable* table = &catalog.Table(kSelectedData);
  catalog.AddMaker(server_ids::kSelectedDataClass, [table]() -> Unknown* {
    return static_cast<Dispatch*>(new DispatchObject(std::make_shared<S>(), *table));
  });
}

void BindCollection(Catalog& catalog) {
  using C = qvrCollection;
  InterfaceInfo& iface =
      catalog.MutableLibrary().AddInterface(server_ids::kCollectionInterface, kCollection);
  InterfaceBuilder<C> b(catalog.AddTable(iface));
  AddCountRemoveClear(b);
  b.Method("NewEnum", "IUnknown", {}, [](C& c, Arguments&) { return Enumerator(c); });
  b.Method("item", "qvrSelectedData", {RefParam("vntIndexKey", "Variant")},
           [](C& c, Arguments& a) { return Wrap(c.item(a[0])); });
  b.Method("ClearChildren", "", {RefParam("strParentName", "String")}, [](C& c, Arguments& a) {
    c.ClearChildren(a.String(0));
    return Nothing();
  });
  catalog.MutableLibrary().AddClass(Creatable(server_ids::kCollectionClass, "qvrCollection",
                                              "The whole selection, one record set per key",
                                              iface));
  const DispatchTable* table = &catalog.Table(kCollection);
  catalog.AddMaker(server_ids::kCollectionClass, [table]() -> Unknown* {
    return static_cast<Dispatch*>(new DispatchObject(std::make_shared<C>(), *table));
  });
}

}  // namespace

void BindSelection(Catalog& catalog) {
  BindData(catalog);
  BindSelectedData(catalog);
  BindCollection(catalog);
}

Variant Wrap(const std::shared_ptr<qvrData>& data) { return WrapObject(data, kData); }
Variant Wrap(const std::shared_ptr<qvrSelectedData>& set) { return WrapObject(set, kSelectedData); }
Variant Wrap(const std::shared_ptr<qvrCollection>& c) { return WrapObject(c, kCollection); }

}  // namespace qvr::server
