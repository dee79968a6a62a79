// ListItems: the rows of a ListView, numbered from 1 in the list's current
// order.
//
// Keys are optional, unique, and compare exactly. Errors, as AutomationError:
// 35600 for a position that is not a row, 35601 for a key that names none,
// 35602 for a key already used, 35603 for a key that is not a text. A failed
// Add or Remove changes nothing.
//
// In a sorted list, rows added or changed since the last sort are put in
// place by ListView::Settle, which the position-based calls here (Item by
// position, Index) run first, so the positions they give are those of the
// sorted list.
#ifndef QVR_TOOLKIT_LIST_ITEMS_H_
#define QVR_TOOLKIT_LIST_ITEMS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "toolkit/list_item.h"
#include "automation/variant.h"

namespace qvr::toolkit {

class ListView;

class ListItems {
 public:
  explicit ListItems(ListView& list);
  ~ListItems();
  ListItems(const ListItems&) = delete;
  ListItems& operator=(const ListItems&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }

  // Adds a row before position `Index` (Empty: at the end) and returns it.
  // `Icon` and `SmallIcon` are image keys. O(1) at the end. This is the form
  // for late binding; it converts its arguments and calls the typed form.
  ListItemPtr Add(const Variant& Index = Variant(), const Variant& Key = Variant(),
                  const Variant& Text = Variant(), const Variant& Icon = Variant(),
                  const Variant& SmallIcon = Variant());

  // The typed form, for C++ callers: `Index` 0 adds the row at the end (as an
  // Empty `Index` above), 1 to Count() + 1 before that position; `Key` ""
  // adds it without a key. Errors as above.
  ListItemPtr Add(int32_t Index, std::string Key, std::string Text, std::string Icon = {},
                  std::string SmallIcon = {});

  ListItemPtr Item(int32_t Index) const;
  ListItemPtr Item(std::string_view Key) const;
  ListItemPtr Item(const char* Key) const { return Item(std::string_view(Key)); }
  ListItemPtr Item(const std::string& Key) const { return Item(std::string_view(Key)); }
  ListItemPtr Item(const Variant& IndexOrKey) const;
  // The row under a key, or null; never raises.
  ListItemPtr Find(std::string_view Key) const;

  void Remove(int32_t Index);
  void Remove(std::string_view Key);
  void Remove(const Variant& IndexOrKey);
  void Clear();

  // For views: the row at a 0-based position in the current order, as it
  // stands (no sorting first), or null.
  ListItemPtr At(int32_t row) const;
  // Visits the rows in the current order; `fn` must not add or remove.
  template <class Fn>
  void ForEach(Fn fn) const {
    for (const auto& item : items_) fn(*item);
  }

 private:
  friend class ListItem;
  friend class ListView;

  int32_t RowOf(const ListItem& item) const;
  // Raises 35602 when `key` is taken ("" never is).
  void CheckNewKey(std::string_view key) const;
  void RemoveItem(const ListItemPtr& item);
  void InvalidateRows(size_t from) {
    if (from < rows_valid_) rows_valid_ = from;
  }

  ListView& list_;
  std::vector<ListItemPtr> items_;
  std::unordered_map<std::string_view, ListItem*> by_key_;  // views into ListItem::key_
  mutable size_t rows_valid_ = 0;  // items_[0, rows_valid_) know their row
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_LIST_ITEMS_H_
