// Selection bookkeeping: one record per ticked row, filed under the display
// path of the key the list shows.
#include <exception>

#include "control/ctl_registry.h"
#include "control/export_text.h"
#include "automation/automation_error.h"
#include "base/unicode.h"
#include "selection/internal/selection_access.h"

namespace qvr {
namespace {
// The title of a message box that names none.
constexpr const char* kDefaultMessageTitle = "qvrRegistryBrowser";
}  // namespace

void ctlRegistry::AddToCollection() {
  try {
    const export_text::DisplayPath parts = export_text::SplitDisplayPath(m_strSelectedPath);
    const std::string name = parts.key.empty() ? parts.hive : export_text::KeyName(parts.key);
    const std::string is_default =
        EqualsNoCase(m_strSelectedValue, export_text::kDefaultName) ? "1" : "0";
    const std::string type_word = m_itmChecked->SubItems(1);
    const std::string image = export_text::ImageNumberFor(type_word);
    std::string value = m_itmChecked->SubItems(2);
    if (EqualsNoCase(value, export_text::kValueNotSet)) value.clear();

    std::shared_ptr<qvrSelectedData> records = m_colSelection->item(Variant(m_strSelectedPath));
    if (!records) {
      records = selection_internal::SelectionAccess::Add(*m_colSelection, m_strSelectedPath);
    }
    // A value filed already stays as it was.
    selection_internal::SelectionAccess::Add(
        *records, export_text::kItemClsid, name, export_text::kItemDescription, image,
        export_text::kAction, is_default, parts.hive, parts.key, m_strSelectedValue, type_word,
        value, m_strSelectedValue);
    if (records->Count() >= 1) ChangeImage(1, nullptr);
  } catch (const std::exception&) {
    ShowUncaught("AddToCollection");
  }
}

void ctlRegistry::DeleteFromCollection() {
  try {
    std::shared_ptr<qvrSelectedData> records = m_colSelection->item(Variant(m_strSelectedPath));
    // A row whose record is gone already (an export empties the selection)
    // has nothing to remove; only the marks may no longer hold.
    if (records && records->item(Variant(m_strSelectedValue))) {
      records->Remove(Variant(m_strSelectedValue));
    }
    if ((!records || records->Count() == 0) && (m_nodValuesShown || m_nodSelected)) {
      ChangeImage(0, nullptr);
    }
  } catch (const AutomationError& e) {
    ShowUncaught("DeleteFromCollection");
    messages_.MsgBox(e.Description(), toolkit::vbOKOnly, kDefaultMessageTitle);
  } catch (const std::exception& e) {
    ShowUncaught("DeleteFromCollection");
    messages_.MsgBox(e.what(), toolkit::vbOKOnly, kDefaultMessageTitle);
  }
}

}  // namespace qvr
