// Catalog: the qvrRegistryBrowser type library together with the code behind
// every interface, and the makers of the creatable classes. Built once, on
// first use, and kept while the server is loaded.
//
// The Wrap functions put library objects into Variants as server objects
// (Nothing for null), the way every member hands objects to its callers.
#ifndef QVR_SERVER_CATALOG_H_
#define QVR_SERVER_CATALOG_H_

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "dispatch/dispatch_object.h"
#include "dispatch/dispatch_table.h"
#include "dispatch/type_info.h"
#include "automation/variant.h"

namespace qvr {
class qvrClsRegistryObject;
class qvrClsKey;
class qvrClsKeys;
class qvrClsValue;
class qvrClsValues;
class qvrData;
class qvrSelectedData;
class qvrCollection;
}  // namespace qvr

namespace qvr::server {

class Catalog {
 public:
  static Catalog& Get();

  const TypeLibrary& Library() const { return library_; }
  // A new object of a creatable class (no reference taken yet), or null for
  // a class that hosts cannot create.
  Unknown* Create(const Guid& clsid) const;
  bool IsCreatable(const Guid& clsid) const { return makers_.count(clsid) != 0; }

  // The table of an interface by name ("_qvrClsKey"); the interface must
  // exist.
  const DispatchTable& Table(const std::string& interface_name) const;

  // Building (used by the binding files while the catalog is made).
  TypeLibrary& MutableLibrary() { return library_; }
  DispatchTable& AddTable(InterfaceInfo& info);
  void AddMaker(const Guid& clsid, std::function<Unknown*()> maker);

 private:
  Catalog();

  TypeLibrary library_;
  std::deque<DispatchTable> tables_;
  std::map<std::string, DispatchTable*> by_name_;
  std::map<Guid, std::function<Unknown*()>> makers_;
};

// A plain server object for `native` described by interface `interface_name`.
Variant WrapObject(std::shared_ptr<Object> native, const std::string& interface_name);

Variant Wrap(const std::shared_ptr<qvrClsKey>& key);
Variant Wrap(const std::shared_ptr<qvrClsKeys>& keys);
Variant Wrap(const std::shared_ptr<qvrClsValue>& value);
Variant Wrap(const std::shared_ptr<qvrClsValues>& values);
Variant Wrap(const std::shared_ptr<qvrData>& data);
Variant Wrap(const std::shared_ptr<qvrSelectedData>& set);
Variant Wrap(const std::shared_ptr<qvrCollection>& collection);

// The binding files: each describes its classes' interfaces in slot order and
// registers makers for the creatable ones.
void BindEnums(Catalog& catalog);
void BindRegistryObject(Catalog& catalog);
void BindObjectModel(Catalog& catalog);
void BindSelection(Catalog& catalog);
void BindControls(Catalog& catalog);

}  // namespace qvr::server

#endif  // QVR_SERVER_CATALOG_H_
