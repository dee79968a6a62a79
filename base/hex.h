// Hexadecimal digits, as every reader and writer of registry text uses them.
#ifndef QVR_BASE_HEX_H_
#define QVR_BASE_HEX_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace qvr {

inline constexpr char kLowerHexDigits[] = "0123456789abcdef";
inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// The value of the hexadecimal digit `c` (either case), or -1.
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `bytes` as hexadecimal digits, two per byte, from `digits` (one of the
// tables above).
inline std::string HexBytes(std::string_view bytes, const char* digits = kLowerHexDigits) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 0xF];
  }
  return out;
}

// `value` in hexadecimal without leading zeros ("0" for 0).
inline std::string HexNumber(uint64_t value, const char* digits = kUpperHexDigits) {
  std::string out;
  do {
    out.insert(out.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return out;
}

}  // namespace qvr

#endif  // QVR_BASE_HEX_H_
