#include "control/export_text.h"

#include <gtest/gtest.h>

#include "platform/automation_error.h"

namespace qvr::export_text {
namespace {

int ErrorNumberOf(std::string_view text) {
  try {
    DwordTextToHex(text);
  } catch (const AutomationError& e) {
    return e.Number();
  }
  return 0;
}

TEST(ExportTextTest, DwordTextBecomesUnsignedHex) {
  EXPECT_EQ(DwordTextToHex("255"), "FF");
  EXPECT_EQ(DwordTextToHex("0"), "0");
  EXPECT_EQ(DwordTextToHex("2147483647"), "7FFFFFFF");
  // The list shows DWORDs of 2^31 and more signed; they export unsigned.
  EXPECT_EQ(DwordTextToHex("-1"), "FFFFFFFF");
  EXPECT_EQ(DwordTextToHex("-2147483648"), "80000000");
  EXPECT_EQ(DwordTextToHex("4294967295"), "FFFFFFFF");
  EXPECT_EQ(DwordTextToHex(" 16 "), "10");
  EXPECT_EQ(DwordTextToHex("+10"), "A");

  EXPECT_EQ(ErrorNumberOf(""), errors::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf("abc"), errors::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf("12x"), errors::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf("-"), errors::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf("4294967296"), errors::kOverflow);
  EXPECT_EQ(ErrorNumberOf("-2147483649"), errors::kOverflow);
  EXPECT_EQ(ErrorNumberOf("99999999999999999999999"), errors::kOverflow);
}

TEST(ExportTextTest, RemoveSpacesKeepsEverythingElseAtAnyLength) {
  EXPECT_EQ(RemoveSpaces("01 AB FF "), "01ABFF");
  EXPECT_EQ(RemoveSpaces(""), "");
  EXPECT_EQ(RemoveSpaces("a\tb\nc  d"), "a\tb\ncd");
  EXPECT_EQ(RemoveSpaces("ä ö"), "äö");
  // Far past 32,767 characters (a binary value of 20,000 bytes).
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "7F ";
  std::string squeezed = RemoveSpaces(big);
  EXPECT_EQ(squeezed.size(), 40000u);
  EXPECT_EQ(squeezed.substr(0, 6), "7F7F7F");
}

TEST(ExportTextTest, ImageNumbersAndPaths) {
  EXPECT_EQ(ImageNumberFor("REG_SZ"), "7");
  EXPECT_EQ(ImageNumberFor("REG_MULTI_SZ"), "7");
  EXPECT_EQ(ImageNumberFor("REG_DWORD"), "12");
  EXPECT_EQ(ImageNumberFor("REG_BINARY"), "17");
  EXPECT_EQ(ImageNumberFor("REG_EXPAND_SZ"), "2");
  EXPECT_EQ(ImageNumberFor("reg_sz"), "2");  // exact comparison
  EXPECT_EQ(ImageNumberFor(""), "2");

  auto p = SplitDisplayPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\X");
  EXPECT_EQ(p.hive, "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(p.key, "SOFTWARE\\X");
  p = SplitDisplayPath("HKEY_USERS");
  EXPECT_EQ(p.hive, "HKEY_USERS");
  EXPECT_EQ(p.key, "");
  EXPECT_EQ(KeyName("SOFTWARE\\X"), "X");
  EXPECT_EQ(KeyName("SOFTWARE"), "SOFTWARE");
  EXPECT_EQ(KeyName(""), "");
}

}  // namespace
}  // namespace qvr::export_text
