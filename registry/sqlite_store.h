// SqliteStore: a machine's registry in one SQLite database file.
//
// The file uses a write-ahead log with full synchronisation, so a write that
// returned 0 survives the writing process being killed and the machine losing
// power; several processes may use one file at once (each write is one
// transaction, and a busy database is waited for). Each connection that may
// write keeps the side files SQLite makes in WAL mode (`-wal`, emptied when
// the last connection closes, and the 32 KiB `-shm` index) beside the file,
// with the file's permission bits: a later connection needs no new disk space
// to read, and a user who may only read the file reads through them.
//
// A store this process cannot write (no write permission, no write
// permission bit, side files it can neither write nor create) opens
// read-only: every write gives 5. If nobody can write it (a read-only mount,
// an immutable file, or an immutable folder without the side files) and its
// log holds no changes, SQLite reads it as immutable, without side files.
// Otherwise another process may be writing it, so it is read through the
// existing side files, which must then be readable (or creatable).
//
// On a full disk a store that cannot be given its `-shm` index opens for
// reading only: reads work, every write gives 112.
//
// Each key has a last-write time (a FILETIME, see key_time.h) that moves as
// Windows moves it: setting or deleting one of the key's values sets it to
// now, and so does creating or deleting one of its direct sub-keys (the
// parent's time; a new key starts at the time it was made). Reads and
// changes further down leave it alone. A key may also have a class name.
//
// The file names its format in qvr_meta. Format 2 keeps the times and class
// names; format 1, written before times were kept, has neither. A format-1
// store opened for writing is upgraded to format 2 in one transaction, its
// keys given the time of the upgrade: a process killed meanwhile leaves it
// whole in format 1, and the next opening upgrades it. A format-1 store
// opened for reading only, or whose upgrade failed (busy past
// kWriterWaitMs, a full disk), is used as it is, its times unknown (0), and
// the next opening for writing tries again. Programs that read format 1 only
// refuse a format-2 store as "not a registry store" (1009); a program that
// already had the store open when it was upgraded goes on writing without
// moving times. A store of a later format is refused (1009), saying so.
//
// Not thread-safe: the registry service calls a store behind its mutex.
#ifndef QVR_REGISTRY_SQLITE_STORE_H_
#define QVR_REGISTRY_SQLITE_STORE_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "registry/registry_store.h"
#include "registry/status.h"

struct sqlite3;
struct sqlite3_stmt;

namespace qvr {

class SqliteStore : public RegistryStore {
 public:
  // Fills a new store before anyone else can see it (RegistryService::Seed);
  // its failure abandons the new store.
  using Filler = std::function<Status(RegistryStore&)>;

  // Opens the store at `path` into `*store`. Only where no file exists and
  // `create` is set is a new store made, all or nothing (store_file.h): built
  // under a temporary name beside `path` with mode 0600, given the schema and
  // `fill`, closed and linked into place; when another process linked its
  // store first, that one is opened. With `create`, temporary files left by
  // processes that are gone are removed first. Whatever else is at `path` and
  // is not a registry store (a folder, a device, a FIFO, an empty file,
  // another program's database) is refused untouched (1009). Fails when the
  // file is missing and not to be created (2); cannot be created (5, or 112
  // on a full disk, or `fill`'s code); is to be read only and a side file it
  // must be read through cannot be read or made (5, the message names the
  // file and the reason); cannot be read (the code of the failure, e.g. 112);
  // or is not a registry store (1009). `*store` is then left alone.
  static Status Open(const std::string& path, bool create, std::unique_ptr<SqliteStore>* store,
                     const Filler& fill = Filler());
  // An empty store in memory, gone when the object ends (for data loaded
  // from elsewhere, such as another program's registry files).
  static Status OpenInMemory(std::unique_ptr<SqliteStore>* store);
  ~SqliteStore() override;

  // From now on every write gives 5 (a store filled once, then only read).
  void MakeReadOnly() { read_only_ = true; }

  // Hive files mounted at keys of this store (see MountingStore), kept here
  // so that every process using the store sees the same mounts.
  struct MountRecord {
    KeyId key;         // the key the hive's root shows as
    std::string file;  // the hive file, an absolute path
  };
  LONG ListMounts(std::vector<MountRecord>* mounts);
  LONG AddMount(KeyId key, const std::string& file);
  LONG RemoveMount(KeyId key);
  // A number that changes whenever another connection commits a change.
  int64_t DataVersion();
  // Sets the class name of `key` (2 when there is no such key); a format-1
  // store keeps none and ignores it. The key's time does not move.
  LONG SetKeyClass(KeyId key, std::string_view class_name);
  // The format the file is in (1 or 2, see above).
  int Format() const { return keeps_times_ ? 2 : 1; }

  bool ReadOnly() const override { return read_only_; }
  LONG FindChild(KeyId parent, std::string_view name, KeyId* child) override;
  LONG CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) override;
  LONG FindKey(KeyId key) override;
  LONG HasChildren(KeyId key, bool* has_children) override;
  LONG DeleteKey(KeyId key) override;
  LONG EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) override;
  LONG EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name, DWORD* type,
                 std::string* data) override;
  // One read of the tree (a single statement lists every key below `top`
  // depth first, in EnumChild's order), so the walk sees one state of the
  // store, whatever other processes write meanwhile.
  LONG Walk(KeyId top, StoreWalkVisitor& visitor) override;
  // Counted by SQL, in one read of the store; a format-1 store gives no
  // class names and a time of 0.
  LONG QueryInfo(KeyId key, KeyInfo* info) override;
  // 2 when there is no such key; a format-1 store ignores it.
  LONG SetKeyTime(KeyId key, int64_t last_write) override;
  LONG GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) override;
  LONG SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) override;
  LONG DeleteValue(KeyId key, std::string_view name) override;
  LONG BeginTransaction() override;
  LONG CommitTransaction() override;
  LONG RollbackTransaction() override;

 private:
  SqliteStore(sqlite3* db, bool read_only) : db_(db), read_only_(read_only) {}
  // Opens the SQLite URI `uri` with `flags` (SQLITE_OPEN_READONLY or
  // SQLITE_OPEN_READWRITE) and makes a store of it.
  static Status OpenUri(const std::string& uri, int flags, bool read_only,
                        std::unique_ptr<SqliteStore>* store);
  // Makes a store of the open connection `db`, which it then owns; `fresh`
  // for a database being made (it is given the schema) rather than opened.
  static Status Adopt(sqlite3* db, bool read_only, std::unique_ptr<SqliteStore>* store,
                      bool fresh = false);
  // Makes the empty file `temp`, which nobody else opens, a store: the
  // schema, then `fill`. Closed again when it returns.
  static Status Build(const std::string& temp, const Filler& fill);
  // Checks the database; a `fresh` one is given the schema, any other
  // without it is refused. A format-1 store opened for writing is upgraded.
  Status Prepare(bool fresh);
  // The store's format (1 or 2) from its marker and columns; 0 when the
  // database is no registry store, with `*why` set when it is one of a later
  // format.
  int ReadFormat(std::string* why);
  // Upgrades a format-1 store to format 2 in one transaction; true when the
  // store is in format 2 afterwards (another process may have upgraded it).
  bool Upgrade();
  // Runs `body` (which returns a registry code) inside a transaction: the
  // caller's when one is open, else its own, committed when `body` gives 0
  // and rolled back otherwise.
  template <class Body>
  LONG Atomically(Body body);
  // Sets the time of `key` to `now` (a format-1 store keeps none).
  LONG Touch(KeyId key, int64_t now);
  // Maps the SQLite failure `rc` of the last call on the connection to a
  // registry result code: 1009 for a damaged file, whatever `rc` says.
  LONG Failure(int rc) const;
  // Reports the values of `key` to `visitor` in EnumValue's order.
  LONG WalkValues(KeyId key, StoreWalkVisitor& visitor);
  // 2 when no value `fold` of `key` turns up in the listing either; 1009 when
  // one does (the look-up index has lost it); the failure otherwise.
  LONG ConfirmNoValue(KeyId key, const std::string& fold);
  // The statement for `sql`, prepared on first use and kept until the store
  // closes; nullptr when it cannot be prepared.
  sqlite3_stmt* Prepared(const char* sql);

  sqlite3* db_;
  bool read_only_;
  // Opened for reading on a full disk: SQLite refuses every write as
  // read-only, and the caller hears 112.
  bool disk_full_ = false;
  // Format 2: keys carry last_write and class columns.
  bool keeps_times_ = false;
  std::map<const char*, sqlite3_stmt*> statements_;  // by the address of the SQL text
};

}  // namespace qvr

#endif  // QVR_REGISTRY_SQLITE_STORE_H_
