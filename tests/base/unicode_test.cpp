#include "base/unicode.h"

#include <gtest/gtest.h>

#include <tuple>

namespace qvr {
namespace {

TEST(UnicodeTest, ComparesWithoutRegardToCaseAcrossScripts) {
  // "Straße" is not "STRASSE": simple case mapping only, as registry names.
  for (auto [a, b, equal] : {std::tuple{"Software", "SOFTWARE", true}, {"Ärger", "äRGER", true},
                             {"Σοφία", "ΣΟΦΊΑ", true}, {"Straße", "STRASSE", false},
                             {"abc", "abd", false}, {"REG_SZ", "reg_sz_", false}, {"", "a", false}})
    EXPECT_EQ(EqualsNoCase(a, b), equal) << a << " " << b;
  EXPECT_LT(CompareNoCase("apple", "Banana"), 0);
  EXPECT_GT(CompareNoCase("zebra", "Apple"), 0);
  EXPECT_EQ(CompareNoCase("ab", "AB"), 0);
  EXPECT_LT(CompareNoCase("ab", "ABC"), 0);
}

TEST(UnicodeTest, FindsTextWithoutRegardToCase) {
  EXPECT_EQ(FindNoCase("HKEY_USERS\\Soft", "\\"), 10u);
  EXPECT_EQ(FindNoCase("xxÄbc", "äB"), 2u);
  EXPECT_EQ(FindNoCase("abc", "x"), std::string::npos);
  EXPECT_EQ(FindNoCase("a\\b\\c", "\\", 2), 3u);
  EXPECT_EQ(ToUpper("_&h80000002\\software\\classes"), "_&H80000002\\SOFTWARE\\CLASSES");
}

TEST(UnicodeTest, RoundTripsUtf16IncludingSurrogatesAndRepairsBadInput) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a é € 😀
  const std::u16string wide = Utf8ToUtf16(text);
  ASSERT_EQ(wide.size(), 5u);
  EXPECT_EQ(wide[3], 0xD83D);
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_EQ(CodePointCount(text), 4u);
  EXPECT_EQ(Utf8ToUtf16("\xFF")[0], 0xFFFD);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace qvr
