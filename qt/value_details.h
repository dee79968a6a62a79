// Value details: everything a person may want to know of one value's bytes,
// read through the registry calls rather than from the value list's text.
//
// ReadValueBytes fetches a value's type and data as the store holds them.
// RegQueryValueExA hands the text types (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) over as UTF-8, so their bytes come from the service's
// listing of stored values instead (an odd length or a lone surrogate shows
// as it is); every other type comes from that call as stored. DetailsText lays the bytes out for reading: name,
// type code and full type name, size, a hex dump with offsets and characters,
// and the readings that fit the size (UTF-16 text, 32- and 64-bit numbers,
// FILETIME, GUID). ValueDetailsDialog shows that text; it owns nothing but
// its widgets and lives on the GUI thread.
#ifndef QVR_QT_VALUE_DETAILS_H_
#define QVR_QT_VALUE_DETAILS_H_

#include <QDialog>
#include <string>
#include <string_view>

#include "registry/registry_api.h"

class QPlainTextEdit;

namespace qvr::view {

struct ValueBytes {
  std::string key_path;  // the key's path as shown to the person
  std::string name;      // "" for the key's default value
  DWORD type = REG_NONE;
  std::string data;  // the bytes as the store keeps them
};

// Reads the value `name` of the open key `key` into `*value` (its name and
// data; key_path is left alone). Returns the registry's code.
LONG ReadValueBytes(HKEY key, const std::string& name, ValueBytes* value);

// "REG_QWORD" for 11, "REG_DWORD_BIG_ENDIAN" for 5, ...; for a code with no
// name, "unknown type 0x...".
std::string RegTypeName(DWORD type);

// Offsets, sixteen bytes a line in hex, and those bytes as characters ('.'
// for any that is not printable ASCII).
std::string HexDump(std::string_view bytes);

// The readings the data's size allows, one a line ("" when none fits).
std::string Readings(DWORD type, std::string_view bytes);

// A FILETIME (100 ns since 1601, UTC) as "2026-12-07 22:47:28 UTC"; "" for
// 0 (unknown) and for times past the year 9999.
std::string FileTimeText(uint64_t filetime);

// The whole text the details dialog shows.
std::string DetailsText(const ValueBytes& value);

class ValueDetailsDialog : public QDialog {
  Q_OBJECT

 public:
  ValueDetailsDialog(const ValueBytes& value, QWidget* parent = nullptr);

  QString Text() const;

 private:
  QPlainTextEdit* text_;
};

}  // namespace qvr::view

#endif  // QVR_QT_VALUE_DETAILS_H_
