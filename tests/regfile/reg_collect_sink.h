// A RegSink that records what a reader gives, as text lines a test can
// compare: "key P", "del-key P", "value N type=T <hex>", "del-value N".
#ifndef QVR_TESTS_REGFILE_REG_COLLECT_SINK_H_
#define QVR_TESTS_REGFILE_REG_COLLECT_SINK_H_

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "regfile/reg_byte_input.h"
#include "regfile/reg_file_parser.h"
#include "regfile/reg_sink.h"
#include "regfile/reg_text_source.h"
#include "regfile/wine_reg_parser.h"
#include "registry/registry_api.h"
#include "base/unicode.h"
#include "support/registry_values.h"

namespace qvr::testing {

// UTF-16LE bytes of an ASCII or UTF-8 text (test data only).
inline std::string Wide(std::u16string_view text) {
  std::string out;
  for (char16_t u : text) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

// A stored REG_SZ: the text's UTF-16LE bytes and a NUL.
inline std::string Sz(std::u16string_view text) { return Wide(text) + std::string(2, '\0'); }

// A file as the Windows editor writes it: UTF-16LE after its mark.
inline std::string Utf16File(std::string_view utf8) { return "\xFF\xFE" + Wide(Utf8ToUtf16(utf8)); }

// The text of a file: UTF-16LE (with its mark) as UTF-8, 8-bit as it is.
inline std::string TextOf(std::string_view bytes) {
  if (bytes.substr(0, 2) != "\xFF\xFE") return std::string(bytes);
  std::u16string wide;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    wide += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                  (static_cast<uint8_t>(bytes[i + 1]) << 8));
  }
  return Utf16ToUtf8(wide);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class CollectSink : public RegSink {
 public:
  std::vector<std::string> log;
  Status OpenKey(std::string_view p) override { return Add("key " + std::string(p)); }
  Status DeleteKey(std::string_view p) override { return Add("del-key " + std::string(p)); }
  Status SetValue(std::string_view n, DWORD t, std::string_view d) override {
    return Add("value " + std::string(n) + " type=" + std::to_string(t) + " " + HexOf(d));
  }
  Status DeleteValue(std::string_view n) override { return Add("del-value " + std::string(n)); }

 private:
  Status Add(std::string s) {
    log.push_back(std::move(s));
    return Status::OK();
  }
};

inline Status ParseReg(std::string_view bytes, CollectSink* sink, size_t max_line = 1 << 20) {
  RegTextSource source(RegByteInput::FromMemory(bytes), max_line);
  RegFileParser parser;
  return parser.Parse(source, *sink);
}

inline Status ParseWine(std::string_view bytes, CollectSink* sink) {
  RegTextSource source(RegByteInput::FromMemory(bytes));
  WineRegParser parser;
  return parser.Parse(source, *sink);
}

}  // namespace qvr::testing

#endif  // QVR_TESTS_REGFILE_REG_COLLECT_SINK_H_
