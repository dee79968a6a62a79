// qvrData: one selection record, the description of one value the user
// picked, as eleven texts.
//
// Records are made only by a record set (qvrSelectedData) when the control
// files a picked value; hosts cannot create them. They have no behaviour:
// the fields are plain, readable and writable texts, listed here in the order
// of the automation interface.
//
//   for (const auto& record : *record_set)
//     std::cout << record->strPropSheetName << " = " << record->strPropSheetValue << '\n';
#ifndef QVR_SELECTION_QVR_DATA_H_
#define QVR_SELECTION_QVR_DATA_H_

#include <string>

#include "automation/variant.h"

namespace qvr {

class qvrSelectedData;

class qvrData : public Object {
  struct Token {
    explicit Token() = default;
  };
  friend class qvrSelectedData;

 public:
  explicit qvrData(Token) {}
  qvrData(const qvrData&) = delete;
  qvrData& operator=(const qvrData&) = delete;

  // The item class id of a registry item of the generated document.
  std::string strRegistryClsID;
  // The key's own name: the last element of its display path, or the hive
  // name for a hive's root.
  std::string strRegistryName;
  // The description of the generated item.
  std::string strRegistryDesc;
  // The number of the item's image ("7", "12", "17" or "2", by type).
  std::string strRegistryImage;
  // The action of the generated item ("U").
  std::string strPropSheetAct;
  // "1" for the key's default (unnamed) value, else "0".
  std::string strPropSheetDefault;
  // The hive part of the key's display path.
  std::string strPropSheetHive;
  // The sub-key path of the key's display path ("" for a hive's root).
  std::string strPropSheetKey;
  // The value name as the value list shows it: "(default)" for the unnamed
  // value, "(default)*" for a value literally named "(default)". Records of a
  // set are ordered and found by it.
  std::string strPropSheetName;
  // The type word, for example "REG_SZ".
  std::string strPropSheetType;
  // The data text as the value list shows it; "" for a value not set.
  std::string strPropSheetValue;
};

}  // namespace qvr

#endif  // QVR_SELECTION_QVR_DATA_H_
