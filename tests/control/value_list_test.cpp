#include <gtest/gtest.h>

#include "control_fixture.h"

namespace qvr {
namespace {

const std::string kKey = kHklm + "\\SOFTWARE\\VALUES";

class ValueListTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    const char* path = "SOFTWARE\\Values";
    SetString(HKEY_LOCAL_MACHINE, path, "Str", "hello");
    SetValue(HKEY_LOCAL_MACHINE, path, "Expand", REG_EXPAND_SZ, std::string("%NOPE%\0", 7));
    SetValue(HKEY_LOCAL_MACHINE, path, "Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    SetValue(HKEY_LOCAL_MACHINE, path, "Bin", REG_BINARY, std::string("\x01\xAB", 2));
    SetValue(HKEY_LOCAL_MACHINE, path, "Minus", REG_DWORD, "\xFF\xFF\xFF\xFF");
    SetValue(HKEY_LOCAL_MACHINE, path, "Small", REG_DWORD, std::string("\xFF\0\0\0", 4));
    SetValue(HKEY_LOCAL_MACHINE, path, "NoneType", REG_NONE, "zz");
    SetValue(HKEY_LOCAL_MACHINE, path, "EmptyBin", REG_BINARY, "");
    SetString(HKEY_LOCAL_MACHINE, path, "(default)", "literal");
  }
  void ShowKey() { ASSERT_TRUE(control_->Show()); OpenPath(kHklm + "\\SOFTWARE"); Click(kKey); }
};

TEST_F(ValueListTest, RowsCarryNameIconTypeAndData) {
  ShowKey();
  EXPECT_EQ(RowTexts(0),
            (std::vector<std::string>{"(default)", "Str", "Expand", "Multi", "Bin", "Minus",
                                      "Small", "NoneType", "EmptyBin", "(default)*"}));
  EXPECT_EQ(RowTexts(1),
            (std::vector<std::string>{"REG_SZ", "REG_SZ", "REG_EXPAND_SZ", "REG_MULTI_SZ",
                                      "REG_BINARY", "REG_DWORD", "REG_DWORD", "REG_NONE",
                                      "REG_BINARY", "REG_SZ"}));
  EXPECT_EQ(RowTexts(2),
            (std::vector<std::string>{"(value not set)", "hello", "%NOPE%", "a\\0b", "01 AB ",
                                      "-1", "255", "7A 7A ", "(value not set)", "literal"}));
  std::vector<std::string> icons;
  for (const std::string& name : RowTexts(0)) {
    EXPECT_EQ(Row(name)->Icon(), Row(name)->SmallIcon());
    EXPECT_FALSE(Row(name)->Checked());
    icons.push_back(Row(name)->SmallIcon());
  }
  EXPECT_EQ(icons, (std::vector<std::string>{"STRVAL", "STRVAL", "STRVAL", "STRVAL", "BINVAL",
                                             "BINVAL", "BINVAL", "BINVAL", "BINVAL", "STRVAL"}));
}

TEST_F(ValueListTest, ColumnClicksSortAscendingThenDescending) {
  ShowKey();
  auto& list = List();
  list.UserClickColumn(1);
  EXPECT_TRUE(list.Sorted());
  EXPECT_EQ(RowTexts(0).front() + "|" + RowTexts(0).back(), "(default)|Str");
  list.UserClickColumn(1);
  EXPECT_EQ(RowTexts(0).front(), "Str");
  // Another column sorts ascending, and the sort holds for the next key shown.
  list.UserClickColumn(2);
  Click(kHklm + "\\SOFTWARE");
  Click(kKey);
  EXPECT_EQ(list.SortKey(), 1);
  EXPECT_EQ(list.SortOrder(), toolkit::lvwAscending);
  EXPECT_EQ(RowTexts(1).front() + "|" + RowTexts(1).back(), "REG_BINARY|REG_SZ");
}

TEST_F(ValueListTest, ClicksRaiseEventsInSingleAndToggleTicksInMultipleSelection) {
  ShowKey();
  events_->single_clicks.clear();
  auto& list = List();
  list.UserClickEmpty();  // empty space before any row: the key is valid all the same
  Click(kHklm);
  list.UserClickEmpty();  // a hive and no value: not valid
  list.UserClickItem(Row("(default)"));  // a value is current now
  EXPECT_EQ(events_->single_clicks, (std::vector<bool>{true, false, false, true}));
  list.UserDoubleClick();
  EXPECT_EQ(events_->double_clicks, 1);
  // Single selection ticks nothing.
  EXPECT_FALSE(Row("(default)")->Checked());
  EXPECT_EQ(control_->Selection().Count(), 0);

  // Multiple selection: a click toggles the tick and files the record; a
  // double click raises nothing.
  UseMultiSelect();
  Click(kKey);
  list.UserClickItem(Row("Str"));
  EXPECT_TRUE(Row("Str")->Checked());
  list.UserDoubleClick();
  EXPECT_EQ(events_->double_clicks, 1);
  auto records = Records("HKEY_LOCAL_MACHINE\\SOFTWARE\\Values");
  ASSERT_TRUE(records);
  ASSERT_EQ(records->Count(), 1);
  // A row already picked shows ticked when its key is shown again.
  Click(kHklm + "\\SOFTWARE");
  Click(kKey);
  EXPECT_TRUE(Row("Str")->Checked());
  EXPECT_FALSE(Row("Bin")->Checked());
  list.UserClickItem(Row("Str"));
  EXPECT_FALSE(Row("Str")->Checked());
  EXPECT_EQ(records->Count(), 0);
  ExpectNoMessages();
}

}  // namespace
}  // namespace qvr
