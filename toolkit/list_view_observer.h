// ListViewObserver: what a view hears about the rows of a ListView.
//
// Insertions, removals and reorderings come in pairs around the change, so a
// view can keep its own rows in step. Rows are 0-based positions in the
// list's current order. Every method has an empty default.
#ifndef QVR_TOOLKIT_LIST_VIEW_OBSERVER_H_
#define QVR_TOOLKIT_LIST_VIEW_OBSERVER_H_

#include <cstdint>

namespace qvr::toolkit {

class ListItem;

// Which property of a row changed. For kSubItem, `column` in ItemChanged is
// the sub-item's number (1 and up); otherwise it is 0.
enum class ListItemField { kText, kSubItem, kIcon, kSmallIcon, kChecked, kSelected };

class ListViewObserver {
 public:
  virtual ~ListViewObserver() = default;

  virtual void ItemAboutToBeInserted(int32_t row) {}
  virtual void ItemInserted(ListItem& item) {}
  virtual void ItemAboutToBeRemoved(ListItem& item) {}
  virtual void ItemRemoved(int32_t row) {}
  virtual void ItemsAboutToBeCleared() {}
  virtual void ItemsCleared() {}
  // The rows are about to change places (sorting), and have.
  virtual void ItemsAboutToBeReordered() {}
  virtual void ItemsReordered() {}
  virtual void ItemChanged(ListItem& item, ListItemField field, int32_t column) {}
  // Rows were added to a sorted list or changed their sort text: the list
  // will reorder them at the next Settle (see ListView). A view calls Settle
  // when it is idle.
  virtual void SortPending() {}
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_LIST_VIEW_OBSERVER_H_
