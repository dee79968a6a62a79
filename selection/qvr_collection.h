// qvrCollection: the whole selection, one record set per key.
//
// Holds qvrSelectedData record sets keyed by the display path of their key
// (the hive name, then "\" and the sub-key path when there is one), in the
// order they were added. Paths are unique in any letter case. A record set
// that becomes empty stays in the collection under its path. The collection
// owns its record sets.
//
// Only the library adds record sets (see selection/internal/selection_access.h);
// hosts create, read and empty the collection.
//
//   if (auto set = selection->item("HKEY_CURRENT_USER\\Software\\Acme"))
//     std::cout << set->Count() << " values picked\n";
//
// Count, item, Remove, Clear and NewEnum are the keyed collection's
// (automation/keyed_collection.h). item never fails: it gives nullptr for an
// index that names no record set. Remove raises the list's errors as
// AutomationError with the source "qvrRegistryBrowser.qvrCollection": 5 for a
// path that is not present, 9 for a position out of range, 13 for an index
// that is neither a number nor a text.
#ifndef QVR_SELECTION_QVR_COLLECTION_H_
#define QVR_SELECTION_QVR_COLLECTION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/keyed_collection.h"
#include "selection/qvr_selected_data.h"

namespace qvr {

class qvrCollection : public KeyedCollection<qvrSelectedData, MissingMember::kNothing> {
 public:
  using RecordSets = Members;

  qvrCollection() : KeyedCollection("qvrRegistryBrowser.qvrCollection") {}

  // Empties (does not remove) the record sets of the key `strParentName`
  // names and of every key below it; a bare hive name empties every record
  // set of that hive. Paths compare without regard to case. A record set is
  // placed by the hive and key of its first record. (Last member of the
  // automation interface, after Count, Remove, Clear, NewEnum and item.)
  void ClearChildren(const std::string& strParentName);

 private:
  friend class selection_internal::SelectionAccess;

  // Appends a new, empty record set under the display path `strKey` and
  // returns it; when the path is taken the new set is returned unfiled.
  std::shared_ptr<qvrSelectedData> Add(std::string_view strKey);
};

}  // namespace qvr

#endif  // QVR_SELECTION_QVR_COLLECTION_H_
