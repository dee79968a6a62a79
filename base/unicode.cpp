#include "base/unicode.h"

#include <unicode/uchar.h>

namespace qvr {
namespace {

// Decodes one code point at `i`, advancing `i`; returns -1 for an invalid byte
// (which is then consumed alone).
int32_t Decode(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = (b0 >= 0xF0 && b0 < 0xF5) ? 4 : (b0 >= 0xE0) ? 3 : (b0 >= 0xC2 && b0 < 0xE0) ? 2 : 0;
  if (len == 0 || i + len > s.size()) {
    ++i;
    return -1;
  }
  int32_t cp = b0 & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
  if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i += len;
  return cp;
}

void Encode(int32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

std::string ToUpper(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  if (IsAscii(text)) {
    for (char c : text) out += AsciiUpper(c);
    return out;
  }
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    const int32_t cp = Decode(text, i);
    if (cp < 0) {
      out.append(text.substr(start, i - start));
    } else {
      Encode(u_toupper(cp), out);
    }
  }
  return out;
}

std::string FoldCase(std::string_view text) { return ToUpper(text); }

int CompareNoCase(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) {
      const char x = AsciiUpper(a[k]), y = AsciiUpper(b[k]);
      if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  }
  const std::string fa = FoldCase(a), fb = FoldCase(b);
  const int c = fa.compare(fb);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) {
    // Upper-casing ASCII keeps the length, so texts of two lengths differ.
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k) {
      if (AsciiUpper(a[k]) != AsciiUpper(b[k])) return false;
    }
    return true;
  }
  return CompareNoCase(a, b) == 0;
}

size_t FindNoCase(std::string_view haystack, std::string_view needle, size_t from) {
  if (from > haystack.size()) return std::string::npos;
  if (IsAscii(needle) && IsAscii(haystack)) {
    if (needle.empty()) return from;
    for (size_t i = from; i + needle.size() <= haystack.size(); ++i) {
      size_t k = 0;
      while (k < needle.size() && AsciiUpper(haystack[i + k]) == AsciiUpper(needle[k])) ++k;
      if (k == needle.size()) return i;
    }
    return std::string::npos;
  }
  // Upper-casing keeps code point boundaries but may change byte lengths, so
  // compare code point by code point from each starting boundary.
  const std::string fneedle = FoldCase(needle);
  for (size_t i = from; i <= haystack.size();) {
    size_t j = i;
    std::string window;
    while (window.size() < fneedle.size() && j < haystack.size()) {
      const size_t start = j;
      Decode(haystack, j);
      window += FoldCase(haystack.substr(start, j - start));
    }
    if (window == fneedle) return i;
    if (i == haystack.size()) break;
    Decode(haystack, i);
  }
  return std::string::npos;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    int32_t cp = Decode(text, i);
    if (cp < 0) cp = 0xFFFD;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToLeBytes(std::u16string_view units) {
  std::string out(units.size() * 2, '\0');
  for (size_t i = 0; i < units.size(); ++i) {
    out[2 * i] = static_cast<char>(units[i] & 0xFF);
    out[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return out;
}

std::u16string LeBytesToUtf16(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return units;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    int32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    Encode(cp, out);
  }
  return out;
}

size_t CodePointCount(std::string_view text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++n) Decode(text, i);
  return n;
}

size_t NameLength(std::string_view text) {
  size_t units = 0;
  for (size_t i = 0; i < text.size();) {
    const int32_t cp = Decode(text, i);
    if (cp <= 0) return std::string_view::npos;
    units += cp > 0xFFFF ? 2 : 1;
  }
  return units;
}

}  // namespace qvr
