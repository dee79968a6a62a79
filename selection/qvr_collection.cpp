#include "selection/qvr_collection.h"

#include "base/unicode.h"

namespace qvr {
namespace {

// True when the key path `key` is `parent` or lies below it; both are
// case-folded, and an empty `parent` (a hive's root) holds every key.
bool IsAtOrBelow(const std::string& key, const std::string& parent) {
  if (parent.empty()) return true;
  if (key.size() < parent.size() || key.compare(0, parent.size(), parent) != 0) return false;
  return key.size() == parent.size() || key[parent.size()] == '\\';
}

}  // namespace

std::shared_ptr<qvrSelectedData> qvrCollection::Add(std::string_view strKey) {
  auto record_set = std::make_shared<qvrSelectedData>();
  // A path already present leaves the collection as it was.
  File(record_set, strKey);
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

  for (const auto& record_set : *this) {
    if (!record_set || record_set->Count() == 0) continue;
    const auto first = record_set->item(Variant(int32_t{1}));
    if (FoldCase(first->strPropSheetHive) == hive &&
        IsAtOrBelow(FoldCase(first->strPropSheetKey), key)) {
      record_set->Clear();
    }
  }
}

}  // namespace qvr
