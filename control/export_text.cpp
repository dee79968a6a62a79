#include "control/export_text.h"

#include <cstdint>

#include "automation/automation_error.h"
#include "base/hex.h"

namespace qvr::export_text {

std::string RemoveSpaces(std::string_view strText) {
  std::string result;
  result.reserve(strText.size());
  for (char c : strText) {
    if (c != ' ') result.push_back(c);
  }
  return result;
}

namespace {

enum class DwordText { kNumber, kNotNumber, kOutOfRange };

// The bits of a REG_DWORD data text (see DwordTextToHex).
DwordText ParseDwordText(std::string_view text, uint32_t* bits) {
  size_t begin = text.find_first_not_of(' ');
  size_t end = text.find_last_not_of(' ');
  if (begin == std::string_view::npos) return DwordText::kNotNumber;
  std::string_view digits = text.substr(begin, end - begin + 1);
  bool negative = false;
  if (digits.front() == '-' || digits.front() == '+') {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return DwordText::kNotNumber;
  uint64_t magnitude = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return DwordText::kNotNumber;
    magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
    if (magnitude > 0xFFFFFFFFull) return DwordText::kOutOfRange;
  }
  if (negative && magnitude > 0x80000000ull) return DwordText::kOutOfRange;
  // A negative text is a DWORD shown signed; its bits are the two's complement.
  *bits = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(magnitude))
                   : static_cast<uint32_t>(magnitude);
  return DwordText::kNumber;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the character at `at` when XML 1.0 can carry it, else 0.
size_t CarriedLength(std::string_view text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r' ? 1 : 0;
  size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4                                   ? 4
                                                                                   : 0;
  if (length == 0 || at + length > text.size()) return 0;
  uint32_t code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    if (!IsContinuation(byte)) return 0;
    code = (code << 6) | (byte & 0x3F);
  }
  // Overlong forms, encoded surrogates, U+FFFE and U+FFFF, beyond U+10FFFF.
  if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000)) return 0;
  if ((code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF) return 0;
  if (code > 0x10FFFF) return 0;
  return length;
}

void AppendEscaped(std::string& out, unsigned char byte) {
  out += "\\x";
  out += kUpperHexDigits[byte >> 4];
  out += kUpperHexDigits[byte & 0xF];
}

}  // namespace

std::string DwordTextToHex(std::string_view text) {
  uint32_t bits = 0;
  switch (ParseDwordText(text, &bits)) {
    case DwordText::kNotNumber:
      throw errors::TypeMismatch("ctlRegistry");
    case DwordText::kOutOfRange:
      throw errors::Overflow("ctlRegistry");
    case DwordText::kNumber:
      break;
  }
  return HexNumber(bits);
}

std::optional<std::string> DwordTextToHexIfNumber(std::string_view text) {
  uint32_t bits = 0;
  if (ParseDwordText(text, &bits) != DwordText::kNumber) return std::nullopt;
  return HexNumber(bits);
}

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t length = CarriedLength(text, at);
    const bool looks_escaped =
        text[at] == '\\' && at + 1 < text.size() && (text[at + 1] == 'x' || text[at + 1] == '0');
    if (length == 0 || looks_escaped) {
      AppendEscaped(out, static_cast<unsigned char>(text[at]));
      ++at;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}

std::string BytesText(std::string_view data) {
  std::string text;
  text.reserve(data.size() * 3);
  for (unsigned char byte : data) {
    text += kUpperHexDigits[byte >> 4];
    text += kUpperHexDigits[byte & 0xF];
    text += ' ';
  }
  return text;
}

std::string MultiStringText(std::string_view data) {
  // The list ends with an empty string; the last string's own terminator
  // comes before it. Either may be missing from data written carelessly.
  if (data.ends_with(std::string_view("\0\0", 2))) {
    data.remove_suffix(2);
  } else if (data.ends_with('\0')) {
    data.remove_suffix(1);
  }
  std::string text;
  for (size_t start = 0;;) {
    const size_t nul = data.find('\0', start);
    text += PrintableText(data.substr(start, nul == std::string_view::npos ? nul : nul - start));
    if (nul == std::string_view::npos) return text;
    text += "\\0";
    start = nul + 1;
  }
}

std::string ImageNumberFor(std::string_view type_word) {
  if (type_word == "REG_SZ" || type_word == "REG_MULTI_SZ") return "7";
  if (type_word == "REG_DWORD") return "12";
  if (type_word == "REG_BINARY") return "17";
  return "2";
}

DisplayPath SplitDisplayPath(std::string_view display_path) {
  size_t slash = display_path.find('\\');
  if (slash == std::string_view::npos) return {std::string(display_path), ""};
  return {std::string(display_path.substr(0, slash)), std::string(display_path.substr(slash + 1))};
}

std::string KeyName(std::string_view key_part) {
  size_t slash = key_part.rfind('\\');
  return std::string(slash == std::string_view::npos ? key_part : key_part.substr(slash + 1));
}

}  // namespace qvr::export_text
