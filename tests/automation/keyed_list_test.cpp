#include "automation/keyed_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/raised.h"

namespace qvr {
namespace {

using testing::ErrorNumberOf;
using testing::Raised;

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

TEST(KeyedListTest, KeysAreUniqueWithoutRegardToCaseAndFailuresRaiseTheCollectionErrors) {
  KeyedList<int> list;
  list.SetErrorSource("Test.Source");
  list.Add(1, "Ärger");
  EXPECT_EQ(list.Item("äRGER"), 1);
  AutomationError duplicate = Raised([&] { list.Add(2, "ÄRGER"); });
  EXPECT_EQ(duplicate.Number(), 457);
  EXPECT_EQ(duplicate.Source(), "Test.Source");
  EXPECT_EQ(duplicate.Description(),
            "This key is already associated with an element of this collection");
  EXPECT_EQ(Raised([&] { list.Item("b"); }).Description(), "Invalid procedure call or argument");
  EXPECT_EQ(Raised([&] { list.Item(2); }).Description(), "Subscript out of range");
  EXPECT_EQ(ErrorNumberOf([&] { list.Item("b"); }), 5);
  EXPECT_EQ(ErrorNumberOf([&] { list.Remove("b"); }), 5);
  EXPECT_EQ(ErrorNumberOf([&] { list.Item(2); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { list.Item(0); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { list.Add(2, "c", 5); }), 5);
  EXPECT_EQ(list.Count(), 1);
  list.Add(3);  // items without a key never collide
  list.Add(4);
  EXPECT_EQ(list.Count(), 3);
}

}  // namespace
}  // namespace qvr
