// Text rules of the selection document: the data conversions, image numbers
// and path splitting that the control's XML export and its selection records
// share.
#ifndef QVR_CONTROL_EXPORT_TEXT_H_
#define QVR_CONTROL_EXPORT_TEXT_H_

#include <optional>
#include <string>
#include <string_view>

namespace qvr::export_text {

// Fixed values of the generated document.
inline constexpr const char* kItemClsid = "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}";
inline constexpr const char* kCollectionClsid = "{53B533F5-224C-47e3-B01B-CA3B3F3FF4BF}";
inline constexpr const char* kItemDescription = "Wizard Generated Registry Item";
inline constexpr const char* kAction = "U";
// The image number of an element that stands for a whole key.
inline constexpr const char* kKeyImage = "2";

// The list's texts for the unnamed value, for a value literally named
// "(default)", and for a value without data.
inline constexpr const char* kDefaultName = "(default)";
inline constexpr const char* kDefaultNameStarred = "(default)*";
inline constexpr const char* kValueNotSet = "(value not set)";

// `strText` without its space characters (U+0020); every other character stays,
// in order. Any length.
std::string RemoveSpaces(std::string_view strText);

// The decimal number of a REG_DWORD data text as the value list shows it
// (signed, so 4294967295 shows as "-1") in upper-case hexadecimal without
// prefix or leading zeros: "255" gives "FF", "-1" gives "FFFFFFFF". Numbers
// from -2147483648 to 4294967295 are taken, surrounded by spaces or not.
// Raises AutomationError 13 for a text that is not a whole number, 6 for one
// outside that range.
std::string DwordTextToHex(std::string_view text);
// The same conversion without raising: nothing for a text it does not take.
std::optional<std::string> DwordTextToHexIfNumber(std::string_view text);

// Text as the value list shows it and the document carries it: every
// character XML 1.0 can carry as it is, except that a backslash followed by
// "x" or "0" is written "\x5C"; each byte of what XML cannot carry (C0
// controls other than tab, LF and CR, U+FFFE, U+FFFF, bytes that are not
// UTF-8) is written "\x" and its two upper-case hexadecimal digits. Reading
// "\xNN" back as the byte NN restores the text exactly; the result is always
// fit for an XML attribute.
std::string PrintableText(std::string_view text);

// Data that has no text form, as REG_BINARY shows it: two upper-case
// hexadecimal digits and a space per byte ("01 AB ").
std::string BytesText(std::string_view data);

// REG_MULTI_SZ data as a single line: each string up to the list's final
// terminator in its printable form, joined by the two characters "\0" (the
// data "a\0\0b\0\0" gives "a\0\0b"; see PrintableText, which keeps
// this "\0" apart from text). Data without terminators is one string.
std::string MultiStringText(std::string_view data);

// The image number of a value's element by its type word, compared exactly:
// "REG_SZ" and "REG_MULTI_SZ" "7", "REG_DWORD" "12", "REG_BINARY" "17",
// anything else "2".
std::string ImageNumberFor(std::string_view type_word);

// A display path ("HKEY_USERS\A\B") split at its first "\": the hive part and
// the key part ("" for a bare hive name).
struct DisplayPath {
  std::string hive;
  std::string key;
};
DisplayPath SplitDisplayPath(std::string_view display_path);

// The text after the last "\" of a key part; the whole text when it has none.
std::string KeyName(std::string_view key_part);

}  // namespace qvr::export_text

#endif  // QVR_CONTROL_EXPORT_TEXT_H_
