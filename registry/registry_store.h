// RegistryStore: where one machine's registry keeps its keys and values.
//
// The registry service reaches its data only through this interface, so a
// test can put a wrapper in between that makes chosen operations fail. Keys
// are addressed by id; id 0 is the parent of the hive roots. Names are kept
// as they were created and compared case-insensitively (FoldCase). Every
// operation returns a registry result code (0 on success).
//
// A store tells "there is none" (2, or 259 past the end of a listing) from
// "could not read": a store whose data are damaged answers 1009 (ERROR_BADDB)
// from the operation that meets the damage, and never passes it off as an
// absent key or value, a deleted key or a refused write.
//
// Not thread-safe unless a store says otherwise: the registry service calls
// its stores behind its own mutex, one call at a time.
#ifndef QVR_REGISTRY_REGISTRY_STORE_H_
#define QVR_REGISTRY_REGISTRY_STORE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "registry/registry_api.h"

namespace qvr {

using KeyId = int64_t;

// How long a write waits for another writer's transaction to end before it
// gives 170 (ERROR_BUSY), in milliseconds: the SQLite busy timeout between
// processes and the registry service's wait between threads. An import of a
// million keys, the largest we expect, holds its transaction about 15 s on a
// two-core machine; four times that leaves room for a slower disk or a busy
// machine, while a writer behind a program that hangs still gets an answer
// within a minute.
inline constexpr int kWriterWaitMs = 60000;

// Where an enumeration stands, so that asking for the next index continues
// from the last item instead of counting from the first again.
struct EnumCursor {
  int64_t index = -1;   // the index last returned, -1 before the first
  std::string fold;     // sub-keys: the folded name at that index
  int64_t row = 0;      // values: the row id at that index
};

// What RegistryStore::Walk reports, key by key, depth first. Both calls run
// on the walking thread, in the middle of the walk: they may read the store
// (or walk another one: a store that splices another in at a key walks it
// from Key), but must not write it or walk it again, nor call the registry
// service, whose lock the walk holds. Each returns 0 to go on, kWalkPrune
// (from Key only) to pass over that key's values and sub-keys, or any other
// code, which ends the walk and is what it returns.
class StoreWalkVisitor {
 public:
  virtual ~StoreWalkVisitor() = default;
  // The key `id`, `depth` levels below the walk's top (the top itself is
  // depth 0 and named ""), with its name as stored. The views live until
  // the call returns.
  virtual LONG Key(int depth, KeyId id, std::string_view name) = 0;
  // A value of the key Key reported last, with its stored type and bytes
  // (text types as UTF-16LE).
  virtual LONG Value(std::string_view name, DWORD type, std::string_view stored) = 0;
};

// From StoreWalkVisitor::Key: skip this key's values and sub-keys. A store
// that splices another one in at a key returns it after walking that other
// store there itself. Not a registry result code: no call returns it.
inline constexpr LONG kWalkPrune = -2;

// What RegQueryInfoKeyA tells of a key. Lengths count UTF-16 units for
// names and the class, bytes for data (as stored: text types as UTF-16LE).
struct KeyInfo {
  std::string class_name;      // "" when the key has none or the store keeps none
  DWORD sub_keys = 0;
  DWORD max_sub_key_len = 0;   // the longest sub-key name
  DWORD max_class_len = 0;     // the longest class name of a sub-key
  DWORD values = 0;
  DWORD max_value_name_len = 0;
  DWORD max_value_len = 0;     // the largest value data
  int64_t last_write = 0;      // a FILETIME (100 ns since 1601, UTC); 0 when unknown
};

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // True when the store refuses writes (every write then gives 5).
  virtual bool ReadOnly() const = 0;

  // The child `name` of `parent`; 2 when there is none.
  virtual LONG FindChild(KeyId parent, std::string_view name, KeyId* child) = 0;
  // Creates the child `name` of `parent` unless it exists; `created` tells.
  virtual LONG CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) = 0;
  // 0 when `key` exists, 2 when it does not (it was deleted).
  virtual LONG FindKey(KeyId key) = 0;
  // Whether `key` has sub-keys, in `*has_children`.
  virtual LONG HasChildren(KeyId key, bool* has_children) = 0;
  // Deletes a key without sub-keys, with its values (5 when it has sub-keys).
  virtual LONG DeleteKey(KeyId key) = 0;

  // Sub-key `index` in case-insensitive name order; 259 past the end.
  virtual LONG EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) = 0;
  // Value `index` in creation order; 259 past the end.
  virtual LONG EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name,
                         DWORD* type, std::string* data) = 0;

  // Reports the key `top` and every key below it to `visitor`, each key with
  // its values in EnumValue's order, then its sub-keys in EnumChild's order,
  // depth first: the order and the bytes that walking the tree with
  // EnumChild, FindChild and EnumValue give. A sub-key that disappears
  // between its listing and its visit is passed over. Returns 0 at the end,
  // the first failure of the store (1009 for damage) or the visitor's first
  // code other than 0 and kWalkPrune; whatever was reported before stays
  // reported. The walk keeps its place on the heap, so any depth is walked,
  // in time that grows with the number of keys and values. This default is
  // built from those calls; a store that can read the tree in one pass
  // overrides it, and must give the same reports.
  virtual LONG Walk(KeyId top, StoreWalkVisitor& visitor);

  // The counts, lengths, class and last-write time of `key`. This default
  // counts through EnumChild and EnumValue and knows no class or time; a
  // store that keeps them, or can count faster, overrides it.
  virtual LONG QueryInfo(KeyId key, KeyInfo* info);
  // Sets the last-write time of `key` (a FILETIME), for data brought in with
  // its times (an import of Wine's files, a restore). A store that keeps no
  // times keeps this default and ignores it.
  virtual LONG SetKeyTime(KeyId key, int64_t last_write) { return ERROR_SUCCESS; }

  // The stored type and bytes of a value; 2 when it is absent.
  virtual LONG GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) = 0;
  // Creates or replaces a value; a replaced value keeps its place in the order.
  virtual LONG SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) = 0;
  virtual LONG DeleteValue(KeyId key, std::string_view name) = 0;

  // A transaction: the writes between Begin and Commit take effect together,
  // and Rollback undoes every one of them. Transactions do not nest. A store
  // that cannot undo writes keeps these defaults and refuses to begin (1), so
  // nobody relies on an all-or-nothing it cannot give.
  virtual LONG BeginTransaction() { return ERROR_INVALID_FUNCTION; }
  virtual LONG CommitTransaction() { return ERROR_INVALID_FUNCTION; }
  virtual LONG RollbackTransaction() { return ERROR_INVALID_FUNCTION; }
};

}  // namespace qvr

#endif  // QVR_REGISTRY_REGISTRY_STORE_H_
