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
// Count, item, Remove, Clear and NewEnum are the keyed collection's
// (automation/keyed_collection.h). item never fails: it gives nullptr for an
// index that names no record. Remove raises the list's errors as
// AutomationError with the source "qvrRegistryBrowser.qvrSelectedData": 5 for
// a key that is not filed, 9 for a position out of range, 13 for an index
// that is neither a number nor a text.
#ifndef QVR_SELECTION_QVR_SELECTED_DATA_H_
#define QVR_SELECTION_QVR_SELECTED_DATA_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/keyed_collection.h"
#include "selection/qvr_data.h"

namespace qvr {

namespace selection_internal {
class SelectionAccess;
}

class qvrSelectedData : public KeyedCollection<qvrData, MissingMember::kNothing> {
 public:
  using Records = Members;

  qvrSelectedData() : KeyedCollection("qvrRegistryBrowser.qvrSelectedData") {}

  // Drops every record (the keyed collection's Clear, and the records' order
  // of names holds again).
  void Clear();

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
  // The value name of the record at a position from 1 to Count().
  const std::string& NameAt(int32_t position) const;

  // True while the records stand in order of value name, so that the
  // insertion point can be found by halving instead of a scan.
  bool names_sorted_ = true;
};

}  // namespace qvr

#endif  // QVR_SELECTION_QVR_SELECTED_DATA_H_
