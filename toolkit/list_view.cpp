#include "toolkit/list_view.h"

#include <algorithm>
#include <numeric>

#include "automation/automation_error.h"
#include "base/unicode.h"

namespace qvr::toolkit {

ListView::ListView()
    : items_(*this), columns_([this] { NotifyPropertyChanged(WidgetProperty::kColumns); }) {}

ListView::~ListView() = default;

ListItemPtr ListView::SelectedItem() const {
  return selected_ ? selected_->shared_from_this() : nullptr;
}

void ListView::SelectedItem(const ListItemPtr& vData) {
  if (vData && !Owns(vData)) return;
  SetSelected(vData.get());
}

void ListView::SetSelected(ListItem* item) {
  if (selected_ == item) return;
  ListItem* previous = selected_;
  selected_ = item;
  if (previous)
    Notify([&](ListViewObserver& o) { o.ItemChanged(*previous, ListItemField::kSelected, 0); });
  if (item) Notify([&](ListViewObserver& o) { o.ItemChanged(*item, ListItemField::kSelected, 0); });
}

void ListView::Sorted(bool vData) {
  sorted_ = vData;
  NotifyPropertyChanged(WidgetProperty::kSort);
  if (sorted_) SortNow();
}

void ListView::SortKey(int32_t vData) {
  if (vData < 0) throw AutomationError(380, "ListView", "Invalid property value");
  sort_key_ = vData;
  NotifyPropertyChanged(WidgetProperty::kSort);
  if (sorted_) SortNow();
}

void ListView::SortOrder(int32_t vData) {
  if (vData != lvwAscending && vData != lvwDescending)
    throw AutomationError(380, "ListView", "Invalid property value");
  sort_order_ = vData;
  NotifyPropertyChanged(WidgetProperty::kSort);
  if (sorted_) SortNow();
}

void ListView::SortTextChanged(int32_t column) {
  // column -1: a row was added, which may be out of place whatever the key.
  if (!sorted_ || sort_pending_ || (column >= 0 && column != sort_key_)) return;
  sort_pending_ = true;
  Notify([](ListViewObserver& o) { o.SortPending(); });
}

void ListView::Settle() {
  if (sort_pending_ && sorted_) SortNow();
  sort_pending_ = false;
}

void ListView::SortNow() {
  sort_pending_ = false;
  auto& rows = items_.items_;
  if (rows.size() < 2) return;
  // Fold each text once rather than at every comparison.
  std::vector<std::string> keys(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) keys[i] = FoldCase(rows[i]->SortText(sort_key_));
  std::vector<size_t> order(rows.size());
  std::iota(order.begin(), order.end(), 0);
  const bool descending = sort_order_ == lvwDescending;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return descending ? keys[b] < keys[a] : keys[a] < keys[b];
  });
  bool moved = false;
  for (size_t i = 0; i < order.size() && !moved; ++i) moved = order[i] != i;
  if (!moved) return;
  Notify([](ListViewObserver& o) { o.ItemsAboutToBeReordered(); });
  std::vector<ListItemPtr> sorted;
  sorted.reserve(rows.size());
  for (size_t i : order) sorted.push_back(std::move(rows[i]));
  rows.swap(sorted);
  items_.rows_valid_ = 0;
  Notify([](ListViewObserver& o) { o.ItemsReordered(); });
}

void ListView::Arrange(int32_t vData) {
  Settle();
  if (arrange_ == vData) return;
  arrange_ = vData;
  NotifyPropertyChanged(WidgetProperty::kArrange);
}

void ListView::Checkboxes(bool vData) {
  if (checkboxes_ == vData) return;
  checkboxes_ = vData;
  NotifyPropertyChanged(WidgetProperty::kCheckboxes);
}

void ListView::Refresh() {
  Settle();
  NotifyPropertyChanged(WidgetProperty::kRefresh);
}

bool ListView::UserClickItem(const ListItemPtr& item) {
  if (!Owns(item)) return false;
  SetSelected(item.get());
  if (on_item_click_) on_item_click_(item);
  if (on_click_) on_click_();
  return true;
}

void ListView::UserClickEmpty() {
  if (on_click_) on_click_();
}

void ListView::UserDoubleClick() {
  if (on_dbl_click_) on_dbl_click_();
}

bool ListView::UserCheck(const ListItemPtr& item, bool checked) {
  if (!Owns(item) || !checkboxes_) return false;
  item->Checked(checked);
  if (on_item_check_) on_item_check_(item);
  return true;
}

bool ListView::UserClickColumn(int32_t index) {
  if (index < 1 || index > columns_.Count()) return false;
  if (on_column_click_) on_column_click_(columns_.Item(index));
  return true;
}

void ListView::AddObserver(ListViewObserver* observer) { observers_.Add(observer); }

void ListView::RemoveObserver(ListViewObserver* observer) { observers_.Remove(observer); }

}  // namespace qvr::toolkit
