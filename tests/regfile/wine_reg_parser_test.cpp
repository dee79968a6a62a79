#include "regfile/wine_reg_parser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "reg_collect_sink.h"

namespace qvr::testing {
namespace {

using ::testing::HasSubstr;

TEST(WineRegParser, ReadsAPrefixFileWithWinesEscapes) {
  CollectSink sink;
  Status status = ParseWine(
      "WINE REGISTRY Version 2\n"
      ";; All keys relative to \\\\Machine\n"
      "\n"
      "#arch=win64\n"
      "\n"
      "[Software\\\\Classes\\\\.txt] 1579794545\n"
      "#time=1d5d1aa8c7c8d6e\n"
      "@=\"txtfile\"\n"
      "\n"
      "[Software\\\\Br\\]ack\\[et] 1\n"
      "#class=\"A class\"\n"
      "\"Esc\"=\"\\t\\n\\r\\a\\b\\e\\f\\v\\\\\\\"\\0\\12\\101\\x41\\xe9\\x4e2d\\xd800\\q\"\n"
      "\"X4\"=\"\\x00e9a\"\n"
      "\"Exp\"=str(2):\"%SystemRoot%\"\n"
      "\"Multi\"=str(7):\"a\\0b\\0\"\n"
      "\"D\"=dword:0000002a\n"
      "\"Bin\"=hex:01,02,\\\n"
      "  03\n"
      "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
      "\"\\x540d\"=\"\"\n",
      &sink);
  ASSERT_TRUE(status.ok()) << status.ToString();
  std::u16string esc = u"\t\n\r\a\b\x1b\f\v\\\"";
  esc += u'\0';
  esc += u"\nAA\u00e9\u4e2d";
  esc += char16_t(0xD800);
  esc += u"q";
  EXPECT_EQ(sink.log,
            (std::vector<std::string>{
                "key Software\\Classes\\.txt",
                "value  type=1 " + HexOf(Wide(u"txtfile") + std::string(2, '\0')),
                "key Software\\Br]ack[et",
                "value Esc type=1 " + HexOf(Wide(esc) + std::string(2, '\0')),
                "value X4 type=1 " + HexOf(Wide(u"\u00e9a") + std::string(2, '\0')),
                "value Exp type=2 " + HexOf(Wide(u"%SystemRoot%") + std::string(2, '\0')),
                "value Multi type=7 " + HexOf(Wide(std::u16string(u"a\0b\0\0", 5))),
                "value D type=4 2a000000",
                "value Bin type=3 010203",
                "value Q type=11 0100000000000000",
                "value \xE5\x90\x8D type=1 0000",
            }));
}

TEST(WineRegParser, NamesTheLineAndTheFault) {
  const std::string head = "WINE REGISTRY Version 2\n[Key] 1\n";
  const struct {
    std::string body;
    int64_t line;
    const char* fault;
  } cases[] = {
      {"\"a\"=\"b\n", 3, "unterminated quoted string"},
      {"\"a\"=\"b\\\n", 3, "unterminated quoted string"},
      {"\"a=\"b\"\n", 3, "expected '='"},
      {"\"a\"=str(2:\"x\"\n", 3, "closing ')'"},
      {"\"a\"=str(2):x\n", 3, "quoted string after str()"},
      {"\"a\"=str(1ffffffff):\"x\"\n", 3, "past 0xFFFFFFFF"},
      {"\"a\"=qword:1\n", 3, "unknown value data"},
      {"[Other 1\n", 3, "closing ']'"},
      {"[Other] stamp\n", 3, "after the key's time stamp"},
      {"[Other\\\\\\\\Deeper] 1\n", 3, "empty key name"},
      {"garbage\n", 3, "neither a key, a value nor a comment"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    CollectSink sink;
    Status status = ParseWine(head + c.body, &sink);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.line(), c.line) << status.ToString();
    EXPECT_THAT(status.message(), HasSubstr(c.fault));
  }
  CollectSink sink;
  EXPECT_THAT(ParseWine("REGEDIT4\n", &sink).message(), HasSubstr("not a Wine registry file"));
  EXPECT_THAT(ParseWine("", &sink).message(), HasSubstr("not a Wine registry file"));
  EXPECT_EQ(ParseWine("WINE REGISTRY Version 2\n\"a\"=\"b\"\n", &sink).ToString(),
            "line 2: a value before any key");
  EXPECT_TRUE(sink.log.empty());
}

}  // namespace
}  // namespace qvr::testing
