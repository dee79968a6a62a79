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

std::string DwordTextToHex(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  size_t end = text.find_last_not_of(' ');
  if (begin == std::string_view::npos) throw errors::TypeMismatch("ctlRegistry");
  std::string_view digits = text.substr(begin, end - begin + 1);
  bool negative = false;
  if (digits.front() == '-' || digits.front() == '+') {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) throw errors::TypeMismatch("ctlRegistry");
  uint64_t magnitude = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') throw errors::TypeMismatch("ctlRegistry");
    magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
    if (magnitude > 0xFFFFFFFFull) throw errors::Overflow("ctlRegistry");
  }
  if (negative && magnitude > 0x80000000ull) throw errors::Overflow("ctlRegistry");
  // A negative text is a DWORD shown signed; its bits are the two's complement.
  uint32_t bits = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(magnitude))
                           : static_cast<uint32_t>(magnitude);
  return HexNumber(bits);
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
