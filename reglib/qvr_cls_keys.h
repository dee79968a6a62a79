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
// item and Remove raise the list's errors as AutomationError: 9 for a position
// out of range, 5 for a key that is not present, 13 for an index that is
// neither a number nor a text.
#ifndef QVR_REGLIB_QVR_CLS_KEYS_H_
#define QVR_REGLIB_QVR_CLS_KEYS_H_

#include <memory>

#include "automation/keyed_list.h"
#include "registry/registry_api.h"
#include "automation/variant.h"
#include "automation/member_enumerator.h"
#include "reglib/qvr_cls_key.h"

namespace qvr {

class qvrClsRegistryObject;

class qvrClsKeys : public Object, public std::enable_shared_from_this<qvrClsKeys> {
  struct Token {
    explicit Token() = default;
  };

 public:
  using Members = KeyedList<std::shared_ptr<qvrClsKey>>;

  explicit qvrClsKeys(Token);
  qvrClsKeys(const qvrClsKeys&) = delete;
  qvrClsKeys& operator=(const qvrClsKeys&) = delete;

  // Members, in the order of the automation interface.

  // The handle of the key whose sub-keys these are.
  HKEY Handle() const { return handle_; }
  // Number of members.
  int32_t Count() const { return members_.Count(); }
  // Removes the member at a position from 1 or under a key.
  void Remove(const Variant& vntIndexKey) { members_.Remove(vntIndexKey); }
  // Empties the collection.
  void Clear() { members_.Clear(); }
  // An enumerator over the members in order.
  std::shared_ptr<MemberEnumerator<qvrClsKey>> NewEnum() const;
  // The member at a position from 1 or under a key (the default member).
  std::shared_ptr<qvrClsKey> item(const Variant& vntIndexKey) const {
    return members_.Item(vntIndexKey);
  }

  // Iteration over the members in order (do not change the collection
  // meanwhile; NewEnum is safe against that).
  Members::const_iterator begin() const { return members_.begin(); }
  Members::const_iterator end() const { return members_.end(); }

 private:
  friend class reglib_internal::ModelAccess;

  Members members_;
  std::shared_ptr<qvrClsRegistryObject> registry_;
  HKEY handle_ = 0;
};

}  // namespace qvr

#endif  // QVR_REGLIB_QVR_CLS_KEYS_H_
