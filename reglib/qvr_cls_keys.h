// qvrClsKeys: the ordered collection of the sub-keys EnumKeys found below one
// key.
//
// Positions count from 1; members filed under a key are found by it in any
// letter case (EnumKeys files its members without keys, so they are reached
// by position or iteration). The collection owns its members. Clients cannot
// create collections or add to them.
//
//   for (const auto& key : *keys) std::cout << key->KeyName() << '\n';
//
// Count, item (the default member), Remove, Clear and NewEnum are the keyed
// collection's (automation/keyed_collection.h). item and Remove raise the
// list's errors as AutomationError with the source "RegLib.qvrClsKeys": 9 for
// a position out of range, 5 for a key that is not present, 13 for an index
// that is neither a number nor a text.
#ifndef QVR_REGLIB_QVR_CLS_KEYS_H_
#define QVR_REGLIB_QVR_CLS_KEYS_H_

#include <memory>

#include "automation/keyed_collection.h"
#include "registry/registry_api.h"
#include "reglib/qvr_cls_key.h"

namespace qvr {

class qvrClsRegistryObject;

class qvrClsKeys : public KeyedCollection<qvrClsKey, MissingMember::kRaise>,
                   public std::enable_shared_from_this<qvrClsKeys> {
  struct Token {
    explicit Token() = default;
  };

 public:
  explicit qvrClsKeys(Token) : KeyedCollection("RegLib.qvrClsKeys") {}

  // The handle of the key whose sub-keys these are (first member of the
  // automation interface; Count, Remove, Clear, NewEnum and item follow).
  HKEY Handle() const { return handle_; }

 private:
  friend class reglib_internal::ModelAccess;

  std::shared_ptr<qvrClsRegistryObject> registry_;
  HKEY handle_ = 0;
};

}  // namespace qvr

#endif  // QVR_REGLIB_QVR_CLS_KEYS_H_
