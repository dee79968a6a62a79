// A key, or a key with everything below it, read into memory with its values
// exactly as the store keeps them: what copy writes and compare compares.
//
// Reading the whole source before writing lets copy run its writes as one
// transaction on the target (another machine, maybe) and lets compare
// switch between two machines through one session.
//
//   std::vector<StoredKey> tree;
//   LONG rc = ReadStoredTree(key, /*recursive=*/true, &tree);
//   tree[0].path == ""   // the key itself; then its sub-keys, depth first
#ifndef QVR_TOOLS_QVR_REG_STORED_TREE_H_
#define QVR_TOOLS_QVR_REG_STORED_TREE_H_

#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_api.h"

namespace qvr::reg_tool {

struct StoredValue {
  std::string name;  // "" for the default value
  DWORD type = REG_NONE;
  std::string stored;  // as stored: text types as UTF-16LE
};

struct StoredKey {
  std::string path;                 // below the key read, "A\B"; "" for that key itself
  std::vector<StoredValue> values;  // in the key's value order
};

// Reads `key` (a handle of the registry service) and, when `recursive`,
// every key below it, depth first in name order. Returns 0 or the
// service's code (6 for a bad handle, 1009 for a damaged store).
LONG ReadStoredTree(HKEY key, bool recursive, std::vector<StoredKey>* keys);

// The data of a stored value as output shows it (see DataText).
std::string StoredDataText(const StoredValue& value);

// The bytes RegSetValueExA would be given for a stored value (text types
// back to UTF-8), for the A-style calls.
std::string StoredAsUtf8(DWORD type, std::string_view stored);

}  // namespace qvr::reg_tool

#endif  // QVR_TOOLS_QVR_REG_STORED_TREE_H_
