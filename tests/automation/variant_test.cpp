// Variant: type codes and names, text forms, conversions.
#include <gtest/gtest.h>
#include <locale.h>

#include <string>
#include <utility>
#include <vector>

#include "automation/automation_error.h"
#include "automation/variant.h"
#include "support/raised.h"

namespace qvr {
namespace {

class VariantTest : public ::testing::Test {
 protected:
  void SetUp() override { setlocale(LC_ALL, "C"); }
};

using testing::Raised;

TEST_F(VariantTest, TypeCodesAndNames) {
  struct Row {
    Variant value;
    uint16_t code;
    const char* name;
  };
  const Row rows[] = {
      {Variant(), 0, "Empty"},
      {Variant::Null(), 1, "Null"},
      {Variant(int16_t{1}), 2, "Integer"},
      {Variant(int32_t{1}), 3, "Long"},
      {Variant(1.5f), 4, "Single"},
      {Variant(1.5), 5, "Double"},
      {Variant(Currency{15000}), 6, "Currency"},
      {Variant(Date{1.0}), 7, "Date"},
      {Variant("x"), 8, "String"},
      {Variant(std::make_shared<Object>()), 9, "Object"},
      {Variant(ErrorValue{5}), 10, "Error"},
      {Variant(true), 11, "Boolean"},
      {Variant(Decimal{15, 1, false}), 14, "Decimal"},
      {Variant(uint8_t{7}), 17, "Byte"},
      {Variant::StringArray({"a", "b"}), 8200, "String()"},
      {Variant::ByteArray({1, 2}), 8209, "Byte()"},
      {Variant::Array(vbVariant, {Variant(int32_t{1}), Variant("a")}), 8204, "Variant()"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.value.Type(), row.code) << row.name;
    EXPECT_EQ(row.value.TypeName(), row.name);
  }
  Variant array = Variant::StringArray({"a", "b", "c"}, 1);
  EXPECT_EQ(array.LBound(), 1);
  EXPECT_EQ(array.UBound(), 3);
  Variant copy = array;
  EXPECT_EQ(copy, array);
}

TEST_F(VariantTest, TextForms) {
  // Single: 7 significant digits, Double: 15; dates in the locale's short date
  // and time forms (the C locale here).
  const std::vector<std::pair<Variant, std::string>> rows = {
      {Variant(), ""}, {Variant(int16_t{-5}), "-5"}, {Variant(int32_t{300}), "300"},
      {Variant(uint8_t{255}), "255"}, {Variant(true), "True"}, {Variant(false), "False"},
      {Variant(0.1f), "0.1"}, {Variant(1.0f / 3), "0.3333333"}, {Variant(0.1), "0.1"},
      {Variant(1.0 / 3), "0.333333333333333"}, {Variant(2.5), "2.5"}, {Variant(1e20), "1E+20"},
      {Variant(Currency{15000}), "1.5"}, {Variant(Currency{-12345}), "-1.2345"},
      {Variant(Currency{20000}), "2"}, {Variant(Decimal{12345, 3, true}), "-12.345"},
      {Variant(Decimal{5, 3, false}), "0.005"}, {Variant(Date{36526}), "01/01/2000"},
      {Variant(Date{36526.75}), "01/01/2000 18:00:00"}, {Variant("text"), "text"}};
  for (const auto& [value, text] : rows) EXPECT_EQ(value.ToText(), text) << value.TypeName();
  EXPECT_EQ(Raised([] { Variant::Null().ToText(); }).Number(), 94);
  EXPECT_EQ(Raised([] { Variant::StringArray({"a"}).ToText(); }).Number(), 13);
  EXPECT_FALSE(Variant(std::make_shared<Object>()).TextForm().has_value());
}

TEST_F(VariantTest, Conversions) {
  // Halves to even; four hex digits are a 16-bit value.
  const std::vector<std::pair<Variant, int32_t>> longs = {
      {Variant(2.5), 2}, {Variant(3.5), 4}, {Variant(" 42 "), 42}, {Variant("&HFF"), 255},
      {Variant("&HFFFF"), -1}, {Variant("&HFFFFFFFF"), -1}, {Variant("true"), -1},
      {Variant(true), -1}, {Variant(), 0}, {Variant(Currency{25000}), 2}};
  for (const auto& [value, number] : longs) EXPECT_EQ(value.ToLong(), number) << value.ToText();
  EXPECT_EQ(Variant(-2.5).ToInteger(), -2);
  EXPECT_TRUE(Variant("1").ToBool());
  EXPECT_FALSE(Variant(int32_t{0}).ToBool());
  EXPECT_DOUBLE_EQ(Variant("1.25").ToDouble(), 1.25);

  AutomationError overflow = Raised([] { Variant(int32_t{40000}).ToInteger(); });
  EXPECT_EQ(overflow.Number(), 6);
  EXPECT_EQ(overflow.Description(), "Overflow");
  EXPECT_EQ(Raised([] { Variant(3e9).ToLong(); }).Number(), 6);
  AutomationError mismatch = Raised([] { Variant("abc").ToLong(); });
  EXPECT_EQ(mismatch.Number(), 13);
  EXPECT_EQ(mismatch.Description(), "Type mismatch");
  EXPECT_EQ(Raised([] { Variant("inf").ToDouble(); }).Number(), 13);
  EXPECT_EQ(Raised([] { Variant::Null().ToLong(); }).Number(), 94);
  EXPECT_EQ(Raised([] { Variant(int32_t{1}).AsString(); }).Number(), 13);
}

}  // namespace
}  // namespace qvr
