// Whether a text may serve as an XML element or attribute name.
#ifndef QVR_XML_XML_NAMES_H_
#define QVR_XML_XML_NAMES_H_

#include <string_view>

namespace qvr {

// True for a non-empty name that starts with a letter, "_" or ":" and goes on
// with letters, digits, "_", ":", "-" and "."; every byte of a multi-byte
// UTF-8 character counts as a letter.
bool IsXmlName(std::string_view name);
// The same for a NUL-terminated name; false for nullptr.
bool IsXmlName(const char* name);

}  // namespace qvr

#endif  // QVR_XML_XML_NAMES_H_
