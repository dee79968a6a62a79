#include "server/catalog.h"

#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "regfile/wine_prefix.h"
#include "reglib/standard_registry_keys.h"
#include "server/identifiers.h"

namespace qvr::server {

Catalog& Catalog::Get() {
  static Catalog* catalog = new Catalog();  // lives as long as the server is loaded
  return *catalog;
}

Catalog::Catalog()
    : library_(server_ids::kLibrary, "qvrRegistryBrowser",
               "qvrRegistryBrowser: registry access, registry browser control and selection",
               1, 0) {
  BindEnums(*this);
  BindRegistryObject(*this);
  BindObjectModel(*this);
  BindSelection(*this);
  BindControls(*this);
  // Hosts reach other machines through the objects made here, Wine prefixes
  // among them.
  WinePrefix::RegisterOpener();
}

Unknown* Catalog::Create(const Guid& clsid) const {
  auto it = makers_.find(clsid);
  return it == makers_.end() ? nullptr : it->second();
}

const DispatchTable& Catalog::Table(const std::string& interface_name) const {
  auto it = by_name_.find(interface_name);
  if (it == by_name_.end()) std::abort();  // a binding names an interface it never built
  return *it->second;
}

DispatchTable& Catalog::AddTable(InterfaceInfo& info) {
  DispatchTable& table = tables_.emplace_back(info);
  by_name_[info.name] = &table;
  return table;
}

void Catalog::AddMaker(const Guid& clsid, std::function<Unknown*()> maker) {
  makers_[clsid] = std::move(maker);
}

namespace {

// One server object per library object while any client holds it, so that a
// member handing out the same object twice hands out the same server object
// (clients compare objects by identity).
class SharedServerObject : public DispatchObject {
 public:
  SharedServerObject(std::shared_ptr<Object> native, const DispatchTable& table)
      : DispatchObject(std::move(native), table) {}
  ~SharedServerObject() override {
    std::lock_guard<std::mutex> lock(Mutex());
    Live().erase(Native().get());
  }

  static std::mutex& Mutex() {
    static std::mutex mu;
    return mu;
  }
  static std::unordered_map<const Object*, SharedServerObject*>& Live() {
    static auto* live = new std::unordered_map<const Object*, SharedServerObject*>();
    return *live;
  }
};

}  // namespace

Variant WrapObject(std::shared_ptr<Object> native, const std::string& interface_name) {
  if (!native) return Variant(std::shared_ptr<Object>());
  std::unique_lock<std::mutex> lock(SharedServerObject::Mutex());
  auto& live = SharedServerObject::Live();
  if (auto it = live.find(native.get()); it != live.end()) {
    SharedServerObject* existing = it->second;
    existing->AddRef();  // held while the lock is dropped
    lock.unlock();
    Variant v = DispatchVariant(existing);
    existing->Release();
    return v;
  }
  const Object* key = native.get();
  auto* object = new SharedServerObject(std::move(native), Catalog::Get().Table(interface_name));
  live[key] = object;
  object->AddRef();
  lock.unlock();
  Variant v = DispatchVariant(object);
  object->Release();
  return v;
}

void BindEnums(Catalog& catalog) {
  TypeLibrary& lib = catalog.MutableLibrary();
  lib.AddEnum("StandardRegistryKeys", {{"HKeyClassesRoot", HKeyClassesRoot},
                                       {"HKeyCurrentUser", HKeyCurrentUser},
                                       {"HKeyLocalMachine", HKeyLocalMachine},
                                       {"HKeyUsers", HKeyUsers},
                                       {"HKeyCurrentConfig", HKeyCurrentConfig}});
  lib.AddEnum("RegistryDataTypes", {{"rdNone", 0},
                                    {"rdString", 1},
                                    {"rdExpandSZ", 2},
                                    {"rdBinary", 3},
                                    {"rdDWord", 4},
                                    {"rdDWordLittleEndian", 4},
                                    {"rdDWordBigEndian", 5},
                                    {"rdLink", 6},
                                    {"rdMultiSZ", 7},
                                    {"rdFullResourceDescriptor", 9}});
  lib.AddEnum("eSelectionType", {{"SingleSelect", 0}, {"MultiSelect", 1}});
  lib.AddEnum("eBrowserType", {{"Registry", 0}, {"SystemPolicy", 1}});
}

}  // namespace qvr::server
