// Text helpers shared by the whole system.
//
// Every string in the system is UTF-8, and UTF-8 is the system code page, so the
// "ANSI" registry calls take and give UTF-8. Key names, value names and the keys
// of every keyed collection compare without regard to case across all of
// Unicode, the way Windows compares registry names: each code point is mapped
// to its simple upper-case form and the results are compared code point by
// code point.
#ifndef QVR_BASE_UNICODE_H_
#define QVR_BASE_UNICODE_H_

#include <string>
#include <string_view>

namespace qvr {

// The case-folded form of a UTF-8 text: equal for texts that differ only in
// letter case. Invalid UTF-8 bytes are kept as they are.
std::string FoldCase(std::string_view text);

// Case-insensitive equality and three-way comparison (<0, 0, >0) of UTF-8 texts.
bool EqualsNoCase(std::string_view a, std::string_view b);
int CompareNoCase(std::string_view a, std::string_view b);

// Position of `needle` in `haystack` from byte `from`, compared without regard
// to case; std::string::npos when absent.
size_t FindNoCase(std::string_view haystack, std::string_view needle, size_t from = 0);

// The upper-case form, as the tree's node keys are written.
std::string ToUpper(std::string_view text);

// Conversions between UTF-8 and UTF-16 (little-endian code units). Invalid
// input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-16 code units as the bytes Windows stores them in, little-endian, and
// back (an odd last byte is dropped).
std::string Utf16ToLeBytes(std::u16string_view units);
std::u16string LeBytesToUtf16(std::string_view bytes);

// Number of code points in a UTF-8 text.
size_t CodePointCount(std::string_view text);

// Length of a UTF-8 text in UTF-16 code units, as Windows counts a name's
// characters (a character beyond U+FFFF counts twice); std::string::npos
// when the text is not valid UTF-8 or holds a NUL, which no name may.
size_t NameLength(std::string_view text);

}  // namespace qvr

#endif  // QVR_BASE_UNICODE_H_
