#include "control/export_text.h"

#include <gtest/gtest.h>

#include "support/raised.h"

namespace qvr::export_text {
namespace {

using qvr::testing::ErrorNumberOf;

TEST(ExportTextTest, DwordTextBecomesUnsignedHex) {
  EXPECT_EQ(DwordTextToHex("255"), "FF");
  EXPECT_EQ(DwordTextToHex("0"), "0");
  // The list shows DWORDs of 2^31 and more signed; they export unsigned.
  EXPECT_EQ(DwordTextToHex("-1"), "FFFFFFFF");
  EXPECT_EQ(DwordTextToHex("-2147483648"), "80000000");
  EXPECT_EQ(DwordTextToHex("4294967295"), "FFFFFFFF");
  EXPECT_EQ(DwordTextToHex(" +16 "), "10");
  for (const char* bad : {"", "abc", "12x", "-"}) {
    EXPECT_EQ(ErrorNumberOf([&] { DwordTextToHex(bad); }), errors::kTypeMismatch) << bad;
  }
  for (const char* big : {"4294967296", "-2147483649", "99999999999999999999999"}) {
    EXPECT_EQ(ErrorNumberOf([&] { DwordTextToHex(big); }), errors::kOverflow) << big;
  }
  // Multi-strings take the string image; the export tests see the others.
  EXPECT_EQ(ImageNumberFor("REG_MULTI_SZ"), "7");
}

TEST(ExportTextTest, RemoveSpacesKeepsEverythingElseAtAnyLength) {
  EXPECT_EQ(RemoveSpaces("01 AB FF "), "01ABFF");
  EXPECT_EQ(RemoveSpaces("a\tb\nc  d"), "a\tb\ncd");
  // Far past 32,767 characters (a binary value of 20,000 bytes).
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "7F ";
  std::string squeezed = RemoveSpaces(big);
  EXPECT_EQ(squeezed.size(), 40000u);
  EXPECT_EQ(squeezed.substr(0, 6), "7F7F7F");
}

}  // namespace
}  // namespace qvr::export_text
