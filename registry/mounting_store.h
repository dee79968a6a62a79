// MountingStore: a machine's SQLite store with hive files mounted at keys
// directly below its HKEY_LOCAL_MACHINE and HKEY_USERS, as reg.exe's load
// mounts them on Windows.
//
// A mount is a key of the SQLite store, made when the hive is loaded, and a
// record of the file in the same store (SqliteStore::MountRecord), so every
// process using the store sees it until it is unloaded. Reads and writes at
// and below the mount's key go to the hive (HiveStore); the key itself shows
// the hive's root. Each process opens the hive files itself; the records are
// read again whenever another process changed the store.
//
// Ids: keys of the SQLite store keep their ids (below 2^40); keys of a hive
// carry the number this process gave its mount in the bits above, so a key
// id says which store holds it (MountOf). An id of a hive unloaded since
// answers 2, as a deleted key does.
//
// A transaction may write one store only: the SQLite store or one hive. A
// write to a second one fails with 17 (ERROR_NOT_SAME_DEVICE) and makes the
// whole transaction fail at commit, so nothing of it takes effect.
//
// Not thread-safe: the registry service calls a store behind its mutex.
#ifndef QVR_REGISTRY_MOUNTING_STORE_H_
#define QVR_REGISTRY_MOUNTING_STORE_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "registry/hive_store.h"
#include "registry/registry_store.h"
#include "registry/sqlite_store.h"
#include "registry/status.h"

namespace qvr {

class MountingStore : public RegistryStore {
 public:
  explicit MountingStore(std::unique_ptr<SqliteStore> base);
  ~MountingStore() override;

  // Mounts the hive `file` as the new key `name` below `parent` (the root of
  // HKLM or HKU; the caller checks that), and gives the id of its root.
  // Fails, changing nothing, when the file cannot be opened as a hive (see
  // HiveStore::Open), the key exists (183) or the store cannot be written.
  // A hive that can only be read is mounted read-only; `*note` then says why.
  Status Mount(KeyId parent, std::string_view name, const std::string& file, KeyId* root,
               std::string* note);
  // The mount shown as the key `name` of `parent`, without opening its hive
  // (a hive that cannot be opened must still be unloadable): 2 when there is
  // no such key, 87 when it is not a mount.
  LONG FindMount(KeyId parent, std::string_view name, int64_t* mount);
  // Ends the mount `mount`: its key goes, the file stays.
  Status Unmount(int64_t mount);

  // The mount that holds `key` (0 for the SQLite store's own keys).
  static int64_t MountOf(KeyId key) { return key >> kMountShift; }
  // The hive file of the mount `mount`, "" when there is none.
  std::string MountFile(int64_t mount) const;

  bool ReadOnly() const override { return base_->ReadOnly(); }
  LONG FindChild(KeyId parent, std::string_view name, KeyId* child) override;
  LONG CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) override;
  LONG FindKey(KeyId key) override;
  LONG HasChildren(KeyId key, bool* has_children) override;
  LONG DeleteKey(KeyId key) override;
  LONG EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) override;
  LONG EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name, DWORD* type,
                 std::string* data) override;
  // The SQLite store's one-pass walk, with each mounted hive's own walk
  // spliced in at its key: the reports the calls give key by key, in fewer
  // reads.
  LONG Walk(KeyId top, StoreWalkVisitor& visitor) override;
  LONG GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) override;
  LONG SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) override;
  LONG DeleteValue(KeyId key, std::string_view name) override;
  LONG QueryInfo(KeyId key, KeyInfo* info) override;
  LONG SetKeyTime(KeyId key, int64_t last_write) override;
  LONG BeginTransaction() override;
  LONG CommitTransaction() override;
  LONG RollbackTransaction() override;

 private:
  static constexpr int kMountShift = 40;
  static constexpr KeyId kLocalMask = (KeyId{1} << kMountShift) - 1;

  struct Mounted {
    KeyId key = 0;     // the SQLite store's key it shows as
    std::string file;
    std::unique_ptr<HiveStore> hive;  // null until first used, or when it could not be opened
    LONG failure = ERROR_SUCCESS;     // why, then
  };

  class Splice;

  // Opens the mount's hive unless it is open or failed; its failure.
  LONG OpenHive(Mounted& mount);
  // Reads the mount records again when another process changed the store.
  LONG RefreshMounts();
  // The store that holds `key` and the key's id there; 2 for an unloaded hive.
  LONG Route(KeyId key, RegistryStore** store, KeyId* local);
  // Route, for a write: joins the store to a running transaction, or fails
  // when the transaction already writes another store.
  LONG RouteWrite(KeyId key, RegistryStore** store, KeyId* local);
  // True for the root of HKLM or HKU in the SQLite store.
  bool IsHiveRoot(KeyId key);
  // The id of the SQLite key `key` as callers see it: a mount's key shows its
  // hive's root.
  LONG Translate(KeyId key, KeyId* shown);

  std::unique_ptr<SqliteStore> base_;
  std::map<int64_t, Mounted> mounts_;        // by mount number
  std::map<KeyId, int64_t> mount_at_;      // mount number by the SQLite key
  int64_t next_mount_ = 1;
  KeyId roots_[2] = {0, 0};  // HKLM's and HKU's, once found
  int64_t data_version_ = -1;
  // The transaction: whether one runs, the store it writes (-1 none yet),
  // and the failure that dooms it.
  bool in_transaction_ = false;
  int64_t writing_ = -1;
  LONG doomed_ = ERROR_SUCCESS;
};

}  // namespace qvr

#endif  // QVR_REGISTRY_MOUNTING_STORE_H_
