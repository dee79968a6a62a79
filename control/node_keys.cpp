#include "control/node_keys.h"

#include <cstdint>

#include "base/hex.h"
#include "base/unicode.h"

namespace qvr::node_keys {

std::string HiveKey(HKEY hive) {
  return "_&H" + HexNumber(static_cast<uint32_t>(hive));
}

std::string KeyNodeKey(HKEY hive, std::string_view sub_key_path) {
  std::string key = HiveKey(hive);
  key += '\\';
  key += ToUpper(sub_key_path);
  return key;
}

std::string PlaceholderKey(std::string_view node_key) {
  return std::string(kPlaceholderPrefix) + std::string(node_key);
}

HKEY HiveOf(std::string_view node_key) {
  if (node_key.size() < 2) return 0;
  std::string_view number = node_key.substr(1, node_key.find('\\') - 1);
  if (number.size() < 3 || number[0] != '&' || (number[1] != 'H' && number[1] != 'h')) return 0;
  number.remove_prefix(2);
  if (number.size() > 8) return 0;
  uint32_t value = 0;
  for (char c : number) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else return 0;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return static_cast<HKEY>(value);
}

}  // namespace qvr::node_keys
