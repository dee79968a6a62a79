// The key scheme of the browser's tree nodes.
//
//   "ROOTKEY"                          the computer
//   "_&H80000002"                      a hive: "_&H" and its predefined handle
//                                      in upper-case hexadecimal
//   "_&H80000002\SOFTWARE\CLASSES"     a key: the hive's key, "\" and the
//                                      sub-key path, all upper case
//   "DUMMY" + a node's key             the placeholder child of a node whose
//                                      sub-keys are not listed yet
//
// The hive part is always the predefined handle, also on another machine.
#ifndef QVR_CONTROL_NODE_KEYS_H_
#define QVR_CONTROL_NODE_KEYS_H_

#include <string>
#include <string_view>

#include "registry/registry_api.h"

namespace qvr::node_keys {

inline constexpr const char* kRootKey = "ROOTKEY";
inline constexpr const char* kPlaceholderPrefix = "DUMMY";

// "_&H" and the handle in upper-case hexadecimal without leading zeros.
std::string HiveKey(HKEY hive);
// The key of a key node: the upper case of HiveKey(hive) + "\" + sub_key_path.
std::string KeyNodeKey(HKEY hive, std::string_view sub_key_path);
std::string PlaceholderKey(std::string_view node_key);

// The hive handle a node key starts with: the text from its second character
// to its first "\" read as an "&H" hexadecimal number; 0 when that is not a
// number (the computer's key, a placeholder's key).
HKEY HiveOf(std::string_view node_key);

}  // namespace qvr::node_keys

#endif  // QVR_CONTROL_NODE_KEYS_H_
