#include "xml/xml_names.h"

#include <array>

#include "xml/xml_chars.h"

namespace qvr {
namespace {
// What a character may be in a name: nothing, a following character only, or
// also the first one. Names are checked for every attribute written, so an
// ASCII byte's class is looked up and only the other characters are decoded.
enum NameClass : unsigned char { kNotName = 0, kNameChar = 1, kNameStart = 2 };

constexpr std::array<unsigned char, 128> MakeAsciiClasses() {
  std::array<unsigned char, 128> classes{};
  for (int c = 0; c < 128; ++c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':') {
      classes[c] = kNameStart;
    } else if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
      classes[c] = kNameChar;
    }
  }
  return classes;
}
constexpr std::array<unsigned char, 128> kAsciiClasses = MakeAsciiClasses();

struct Range {
  char32_t first, last;
};
// The characters past ASCII that start names, in order.
constexpr Range kStartRanges[] = {
    {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x2FF},    {0x370, 0x37D},
    {0x37F, 0x1FFF},  {0x200C, 0x200D}, {0x2070, 0x218F}, {0x2C00, 0x2FEF},
    {0x3001, 0xD7FF}, {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD}, {0x10000, 0xEFFFF}};

NameClass ClassOf(char32_t c) {
  if (c < 0x80) return static_cast<NameClass>(kAsciiClasses[c]);
  for (const Range& r : kStartRanges) {
    if (c < r.first) break;
    if (c <= r.last) return kNameStart;
  }
  if (c == 0xB7 || (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040) return kNameChar;
  return kNotName;
}
}  // namespace

bool IsXmlName(std::string_view name) {
  NameClass needed = kNameStart;
  for (size_t i = 0; i < name.size();) {
    const auto byte = static_cast<unsigned char>(name[i]);
    char32_t c = byte;
    size_t length = 1;
    if (byte >= 0x80 && (length = DecodeUtf8(name.substr(i), c)) == 0) return false;
    if (ClassOf(c) < needed) return false;
    needed = kNameChar;
    i += length;
  }
  return !name.empty();
}

bool IsXmlName(const char* name) { return name != nullptr && IsXmlName(std::string_view(name)); }

}  // namespace qvr
