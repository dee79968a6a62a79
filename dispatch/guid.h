// Guid: a 128-bit identifier of a class, an interface or a type library.
//
// The layout is the usual one (32-bit, two 16-bit fields, eight bytes), so a
// pointer to a Guid can cross the server's C entry points. The text form is
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
#ifndef QVR_DISPATCH_GUID_H_
#define QVR_DISPATCH_GUID_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvr {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};

  // Parses "{...}" or the bare 36-character form, any letter case; nothing
  // for malformed text.
  static std::optional<Guid> Parse(std::string_view text);
  // Reads an identifier fixed in the source at compile time:
  //   constexpr Guid kId = Guid::Literal("{4EB19A2E-5969-4D06-8ED3-8C101EC07275}");
  // A malformed text does not compile.
  static consteval Guid Literal(std::string_view text);

  std::string ToString() const;
  bool IsNull() const;

  bool operator==(const Guid& other) const;
  bool operator!=(const Guid& other) const { return !(*this == other); }
  bool operator<(const Guid& other) const;
};

struct GuidHash {
  size_t operator()(const Guid& g) const;
};

namespace guid_internal {
consteval int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw "not a hexadecimal digit";
}
consteval uint64_t Field(std::string_view text, size_t from, size_t digits) {
  uint64_t v = 0;
  for (size_t i = 0; i < digits; ++i) v = v * 16 + static_cast<uint64_t>(Hex(text[from + i]));
  return v;
}
}  // namespace guid_internal

consteval Guid Guid::Literal(std::string_view text) {
  if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' ||
      text[14] != '-' || text[19] != '-' || text[24] != '-') {
    throw "not an identifier in braces";
  }
  using guid_internal::Field;
  Guid g;
  g.data1 = static_cast<uint32_t>(Field(text, 1, 8));
  g.data2 = static_cast<uint16_t>(Field(text, 10, 4));
  g.data3 = static_cast<uint16_t>(Field(text, 15, 4));
  g.data4[0] = static_cast<uint8_t>(Field(text, 20, 2));
  g.data4[1] = static_cast<uint8_t>(Field(text, 22, 2));
  for (size_t i = 0; i < 6; ++i) g.data4[2 + i] = static_cast<uint8_t>(Field(text, 25 + 2 * i, 2));
  return g;
}

// The identifiers of the standard server interfaces.
inline constexpr Guid IID_IUnknown = Guid::Literal("{00000000-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IDispatch = Guid::Literal("{00020400-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IClassFactory = Guid::Literal("{00000001-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IConnectionPointContainer =
    Guid::Literal("{B196B284-BAB4-101A-B69C-00AA00341D07}");
inline constexpr Guid IID_IConnectionPoint =
    Guid::Literal("{B196B286-BAB4-101A-B69C-00AA00341D07}");
inline constexpr Guid IID_IEnumVARIANT = Guid::Literal("{00020404-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IProvideClassInfo =
    Guid::Literal("{B196B283-BAB4-101A-B69C-00AA00341D07}");

}  // namespace qvr

#endif  // QVR_DISPATCH_GUID_H_
