#include "value_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/hex.h"
#include "base/unicode.h"

namespace qvr::reg_tool {
namespace {

struct TypeEntry {
  DWORD type;
  const char* name;
};

constexpr TypeEntry kTypes[] = {
    {REG_NONE, "REG_NONE"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {10, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
};

std::string Hex(std::string_view bytes) { return HexBytes(bytes, kUpperHexDigits); }

uint64_t LittleEndian(std::string_view bytes, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < bytes.size() && i < width; ++i) {
    value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

std::string ZeroX(uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

// A number written in decimal or, after 0x, in hexadecimal, within `max`.
bool ParseNumber(std::string_view text, uint64_t max, uint64_t* value) {
  std::string s(text);
  if (s.empty() || s[0] == '-' || s[0] == '+' || s[0] == ' ') return false;
  int base = 10;
  const char* digits = s.c_str();
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    digits += 2;
  }
  char* end = nullptr;
  errno = 0;
  unsigned long long parsed = std::strtoull(digits, &end, base);
  if (errno != 0 || end == digits || *end != '\0' || parsed > max) return false;
  *value = parsed;
  return true;
}

void PutLittleEndian(uint64_t value, size_t width, std::string* data) {
  for (size_t i = 0; i < width; ++i) data->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string TypeName(DWORD type) {
  for (const TypeEntry& entry : kTypes) {
    if (entry.type == type) return entry.name;
  }
  char text[32];
  std::snprintf(text, sizeof text, "REG_0x%x", static_cast<unsigned>(type));
  return text;
}

bool TypeFromName(std::string_view name, DWORD* type) {
  if (EqualsNoCase(name, "REG_DWORD_LITTLE_ENDIAN")) name = "REG_DWORD";
  if (EqualsNoCase(name, "REG_QWORD_LITTLE_ENDIAN")) name = "REG_QWORD";
  for (const TypeEntry& entry : kTypes) {
    if (EqualsNoCase(name, entry.name)) {
      *type = entry.type;
      return true;
    }
  }
  // Any type code, as a number: the registry stores the type it is given.
  uint64_t code = 0;
  if (!ParseNumber(name, 0xFFFFFFFFull, &code)) return false;
  *type = static_cast<DWORD>(code);
  return true;
}

std::string DataText(DWORD type, std::string_view data) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return std::string(data.substr(0, data.find('\0')));
    case REG_MULTI_SZ: {
      // The strings up to the empty one that ends the list.
      std::string text;
      size_t start = 0;
      bool first = true;
      while (start < data.size()) {
        size_t nul = data.find('\0', start);
        std::string_view piece = data.substr(start, nul == data.npos ? data.npos : nul - start);
        if (piece.empty() && nul != data.npos) break;
        if (!first) text += "\\0";
        text += piece;
        first = false;
        if (nul == data.npos) break;
        start = nul + 1;
      }
      return text;
    }
    case REG_DWORD:
      return ZeroX(LittleEndian(data, 4));
    case REG_DWORD_BIG_ENDIAN: {
      uint64_t value = 0;
      for (size_t i = 0; i < data.size() && i < 4; ++i) {
        value = (value << 8) | static_cast<unsigned char>(data[i]);
      }
      return ZeroX(value);
    }
    case REG_QWORD:
      return ZeroX(LittleEndian(data, 8));
    default:
      return Hex(data);
  }
}

bool DataFromText(DWORD type, std::string_view text, std::string_view separator, std::string* data,
                  std::string* error) {
  data->clear();
  uint64_t number = 0;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      data->assign(text);
      data->push_back('\0');
      return true;
    case REG_MULTI_SZ: {
      if (separator.empty()) {
        *error = "The separator must not be empty.";
        return false;
      }
      size_t start = 0;
      while (!text.empty()) {
        size_t at = text.find(separator, start);
        std::string_view piece = text.substr(start, at == text.npos ? text.npos : at - start);
        if (piece.empty()) {
          *error = "REG_MULTI_SZ data must not hold an empty string.";
          return false;
        }
        data->append(piece);
        data->push_back('\0');
        if (at == text.npos) break;
        start = at + separator.size();
      }
      data->push_back('\0');
      return true;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
      if (!ParseNumber(text, 0xFFFFFFFFull, &number)) {
        *error = "\"" + std::string(text) +
                 "\" is not a number from 0 to 4294967295 (decimal, or hexadecimal after 0x).";
        return false;
      }
      if (type == REG_DWORD) {
        PutLittleEndian(number, 4, data);
      } else {
        for (int shift = 24; shift >= 0; shift -= 8) {
          data->push_back(static_cast<char>((number >> shift) & 0xFF));
        }
      }
      return true;
    case REG_QWORD:
      if (!ParseNumber(text, ~0ull, &number)) {
        *error = "\"" + std::string(text) +
                 "\" is not a number from 0 to 18446744073709551615 (decimal, or hexadecimal after "
                 "0x).";
        return false;
      }
      PutLittleEndian(number, 8, data);
      return true;
    default: {
      // REG_BINARY, REG_NONE, the resource types, REG_LINK and any other
      // type code: hexadecimal digits, two per byte.
      if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != text.npos) {
        *error = "Binary data must be hexadecimal digits, two per byte.";
        return false;
      }
      for (size_t i = 0; i < text.size(); i += 2) {
        data->push_back(static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
      }
      return true;
    }
  }
}

}  // namespace qvr::reg_tool
