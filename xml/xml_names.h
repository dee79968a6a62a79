// Whether a text may serve as an XML element or attribute name.
#ifndef QVR_XML_XML_NAMES_H_
#define QVR_XML_XML_NAMES_H_

#include <string_view>

namespace qvr {

// True for a UTF-8 text that is an XML 1.0 Name: a non-empty run of name
// characters whose first may start a name. Letters of every script, "_" and
// ":" start names; digits, "-", ".", U+00B7, the combining marks
// U+0300..U+036F and U+203F..U+2040 may follow. Anything that is not
// well-formed UTF-8 makes the text no name. Safe from any thread.
bool IsXmlName(std::string_view name);
// The same for a NUL-terminated name; false for nullptr.
bool IsXmlName(const char* name);

}  // namespace qvr

#endif  // QVR_XML_XML_NAMES_H_
