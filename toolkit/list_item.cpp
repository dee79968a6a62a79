#include "toolkit/list_item.h"

#include "automation/automation_error.h"
#include "toolkit/list_view.h"
#include "toolkit/toolkit_errors.h"

namespace qvr::toolkit {
namespace {
const std::string kEmpty;
}

ListItem::ListItem(Token, ListView* list, std::string key, std::string text)
    : list_(list), key_(std::move(key)), text_(std::move(text)) {}

void ListItem::Text(std::string vData) {
  if (text_ == vData) return;
  text_ = std::move(vData);
  if (!list_) return;
  list_->Notify([&](ListViewObserver& o) { o.ItemChanged(*this, ListItemField::kText, 0); });
  list_->SortTextChanged(0);
}

void ListItem::Icon(std::string vData) {
  if (icon_ == vData) return;
  icon_ = std::move(vData);
  if (list_) list_->Notify([&](ListViewObserver& o) { o.ItemChanged(*this, ListItemField::kIcon, 0); });
}

void ListItem::SmallIcon(std::string vData) {
  if (small_icon_ == vData) return;
  small_icon_ = std::move(vData);
  if (list_)
    list_->Notify([&](ListViewObserver& o) { o.ItemChanged(*this, ListItemField::kSmallIcon, 0); });
}

void ListItem::CheckSubItem(int32_t index) const {
  bool bad = index < 1;
  if (!bad && list_) {
    int32_t columns = list_->ColumnHeaders().Count();
    bad = columns > 0 && index >= columns;
  }
  if (bad) throw AutomationError(380, "ListItem", "Invalid property value");
}

std::string ListItem::SubItems(int32_t Index) const {
  CheckSubItem(Index);
  size_t i = static_cast<size_t>(Index - 1);
  return i < sub_items_.size() ? sub_items_[i].Text : std::string();
}

void ListItem::SubItems(int32_t Index, std::string vData) {
  CheckSubItem(Index);
  size_t i = static_cast<size_t>(Index - 1);
  if (i >= sub_items_.size()) {
    if (vData.empty()) return;
    sub_items_.resize(i + 1);
  } else if (sub_items_[i].Text == vData) {
    return;
  }
  sub_items_[i].Text = std::move(vData);
  if (!list_) return;
  list_->Notify([&](ListViewObserver& o) { o.ItemChanged(*this, ListItemField::kSubItem, Index); });
  list_->SortTextChanged(Index);
}

ListSubItem ListItem::ListSubItems(int32_t Index) const {
  CheckSubItem(Index);
  size_t i = static_cast<size_t>(Index - 1);
  return i < sub_items_.size() ? sub_items_[i] : ListSubItem{};
}

const std::string& ListItem::SortText(int32_t column) const {
  if (column == 0) return text_;
  size_t i = static_cast<size_t>(column - 1);
  return column > 0 && i < sub_items_.size() ? sub_items_[i].Text : kEmpty;
}

void ListItem::Checked(bool vData) {
  if (checked_ == vData) return;
  checked_ = vData;
  if (list_) list_->Notify([&](ListViewObserver& o) { o.ItemChanged(*this, ListItemField::kChecked, 0); });
}

bool ListItem::Selected() const { return list_ && list_->selected_ == this; }

void ListItem::Selected(bool vData) {
  if (!list_) return;
  if (vData) {
    list_->SetSelected(this);
  } else if (list_->selected_ == this) {
    list_->SetSelected(nullptr);
  }
}

int32_t ListItem::Index() const {
  if (!list_) throw ControlDeleted("ListItem");
  list_->Settle();
  return list_->ListItems().RowOf(*this) + 1;
}

}  // namespace qvr::toolkit
