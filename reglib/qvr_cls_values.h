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
// item and Remove raise the list's errors as AutomationError: 9 for a position
// out of range, 5 for a key that is not present, 13 for an index that is
// neither a number nor a text.
#ifndef QVR_REGLIB_QVR_CLS_VALUES_H_
#define QVR_REGLIB_QVR_CLS_VALUES_H_

#include <memory>

#include "automation/keyed_list.h"
#include "registry/registry_api.h"
#include "automation/variant.h"
#include "automation/member_enumerator.h"
#include "reglib/qvr_cls_value.h"

namespace qvr {

class qvrClsRegistryObject;

class qvrClsValues : public Object, public std::enable_shared_from_this<qvrClsValues> {
  struct Token {
    explicit Token() = default;
  };

 public:
  using Members = KeyedList<std::shared_ptr<qvrClsValue>>;

  explicit qvrClsValues(Token);
  qvrClsValues(const qvrClsValues&) = delete;
  qvrClsValues& operator=(const qvrClsValues&) = delete;

  // Members, in the order of the automation interface.

  // The handle of the key whose values these are.
  HKEY ParentKey() const { return parent_key_; }
  // Number of members.
  int32_t Count() const { return members_.Count(); }
  // Removes the member at a position from 1 or under a key.
  void Remove(const Variant& vntIndexKey) { members_.Remove(vntIndexKey); }
  // Empties the collection.
  void Clear() { members_.Clear(); }
  // An enumerator over the members in order.
  std::shared_ptr<MemberEnumerator<qvrClsValue>> NewEnum() const;
  // The member at a position from 1 or under a key (the default member).
  std::shared_ptr<qvrClsValue> item(const Variant& vntIndexKey) const {
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
  HKEY parent_key_ = 0;
};

}  // namespace qvr

#endif  // QVR_REGLIB_QVR_CLS_VALUES_H_
