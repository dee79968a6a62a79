// ListItem: one row of a ListView: a text, icons, a check box and the texts of
// the further columns (sub-items 1, 2, ...).
//
// Rows are made by ListItems::Add and handed out as shared pointers (null
// stands for "no row"). A row removed from its list (Remove, Clear) stays
// valid for whoever holds it, keeps its texts, and no longer reaches the
// list: its Index raises 35605 and Selected reads false.
//
// Sub-items are numbered from 1. With column headers in place a sub-item
// number must be below their count, as each sub-item is shown in a column;
// others raise 380 ("Invalid property value"). Reading a sub-item never set
// gives "". Writes raise no event; views hear of them (ListViewObserver).
#ifndef QVR_TOOLKIT_LIST_ITEM_H_
#define QVR_TOOLKIT_LIST_ITEM_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/list_sub_item.h"

namespace qvr::toolkit {

class ListView;
class ListItems;
class ListItem;
using ListItemPtr = std::shared_ptr<ListItem>;

class ListItem : public std::enable_shared_from_this<ListItem> {
  struct Token {
    explicit Token() = default;
  };

 public:
  ListItem(Token, ListView* list, std::string key, std::string text);
  ListItem(const ListItem&) = delete;
  ListItem& operator=(const ListItem&) = delete;

  const std::string& Key() const { return key_; }
  const std::string& Text() const { return text_; }
  void Text(std::string vData);

  // Image keys ("" for none).
  const std::string& Icon() const { return icon_; }
  void Icon(std::string vData);
  const std::string& SmallIcon() const { return small_icon_; }
  void SmallIcon(std::string vData);

  // The text of sub-item `Index` (1 and up).
  std::string SubItems(int32_t Index) const;
  void SubItems(int32_t Index, std::string vData);
  // The sub-item objects; ListSubItems(i) is sub-item i. Reading one never
  // set gives an empty sub-item.
  ListSubItem ListSubItems(int32_t Index) const;
  int32_t ListSubItemCount() const { return static_cast<int32_t>(sub_items_.size()); }

  bool Checked() const { return checked_; }
  void Checked(bool vData);
  // True for the list's selected row; setting it selects this row.
  bool Selected() const;
  void Selected(bool vData);

  // 1-based position in the list's current order.
  int32_t Index() const;

  // The list the row belongs to, or nullptr once removed.
  ListView* List() const { return list_; }

 private:
  friend class ListItems;
  friend class ListView;

  void CheckSubItem(int32_t index) const;
  // The text a sort by `column` (0 = Text) compares.
  const std::string& SortText(int32_t column) const;

  ListView* list_;
  std::string key_;
  std::string text_;
  std::string icon_;
  std::string small_icon_;
  std::vector<ListSubItem> sub_items_;
  int32_t row_ = -1;  // valid while the list's row numbers are (see ListItems)
  bool checked_ = false;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_LIST_ITEM_H_
