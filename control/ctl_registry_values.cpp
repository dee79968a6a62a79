// The value list: one row per value of the key clicked last, and the list's
// own events.
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
    } else if (std::optional<std::string> text = Value->Value().TextForm()) {
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
