#include "selection/qvr_collection.h"

#include <vector>

#include "automation/automation_error.h"
#include "base/unicode.h"

namespace qvr {
namespace {

constexpr char kErrorSource[] = "qvrRegistryBrowser.qvrCollection";

// True when the key path `key` is `parent` or lies below it; both are
// case-folded, and an empty `parent` (a hive's root) holds every key.
bool IsAtOrBelow(const std::string& key, const std::string& parent) {
  if (parent.empty()) return true;
  if (key.size() < parent.size() || key.compare(0, parent.size(), parent) != 0) return false;
  return key.size() == parent.size() || key[parent.size()] == '\\';
}

}  // namespace

qvrCollection::qvrCollection() { record_sets_.SetErrorSource(kErrorSource); }

void qvrCollection::Clear() {
  RecordSets fresh;
  fresh.SetErrorSource(kErrorSource);
  record_sets_ = std::move(fresh);
}

std::shared_ptr<MemberEnumerator<qvrSelectedData>> qvrCollection::NewEnum() const {
  return std::make_shared<MemberEnumerator<qvrSelectedData>>(
      std::vector<std::shared_ptr<qvrSelectedData>>(record_sets_.begin(), record_sets_.end()));
}

std::shared_ptr<qvrSelectedData> qvrCollection::item(const Variant& vntIndexKey) const {
  try {
    return record_sets_.Item(vntIndexKey);
  } catch (const AutomationError&) {
    return nullptr;
  }
}

std::shared_ptr<qvrSelectedData> qvrCollection::Add(std::string_view strKey) {
  auto record_set = std::make_shared<qvrSelectedData>();
  try {
    record_sets_.Add(record_set, strKey);
  } catch (const AutomationError&) {
    // The path is already present: the collection stays as it was.
  }
  return record_set;
}

void qvrCollection::ClearChildren(const std::string& strParentName) {
  std::string_view hive_part = strParentName;
  std::string_view key_part;
  if (size_t slash = strParentName.find('\\'); slash != std::string::npos) {
    hive_part = std::string_view(strParentName).substr(0, slash);
    key_part = std::string_view(strParentName).substr(slash + 1);
  }
  // "HKEY_USERS\.DEFAULT\" names the same key as "HKEY_USERS\.DEFAULT".
  while (!key_part.empty() && key_part.back() == '\\') key_part.remove_suffix(1);
  const std::string hive = FoldCase(hive_part);
  const std::string key = FoldCase(key_part);

  for (const auto& record_set : record_sets_) {
    if (!record_set || record_set->Count() == 0) continue;
    const auto first = record_set->item(Variant(int32_t{1}));
    if (FoldCase(first->strPropSheetHive) == hive &&
        IsAtOrBelow(FoldCase(first->strPropSheetKey), key)) {
      record_set->Clear();
    }
  }
}

}  // namespace qvr
