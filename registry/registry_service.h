// RegistryService: the registry calls of this process, over the stores of the
// local machine and of the machines in the machine table.
//
// It issues key handles (32-bit, never 0 or -1, never in the range of the
// predefined hive handles), resolves the predefined hives and their aliases
// (HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes, HKEY_CURRENT_USER is the
// user's key under HKEY_USERS, HKEY_CURRENT_CONFIG is
// HKLM\SYSTEM\CurrentControlSet\Hardware Profiles\Current: the same keys, not
// copies), and applies Windows' rules and result codes. The free Reg* functions of
// registry_api.h forward to the current service.
//
// Thread-safe: one lock orders every call. While a thread runs a transaction
// (Transact) on a machine, that thread's own calls go on as part of it, and
// the calls of other threads on that machine, reads included, wait until it
// has committed or rolled back, so they neither see its writes before they
// are final nor have their own writes undone with it. A wait ends with 170
// (ERROR_BUSY) after TransactionWait(); a transaction whose `writes` waits
// for another thread that uses the same machine deadlocks for that long.
#ifndef QVR_REGISTRY_REGISTRY_SERVICE_H_
#define QVR_REGISTRY_REGISTRY_SERVICE_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "registry/machine_table.h"
#include "registry/status.h"
#include "registry/registry_api.h"
#include "registry/registry_store.h"

namespace qvr {

// The local store's file: $QVR_REGISTRY, else
// $XDG_DATA_HOME/qvrRegistryBrowser/local.sqlite (~/.local/share/... when
// XDG_DATA_HOME is unset).
std::string LocalStorePath();
// The machine table's file: $QVR_MACHINES, else machines.conf beside `local_store`.
std::string MachineTablePath(const std::string& local_store);
// The key under HKEY_USERS that holds this user's hive ("S-1-5-21-0-0-0-<uid>").
std::string CurrentUserKeyName();

class RegistryService {
 public:
  // A service over the local store at `local_store` (created and seeded when
  // no file is there, all or nothing: see SqliteStore::Open) and the machine
  // table at `machine_table` (may be absent), into `*service`. Fails, leaving
  // `*service` alone and no new file, when the local store cannot be opened
  // or made.
  static Status Open(const std::string& local_store, const std::string& machine_table,
                     std::shared_ptr<RegistryService>* service);
  // A service over a store given by the caller (a test's fault injector).
  explicit RegistryService(std::shared_ptr<RegistryStore> local, std::string machine_table = "");
  ~RegistryService();

  // Writes the usual keys and a few values into an empty store, in one
  // transaction where the store has them; the first failure's code.
  static Status Seed(RegistryStore& store);

  LONG OpenKey(HKEY parent, const char* sub_key, HKEY* result);
  LONG CreateKey(HKEY parent, const char* sub_key, DWORD access, HKEY* result, DWORD* disposition);
  LONG CloseKey(HKEY key);
  LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size);
  LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size);
  LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* name_size);
  LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* name_size, DWORD* type, BYTE* data,
                 DWORD* data_size);
  LONG DeleteValue(HKEY key, const char* name);
  LONG DeleteKey(HKEY key, const char* sub_key);
  // What RegQueryInfoKeyA tells of `key`: counts, longest names and data,
  // class name and last-write time (see KeyInfo; a time of 0 is unknown).
  LONG QueryInfoKey(HKEY key, KeyInfo* info);
  // Sets the last-write time of `key` (a FILETIME), for data brought in with
  // its times; a store that keeps none ignores it. 5 on a read-only machine.
  LONG SetKeyLastWrite(HKEY key, int64_t last_write);
  LONG Connect(const char* machine, HKEY hive, HKEY* result);
  // Connect, with a person's reason when it fails: the machine is not in the
  // table, its line cannot be read, or its store is missing, is not a
  // registry store or cannot be opened (see MachineTable).
  Status ConnectMachine(const char* machine, HKEY hive, HKEY* result);
  // The names of the machines of this service's machine table.
  std::vector<std::string> MachineNames() const { return machine_table_.Names(); }
  // What a person should be told of the machine `machine`, connected
  // already, though it could be reached: for a Windows installation, the
  // keys left out because their hives are missing or damaged. Handed out
  // once: "" after the first call, for a machine with nothing to tell, and
  // for one not connected.
  std::string TakeMachineNote(const char* machine);

  // `text` with its %NAME% references expanded from the environment of the
  // machine that holds `key`, read anew from its registry for each call (see
  // registry/environment.h): this machine's variables and then the user's
  // for the predefined hives and keys opened below them, another machine's
  // own variables alone for keys reached through Connect. Returns 0, the
  // handle's failure (6, 1018), or the store's code when the environment
  // cannot be read (1009); `*expanded` is left alone on failure.
  LONG ExpandEnvironment(HKEY key, std::string_view text, std::string* expanded);

  // Hive files, as reg.exe's load, unload, save and restore treat them.
  //
  // LoadKey mounts the hive `file` as the new key `sub_key` (one name) of
  // `hive`, which is HKEY_LOCAL_MACHINE or HKEY_USERS of this machine or of
  // a machine with a store file (a handle from Connect). The mount lasts, for
  // every process using that store, until UnloadKey. A hive that can only be
  // read is mounted read-only, and `*note` (when given) says why. Fails with
  // 87 for another key or a path, 183 when the key exists, 50 for a machine
  // whose registry is not a store file, 5 for a file that is not a regular
  // file or for a read-only store, 1017 for a file that is not a hive, 1015
  // for a damaged one.
  Status LoadKey(HKEY hive, const char* sub_key, const char* file, std::string* note = nullptr);
  // Ends the mount `sub_key` of `hive`; 87 when it is not one, 5 while a
  // handle of this process is open on a key of it (the message says how
  // many).
  Status UnloadKey(HKEY hive, const char* sub_key);
  // True when `sub_key` of `hive` is a loaded hive.
  bool IsLoadedHive(HKEY hive, const char* sub_key);
  // Writes `key` and everything below it as the hive file `file` (built
  // under a temporary name beside it, then renamed over it). 183 when the
  // file exists and `replace` is false; 5 when it is not a regular file.
  Status SaveKey(HKEY key, const char* file, bool replace);
  // Replaces the values and sub-keys of `key` by those of the hive file's
  // root, in one transaction of the store that holds `key`.
  Status RestoreKey(HKEY key, const char* file);

  // Values as the store keeps them (text types as UTF-16LE bytes, whatever
  // they hold), for moving data between stores and files without a change.
  LONG SetValueBytes(HKEY key, const char* name, DWORD type, std::string_view stored);
  LONG EnumValueBytes(HKEY key, DWORD index, std::string* name, DWORD* type, std::string* stored);

  // Reports the key `key` and every key below it, with their values as
  // stored, to `visitor`: depth first, in enumeration order, `key` itself at
  // depth 0 and named "" (see RegistryStore::Walk). The store reads the tree
  // in one pass where it can, far faster than a call per key. The whole walk
  // holds the service's lock, once no other thread's transaction runs on the
  // key's machine: other threads' calls wait for its end, so the visitor,
  // which runs on the calling thread, must not call this service. Returns 0,
  // the handle's failure (6, 1018), 170 as any call, the store's failure
  // (1009) or the visitor's first code other than 0 and kWalkPrune.
  LONG WalkTree(HKEY key, StoreWalkVisitor& visitor);

  // Runs `writes` as one transaction of the store that holds `key`: when it
  // returns 0 every write it made takes effect, otherwise (or when it throws)
  // none does, and its code is returned. 5 for a read-only machine; 170 when
  // another thread's transaction on the machine outlasts TransactionWait();
  // 87 when this thread already runs one there (they do not nest). `writes`
  // runs on the calling thread and makes its writes through this service;
  // other threads wait for it (see above).
  LONG Transact(HKEY key, const std::function<LONG()>& writes);

  // How long a call waits for another thread's transaction before it gives
  // 170: kWriterWaitMs unless set (tests shorten it).
  std::chrono::milliseconds TransactionWait() const;
  void SetTransactionWait(std::chrono::milliseconds wait);

  // Number of handles issued and not yet closed.
  size_t OpenHandleCount() const;

 private:
  struct Machine;
  struct Handle;
  // Where enumerations through one handle stand, so that walking a key by
  // index costs linear time.
  struct Cursors {
    EnumCursor keys;
    EnumCursor values;
  };
  // What a handle names: the machine, the key, and its enumeration cursors.
  struct Target {
    std::shared_ptr<Machine> machine;
    KeyId key = 0;
    int depth = 0;  // levels below the hive's own key
    Cursors* cursors = nullptr;
  };

  LONG Resolve(HKEY key, Target* target);
  // Waits, releasing `lock` meanwhile, while a thread other than this one
  // runs a transaction on the machine of `key`; 170 when the wait outlasts
  // wait_.
  LONG AwaitTurn(HKEY key, std::unique_lock<std::mutex>& lock);
  // Runs `body` with the key that `key` names, under the service's lock, once
  // no other thread's transaction runs on its machine; AwaitTurn's or
  // Resolve's code instead.
  template <class Fn>
  LONG OnKey(HKEY key, Fn&& body) {
    std::unique_lock<std::mutex> lock(mu_);
    Target target;
    LONG rc = AwaitTurn(key, lock);
    if (rc == ERROR_SUCCESS) rc = Resolve(key, &target);
    return rc != ERROR_SUCCESS ? rc : body(target);
  }
  // Ends the transaction of this thread on `machine` (commits when `commit`),
  // and lets the waiting threads go on.
  LONG EndTransaction(Machine& machine, bool commit);
  // The key `path` below `from` (created with its missing parents when
  // `create`), and its depth below the hive. Creating a key deeper than
  // kMaxKeyDepth gives 87 and creates nothing.
  LONG Walk(const Target& from, std::string_view path, bool create, KeyId* key, int* depth,
            bool* created);
  HKEY Issue(std::shared_ptr<Machine> machine, KeyId key, int depth);
  std::shared_ptr<Machine> FindMachine(std::string_view name, Status* status);
  // A machine over `store`, which can hold mounts when it is a store file.
  static std::shared_ptr<Machine> MakeMachine(std::unique_ptr<RegistryStore> store);
  // The mount named by `hive` and `sub_key`, for Load and Unload: the
  // machine, and the parent key (HKLM's or HKU's root).
  Status MountTarget(HKEY hive, const char* sub_key, Target* target);

  mutable std::mutex mu_;
  // Signalled when a transaction ends.
  std::condition_variable transaction_ended_;
  std::chrono::milliseconds wait_{kWriterWaitMs};
  std::shared_ptr<Machine> local_;
  MachineTable machine_table_;
  std::map<std::string, std::shared_ptr<Machine>> remotes_;  // by folded name
  std::map<HKEY, std::unique_ptr<Handle>> handles_;
  // The cursors of the predefined hive handles, which are never issued.
  std::map<HKEY, Cursors> hive_cursors_;
  HKEY next_handle_ = 0x100;
};

// The service the Reg* functions use: opened from the environment on first
// use; when that fails, returns nullptr and, given `status`, says why (the
// next call tries again). Set returns the previous one (tests install their
// own).
std::shared_ptr<RegistryService> CurrentRegistryService(Status* status = nullptr);
std::shared_ptr<RegistryService> SetCurrentRegistryService(std::shared_ptr<RegistryService> s);

}  // namespace qvr

#endif  // QVR_REGISTRY_REGISTRY_SERVICE_H_
