// Moving whole trees between a registry store and a hive: what save and
// restore do, at the level of the store interface (the registry service
// calls these with the store's lock held).
#ifndef QVR_REGISTRY_HIVE_TRANSFER_H_
#define QVR_REGISTRY_HIVE_TRANSFER_H_

#include <string>

#include "registry/regf_writer.h"
#include "registry/registry_store.h"
#include "registry/status.h"

namespace qvr {

// The key `key` of `store` and everything below it, into `*tree` (its name
// is left to the caller).
LONG ReadTree(RegistryStore& store, KeyId key, HiveKey* tree);

// Deletes the values and sub-keys of `key`, then copies the values and
// sub-keys of `from_key` of `from` below it. `depth` is the level of `key`
// below its hive: a copy that would reach deeper than kMaxKeyDepth gives 87
// before anything is deleted. Run it in a transaction: on failure it stops
// half way.
LONG ReplaceTree(RegistryStore& store, KeyId key, int depth, RegistryStore& from, KeyId from_key);

// Writes `image` as the file `path`: under a temporary name beside it,
// synced, renamed over it, the folder synced. 183 when a file exists and
// `replace` is false; 5 when `path` is not a regular file or cannot be
// written; 112 on a full disk.
Status WriteFileAtomically(const std::string& path, const std::string& image, bool replace);

}  // namespace qvr

#endif  // QVR_REGISTRY_HIVE_TRANSFER_H_
