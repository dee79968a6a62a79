#include "selection/qvr_selected_data.h"

#include <string>

#include "base/unicode.h"

namespace qvr {

void qvrSelectedData::Clear() {
  KeyedCollection::Clear();
  names_sorted_ = true;
}

std::shared_ptr<qvrData> qvrSelectedData::Add(std::string_view clsid, std::string_view name,
                                              std::string_view descr, std::string_view image,
                                              std::string_view action, std::string_view is_default,
                                              std::string_view hive, std::string_view key,
                                              std::string_view value_name, std::string_view type,
                                              std::string_view value, std::string_view strKey) {
  auto record = std::make_shared<qvrData>(qvrData::Token{});
  record->strRegistryClsID = clsid;
  record->strRegistryName = name;
  record->strRegistryDesc = descr;
  record->strRegistryImage = image;
  record->strPropSheetAct = action;
  record->strPropSheetDefault = is_default;
  record->strPropSheetHive = hive;
  record->strPropSheetKey = key;
  record->strPropSheetName = value_name;
  record->strPropSheetType = type;
  record->strPropSheetValue = value;

  int32_t before = InsertionPoint(strKey);
  // A key already filed leaves the set as it was.
  if (File(record, strKey, before)) NoteInsertedAt(before == 0 ? Count() : before);
  return record;
}

// The first record whose value name sorts after `strKey`; records whose name
// equals it do not stop the search, so equal names keep their filing order.
int32_t qvrSelectedData::InsertionPoint(std::string_view strKey) const {
  const int32_t count = Count();
  auto sorts_after = [&](int32_t position) { return CompareNoCase(NameAt(position), strKey) > 0; };
  if (names_sorted_) {
    int32_t low = 1, high = count + 1;  // the answer lies in [low, high]
    while (low < high) {
      int32_t mid = low + (high - low) / 2;
      if (sorts_after(mid)) {
        high = mid;
      } else {
        low = mid + 1;
      }
    }
    return low > count ? 0 : low;
  }
  for (int32_t position = 1; position <= count; ++position) {
    if (sorts_after(position)) return position;
  }
  return 0;
}

// A record whose value name differs from its key may break the order of
// names; from then on the insertion point is found by a scan.
void qvrSelectedData::NoteInsertedAt(int32_t position) {
  if (!names_sorted_) return;
  const std::string& name = NameAt(position);
  if (position > 1 && CompareNoCase(NameAt(position - 1), name) > 0) {
    names_sorted_ = false;
  } else if (position < Count() && CompareNoCase(name, NameAt(position + 1)) > 0) {
    names_sorted_ = false;
  }
}

const std::string& qvrSelectedData::NameAt(int32_t position) const {
  return members().Item(position)->strPropSheetName;
}

}  // namespace qvr
