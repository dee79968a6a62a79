// A RegSink that records what a reader gives, as text lines a test can
// compare: "key P", "del-key P", "value N type=T <hex>", "del-value N".
#ifndef QVR_TESTS_PLATFORM_REG_COLLECT_SINK_H_
#define QVR_TESTS_PLATFORM_REG_COLLECT_SINK_H_

#include <string>
#include <vector>

#include "platform/regfile/reg_byte_input.h"
#include "platform/regfile/reg_file_parser.h"
#include "platform/regfile/reg_sink.h"
#include "platform/regfile/reg_text_source.h"
#include "platform/regfile/wine_reg_parser.h"

namespace qvr::testing {

inline std::string HexOf(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// UTF-16LE bytes of an ASCII or UTF-8 text (test data only).
inline std::string Wide(std::u16string_view text) {
  std::string out;
  for (char16_t u : text) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

class CollectSink : public RegSink {
 public:
  std::vector<std::string> log;
  RegStatus OpenKey(std::string_view p) override { return Add("key " + std::string(p)); }
  RegStatus DeleteKey(std::string_view p) override { return Add("del-key " + std::string(p)); }
  RegStatus SetValue(std::string_view n, DWORD t, std::string_view d) override {
    return Add("value " + std::string(n) + " type=" + std::to_string(t) + " " + HexOf(d));
  }
  RegStatus DeleteValue(std::string_view n) override { return Add("del-value " + std::string(n)); }

 private:
  RegStatus Add(std::string s) {
    log.push_back(std::move(s));
    return RegStatus::Ok();
  }
};

inline RegStatus ParseReg(std::string_view bytes, CollectSink* sink, size_t max_line = 1 << 20) {
  RegTextSource source(RegByteInput::FromMemory(bytes), max_line);
  RegFileParser parser;
  return parser.Parse(source, *sink);
}

inline RegStatus ParseWine(std::string_view bytes, CollectSink* sink) {
  RegTextSource source(RegByteInput::FromMemory(bytes));
  WineRegParser parser;
  return parser.Parse(source, *sink);
}

}  // namespace qvr::testing

#endif  // QVR_TESTS_PLATFORM_REG_COLLECT_SINK_H_
