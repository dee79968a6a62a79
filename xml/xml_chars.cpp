#include "xml/xml_chars.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace qvr {
namespace {
// The bytes that are a whole character XML can carry on their own: printable
// ASCII, tab, LF and CR. In a document "&" and "<" are set apart, since they
// may start a reference or a comment.
constexpr std::array<bool, 256> MakePlainBytes(bool document) {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c) plain[c] = true;
  plain['\t'] = plain['\n'] = plain['\r'] = true;
  if (document) plain['&'] = plain['<'] = false;
  return plain;
}
constexpr std::array<bool, 256> kPlainBytes = MakePlainBytes(false);
constexpr std::array<bool, 256> kPlainDocumentBytes = MakePlainBytes(true);

constexpr uint64_t Lanes(unsigned char b) { return 0x0101010101010101ULL * b; }

// Whether all eight bytes are printable ASCII (and, in a document, neither
// "&" nor "<"). Every attribute value written passes through here, so plain
// text goes eight bytes a step. A byte below 0x20 borrows in the subtraction
// and sets its top bit; so does every byte from 0x80 on.
template <bool kDocument>
bool AllPlain(const char* bytes) {
  uint64_t w;
  std::memcpy(&w, bytes, sizeof w);
  if (((w | (w - Lanes(0x20))) & Lanes(0x80)) != 0) return false;
  if constexpr (kDocument) {
    auto has_zero = [](uint64_t v) { return ((v - Lanes(0x01)) & ~v & Lanes(0x80)) != 0; };
    if (has_zero(w ^ Lanes('&')) || has_zero(w ^ Lanes('<'))) return false;
  }
  return true;
}

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The end of a reference "&#...;" starting at `at`, with the character it
// names in `code_point`; 0 when it is malformed. A value too large for any
// character stops growing past U+10FFFF, so long digit runs cannot wrap.
size_t ParseReference(std::string_view text, size_t at, char32_t& code_point) {
  size_t i = at + 2;
  const bool hex = i < text.size() && text[i] == 'x';
  if (hex) ++i;
  const size_t digits = i;
  char32_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + digit;
  }
  if (i == digits || i == text.size() || text[i] != ';') return 0;
  code_point = value;
  return i + 1;
}

// Where the comment, CDATA section or processing instruction opening at `at`
// ends (references inside them are plain text); `at` + 1 for other markup.
size_t SkipUnparsed(std::string_view text, size_t at) {
  constexpr std::string_view kOpen[] = {"<!--", "<![CDATA[", "<?"};
  constexpr std::string_view kClose[] = {"-->", "]]>", "?>"};
  const std::string_view rest = text.substr(at);
  for (size_t k = 0; k < std::size(kOpen); ++k) {
    if (!rest.starts_with(kOpen[k])) continue;
    const size_t end = text.find(kClose[k], at + kOpen[k].size());
    return end == std::string_view::npos ? text.size() : end + kClose[k].size();
  }
  return at + 1;
}

// The one pass of both checks; in a document it also decodes references and
// steps over the text of comments, CDATA sections and processing
// instructions, which it checks as plain text.
template <bool kDocument>
size_t Scan(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const auto& plain = kDocument ? kPlainDocumentBytes : kPlainBytes;
  const size_t size = text.size();
  size_t i = 0;
  while (true) {
    while (i + 8 <= size && AllPlain<kDocument>(text.data() + i)) i += 8;
    while (i < size && plain[bytes[i]]) ++i;
    if (i == size) break;
    if (bytes[i] >= 0x80 || !kDocument || (bytes[i] != '&' && bytes[i] != '<')) {
      char32_t c;
      const size_t length = DecodeUtf8(text.substr(i), c);
      if (length == 0 || !IsXmlChar(c)) return i;
      i += length;
    } else if (bytes[i] == '<') {
      const size_t end = SkipUnparsed(text, i);
      const size_t bad = Scan<false>(text.substr(i + 1, end - i - 1));
      if (bad != std::string_view::npos) return i + 1 + bad;
      i = end;
    } else if (i + 1 < size && text[i + 1] == '#') {
      char32_t c;
      const size_t end = ParseReference(text, i, c);
      if (end == 0 || !IsXmlChar(c)) return i;
      i = end;
    } else {
      ++i;
    }
  }
  return std::string_view::npos;
}
}  // namespace

size_t DecodeUtf8(std::string_view text, char32_t& code_point) {
  const auto* b = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  if (b[0] < 0x80) {
    code_point = b[0];
    return 1;
  }
  // The second byte's range rules out overlong forms (E0, F0), surrogates
  // (ED) and values past U+10FFFF (F4) at once.
  size_t length;
  unsigned char low = 0x80, high = 0xBF;
  if (b[0] >= 0xC2 && b[0] <= 0xDF) {
    length = 2;
  } else if (b[0] >= 0xE0 && b[0] <= 0xEF) {
    length = 3;
    if (b[0] == 0xE0) low = 0xA0;
    if (b[0] == 0xED) high = 0x9F;
  } else if (b[0] >= 0xF0 && b[0] <= 0xF4) {
    length = 4;
    if (b[0] == 0xF0) low = 0x90;
    if (b[0] == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (size < length || b[1] < low || b[1] > high) return 0;
  char32_t value = b[0] & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(b[i])) return 0;
    value = (value << 6) | (b[i] & 0x3F);
  }
  code_point = value;
  return length;
}

bool IsXmlChar(char32_t c) {
  if (c < 0x20) return c == '\t' || c == '\n' || c == '\r';
  return c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

size_t FindNonXmlChar(std::string_view text) { return Scan<false>(text); }

size_t FindNonXmlCharInDocument(std::string_view text) { return Scan<true>(text); }

}  // namespace qvr
