// ModelAccess: the library's own door into the key and value objects.
//
// The objects of the model are read only to clients; only the library creates
// them, fills them in and adds to their collections, through this class. It is
// not part of the public interface: nothing outside reglib/ (and its tests)
// includes this header.
#ifndef QVR_REGLIB_INTERNAL_MODEL_ACCESS_H_
#define QVR_REGLIB_INTERNAL_MODEL_ACCESS_H_

#include <memory>
#include <string>
#include <string_view>

#include "registry/registry_api.h"
#include "reglib/qvr_cls_key.h"
#include "reglib/qvr_cls_keys.h"
#include "reglib/qvr_cls_value.h"
#include "reglib/qvr_cls_values.h"
#include "reglib/registry_data_types.h"

namespace qvr {
class qvrClsRegistryObject;

namespace reglib_internal {

class ModelAccess {
 public:
  // New, empty objects (a value with AutoSet on, nothing loaded).
  static std::shared_ptr<qvrClsKey> NewKey();
  static std::shared_ptr<qvrClsKeys> NewKeys();
  static std::shared_ptr<qvrClsValue> NewValue();
  static std::shared_ptr<qvrClsValues> NewValues();

  // ---- qvrClsKey ----
  static void SetHadChildrenOnEnum(qvrClsKey& key, bool had_children);
  static void SetHandle(qvrClsKey& key, HKEY handle);
  static void SetParent(qvrClsKey& key, const std::shared_ptr<qvrClsKeys>& parent);
  // Stores the name only when it differs from the present one.
  static void SetKeyName(qvrClsKey& key, std::string_view name);
  static void SetValues(qvrClsKey& key, std::shared_ptr<qvrClsValues> values);
  static void SetRegistryObject(qvrClsKey& key, std::shared_ptr<qvrClsRegistryObject> registry);
  static const std::shared_ptr<qvrClsRegistryObject>& RegistryObject(const qvrClsKey& key);

  // ---- qvrClsKeys ----
  static void SetHandle(qvrClsKeys& keys, HKEY handle);
  static void SetRegistryObject(qvrClsKeys& keys, std::shared_ptr<qvrClsRegistryObject> registry);
  static const std::shared_ptr<qvrClsRegistryObject>& RegistryObject(const qvrClsKeys& keys);
  // A new member (Parent, RegistryObject, Handle and KeyName set), appended
  // under `sKey` or, when that is "", without a key. Raises nothing: when the
  // key is already in use the member is returned all the same, outside the
  // collection.
  static std::shared_ptr<qvrClsKey> Add(qvrClsKeys& keys, std::string_view KeyName, HKEY Handle,
                                        std::string_view sKey = "");

  // ---- qvrClsValue ----
  // The writes below load the value when the object then names exactly one
  // value of a key it can reach (see qvrClsValue).
  static void SetParentKey(qvrClsValue& value, HKEY parent_key);
  static void SetParent(qvrClsValue& value, const std::shared_ptr<qvrClsValues>& parent);
  static void SetRegistryObject(qvrClsValue& value, std::shared_ptr<qvrClsRegistryObject> registry);
  // Sets the name shown and read; a no-op for the present name.
  static void SetValueName(qvrClsValue& value, std::string_view name);
  static void SetDataType(qvrClsValue& value, RegistryDataTypes type);
  static const std::shared_ptr<qvrClsRegistryObject>& RegistryObject(const qvrClsValue& value);

  // ---- qvrClsValues ----
  static void SetParentKey(qvrClsValues& values, HKEY parent_key);
  static void SetRegistryObject(qvrClsValues& values,
                                std::shared_ptr<qvrClsRegistryObject> registry);
  static const std::shared_ptr<qvrClsRegistryObject>& RegistryObject(const qvrClsValues& values);
  // A new member (Parent, RegistryObject, ParentKey, DataType and ValueName
  // set, so loaded when it names one value), appended under `sKey` or, when
  // that is "", without a key. When that fails (the key is in use) it is
  // filed once more with "*" appended to its name and to a non-empty key; the
  // name shown then carries the "*" while reads and writes still go to the
  // value named `ValueName`. A failure of that second filing is raised.
  static std::shared_ptr<qvrClsValue> Add(qvrClsValues& values, std::string_view ValueName,
                                          RegistryDataTypes DataType, std::string_view sKey = "");
  // A new member for the value `ValueName` (set up as by Add), filed under
  // that name or, when it is taken, under the name followed by as many "*"
  // as it takes to find a free key; the shown name carries the same stars,
  // reads and writes go to `ValueName`. So every row of a value list stays
  // distinct and reachable, whatever names came before. Raises nothing.
  static std::shared_ptr<qvrClsValue> AddListed(qvrClsValues& values, std::string_view ValueName,
                                                RegistryDataTypes DataType);

 private:
  // A new value with Parent, RegistryObject, ParentKey and DataType set, not
  // yet named or filed.
  static std::shared_ptr<qvrClsValue> NewMember(qvrClsValues& values, RegistryDataTypes DataType);
};

}  // namespace reglib_internal
}  // namespace qvr

#endif  // QVR_REGLIB_INTERNAL_MODEL_ACCESS_H_
