// KeyedCollection<T>: what the library's collection classes have in common.
//
// A collection class (the sub-keys and values of the registry object model,
// the record sets and records of the selection) derives from it with its
// member type and gets the members a host sees: Count, item, Remove, Clear
// and NewEnum, and iteration for its own callers. The collection owns its
// members through shared pointers; a member a host still holds outlives its
// removal.
//
// Positions count from 1; members filed under a key are found by it in any
// letter case (see KeyedList). Remove raises the list's errors as
// AutomationError with the error source the class names: 9 for a position out
// of range, 5 for a key that is not present, 13 for an index that is neither
// a number nor a text. What item does with an index that names no member is
// the class's choice (`kMissing`): raise those same errors, or give nullptr.
//
// Hosts cannot add members; the deriving class files them (File) and decides
// what a key already in use means for its members.
//
//   class qvrClsKeys : public KeyedCollection<qvrClsKey, MissingMember::kRaise> ...
//   for (const auto& key : *keys) ...
//
// Not safe from several threads: collections live on their creator's thread.
#ifndef QVR_AUTOMATION_KEYED_COLLECTION_H_
#define QVR_AUTOMATION_KEYED_COLLECTION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation/keyed_list.h"
#include "automation/member_enumerator.h"
#include "automation/variant.h"

namespace qvr {

// What item gives for an index that names no member.
enum class MissingMember {
  kRaise,    // the list's error: 9, 5 or 13
  kNothing,  // nullptr; item never fails
};

template <class T, MissingMember kMissing>
class KeyedCollection : public Object {
 public:
  using Members = KeyedList<std::shared_ptr<T>>;
  using const_iterator = typename Members::const_iterator;

  KeyedCollection(const KeyedCollection&) = delete;
  KeyedCollection& operator=(const KeyedCollection&) = delete;

  // Number of members.
  int32_t Count() const { return members_.Count(); }

  // Removes the member at a position from 1 or under a key.
  void Remove(const Variant& vntIndexKey) { members_.Remove(vntIndexKey); }

  // Drops every member.
  void Clear() { members_.Clear(); }

  // An enumerator over a snapshot of the members, in order.
  std::shared_ptr<MemberEnumerator<T>> NewEnum() const {
    return std::make_shared<MemberEnumerator<T>>(
        std::vector<std::shared_ptr<T>>(members_.begin(), members_.end()));
  }

  // The member at a position from 1 or under a key (any letter case).
  std::shared_ptr<T> item(const Variant& vntIndexKey) const {
    if constexpr (kMissing == MissingMember::kRaise) {
      return members_.Item(vntIndexKey);
    } else {
      const std::shared_ptr<T>* member = members_.Find(vntIndexKey);
      return member ? *member : nullptr;
    }
  }

  // Iteration over the members in order (do not change the collection
  // meanwhile; NewEnum is safe against that).
  const_iterator begin() const { return members_.begin(); }
  const_iterator end() const { return members_.end(); }

 protected:
  // `error_source` names the class in the errors it raises.
  explicit KeyedCollection(std::string error_source) {
    members_.SetErrorSource(std::move(error_source));
  }

  // Files `member` under `key` ("" for none), before the member at position
  // `before` (0 appends). False, and the collection unchanged, when `key` is
  // already in use: the caller decides what becomes of the member.
  bool File(const std::shared_ptr<T>& member, std::string_view key, int32_t before = 0) {
    return members_.TryAdd(member, key, before);
  }

  const Members& members() const { return members_; }
  Members& members() { return members_; }

 private:
  Members members_;
};

}  // namespace qvr

#endif  // QVR_AUTOMATION_KEYED_COLLECTION_H_
