// ListView: a list of rows in report view, with column headers, icons,
// check boxes, a selected row and sorting by the text of a column.
//
// Events are raised only by a person's actions, which a view (or a test)
// reports through the User... calls below; writes made by the list's owner
// (Checked, Selected, SelectedItem, the sort settings) raise nothing. Every
// change is announced to the observers (ListViewObserver for rows,
// WidgetObserver for place and look).
//
// Sorting: while Sorted is true the rows are ordered by the text of column
// SortKey (0 = the row's Text, k = sub-item k), ascending (lvwAscending) or
// descending (lvwDescending), comparing without regard to case; rows with
// equal texts keep their order. Setting Sorted, SortKey or SortOrder sorts at
// once. Rows added or changed later are put in place by Settle, which the
// position-based reads run first and which views call when idle; so a list
// refilled while Sorted is true comes out sorted the same way.
#ifndef QVR_TOOLKIT_LIST_VIEW_H_
#define QVR_TOOLKIT_LIST_VIEW_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "toolkit/column_headers.h"
#include "toolkit/image_list.h"
#include "toolkit/list_item.h"
#include "toolkit/list_items.h"
#include "toolkit/list_view_observer.h"
#include "toolkit/toolkit_constants.h"
#include "toolkit/widget.h"

namespace qvr::toolkit {

class ListView : public Widget {
 public:
  using ItemHandler = std::function<void(const ListItemPtr& Item)>;
  using ColumnHandler = std::function<void(ColumnHeader& ColumnHeader)>;
  using Handler = std::function<void()>;

  ListView();
  ~ListView() override;

  qvr::toolkit::ListItems& ListItems() { return items_; }
  const qvr::toolkit::ListItems& ListItems() const { return items_; }
  qvr::toolkit::ColumnHeaders& ColumnHeaders() { return columns_; }
  const qvr::toolkit::ColumnHeaders& ColumnHeaders() const { return columns_; }

  // The selected row, or null. Setting selects a row of this list (null
  // clears the selection).
  ListItemPtr SelectedItem() const;
  void SelectedItem(const ListItemPtr& vData);

  bool Sorted() const { return sorted_; }
  void Sorted(bool vData);
  int32_t SortKey() const { return sort_key_; }
  void SortKey(int32_t vData);
  int32_t SortOrder() const { return sort_order_; }
  // lvwAscending or lvwDescending; other values raise 380.
  void SortOrder(int32_t vData);
  // Puts rows added or changed since the last sort in place (a sorted list
  // only); does nothing when there are none.
  void Settle();
  bool SortIsPending() const { return sort_pending_; }

  // Arrangement of icons (lvwNone, lvwAutoLeft, lvwAutoTop); in report view
  // only views care. Setting it settles a pending sort.
  int32_t Arrange() const { return arrange_; }
  void Arrange(int32_t vData);

  bool Checkboxes() const { return checkboxes_; }
  void Checkboxes(bool vData);

  // The image lists the icon keys refer to (not owned; may be null).
  const ImageList* SmallIcons() const { return small_icons_; }
  void SmallIcons(const ImageList* vData) { small_icons_ = vData; }
  const ImageList* Icons() const { return icons_; }
  void Icons(const ImageList* vData) { icons_ = vData; }

  // Settles a pending sort and asks the views to repaint.
  void Refresh();

  // Events.
  void OnColumnClick(ColumnHandler handler) { on_column_click_ = std::move(handler); }
  void OnItemClick(ItemHandler handler) { on_item_click_ = std::move(handler); }
  void OnClick(Handler handler) { on_click_ = std::move(handler); }
  void OnDblClick(Handler handler) { on_dbl_click_ = std::move(handler); }
  void OnItemCheck(ItemHandler handler) { on_item_check_ = std::move(handler); }

  // A person's actions. Each returns false and does nothing when the action
  // is not possible (a row of another list, no check boxes, ...).
  //
  // A click on a row: selects it, raises ItemClick, then Click.
  bool UserClickItem(const ListItemPtr& item);
  // A click on empty space: raises Click; the selection stays.
  void UserClickEmpty();
  // The second click of a double click (the first came as UserClickItem or
  // UserClickEmpty): raises DblClick.
  void UserDoubleClick();
  // Ticks or clears a row's check box (only with Checkboxes on), then
  // raises ItemCheck.
  bool UserCheck(const ListItemPtr& item, bool checked);
  // A click on a column header (1-based position): raises ColumnClick.
  bool UserClickColumn(int32_t index);

  // Observers are not owned; one must be removed before it ends.
  void AddObserver(ListViewObserver* observer);
  void RemoveObserver(ListViewObserver* observer);

 private:
  friend class ListItem;
  friend class qvr::toolkit::ListItems;

  bool Owns(const ListItemPtr& item) const { return item && item->list_ == this; }
  void SetSelected(ListItem* item);
  // A row's text in column `column` changed, or a row was added.
  void SortTextChanged(int32_t column);
  void SortNow();

  template <class Fn>
  void Notify(Fn fn) {
    observers_.ForEach(fn);
  }

  qvr::toolkit::ListItems items_;
  qvr::toolkit::ColumnHeaders columns_;
  ListItem* selected_ = nullptr;
  bool sorted_ = false;
  int32_t sort_key_ = 0;
  int32_t sort_order_ = lvwAscending;
  bool sort_pending_ = false;
  int32_t arrange_ = lvwNone;
  bool checkboxes_ = false;
  const ImageList* small_icons_ = nullptr;
  const ImageList* icons_ = nullptr;
  ObserverList<ListViewObserver> observers_;

  ColumnHandler on_column_click_;
  ItemHandler on_item_click_;
  Handler on_click_;
  Handler on_dbl_click_;
  ItemHandler on_item_check_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_LIST_VIEW_H_
