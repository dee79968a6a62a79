#include "toolkit/list_items.h"

#include "toolkit/list_view.h"
#include "toolkit/toolkit_errors.h"

namespace qvr::toolkit {
namespace {

const char kSource[] = "ListItems";

bool IsMissing(const Variant& v) { return v.IsEmpty() || v.Type() == vbError; }

std::string TextOf(const Variant& v) { return IsMissing(v) ? std::string() : v.ToText(); }

}  // namespace

ListItems::ListItems(ListView& list) : list_(list) {}

ListItems::~ListItems() {
  for (auto& item : items_) item->list_ = nullptr;
}

ListItemPtr ListItems::Add(const Variant& Index, const Variant& Key, const Variant& Text,
                           const Variant& Icon, const Variant& SmallIcon) {
  // The key, then the position, are checked before the texts are converted,
  // as the typed form checks them. A position given here is never 0, which
  // the typed form takes for the end.
  std::string key;
  if (!IsMissing(Key)) {
    if (!Key.IsString()) throw InvalidKey(kSource);
    key = Key.AsString();
    CheckNewKey(key);
  }
  int32_t index = 0;
  if (!IsMissing(Index)) {
    index = Index.ToLong();
    if (index < 1 || index > Count() + 1) throw IndexOutOfBounds(kSource);
  }
  return Add(index, std::move(key), TextOf(Text), TextOf(Icon), TextOf(SmallIcon));
}

ListItemPtr ListItems::Add(int32_t Index, std::string Key, std::string Text, std::string Icon,
                           std::string SmallIcon) {
  CheckNewKey(Key);
  size_t row = items_.size();
  if (Index != 0) {
    if (Index < 1 || Index > Count() + 1) throw IndexOutOfBounds(kSource);
    list_.Settle();  // a position names a row of the sorted list
    row = static_cast<size_t>(Index - 1);
  }
  auto item = std::make_shared<ListItem>(ListItem::Token{}, &list_, std::move(Key), std::move(Text));
  item->icon_ = std::move(Icon);
  item->small_icon_ = std::move(SmallIcon);

  const int32_t at = static_cast<int32_t>(row);
  list_.Notify([&](ListViewObserver& o) { o.ItemAboutToBeInserted(at); });
  items_.insert(items_.begin() + at, item);
  if (row + 1 == items_.size() && rows_valid_ == row) {
    item->row_ = at;
    rows_valid_ = items_.size();
  } else {
    InvalidateRows(row);
  }
  if (!item->key_.empty()) by_key_.emplace(std::string_view(item->key_), item.get());
  list_.Notify([&](ListViewObserver& o) { o.ItemInserted(*item); });
  list_.SortTextChanged(-1);
  return item;
}

void ListItems::CheckNewKey(std::string_view key) const {
  if (!key.empty() && by_key_.count(key)) throw KeyNotUnique(kSource);
}

ListItemPtr ListItems::Item(int32_t Index) const {
  list_.Settle();
  if (Index < 1 || Index > Count()) throw IndexOutOfBounds(kSource);
  return items_[static_cast<size_t>(Index - 1)];
}

ListItemPtr ListItems::Item(std::string_view Key) const {
  auto it = by_key_.find(Key);
  if (it == by_key_.end()) throw ElementNotFound(kSource);
  return it->second->shared_from_this();
}

ListItemPtr ListItems::Item(const Variant& IndexOrKey) const {
  if (IndexOrKey.IsString()) return Item(std::string_view(IndexOrKey.AsString()));
  return Item(IndexOrKey.ToLong());
}

ListItemPtr ListItems::Find(std::string_view Key) const {
  auto it = by_key_.find(Key);
  return it == by_key_.end() ? nullptr : it->second->shared_from_this();
}

ListItemPtr ListItems::At(int32_t row) const {
  if (row < 0 || row >= Count()) return nullptr;
  return items_[static_cast<size_t>(row)];
}

int32_t ListItems::RowOf(const ListItem& item) const {
  if (rows_valid_ < items_.size()) {
    for (size_t i = rows_valid_; i < items_.size(); ++i) items_[i]->row_ = static_cast<int32_t>(i);
    rows_valid_ = items_.size();
  }
  return item.row_;
}

void ListItems::Remove(int32_t Index) { RemoveItem(Item(Index)); }

void ListItems::Remove(std::string_view Key) { RemoveItem(Item(Key)); }

void ListItems::Remove(const Variant& IndexOrKey) {
  if (IndexOrKey.IsString()) {
    Remove(std::string_view(IndexOrKey.AsString()));
  } else {
    Remove(IndexOrKey.ToLong());
  }
}

void ListItems::RemoveItem(const ListItemPtr& item) {
  list_.Settle();  // observers read positions; they must not move under us
  const size_t row = static_cast<size_t>(RowOf(*item));
  list_.Notify([&](ListViewObserver& o) { o.ItemAboutToBeRemoved(*item); });
  if (list_.selected_ == item.get()) list_.selected_ = nullptr;
  if (!item->key_.empty()) by_key_.erase(std::string_view(item->key_));
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(row));
  InvalidateRows(row);
  item->list_ = nullptr;
  const int32_t at = static_cast<int32_t>(row);
  list_.Notify([&](ListViewObserver& o) { o.ItemRemoved(at); });
}

void ListItems::Clear() {
  list_.Notify([](ListViewObserver& o) { o.ItemsAboutToBeCleared(); });
  std::vector<ListItemPtr> released;
  released.swap(items_);
  for (auto& item : released) item->list_ = nullptr;
  by_key_.clear();
  rows_valid_ = 0;
  list_.selected_ = nullptr;
  list_.sort_pending_ = false;
  list_.Notify([](ListViewObserver& o) { o.ItemsCleared(); });
}

}  // namespace qvr::toolkit
