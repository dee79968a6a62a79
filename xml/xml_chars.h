// Which characters an XML 1.0 document can carry, and the UTF-8 decoding that
// the checks of xml/ share.
//
// XML 1.0 carries tab, LF, CR, U+0020..U+D7FF, U+E000..U+FFFD and
// U+10000..U+10FFFF, and nothing else: neither the other C0 controls, nor
// U+FFFE/U+FFFF, nor surrogates, not even as character references. pugixml
// writes and reads all of them, so the document wrapper checks texts here
// before they enter a document. Texts are UTF-8; bytes that are not
// well-formed UTF-8 count as characters that cannot be carried.
//
// Plain functions without state; safe from any thread.
#ifndef QVR_XML_XML_CHARS_H_
#define QVR_XML_XML_CHARS_H_

#include <cstddef>
#include <string_view>

namespace qvr {

// Decodes the UTF-8 character at the start of the non-empty `text` into
// `code_point` and returns its length in bytes (1 to 4); 0 when the bytes do
// not start a well-formed UTF-8 character (a stray continuation byte, a cut
// sequence, an overlong form, an encoded surrogate, a value past U+10FFFF).
size_t DecodeUtf8(std::string_view text, char32_t& code_point);

// True for a character XML 1.0 can carry.
bool IsXmlChar(char32_t code_point);

// The offset of the first byte of `text` that does not start a character
// XML 1.0 can carry; npos when every character can be carried. One pass over
// the bytes; plain printable ASCII goes eight bytes a step.
size_t FindNonXmlChar(std::string_view text);

// The same for the text of a whole document, whose character references
// ("&#65;", "&#x41;") must name characters XML 1.0 can carry as well:
// references outside comments, CDATA sections and processing instructions
// are decoded, and one that is malformed (no digits, no ";") is refused at
// its "&".
size_t FindNonXmlCharInDocument(std::string_view text);

}  // namespace qvr

#endif  // QVR_XML_XML_CHARS_H_
