#include "regfile/reg_file_parser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "reg_collect_sink.h"

namespace qvr::testing {
namespace {

using ::testing::HasSubstr;

const char kEveryForm[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; a comment, then a key\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
    "@=\"default\"\r\n"
    "\"Text\"=\"a \\\"q\\\" \\\\ b\"\r\n"
    "\"Count\"=dword:0000002A\r\n"
    "\"Long\"=hex:01,02,\\\r\n"
    "  03,04\r\n"
    "\"Gone\"=-\r\n"
    "\r\n"
    "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
    "[HKEY_USERS\\\xC3\x89t\xC3\xA9]\r\n"
    "\"\xE5\x90\x8D\"=\"\xE5\x80\xA4\"\r\n";

const std::vector<std::string> kEveryFormLog = {
    "key HKEY_LOCAL_MACHINE\\SOFTWARE\\Test",
    "value  type=1 640065006600610075006c0074000000",
    "value Text type=1 6100200022007100220020005c00200062000000",
    "value Count type=4 2a000000",
    "value Long type=3 01020304",
    "del-value Gone",
    "del-key HKEY_CURRENT_USER\\Software\\Old",
    "key HKEY_USERS\\\xC3\x89t\xC3\xA9",
    "value \xE5\x90\x8D type=1 24500000",
};

TEST(RegFileParser, ReadsEveryFormInEveryEncoding) {
  std::string utf8 = kEveryForm, lf = utf8;
  for (size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
  const std::pair<const char*, std::string> files[] = {
      {"UTF-16LE with BOM", Utf16File(kEveryForm)},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + utf8},
      {"UTF-8 without BOM", utf8},
      {"LF line ends", lf},
  };
  for (const auto& [what, bytes] : files) {
    SCOPED_TRACE(what);
    CollectSink sink;
    Status status = ParseReg(bytes, &sink);
    ASSERT_TRUE(status.ok()) << status.ToString();
    EXPECT_EQ(sink.log, kEveryFormLog);
  }
}

TEST(RegFileParser, Regedit4CarriesTextTypesAsEightBitText) {
  CollectSink sink;
  RegFileParser parser;
  std::string file =
      "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\.x]\r\n@=\"\xC3\xA9\"\r\n"
      "\"P\"=hex(2):25,41,25,00\r\n\"M\"=hex(7):61,00,62,00,00\r\n\"B\"=hex:41,00\r\n"
      "\"D\"=dword:1\r\n";
  RegTextSource source(RegByteInput::FromMemory(file));
  Status status = parser.Parse(source, sink);
  ASSERT_TRUE(status.ok()) << status.ToString();
  EXPECT_EQ(parser.dialect(), RegFileParser::Dialect::kRegedit4);
  EXPECT_EQ(sink.log, (std::vector<std::string>{
                          "key HKEY_CLASSES_ROOT\\.x",
                          "value  type=1 e9000000",
                          "value P type=2 2500410025000000",      // widened to UTF-16LE
                          "value M type=7 61000000620000000000",  // so is a list
                          "value B type=3 4100",                  // binary stays as it is
                          "value D type=4 01000000",
                      }));
}

TEST(RegFileParser, NamesAndEscapesAsTheEditorReadsThem) {
  CollectSink sink;
  const std::string longest_key(255, 'k'), longest_name(16383, 'v');  // the limits themselves
  Status status = ParseReg(
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_USERS\\" + longest_key + "]\n\"" + longest_name + "\"=\"\"\n"
      "[HKEY_USERS\\a]b]  \n"                 // the last ']' closes
      "\"\"=\"unnamed too\"\n"                 // "" is the unnamed value
      "  \"x=y\" = \"C:\\Program Files\\n\"\n"  // spaces around '='; \P and \n kept
      "\"@\"=dword:ffffffff ; trailing comment\n"
      "\"\\\\\\\"\"=hex:\n",                    // name \" ; no data
      &sink);
  ASSERT_TRUE(status.ok()) << status.ToString();
  EXPECT_EQ(sink.log,
            (std::vector<std::string>{
                "key HKEY_USERS\\" + longest_key,
                "value " + longest_name + " type=1 0000",
                "key HKEY_USERS\\a]b",
                "value  type=1 " + HexOf(Wide(u"unnamed too") + std::string(2, '\0')),
                "value x=y type=1 " + HexOf(Wide(u"C:\\Program Files\\n") + std::string(2, '\0')),
                "value @ type=4 ffffffff",
                "value \\\" type=3 ",
            }));
}

TEST(RegFileParser, RefusesWhatIsNotARegistryFileBeforeReadingOn) {
  std::string no_newline(10 << 20, 'x');
  const std::pair<const char*, std::string> files[] = {
      {"empty", ""},
      {"text", "hello\n[HKEY_USERS\\x]\n"},
      {"Wine", "WINE REGISTRY Version 2\n[Software] 1\n"},
      {"UTF-16 big-endian", std::string("\xFE\xFF\0W", 4)},
      {"binary without line ends", no_newline},
      {"header in the wrong case", "windows registry editor version 5.00\n"},
  };
  for (const auto& [what, bytes] : files) {
    SCOPED_TRACE(what);
    CollectSink sink;
    Status status = ParseReg(bytes, &sink);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.line(), 1);
    EXPECT_THAT(status.message(), HasSubstr("not a registry file"));
    EXPECT_TRUE(sink.log.empty());
  }
}

TEST(RegFileParser, NamesTheLineAndTheFault) {
  const std::string key = "Windows Registry Editor Version 5.00\n\n[HKEY_USERS\\K]\n";
  const struct {
    std::string body;
    int64_t line;
    const char* fault;
  } cases[] = {
      {"\"a=\"b\"\n", 4, "expected '='"},
      {"\"a\"=\"b\n", 4, "unterminated quoted string"},
      {"\"a=1\n", 4, "unterminated quoted value name"},
      {"\"a\"=hex:0,12\n", 4, "odd number of digits"},
      {"\"a\"=hex:123\n", 4, "odd number of digits"},
      {"\"a\"=hex:zz\n", 4, "'zz' is not a hex byte"},
      {"\"a\"=hex:01,,02\n", 4, "empty byte"},
      {"\"a\"=hex(100000000):00\n", 4, "past 0xFFFFFFFF"},
      {"\"a\"=hex(12:00\n", 4, "closing ')'"},
      {"\"a\"=hex(g):00\n", 4, "not hexadecimal"},
      {"\"a\"=hex;00\n", 4, "expected ':'"},
      {"\"a\"=dword:123456789\n", 4, "more than 8 hex digits"},
      {"\"a\"=dword:12x\n", 4, "after dword data"},
      {"\"a\"=dword:\n", 4, "without hex digits"},
      {"\"a\"=wide:00\n", 4, "unknown value data"},
      {"\"a\"=\"b\" c\n", 4, "after the closing quote"},
      {"\"a\"=hex:01,\\\n  02,\\\n  0\n", 6, "odd number of digits"},
      {"\"a\"=hex:01,\\\n", 4, "ends inside hex data"},
      {"[HKEY_USERS\\K\n", 4, "closing ']'"},
      {"[HKEY_USERS\\K] x\n", 4, "after the key's closing ']'"},
      {"[HKEY_USERS\\\\K]\n", 4, "empty key name"},
      {"[" + std::string("HKEY_USERS\\") + std::string(256, 'k') + "]\n", 4, "longer than 255"},
      {"\"" + std::string(16384, 'v') + "\"=\"x\"\n", 4, "longer than 16383"},
      {std::string("\"a\0b\"=\"x\"\n", 10), 4, "NUL character"},
      {"[HKEY_USERS\\K\ra]\n", 4, "CR character in a key name"},
      {"\"a\rb\"=\"x\"\n", 4, "CR character in a value name"},
      {"[-HKEY_USERS\\K]\n\"a\"=\"b\"\n", 5, "deletes"},
      {"junk\n", 4, "neither a key, a value nor a comment"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    CollectSink sink;
    Status status = ParseReg(key + c.body, &sink);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.line(), c.line) << status.ToString();
    EXPECT_THAT(status.message(), HasSubstr(c.fault));
  }
  CollectSink before_key;
  Status status = ParseReg("REGEDIT4\n\"a\"=\"b\"\n", &before_key);
  EXPECT_EQ(status.ToString(), "line 2: a value before any key");
}

// One endless line: `head`, then `fill` again and again up to a gigabyte, made up as it is read.
class EndlessLine : public RegByteInput {
 public:
  EndlessLine(std::string head, std::string fill)
      : head_(std::move(head)), fill_(std::move(fill)) {}
  int64_t Read(char* buffer, size_t size) override {
    size_t n = 0;
    for (; n < size && read_ < (int64_t{1} << 30); ++n, ++read_) {
      size_t i = static_cast<size_t>(read_);
      buffer[n] = i < head_.size() ? head_[i] : fill_[(i - head_.size()) % fill_.size()];
    }
    return static_cast<int64_t>(n);
  }
  int64_t read_ = 0;

 private:
  std::string head_, fill_;
};

TEST(RegFileParser, AGigabyteLineCostsOnlyTheLineLimit) {
  const struct {
    const char* what;
    std::string head, fill;
  } cases[] = {
      {"8-bit", "REGEDIT4\n[HKEY_USERS\\K]\n\"a\"=\"", "x"},
      {"UTF-16", Utf16File("Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\K]\r\n\"a\"=\""),
       std::string("x\0", 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto input = std::make_unique<EndlessLine>(c.head, c.fill);
    EndlessLine* raw = input.get();
    RegTextSource source(std::move(input), 1 << 20);
    CollectSink sink;
    RegFileParser parser;
    Status status = parser.Parse(source, sink);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.line(), 3);
    EXPECT_THAT(status.message(), HasSubstr("longer than 1048576 bytes"));
    // Reading stopped just past the limit, not at the end of the gigabyte.
    EXPECT_LT(raw->read_, 4 << 20);
  }
}

}  // namespace
}  // namespace qvr::testing
