// HiveStore: the registry store interface over one Windows hive file, read
// and edited through Debian's hivex library.
//
// The store's own key ids name keys by their path from the hive's root
// (Root()), not by where a key sits in the file, so they stay true when
// another process rewrites the file: before each call the store looks at the
// file, and when it has been replaced since it was read, reads it again and
// finds each key anew by its path (a key that is gone then answers 2). Id 0
// is the parent of the root and has no other child.
//
// Writes are durable when they return 0. Each write, or each transaction,
// holds an exclusive lock on a lock file beside the hive ("FILE.lock"; the
// hive itself cannot carry the lock, since every commit replaces its inode),
// reads the hive again if another process changed it, applies the change in
// memory, has hivex write the whole hive to a temporary file in the same
// folder, syncs it, renames it over the hive and syncs the folder. A failed
// write or a rolled-back transaction reads the file again, so nothing of it
// stays in memory either. A killed writer leaves the old hive or the new one,
// and at most a temporary file ("FILE.new-PID-XXXXXX"), removed at the next
// open once that process is gone.
//
// Files are checked before hivex sees them (regf_check.h): a file that is not
// a hive gives 1017, a damaged or truncated one 1015, and the store does not
// open. A hive opens read-only, and ReadOnlyReason() says why, when the
// process cannot write it or its folder, or when its header says it is dirty
// (changes wait in its .LOG1/.LOG2 files, which hivex cannot replay).
//
// hivex's limits hold here (Debian's build): a key of more than 70,000
// sub-keys or 110,000 values cannot be listed, a value over 8,000,000 bytes
// cannot be read, and nothing over 1,000,000 bytes can be written. A call
// past them gives 1450 (ERROR_NO_SYSTEM_RESOURCES) and changes nothing.
// Damage met after opening gives 1009.
//
// Not thread-safe: the registry service calls a store behind its mutex.
#ifndef QVR_REGISTRY_HIVE_STORE_H_
#define QVR_REGISTRY_HIVE_STORE_H_

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "registry/registry_store.h"
#include "registry/status.h"

struct hive_h;

namespace qvr {

// hivex's limits on a mounted hive (see above).
inline constexpr size_t kHiveMaxSubKeys = 70000;
inline constexpr size_t kHiveMaxValues = 110000;
inline constexpr size_t kHiveMaxReadData = 8000000;
inline constexpr size_t kHiveMaxWriteData = 1000000 - 8;  // the cell's own header and padding

class HiveStore : public RegistryStore {
 public:
  // Opens the hive file `path` into `*store`: writable unless `read_only`,
  // the process cannot write it, or it is dirty. A path that is not a
  // regular file (a folder, a device) is refused (5), as is a file that is
  // not a hive (1017) or is damaged (1015); a missing file gives 2.
  static Status Open(const std::string& path, bool read_only, std::unique_ptr<HiveStore>* store);
  ~HiveStore() override;

  // The hive's root key.
  static constexpr KeyId kRoot = 1;
  const std::string& path() const { return path_; }
  // Why the store is read-only, empty when it is not.
  const std::string& ReadOnlyReason() const { return read_only_reason_; }

  bool ReadOnly() const override { return !read_only_reason_.empty(); }
  LONG FindChild(KeyId parent, std::string_view name, KeyId* child) override;
  LONG CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) override;
  LONG FindKey(KeyId key) override;
  LONG HasChildren(KeyId key, bool* has_children) override;
  LONG DeleteKey(KeyId key) override;
  LONG EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) override;
  LONG EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name, DWORD* type,
                 std::string* data) override;
  LONG GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) override;
  LONG SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) override;
  LONG DeleteValue(KeyId key, std::string_view name) override;
  LONG BeginTransaction() override;
  LONG CommitTransaction() override;
  LONG RollbackTransaction() override;
  // The calls' walk, with the file looked at once at the start rather than
  // at every call: a walk reads one version of the hive.
  LONG Walk(KeyId top, StoreWalkVisitor& visitor) override;
  // Times are the key cells' (written by every write that changes a key, as
  // Windows keeps them); class names are read from the key cells too.
  LONG QueryInfo(KeyId key, KeyInfo* info) override;
  LONG SetKeyTime(KeyId key, int64_t last_write) override;

 private:
  // A key the store has given an id: its parent's id and its name, and where
  // it was found in the file read as `generation`.
  struct Node {
    KeyId parent = 0;
    std::string name;
    std::string fold;
    size_t offset = 0;
    uint64_t generation = 0;
  };
  // A value as a transaction left it, before it reaches the hive.
  struct PendingValue {
    std::string name;
    std::string fold;
    DWORD type;
    std::string data;
  };
  // A sub-key of a key, for look-ups and listings in name order.
  struct Child {
    std::string fold;
    std::string name;
    size_t offset;
  };
  // Identifies the file read last, to tell when another process replaced it.
  struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    int64_t mtime_ns = 0;
    bool operator==(const FileStamp&) const = default;
  };

  explicit HiveStore(std::string path) : path_(std::move(path)) {}

  // Reads the file (checked first) into a new hivex handle; the status of
  // the file's check or of hivex.
  Status Load();
  // Reads the file again if it was replaced since it was read (not while a
  // write holds the lock: the file cannot change then).
  LONG Refresh();
  // Where `key` is in the file now; 2 when it is gone.
  LONG Locate(KeyId key, size_t* offset);
  // Where `key` is, with the file looked at first, and its sorted sub-keys.
  LONG ChildrenOf(KeyId key, size_t* offset, const std::vector<Child>** children);
  // The sorted sub-keys of the key at `offset`.
  LONG Children(size_t offset, const std::vector<Child>** children);
  // The id for the sub-key `name` of `parent` (made on first use).
  KeyId IdFor(KeyId parent, const std::string& name, size_t offset);
  // The values of the key at `offset`, in their order.
  LONG Values(size_t offset, const std::vector<size_t>** values);
  // The values of `key` as this write will leave them, for a change.
  LONG PendingValues(KeyId key, std::vector<PendingValue>** values);
  // Gives the hive the value lists this write changed.
  LONG FlushValues();

  // A write: `change` runs on the in-memory hive with the lock held and the
  // file fresh; then the hive is committed, unless a transaction runs. A
  // change's value edits gather in `pending_` and reach hivex once per key
  // at the end, since hivex rewrites a key's whole value list for each.
  template <class Change>
  LONG Write(Change&& change);
  // Takes the lock file's lock and reads the file again if it changed.
  LONG Lock();
  void Unlock();
  // Writes the in-memory hive over the file, durably.
  LONG Commit();
  // Forgets the in-memory changes by reading the file again.
  void Discard();
  // The time now, as a FILETIME.
  static int64_t Now();
  // Marks `key` as changed now, for its time to be written at the commit.
  void Touch(KeyId key);
  // Writes the times of the keys this write changed into the committed file
  // `temp`; false when it cannot.
  bool WriteTimes(const std::string& temp);
  // `length` bytes of the file read last, from `offset`; fewer past its end.
  std::string ReadCell(size_t offset, size_t length);
  // The class name (UTF-16LE bytes) of the key cell at `offset`.
  std::string ClassOf(size_t offset);
  // The code for the hivex failure in errno.
  static LONG Failure();

  std::string path_;
  std::string read_only_reason_;
  ::hive_h* hive_ = nullptr;
  int file_fd_ = -1;  // the file `hive_` was read from
  FileStamp stamp_;
  uint64_t generation_ = 1;
  int lock_fd_ = -1;
  bool held_ = false;     // the lock file's lock is ours
  bool walking_ = false;  // a walk runs: the file was looked at when it began
  bool in_transaction_ = false;
  // The failure of a hivex edit in this transaction, which may have left it
  // half made: the transaction then cannot commit.
  LONG broken_ = ERROR_SUCCESS;
  std::map<KeyId, std::vector<PendingValue>> pending_;
  std::map<KeyId, int64_t> touched_;  // new times of this write, by key
  std::map<size_t, int64_t> times_;   // times written since the file was read, by key offset
  std::vector<Node> nodes_;                        // by id; 0 and 1 are the root's parent and the root
  std::map<std::pair<KeyId, std::string>, KeyId> ids_;  // by parent and folded name
  std::map<size_t, std::vector<Child>> children_;  // by key offset, for this generation
  std::map<size_t, std::vector<size_t>> values_;   // likewise
};

}  // namespace qvr

#endif  // QVR_REGISTRY_HIVE_STORE_H_
