#include "platform/keyed_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace qvr {
namespace {

std::vector<int> Items(const KeyedList<int>& list) { return {list.begin(), list.end()}; }

TEST(KeyedListTest, PositionsShiftOnInsertAndRemove) {
  KeyedList<int> list;
  list.Add(1, "one");
  list.Add(3, "three");
  list.Add(2, "two", 2);
  list.Add(0, "", 1);
  EXPECT_EQ(Items(list), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(list.Item(3), 2);
  list.Remove(1);
  EXPECT_EQ(list.Item(1), 1);
  list.Remove("TWO");
  EXPECT_EQ(Items(list), (std::vector<int>{1, 3}));
  EXPECT_EQ(list.KeyAt(2), "three");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Find("one"), nullptr);
}

TEST(KeyedListTest, KeysAreUniqueWithoutRegardToCase) {
  KeyedList<int> list;
  list.Add(1, "Ärger");
  EXPECT_EQ(list.Item("äRGER"), 1);
  try {
    list.Add(2, "ÄRGER");
    FAIL() << "duplicate key accepted";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.Number(), 457);
    EXPECT_EQ(e.Description(), "This key is already associated with an element of this collection");
  }
  EXPECT_EQ(list.Count(), 1);
  list.Add(3);  // items without a key never collide
  list.Add(4);
  EXPECT_EQ(list.Count(), 3);
}

TEST(KeyedListTest, MissingKeysAndPositionsRaiseTheCollectionErrors) {
  KeyedList<int> list;
  list.Add(1, "a");
  auto number_of = [](auto&& call) {
    try {
      call();
    } catch (const AutomationError& e) {
      return e.Number();
    }
    return 0;
  };
  EXPECT_EQ(number_of([&] { list.Item("b"); }), 5);
  EXPECT_EQ(number_of([&] { list.Remove("b"); }), 5);
  EXPECT_EQ(number_of([&] { list.Item(2); }), 9);
  EXPECT_EQ(number_of([&] { list.Item(0); }), 9);
  EXPECT_EQ(number_of([&] { list.Add(2, "c", 5); }), 5);
  EXPECT_EQ(list.Count(), 1);
}

}  // namespace
}  // namespace qvr
