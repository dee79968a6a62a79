// Registry types and data as qvr-reg shows and takes them.
//
// Shown as reg.exe shows them: REG_SZ and REG_EXPAND_SZ as the text (not
// expanded), REG_MULTI_SZ as its strings joined by "\0", REG_DWORD,
// REG_DWORD_BIG_ENDIAN and REG_QWORD as 0x and lower-case hexadecimal, every
// other type as upper-case hexadecimal digits, two per byte.
#ifndef QVR_TOOLS_QVR_REG_VALUE_TEXT_H_
#define QVR_TOOLS_QVR_REG_VALUE_TEXT_H_

#include <string>
#include <string_view>

#include "registry/registry_api.h"

namespace qvr::reg_tool {

// "REG_SZ", "REG_DWORD", ...; a type without a name as "REG_0x<hex>".
std::string TypeName(DWORD type);

// The type named `name` (any letter case; REG_DWORD_LITTLE_ENDIAN is
// REG_DWORD), or any type code given as a number (decimal, or hexadecimal
// after 0x); false for anything else.
bool TypeFromName(std::string_view name, DWORD* type);

// The data of a value of type `type` as output shows it (data as read through
// the A-style calls: string types in UTF-8 with their terminators).
std::string DataText(DWORD type, std::string_view data);

// The bytes to write for the text `text` given as data of type `type`
// (strings with their terminators; the strings of REG_MULTI_SZ separated by
// `separator` in `text`). False, with `error` saying why, for text that is
// not data of that type. Types other than the string and number types take
// hexadecimal digits, two per byte.
bool DataFromText(DWORD type, std::string_view text, std::string_view separator, std::string* data,
                  std::string* error);

}  // namespace qvr::reg_tool

#endif  // QVR_TOOLS_QVR_REG_VALUE_TEXT_H_
