// The value list: one row per value of the key clicked last, and the list's
// own events.
#include <optional>
#include <string>

#include "control/ctl_registry.h"
#include "control/export_text.h"
#include "control/internal/skipping.h"
#include "base/unicode.h"
#include "reglib/qvr_cls_value.h"

namespace qvr {
namespace {
using control_internal::Skipping;

bool IsTextType(RegistryDataTypes type) {
  return type == rdString || type == rdExpandSZ || type == rdMultiSZ;
}

// The stored bytes of the value `name` of `key` when it is a REG_MULTI_SZ.
std::optional<std::string> ReadMultiString(HKEY key, const std::string& name) {
  std::string data;
  DWORD type = REG_NONE;
  DWORD length = 0;
  LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &length);
  // Data that grows between the two calls is asked for again.
  for (int attempt = 0; attempt < 4 && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA); ++attempt) {
    data.assign(length, '\0');
    rc = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &length);
    if (rc == ERROR_SUCCESS) {
      data.resize(length);
      if (type != REG_MULTI_SZ) break;
      return data;
    }
  }
  return std::nullopt;
}

// A multi-string's whole data, which its Value (the first string only) does
// not hold. A value whose name was listed already shows "*" appended, so the
// registry knows it by its name with some of the stars taken off: the first
// such name whose data begins with the value's first string is it.
std::optional<std::string> MultiStringData(qvrClsValue& value) {
  const std::string first = value.Value().IsString() ? value.Value().AsString() : "";
  for (std::string name = value.Default() ? "" : value.ValueName();; name.pop_back()) {
    std::optional<std::string> data = ReadMultiString(value.ParentKey(), name);
    if (data && data->substr(0, data->find('\0')) == first) return data;
    if (name.empty() || name.back() != '*') return std::nullopt;
  }
}

// The signed decimal of four big-endian bytes, as a REG_DWORD shows.
std::string BigEndianDwordText(std::string_view data) {
  uint32_t bits = 0;
  for (unsigned char byte : data) bits = (bits << 8) | byte;
  return std::to_string(static_cast<int32_t>(bits));
}

std::optional<std::string> Printable(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return export_text::PrintableText(*text);
}

// The data column of a value that has data. Texts come in their printable
// form; data that has no text form (the types whose Value holds the bytes as
// they are stored) shows as REG_BINARY does.
std::optional<std::string> DataText(qvrClsValue& value) {
  const Variant& data = value.Value();
  switch (value.DataType()) {
    case rdString:
    case rdExpandSZ:
      return Printable(data.TextForm());
    case rdBinary:
    case rdDWord:
      return data.TextForm();
    case rdMultiSZ:
      if (std::optional<std::string> whole = MultiStringData(value)) {
        return export_text::MultiStringText(*whole);
      }
      return Printable(data.TextForm());
    case rdDWordBigEndian:
      if (data.IsString() && data.AsString().size() == 4) {
        return BigEndianDwordText(data.AsString());
      }
      break;
    default:
      break;
  }
  if (data.IsString()) return export_text::BytesText(data.AsString());
  return data.TextForm();
}
}  // namespace

void ctlRegistry::m_Registry_ValueEnumerated(const std::shared_ptr<qvrClsValue>& Value) {
  const std::string name = Value->Default() ? export_text::kDefaultName : Value->ValueName();
  // From here on a failing step leaves its field unset and the row stays.
  toolkit::ListItemPtr row;
  // At the end (position 0), without a key.
  Skipping([&] { row = lvValues_.ListItems().Add(0, "", name); });
  if (!row) return;
  Skipping([&] {
    if (listed_picks_.count(FoldCase(name)) != 0) row->Checked(true);
  });
  Skipping([&] {
    const char* icon = IsTextType(Value->DataType()) ? "STRVAL" : "BINVAL";
    row->Icon(icon);
    row->SmallIcon(icon);
  });
  Skipping([&] { row->SubItems(1, Value->TypeWord(false)); });
  Skipping([&] {
    if (Value->Size() == 0) {
      row->SubItems(2, export_text::kValueNotSet);
    } else if (std::optional<std::string> text = DataText(*Value)) {
      row->SubItems(2, *text);
    }
  });
}

void ctlRegistry::lvValues_Click() {
  Skipping([&] {
    if (toolkit::ListItemPtr item = lvValues_.SelectedItem()) m_strSelectedValue = item->Text();
  });
  RaiseSingleClick();
}

void ctlRegistry::lvValues_DblClick() { RaiseDoubleClick(); }

void ctlRegistry::lvValues_ItemClick(const toolkit::ListItemPtr& Item) {
  m_strSelectedValue = Item->Text();
  if (m_SelectionType == MultiSelect) {
    Item->Checked(!Item->Checked());
    lvValues_ItemCheck(Item);
  }
}

void ctlRegistry::lvValues_ItemCheck(const toolkit::ListItemPtr& Item) {
  m_strSelectedValue = Item->Text();
  m_itmChecked = Item;
  Item->Selected(true);
  if (Item->Checked()) {
    AddToCollection();
  } else {
    DeleteFromCollection();
  }
}

void ctlRegistry::lvValues_ColumnClick(toolkit::ColumnHeader& ColumnHeader) {
  const int32_t k = ColumnHeader.Index() - 1;
  if (lvValues_.Sorted() && lvValues_.SortKey() == k) {
    lvValues_.SortOrder(1 - lvValues_.SortOrder());
  } else {
    lvValues_.SortOrder(toolkit::lvwAscending);
    lvValues_.SortKey(k);
  }
  lvValues_.Sorted(true);
}

}  // namespace qvr
