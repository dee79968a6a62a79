#include "xml/xml_names.h"

#include <array>
#include <cstring>

#include "xml/xml_chars.h"

namespace qvr {
namespace {
// What a byte may be in a name, as bits: it may follow, it may also start a
// name, or it starts a UTF-8 character past ASCII that must be decoded to
// tell. Names are checked for every attribute written, so runs of ASCII name
// characters go at a table look-up a byte.
enum NameBits : unsigned char { kFollows = 1, kStarts = 2, kWide = 4 };

constexpr std::array<unsigned char, 256> MakeByteClasses() {
  std::array<unsigned char, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':') {
      classes[c] = kStarts | kFollows;
    } else if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
      classes[c] = kFollows;
    } else if (c >= 0x80) {
      classes[c] = kWide;
    }
  }
  return classes;
}
constexpr std::array<unsigned char, 256> kByteClasses = MakeByteClasses();

struct Range {
  char32_t first, last;
};
// The characters past ASCII that start names, in order.
constexpr Range kStartRanges[] = {
    {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x2FF},    {0x370, 0x37D},
    {0x37F, 0x1FFF},  {0x200C, 0x200D}, {0x2070, 0x218F}, {0x2C00, 0x2FEF},
    {0x3001, 0xD7FF}, {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD}, {0x10000, 0xEFFFF}};

// The NameBits of a character past ASCII.
unsigned char BitsAt(char32_t c) {
  for (const Range& r : kStartRanges) {
    if (c < r.first) break;
    if (c <= r.last) return kStarts | kFollows;
  }
  if (c == 0xB7 || (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040) return kFollows;
  return 0;
}

// The NameBits of the byte at `p`.
unsigned char BitsAt(const char* p) { return kByteClasses[static_cast<unsigned char>(*p)]; }

// The length of the character past ASCII at `p` (with `left` bytes of the
// name left) when it has the bit `needed`; 0 when it has not.
size_t WideLength(const char* p, size_t left, unsigned char needed) {
  char32_t c;
  const size_t length = DecodeUtf8(std::string_view(p, left), c);
  return length != 0 && (BitsAt(c) & needed) != 0 ? length : 0;
}
}  // namespace

bool IsXmlName(std::string_view name) {
  const char* p = name.data();
  const char* const end = p + name.size();
  unsigned char needed = kStarts;
  while (p != end) {
    const unsigned char bits = BitsAt(p);
    const size_t length = (bits & needed) != 0 ? 1
                          : bits == kWide      ? WideLength(p, end - p, needed)
                                               : 0;
    if (length == 0) return false;
    p += length;
    needed = kFollows;
    while (p != end && (BitsAt(p) & kFollows) != 0) ++p;  // the ASCII run, mostly all of it
  }
  return !name.empty();
}

// The same loop, ending at the NUL (which has no bits).
bool IsXmlName(const char* name) {
  if (name == nullptr) return false;
  const char* p = name;
  unsigned char needed = kStarts;
  while (*p != '\0') {
    const unsigned char bits = BitsAt(p);
    const size_t length = (bits & needed) != 0 ? 1
                          : bits == kWide      ? WideLength(p, strnlen(p, 4), needed)
                                               : 0;
    if (length == 0) return false;
    p += length;
    needed = kFollows;
    while ((BitsAt(p) & kFollows) != 0) ++p;
  }
  return p != name;
}

}  // namespace qvr
