// qvrClsKey: one registry key as an object.
//
// EnumKeys makes one per sub-key found (not opened: Handle 0), held by a
// qvrClsKeys; GetKeyObject makes one for an open handle. Clients cannot create
// keys and cannot change them; the library fills them in.
//
// A key refers back to its collection without owning it: Parent gives nullptr
// once the collection has ended. It keeps the registry object that made it.
#ifndef QVR_REGLIB_QVR_CLS_KEY_H_
#define QVR_REGLIB_QVR_CLS_KEY_H_

#include <memory>
#include <string>

#include "registry/registry_api.h"
#include "automation/variant.h"

namespace qvr {

class qvrClsKeys;
class qvrClsValues;
class qvrClsRegistryObject;
namespace reglib_internal {
class ModelAccess;
}

class qvrClsKey : public Object, public std::enable_shared_from_this<qvrClsKey> {
  struct Token {
    explicit Token() = default;
  };

 public:
  explicit qvrClsKey(Token) {}
  qvrClsKey(const qvrClsKey&) = delete;
  qvrClsKey& operator=(const qvrClsKey&) = delete;

  // Members, in the order of the automation interface; all read only.

  // True when the enumeration that found this key saw a sub-key below it.
  bool HadChildrenOnEnum() const { return had_children_on_enum_; }
  // The key's open handle; 0 for keys found by EnumKeys.
  HKEY Handle() const { return handle_; }
  // The collection that holds the key; nullptr for a key from GetKeyObject
  // and once that collection has ended.
  std::shared_ptr<qvrClsKeys> Parent() const { return parent_.lock(); }
  // The key's own name, one path element as the service spelled it (the
  // default member).
  const std::string& KeyName() const { return key_name_; }
  // The key's values when they were enumerated for it; else nullptr.
  std::shared_ptr<qvrClsValues> Values() const { return values_; }

 private:
  friend class reglib_internal::ModelAccess;

  std::shared_ptr<qvrClsRegistryObject> registry_;
  HKEY handle_ = 0;
  std::weak_ptr<qvrClsKeys> parent_;
  std::shared_ptr<qvrClsValues> values_;
  std::string key_name_;
  bool had_children_on_enum_ = false;
};

}  // namespace qvr

#endif  // QVR_REGLIB_QVR_CLS_KEY_H_
