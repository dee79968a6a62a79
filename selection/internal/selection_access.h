// SelectionAccess: the library's own door for filing selection records.
//
// Hosts read and empty the selection; only the control adds to it, through
// this class. It is not part of the public interface: nothing outside the
// library (and its tests) includes this header.
//
//   auto set = selection.item(path);
//   if (!set) set = SelectionAccess::Add(selection, path);
//   SelectionAccess::Add(*set, clsid, name, ..., value_name);
#ifndef QVR_SELECTION_INTERNAL_SELECTION_ACCESS_H_
#define QVR_SELECTION_INTERNAL_SELECTION_ACCESS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "selection/qvr_collection.h"
#include "selection/qvr_data.h"
#include "selection/qvr_selected_data.h"

namespace qvr::selection_internal {

class SelectionAccess {
 public:
  // Files a new record in `record_set` with the eleven fields in field order
  // under `strKey`, placed before the first record whose value name sorts
  // after `strKey` (without regard to case). A key already filed leaves the
  // set unchanged; the new record is returned all the same, unfiled.
  static std::shared_ptr<qvrData> Add(qvrSelectedData& record_set, std::string_view clsid,
                                      std::string_view name, std::string_view descr,
                                      std::string_view image, std::string_view action,
                                      std::string_view is_default, std::string_view hive,
                                      std::string_view key, std::string_view value_name,
                                      std::string_view type, std::string_view value,
                                      std::string_view strKey) {
    return record_set.Add(clsid, name, descr, image, action, is_default, hive, key, value_name,
                          type, value, strKey);
  }

  // Appends a new, empty record set under the display path `strKey` and
  // returns it. A path already present leaves the collection unchanged; the
  // new set is returned all the same, unfiled.
  static std::shared_ptr<qvrSelectedData> Add(qvrCollection& selection, std::string_view strKey) {
    return selection.Add(strKey);
  }

  // The display path the record set at `position` (from 1) is filed under,
  // as it was given to Add. Raises 9 for a position out of range.
  static const std::string& PathAt(const qvrCollection& selection, int32_t position) {
    return selection.members().KeyAt(position);
  }
};

}  // namespace qvr::selection_internal

#endif  // QVR_SELECTION_INTERNAL_SELECTION_ACCESS_H_
