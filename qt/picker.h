// Picker: picks keys and values in a ctlRegistry the way a person does it,
// through the toolkit widgets' actions: it opens the key's node level by
// level (UserExpand), clicks it (UserClick) so its values are listed, and
// then, in multiple selection, ticks the key's node or the value's row
// (UserCheck); in single selection it clicks the value's row
// (UserClickItem).
//
// Paths name a hive in full or short (HKEY_LOCAL_MACHINE, HKLM, HKCU, HKCR,
// HKU, HKCC) and the keys below it; names compare without regard to case.
// A value named "" is the key's default value, listed as "(default)".
#ifndef QVR_QT_PICKER_H_
#define QVR_QT_PICKER_H_

#include <string>
#include <vector>

#include "control/ctl_registry.h"

namespace qvr::view {

// The names of a key path ("HKLM\\A\\B"), empty parts dropped.
std::vector<std::string> SplitKeyPath(const std::string& path);

// Opens `parts` (a hive's full name, then keys) level by level below the
// tree's computer node, as a person's expanding does; names compare without
// regard to case. Returns the deepest node reached (the computer node when
// not even the hive is there), and in `*opened` how many parts were found;
// null when the tree is empty. Clicks nothing.
toolkit::NodePtr OpenPath(toolkit::TreeView& tree, const std::vector<std::string>& parts,
                          size_t* opened);

class Picker {
 public:
  explicit Picker(ctlRegistry& control) : control_(control) {}

  // Opens and clicks the key's node. Returns it, or null with `error` set.
  toolkit::NodePtr OpenKey(const std::string& path, std::string* error);
  // Picks the key (no value) or one of its values.
  bool PickKey(const std::string& path, std::string* error);
  bool PickValue(const std::string& path, const std::string& value, std::string* error);

  // The full hive name of a full or short hive name, "" when it is none.
  static std::string HiveName(const std::string& name);

 private:
  bool Multiple() const { return control_.SelectionType() == MultiSelect; }

  ctlRegistry& control_;
};

}  // namespace qvr::view

#endif  // QVR_QT_PICKER_H_
