// qvrClsValues: the ordered collection of the values EnumValues found under
// one key.
//
// Positions count from 1; keys compare without regard to case. EnumValues
// files the key's default value first under "(default)" and every named value
// under its own name. The collection owns its members. Clients cannot create
// collections or add to them.
//
//   auto values = reg->EnumValues(h);
//   Variant data = values->item(Variant("Version"))->Value();
//
// Count, item (the default member), Remove, Clear and NewEnum are the keyed
// collection's (automation/keyed_collection.h). item and Remove raise the
// list's errors as AutomationError with the source "RegLib.qvrClsValues": 9
// for a position out of range, 5 for a key that is not present, 13 for an
// index that is neither a number nor a text.
#ifndef QVR_REGLIB_QVR_CLS_VALUES_H_
#define QVR_REGLIB_QVR_CLS_VALUES_H_

#include <memory>

#include "automation/keyed_collection.h"
#include "registry/registry_api.h"
#include "reglib/qvr_cls_value.h"

namespace qvr {

class qvrClsRegistryObject;

class qvrClsValues : public KeyedCollection<qvrClsValue, MissingMember::kRaise>,
                     public std::enable_shared_from_this<qvrClsValues> {
  struct Token {
    explicit Token() = default;
  };

 public:
  explicit qvrClsValues(Token) : KeyedCollection("RegLib.qvrClsValues") {}

  // The handle of the key whose values these are (first member of the
  // automation interface; Count, Remove, Clear, NewEnum and item follow).
  HKEY ParentKey() const { return parent_key_; }

 private:
  friend class reglib_internal::ModelAccess;

  std::shared_ptr<qvrClsRegistryObject> registry_;
  HKEY parent_key_ = 0;
};

}  // namespace qvr

#endif  // QVR_REGLIB_QVR_CLS_VALUES_H_
