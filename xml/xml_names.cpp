#include "xml/xml_names.h"

#include <array>

namespace qvr {
namespace {
// What each byte may be in a name: nothing, a following character only, or
// also the first one. Names are checked for every attribute written, so the
// class of a byte is looked up rather than worked out.
enum NameByte : unsigned char { kNotName = 0, kNameChar = 1, kNameStart = 2 };

constexpr std::array<unsigned char, 256> MakeNameBytes() {
  std::array<unsigned char, 256> classes{};
  for (int c = 0; c < 256; ++c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80) {
      classes[c] = kNameStart;
    } else if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
      classes[c] = kNameChar;
    }
  }
  return classes;
}
constexpr std::array<unsigned char, 256> kNameBytes = MakeNameBytes();

unsigned char ClassOf(char c) { return kNameBytes[static_cast<unsigned char>(c)]; }
}  // namespace

bool IsXmlName(std::string_view name) {
  if (name.empty() || ClassOf(name[0]) != kNameStart) return false;
  for (char c : name.substr(1)) {
    if (ClassOf(c) == kNotName) return false;
  }
  return true;
}

bool IsXmlName(const char* name) {
  if (name == nullptr || ClassOf(*name) != kNameStart) return false;
  for (const char* p = name + 1; *p != '\0'; ++p) {
    if (ClassOf(*p) == kNotName) return false;
  }
  return true;
}

}  // namespace qvr
