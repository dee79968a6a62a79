// Pieces of registry file syntax that the .reg and the Wine readers share:
// hexadecimal data with continued lines, dword data, type codes, the name
// limits, and conversions between stored text (UTF-16LE) and UTF-8.
#ifndef QVR_REGFILE_REG_SYNTAX_H_
#define QVR_REGFILE_REG_SYNTAX_H_

#include <string>
#include <string_view>

#include "registry/registry_api.h"
#include "registry/status.h"
#include "regfile/reg_text_source.h"

namespace qvr::regsyntax {

// Windows' limits, in characters (code points).
inline constexpr size_t kMaxKeyName = 255;
inline constexpr size_t kMaxValueName = 16383;
// The largest value data a file may give (64 MiB).
inline constexpr size_t kMaxValueData = size_t{64} << 20;

inline bool IsSpace(char c) { return c == ' ' || c == '\t'; }
void SkipSpace(std::string_view s, size_t* i);
// True when `rest` holds only spaces and tabs, or a ";" comment after them.
bool NothingMore(std::string_view rest);

bool IsTextType(DWORD type);
// UTF-8 text as UTF-16LE bytes (no terminator is added).
std::string Utf8ToStored(std::string_view text);
// Stored UTF-16LE bytes as UTF-8; false when they are not well-formed UTF-16
// (an odd count or a lone surrogate), and the text would not give them back.
bool StoredToUtf8(std::string_view stored, std::string* text);

// `text` with every byte sequence that is not UTF-8 replaced by U+FFFD, so a
// name read from 8-bit text is one the rest of the system can give back.
std::string ValidUtf8(std::string_view text);

// Checks a key path: components of 1 to 255 characters, no NUL. Returns
// what is wrong, or an empty string.
std::string KeyPathProblem(std::string_view path);
std::string ValueNameProblem(std::string_view name);

// The hexadecimal type code of "hex(N):" (at most 0xFFFFFFFF).
bool ParseTypeCode(std::string_view digits, DWORD* type, std::string* error);
// "dword:" data: 1 to 8 hexadecimal digits, then nothing more.
bool ParseDword(std::string_view text, std::string* data, std::string* error);

// Bytes "aa,bb,..." starting at `rest`, continued on the following lines of
// `source` while a line ends with "\", appended to `data`.
Status ReadHexData(std::string_view rest, RegTextSource& source, std::string* data);

// The data of a "hex:" or "hex(N):" value, given the text after "hex" on
// line `line`: the type (REG_BINARY for "hex:") and the bytes.
Status ReadHexValue(std::string_view after_hex, int64_t line, RegTextSource& source, DWORD* type,
                       std::string* data);

}  // namespace qvr::regsyntax

#endif  // QVR_REGFILE_REG_SYNTAX_H_
