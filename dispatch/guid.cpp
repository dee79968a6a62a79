#include "dispatch/guid.h"
#include "base/hex.h"

#include <cstdio>
#include <cstring>
#include <functional>

namespace qvr {
namespace {

// Reads `digits` hexadecimal digits at `text[*pos]`.
bool ReadHex(std::string_view text, size_t* pos, int digits, uint64_t* out) {
  uint64_t value = 0;
  for (int i = 0; i < digits; ++i) {
    if (*pos >= text.size()) return false;
    int d = HexDigit(text[(*pos)++]);
    if (d < 0) return false;
    value = value * 16 + static_cast<uint64_t>(d);
  }
  *out = value;
  return true;
}

bool Expect(std::string_view text, size_t* pos, char c) {
  if (*pos >= text.size() || text[*pos] != c) return false;
  ++*pos;
  return true;
}

}  // namespace

std::optional<Guid> Guid::Parse(std::string_view text) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  Guid g;
  size_t pos = 0;
  uint64_t v = 0;
  if (!ReadHex(text, &pos, 8, &v) || !Expect(text, &pos, '-')) return std::nullopt;
  g.data1 = static_cast<uint32_t>(v);
  if (!ReadHex(text, &pos, 4, &v) || !Expect(text, &pos, '-')) return std::nullopt;
  g.data2 = static_cast<uint16_t>(v);
  if (!ReadHex(text, &pos, 4, &v) || !Expect(text, &pos, '-')) return std::nullopt;
  g.data3 = static_cast<uint16_t>(v);
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !Expect(text, &pos, '-')) return std::nullopt;
    if (!ReadHex(text, &pos, 2, &v)) return std::nullopt;
    g.data4[i] = static_cast<uint8_t>(v);
  }
  return g;
}

std::string Guid::ToString() const {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1,
                data2, data3, data4[0], data4[1], data4[2], data4[3], data4[4], data4[5],
                data4[6], data4[7]);
  return buf;
}

bool Guid::IsNull() const { return *this == Guid{}; }

bool Guid::operator==(const Guid& other) const {
  return data1 == other.data1 && data2 == other.data2 && data3 == other.data3 &&
         std::memcmp(data4, other.data4, sizeof data4) == 0;
}

bool Guid::operator<(const Guid& other) const {
  if (data1 != other.data1) return data1 < other.data1;
  if (data2 != other.data2) return data2 < other.data2;
  if (data3 != other.data3) return data3 < other.data3;
  return std::memcmp(data4, other.data4, sizeof data4) < 0;
}

size_t GuidHash::operator()(const Guid& g) const {
  uint64_t tail = 0;
  std::memcpy(&tail, g.data4, sizeof tail);
  uint64_t head = (uint64_t{g.data1} << 32) | (uint64_t{g.data2} << 16) | g.data3;
  return std::hash<uint64_t>()(head ^ (tail * 0x9E3779B97F4A7C15ull));
}

}  // namespace qvr
