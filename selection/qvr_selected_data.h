// qvrSelectedData: a record set, the picked values of one key.
//
// Holds qvrData records keyed by value name and kept in ascending order of
// value name, compared without regard to case. Keys are unique in any letter
// case: filing a value a second time changes nothing. Positions count from 1.
// The set owns its records; a record a host still holds outlives its removal.
//
// Only the library files records (see selection/internal/selection_access.h);
// hosts create, read and empty record sets.
//
//   auto record = record_set->item("Path");      // nullptr when not filed
//   for (const auto& r : *record_set) ...        // in order of value name
//
// item never fails. Remove raises the list's errors as AutomationError: 5 for
// a key that is not filed, 9 for a position out of range, 13 for an index
// that is neither a number nor a text.
#ifndef QVR_SELECTION_QVR_SELECTED_DATA_H_
#define QVR_SELECTION_QVR_SELECTED_DATA_H_

#include <cstdint>
#include <memory>
#include <string_view>

#include "automation/keyed_list.h"
#include "automation/member_enumerator.h"
#include "automation/variant.h"
#include "selection/qvr_data.h"

namespace qvr {

namespace selection_internal {
class SelectionAccess;
}

class qvrSelectedData : public Object {
 public:
  using Records = KeyedList<std::shared_ptr<qvrData>>;

  qvrSelectedData();
  qvrSelectedData(const qvrSelectedData&) = delete;
  qvrSelectedData& operator=(const qvrSelectedData&) = delete;

  // Members, in the order of the automation interface.

  // Number of records.
  int32_t Count() const { return records_.Count(); }
  // Removes the record filed under a value name or at a position from 1.
  void Remove(const Variant& vntIndexKey) { records_.Remove(vntIndexKey); }
  // Drops every record.
  void Clear();
  // An enumerator over the records in order.
  std::shared_ptr<MemberEnumerator<qvrData>> NewEnum() const;
  // The record filed under a value name (any letter case) or at a position
  // from 1; nullptr when there is none.
  std::shared_ptr<qvrData> item(const Variant& vntIndexKey) const;

  // Iteration over the records in order (do not change the set meanwhile;
  // NewEnum is safe against that).
  Records::const_iterator begin() const { return records_.begin(); }
  Records::const_iterator end() const { return records_.end(); }

 private:
  friend class selection_internal::SelectionAccess;

  // Files a new record with the given fields under `strKey`, before the first
  // record whose value name sorts after `strKey`. Returns the record, also
  // when it could not be filed (the key is taken).
  std::shared_ptr<qvrData> Add(std::string_view clsid, std::string_view name,
                               std::string_view descr, std::string_view image,
                               std::string_view action, std::string_view is_default,
                               std::string_view hive, std::string_view key,
                               std::string_view value_name, std::string_view type,
                               std::string_view value, std::string_view strKey);
  // The position to insert before for `strKey`; 0 to append.
  int32_t InsertionPoint(std::string_view strKey) const;
  void NoteInsertedAt(int32_t position);

  Records records_;
  // True while the records stand in order of value name, so that the
  // insertion point can be found by halving instead of a scan.
  bool names_sorted_ = true;
};

}  // namespace qvr

#endif  // QVR_SELECTION_QVR_SELECTED_DATA_H_
