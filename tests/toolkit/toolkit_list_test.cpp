// Rows, sub-items, selection and sorting of the toolkit's list view.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/toolkit.h"
#include "support/raised.h"

namespace qvr::toolkit {
namespace {

using qvr::testing::ErrorNumberOf;

class ToolkitList : public ::testing::Test {
 protected:
  ToolkitList() {
    list_.ColumnHeaders().Add(0, "NAME", "Name", 2424);
    list_.ColumnHeaders().Add(0, "KIND", "Type", 1440);
    list_.ColumnHeaders().Add(0, "VALUE", "Data", 7000);
  }
  // Adds a row the way a value list fills one: text first, sub-items after.
  ListItemPtr Row(const std::string& name, const std::string& type, const std::string& data) {
    ListItemPtr item = list_.ListItems().Add(Variant(), Variant(), name);
    item->SubItems(1, type);
    item->SubItems(2, data);
    return item;
  }
  // The texts of one column, in list order (read through positions).
  std::vector<std::string> Column(int32_t column) {
    std::vector<std::string> out;
    for (int32_t i = 1; i <= list_.ListItems().Count(); ++i) {
      ListItemPtr item = list_.ListItems().Item(i);
      out.push_back(column == 0 ? item->Text() : item->SubItems(column));
    }
    return out;
  }
  ListView list_;
};

TEST_F(ToolkitList, RowsSubItemsAndPositions) {
  ListItemPtr a = Row("(default)", "REG_SZ", "(value not set)");
  ListItemPtr b = Row("Path", "REG_EXPAND_SZ", "%SystemRoot%");
  EXPECT_EQ(b->ListSubItems(2).Text, "%SystemRoot%");
  EXPECT_EQ(b->ListSubItemCount(), 2);
  // Sub-items follow the columns: 1 and 2 here, nothing else.
  EXPECT_EQ(ErrorNumberOf([&] { b->SubItems(3); }), 380);
  EXPECT_EQ(ErrorNumberOf([&] { b->SubItems(0, "x"); }), 380);
  EXPECT_EQ(ListItemPtr(list_.ListItems().Add(Variant(), Variant(), "bare"))->SubItems(2), "");
  EXPECT_EQ(a->Index(), 1);
  EXPECT_EQ(b->Index(), 2);
  // Insertion before a position shifts later rows.
  ListItemPtr first = list_.ListItems().Add(1, "K", "first");
  EXPECT_EQ(first->Index(), 1);
  EXPECT_EQ(b->Index(), 3);
  EXPECT_EQ(list_.ListItems().Item("K"), first);
  EXPECT_EQ(ErrorNumberOf([&] { list_.ListItems().Add(Variant(), "K", "again"); }), 35602);
  EXPECT_EQ(ErrorNumberOf([&] { list_.ListItems().Add(9, Variant(), "far"); }), 35600);
  EXPECT_EQ(ErrorNumberOf([&] { list_.ListItems().Item("nope"); }), 35601);
  list_.ListItems().Remove(1);
  EXPECT_EQ(b->Index(), 2);
  EXPECT_EQ(ErrorNumberOf([&] { first->Index(); }), 35605);

  // Selection: one row at a time; Clear leaves none.
  b->Selected(true);
  EXPECT_EQ(list_.SelectedItem(), b);
  a->Selected(true);
  EXPECT_FALSE(b->Selected());
  list_.ListItems().Clear();
  EXPECT_EQ(list_.SelectedItem(), nullptr);
  EXPECT_EQ(list_.ListItems().Count(), 0);
}

TEST_F(ToolkitList, SortsByTheTextOfAColumnBothWays) {
  Row("beta", "REG_SZ", "2");
  Row("Alpha", "REG_DWORD", "10");
  Row("gamma", "REG_BINARY", "01 02");
  Row("alpha", "REG_SZ", "1");
  EXPECT_EQ(Column(0), (std::vector<std::string>{"beta", "Alpha", "gamma", "alpha"}));  // unsorted

  list_.SortOrder(lvwAscending);
  list_.SortKey(0);
  list_.Sorted(true);
  // Without regard to case; equal texts keep their order.
  EXPECT_EQ(Column(0), (std::vector<std::string>{"Alpha", "alpha", "beta", "gamma"}));
  list_.SortOrder(lvwDescending);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"gamma", "beta", "Alpha", "alpha"}));
  list_.SortOrder(lvwAscending);
  list_.SortKey(1);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"REG_BINARY", "REG_DWORD", "REG_SZ", "REG_SZ"}));
  // By text, not by number.
  list_.SortKey(2);
  EXPECT_EQ(Column(2), (std::vector<std::string>{"01 02", "1", "10", "2"}));

  // A list refilled while sorted comes out sorted, even though the sort
  // column is written after each row is added.
  list_.ListItems().Clear();
  list_.SortKey(1);
  list_.SortOrder(lvwDescending);
  Row("a", "REG_BINARY", "");
  Row("b", "REG_SZ", "");
  Row("c", "REG_DWORD", "");
  EXPECT_EQ(Column(0), (std::vector<std::string>{"b", "c", "a"}));
  // Changing a row's sort text moves it at the next read.
  list_.ListItems().Item(3)->SubItems(1, "REG_TEXT");
  EXPECT_EQ(Column(0), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(ErrorNumberOf([&] { list_.SortOrder(2); }), 380);
  // Switching sorting off keeps the order as it stands.
  list_.Sorted(false);
  Row("0", "REG_ZZZ", "");
  EXPECT_EQ(Column(0), (std::vector<std::string>{"a", "b", "c", "0"}));
}

TEST_F(ToolkitList, ColumnHeadersKeepPositionsAndWidths) {
  ColumnHeaders& columns = list_.ColumnHeaders();
  EXPECT_EQ(columns.Item("KIND").Index(), 2);
  columns.Item(3).Width(0);
  EXPECT_EQ(ErrorNumberOf([&] { columns.Item(3).Width(-1); }), 380);
  EXPECT_EQ(ErrorNumberOf([&] { columns.Item(4); }), 35600);
  EXPECT_EQ(ErrorNumberOf([&] { columns.Add(0, "NAME"); }), 35602);
  columns.Add(1, "FIRST", "First");
  EXPECT_EQ(columns.Item("NAME").Index(), 2);
  EXPECT_EQ(columns.Item(4).Key(), "VALUE");
}

}  // namespace
}  // namespace qvr::toolkit
