#include "regfile/reg_file_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "regfile/reg_syntax.h"
#include "reg_collect_sink.h"

namespace qvr::testing {
namespace {

std::string Written(RegFileWriter& writer) {
  writer.Finish();
  std::string out;
  writer.TakeOutput(&out);
  return out;
}

TEST(RegFileWriter, WritesWhatTheWindowsEditorWrites) {
  RegFileWriter writer;
  // Names a line cannot hold are refused and leave no trace.
  EXPECT_FALSE(writer.Key("HKEY_USERS\\a\nb"));
  EXPECT_FALSE(writer.DeleteKey("HKEY_USERS\\a\rb"));
  EXPECT_FALSE(writer.Value("a\nb", REG_SZ, Sz(u"x")));
  EXPECT_FALSE(writer.DeleteValue("a\r"));
  EXPECT_TRUE(writer.Key("HKEY_CURRENT_USER\\Software\\Test"));
  writer.Value("", REG_SZ, Sz(u"default"));
  writer.Value("Path \"x\"", REG_SZ, Sz(u"C:\\Windows"));
  writer.DeleteValue("Gone");
  writer.Key("HKEY_CURRENT_USER\\Software\\Test\\Sub");
  writer.DeleteKey("HKEY_CURRENT_USER\\Software\\Old");
  std::string bytes = Written(writer);
  ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(TextOf(bytes),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
            "@=\"default\"\r\n"
            "\"Path \\\"x\\\"\"=\"C:\\\\Windows\"\r\n"
            "\"Gone\"=-\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Test\\Sub]\r\n"
            "\r\n"
            "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
            "\r\n");
  RegFileWriter four(RegFileWriter::Dialect::kRegedit4);
  four.Key("HKEY_USERS\\K");
  four.Value("E", REG_EXPAND_SZ, Sz(u"%A%"));
  EXPECT_EQ(Written(four), "REGEDIT4\r\n\r\n[HKEY_USERS\\K]\r\n\"E\"=hex(2):25,41,25,00\r\n\r\n");
}

TEST(RegFileWriter, WrapsHexDataWithinEightyColumns) {
  RegFileWriter writer(RegFileWriter::Dialect::kRegedit4);
  writer.Key("HKEY_USERS\\K");
  std::string data;
  for (int i = 0; i < 100; ++i) data += static_cast<char>(i);
  writer.Value("Test", REG_BINARY, data);
  writer.Value(std::string(90, 'n'), REG_BINARY, "\x01\x02");
  std::string text = Written(writer);
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  ASSERT_GE(lines.size(), 10u);
  // Where each line breaks is compared byte for byte in the export test.
  EXPECT_EQ(lines[7], "  61,62,63");
  // A name past the margin breaks after the first byte.
  EXPECT_EQ(lines[8], "\"" + std::string(90, 'n') + "\"=hex:01,\\");
  EXPECT_EQ(lines[9], "  02");
  for (size_t i = 0; i < 8; ++i) EXPECT_LE(lines[i].size(), 80u) << lines[i];
}

TEST(RegFileWriter, EveryTypeAndEscapeReadsBackExactly) {
  const struct {
    const char* what;
    DWORD type;
    std::string data;
    const char* form;  // how the 5.00 line's data starts
  } values[] = {
      {"text", REG_SZ, Sz(u"plain"), "\"plain\""},
      {"escapes", REG_SZ, Sz(u"a\\b\"c\\\"\\"), "\"a\\\\b\\\"c"},
      {"unicode", REG_SZ, Sz(u"\u00e9\u4e2d\U0001F600"), "\""},
      {"empty text", REG_SZ, Sz(u""), "\"\""},
      {"no terminator", REG_SZ, Wide(u"abc"), "hex(1):"},
      {"NUL inside", REG_SZ, Sz(std::u16string(u"a\0b", 3)), "hex(1):"},
      {"line break", REG_SZ, Sz(u"a\r\nb"), "hex(1):"},
      {"odd byte count", REG_SZ, std::string("a\0\0", 3), "hex(1):"},
      {"lone surrogate", REG_SZ, Sz(std::u16string(1, char16_t(0xD800))), "hex(1):"},
      {"no data", REG_SZ, "", "hex(1):"},
      {"expand", REG_EXPAND_SZ, Sz(u"%PATH%"), "hex(2):"},
      {"binary", REG_BINARY, std::string("\0\x01\xff", 3), "hex:"},
      {"dword", REG_DWORD, std::string("\x01\x02\x03\x04", 4), "dword:04030201"},
      {"short dword", REG_DWORD, std::string("\x01", 1), "hex(4):"},
      {"big-endian", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x01", 4), "hex(5):"},
      {"link", REG_LINK, Wide(u"\\Registry"), "hex(6):"},
      {"multi", REG_MULTI_SZ, Wide(std::u16string(u"a\0b\0\0", 5)), "hex(7):"},
      {"resources", REG_RESOURCE_LIST, std::string(40, '\x11'), "hex(8):"},
      {"descriptor", REG_FULL_RESOURCE_DESCRIPTOR, std::string(3, '\x22'), "hex(9):"},
      {"requirements", 10, std::string(5, '\x33'), "hex(a):"},
      {"qword", REG_QWORD, std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8), "hex(b):"},
      {"largest code", 0xFFFFFFFF, "x", "hex(ffffffff):"},
      {"none", REG_NONE, "", "hex(0):"},
  };
  for (auto dialect : {RegFileWriter::Dialect::kRegedit5, RegFileWriter::Dialect::kRegedit4}) {
    bool five = dialect == RegFileWriter::Dialect::kRegedit5;
    for (const auto& v : values) {
      SCOPED_TRACE(std::string(v.what) + (five ? " (5.00)" : " (REGEDIT4)"));
      std::string text;
      bool exact_in_four = !regsyntax::IsTextType(v.type) || regsyntax::StoredToUtf8(v.data, &text);
      if (!five && !exact_in_four) continue;  // 8-bit text cannot carry it
      RegFileWriter writer(dialect);
      writer.Key("HKEY_USERS\\K");
      ASSERT_TRUE(writer.Value("n \\ \"q\"", v.type, v.data));
      std::string bytes = Written(writer);
      if (five) {
        EXPECT_NE(TextOf(bytes).find("\"n \\\\ \\\"q\\\"\"=" + std::string(v.form)), std::string::npos)
            << TextOf(bytes);
      }
      CollectSink sink;
      Status status = ParseReg(bytes, &sink);
      ASSERT_TRUE(status.ok()) << status.ToString();
      EXPECT_EQ(sink.log, (std::vector<std::string>{"key HKEY_USERS\\K",
                                                    "value n \\ \"q\" type=" +
                                                        std::to_string(v.type) + " " +
                                                        HexOf(v.data)}));
    }
  }
}

}  // namespace
}  // namespace qvr::testing
