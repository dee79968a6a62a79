// PickedLevels: how many "\" the display paths have under which the selection
// holds picked values.
//
// Looking a path up in the selection costs the path's length (it is
// upper-cased and hashed), so a walk over a chain n levels deep that looked up
// every level would spend O(n^2). The walks look up only the paths with as
// many separators as the path of some record set that holds records: no other
// path can name one, since upper-casing neither makes nor removes a "\". An
// empty record set counts as none, as it does to the walks.
//
// A snapshot, taken once per walk: record sets filed or emptied later are not
// seen. Costs the total length of the selection's paths.
#ifndef QVR_CONTROL_INTERNAL_PICKED_LEVELS_H_
#define QVR_CONTROL_INTERNAL_PICKED_LEVELS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "automation/variant.h"
#include "selection/internal/selection_access.h"
#include "selection/qvr_collection.h"

namespace qvr::control_internal {

class PickedLevels {
 public:
  explicit PickedLevels(const qvrCollection& selection) {
    for (int32_t position = 1; position <= selection.Count(); ++position) {
      const auto record_set = selection.item(Variant(position));
      if (!record_set || record_set->Count() == 0) continue;
      const std::string& path = selection_internal::SelectionAccess::PathAt(selection, position);
      levels_.insert(static_cast<size_t>(std::count(path.begin(), path.end(), '\\')));
    }
  }

  // False when no path with `separators` separators holds picked values.
  bool MayHold(size_t separators) const { return levels_.contains(separators); }

 private:
  std::unordered_set<size_t> levels_;
};

}  // namespace qvr::control_internal

#endif  // QVR_CONTROL_INTERNAL_PICKED_LEVELS_H_
