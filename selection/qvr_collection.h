// qvrCollection: the whole selection, one record set per key.
//
// Holds qvrSelectedData record sets keyed by the display path of their key
// (the hive name, then "\" and the sub-key path when there is one), in the
// order they were added. Paths are unique in any letter case. A record set
// that becomes empty stays in the collection under its path. The collection
// owns its record sets.
//
// Only the library adds record sets (see selection/internal/selection_access.h);
// hosts create, read and empty the collection.
//
//   if (auto set = selection->item("HKEY_CURRENT_USER\\Software\\Acme"))
//     std::cout << set->Count() << " values picked\n";
//
// item never fails. Remove raises the list's errors as AutomationError: 5 for
// a path that is not present, 9 for a position out of range, 13 for an index
// that is neither a number nor a text.
#ifndef QVR_SELECTION_QVR_COLLECTION_H_
#define QVR_SELECTION_QVR_COLLECTION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/keyed_list.h"
#include "automation/member_enumerator.h"
#include "automation/variant.h"
#include "selection/qvr_selected_data.h"

namespace qvr {

class qvrCollection : public Object {
 public:
  using RecordSets = KeyedList<std::shared_ptr<qvrSelectedData>>;

  qvrCollection();
  qvrCollection(const qvrCollection&) = delete;
  qvrCollection& operator=(const qvrCollection&) = delete;

  // Members, in the order of the automation interface.

  // Number of record sets.
  int32_t Count() const { return record_sets_.Count(); }
  // Removes the record set of a display path or at a position from 1.
  void Remove(const Variant& vntIndexKey) { record_sets_.Remove(vntIndexKey); }
  // Drops every record set.
  void Clear();
  // An enumerator over the record sets in order.
  std::shared_ptr<MemberEnumerator<qvrSelectedData>> NewEnum() const;
  // The record set of a display path (any letter case) or at a position from
  // 1; nullptr when there is none.
  std::shared_ptr<qvrSelectedData> item(const Variant& vntIndexKey) const;
  // Empties (does not remove) the record sets of the key `strParentName`
  // names and of every key below it; a bare hive name empties every record
  // set of that hive. Paths compare without regard to case. A record set is
  // placed by the hive and key of its first record.
  void ClearChildren(const std::string& strParentName);

  // Iteration over the record sets in order (do not change the collection
  // meanwhile; NewEnum is safe against that).
  RecordSets::const_iterator begin() const { return record_sets_.begin(); }
  RecordSets::const_iterator end() const { return record_sets_.end(); }

 private:
  friend class selection_internal::SelectionAccess;

  // Appends a new, empty record set under the display path `strKey` and
  // returns it; when the path is taken the new set is returned unfiled.
  std::shared_ptr<qvrSelectedData> Add(std::string_view strKey);

  RecordSets record_sets_;
};

}  // namespace qvr

#endif  // QVR_SELECTION_QVR_COLLECTION_H_
