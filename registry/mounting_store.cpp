#include "registry/mounting_store.h"

#include <utility>

namespace qvr {

MountingStore::MountingStore(std::unique_ptr<SqliteStore> base) : base_(std::move(base)) {}

MountingStore::~MountingStore() = default;

LONG MountingStore::RefreshMounts() {
  int64_t version = base_->DataVersion();
  if (version == data_version_ && version != -1) return ERROR_SUCCESS;
  std::vector<SqliteStore::MountRecord> records;
  LONG rc = base_->ListMounts(&records);
  if (rc != ERROR_SUCCESS) return rc;
  data_version_ = version;
  std::map<KeyId, int64_t> still;
  for (const auto& record : records) {
    auto at = mount_at_.find(record.key);
    if (at != mount_at_.end() && mounts_[at->second].file == record.file) {
      still[record.key] = at->second;
      continue;
    }
    // Opened when first used: a process that never reads a hive does not
    // pay for reading and checking its file.
    Mounted mount{record.key, record.file, nullptr, ERROR_SUCCESS};
    int64_t number = next_mount_++;
    mounts_[number] = std::move(mount);
    still[record.key] = number;
  }
  for (auto it = mounts_.begin(); it != mounts_.end();) {
    auto kept = still.find(it->second.key);
    it = kept != still.end() && kept->second == it->first ? std::next(it) : mounts_.erase(it);
  }
  mount_at_ = std::move(still);
  return ERROR_SUCCESS;
}

LONG MountingStore::FindMount(KeyId parent, std::string_view name, int64_t* mount) {
  LONG rc = RefreshMounts();
  KeyId key = 0;
  if (rc == ERROR_SUCCESS) rc = base_->FindChild(parent, name, &key);
  if (rc != ERROR_SUCCESS) return rc;
  auto at = mount_at_.find(key);
  if (at == mount_at_.end()) return ERROR_INVALID_PARAMETER;
  *mount = at->second;
  return ERROR_SUCCESS;
}

std::string MountingStore::MountFile(int64_t mount) const {
  auto it = mounts_.find(mount);
  return it == mounts_.end() ? "" : it->second.file;
}

LONG MountingStore::OpenHive(Mounted& mount) {
  if (mount.hive || mount.failure != ERROR_SUCCESS) return mount.failure;
  Status opened = HiveStore::Open(mount.file, base_->ReadOnly(), &mount.hive);
  // A hive this process cannot open leaves its key answering why; a file
  // that is gone is not an absent key.
  if (!opened.ok()) mount.failure = opened.code() == ERROR_FILE_NOT_FOUND ? ERROR_BADDB : opened.code();
  return mount.failure;
}

LONG MountingStore::Route(KeyId key, RegistryStore** store, KeyId* local) {
  int64_t number = MountOf(key);
  if (number == 0) {
    *store = base_.get();
    *local = key;
    return ERROR_SUCCESS;
  }
  // Another process may have unloaded it.
  if (!in_transaction_) {
    LONG rc = RefreshMounts();
    if (rc != ERROR_SUCCESS) return rc;
  }
  auto it = mounts_.find(number);
  if (it == mounts_.end()) return ERROR_FILE_NOT_FOUND;
  LONG rc = OpenHive(it->second);
  if (rc != ERROR_SUCCESS) return rc;
  *store = it->second.hive.get();
  *local = key & kLocalMask;
  return ERROR_SUCCESS;
}

LONG MountingStore::RouteWrite(KeyId key, RegistryStore** store, KeyId* local) {
  LONG rc = Route(key, store, local);
  if (rc != ERROR_SUCCESS || !in_transaction_) return rc;
  int64_t number = MountOf(key);
  if (writing_ == -1) {
    rc = (*store)->BeginTransaction();
    if (rc != ERROR_SUCCESS) return rc;
    writing_ = number;
  } else if (writing_ != number) {
    doomed_ = ERROR_NOT_SAME_DEVICE;
    return doomed_;
  }
  return ERROR_SUCCESS;
}

LONG MountingStore::Translate(KeyId key, KeyId* shown) {
  *shown = key;
  auto at = mount_at_.find(key);
  if (at == mount_at_.end()) return ERROR_SUCCESS;
  LONG rc = OpenHive(mounts_[at->second]);
  if (rc != ERROR_SUCCESS) return rc;
  *shown = (at->second << kMountShift) | HiveStore::kRoot;
  return ERROR_SUCCESS;
}

bool MountingStore::IsHiveRoot(KeyId key) {
  if (key == 0) return false;
  for (int i = 0; i < 2; ++i) {
    if (roots_[i] == 0) base_->FindChild(0, i == 0 ? "HKEY_LOCAL_MACHINE" : "HKEY_USERS", &roots_[i]);
    if (roots_[i] == key) return true;
  }
  return false;
}

LONG MountingStore::FindChild(KeyId parent, std::string_view name, KeyId* child) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = Route(parent, &store, &local);
  if (rc == ERROR_SUCCESS) rc = store->FindChild(local, name, child);
  if (rc != ERROR_SUCCESS) return rc;
  if (MountOf(parent) != 0) {
    *child |= parent & ~kLocalMask;
    return ERROR_SUCCESS;
  }
  // Mounts sit directly below HKLM and HKU, and only there need the records
  // be looked at.
  if (!in_transaction_ && IsHiveRoot(parent) && (rc = RefreshMounts()) != ERROR_SUCCESS) return rc;
  return Translate(*child, child);
}

LONG MountingStore::CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) {
  LONG rc = FindChild(parent, name, child);
  *created = false;
  if (rc != ERROR_FILE_NOT_FOUND) return rc;
  RegistryStore* store = nullptr;
  KeyId local = 0;
  rc = RouteWrite(parent, &store, &local);
  if (rc == ERROR_SUCCESS) rc = store->CreateChild(local, name, child, created);
  if (rc == ERROR_SUCCESS) *child |= parent & ~kLocalMask;
  return rc;
}

LONG MountingStore::FindKey(KeyId key) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = Route(key, &store, &local);
  return rc != ERROR_SUCCESS ? rc : store->FindKey(local);
}

LONG MountingStore::HasChildren(KeyId key, bool* has_children) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = Route(key, &store, &local);
  return rc != ERROR_SUCCESS ? rc : store->HasChildren(local, has_children);
}

LONG MountingStore::DeleteKey(KeyId key) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = RouteWrite(key, &store, &local);
  return rc != ERROR_SUCCESS ? rc : store->DeleteKey(local);
}

LONG MountingStore::EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = Route(key, &store, &local);
  return rc != ERROR_SUCCESS ? rc : store->EnumChild(local, index, cursor, name);
}

LONG MountingStore::EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name,
                              DWORD* type, std::string* data) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = Route(key, &store, &local);
  return rc != ERROR_SUCCESS ? rc : store->EnumValue(local, index, cursor, name, type, data);
}

// Hands a walk's reports on as the calls would give them: keys of a hive
// with their mount's bits, at their depth below the walk's top, a mount's
// key with its hive's root. Keys of the SQLite store that are mounts are
// walked in their hive instead.
class MountingStore::Splice : public StoreWalkVisitor {
 public:
  Splice(MountingStore& store, StoreWalkVisitor& to, KeyId bits = 0, int depth = 0,
         std::string_view root_name = "")
      : store_(store), to_(to), bits_(bits), depth_(depth), root_name_(root_name) {}

  LONG Key(int depth, KeyId id, std::string_view name) override {
    if (bits_ != 0) return to_.Key(depth_ + depth, id | bits_, depth == 0 ? root_name_ : name);
    // Mounts sit directly below HKLM and HKU, and only there are they shown.
    parents_.resize(depth);
    parents_.push_back(id);
    auto at = store_.mount_at_.find(id);
    if (depth == 0 || at == store_.mount_at_.end() || !store_.IsHiveRoot(parents_[depth - 1])) {
      return to_.Key(depth, id, name);
    }
    Mounted& mount = store_.mounts_[at->second];
    if (LONG rc = store_.OpenHive(mount); rc != ERROR_SUCCESS) return rc;
    Splice hive(store_, to_, at->second << kMountShift, depth, name);
    LONG rc = mount.hive->Walk(HiveStore::kRoot, hive);
    return rc == ERROR_SUCCESS ? kWalkPrune : rc;
  }
  LONG Value(std::string_view name, DWORD type, std::string_view stored) override {
    return to_.Value(name, type, stored);
  }

 private:
  MountingStore& store_;
  StoreWalkVisitor& to_;
  KeyId bits_;     // a hive's keys: its mount's bits, else 0
  int depth_;      // a hive's root: its depth below the walk's top
  std::string root_name_;  // a hive's root: the name of its mount's key
  std::vector<KeyId> parents_;  // the SQLite store's keys from the top down
};

LONG MountingStore::Walk(KeyId top, StoreWalkVisitor& visitor) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = Route(top, &store, &local);
  if (rc != ERROR_SUCCESS) return rc;
  if (MountOf(top) != 0) {
    Splice hive(*this, visitor, top & ~kLocalMask);
    return store->Walk(local, hive);
  }
  if (!in_transaction_ && (rc = RefreshMounts()) != ERROR_SUCCESS) return rc;
  Splice splice(*this, visitor);
  return base_->Walk(top, splice);
}

LONG MountingStore::QueryInfo(KeyId key, KeyInfo* info) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = Route(key, &store, &local);
  return rc != ERROR_SUCCESS ? rc : store->QueryInfo(local, info);
}

LONG MountingStore::SetKeyTime(KeyId key, int64_t last_write) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = RouteWrite(key, &store, &local);
  return rc != ERROR_SUCCESS ? rc : store->SetKeyTime(local, last_write);
}

LONG MountingStore::GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = Route(key, &store, &local);
  return rc != ERROR_SUCCESS ? rc : store->GetValue(local, name, type, data);
}

LONG MountingStore::SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = RouteWrite(key, &store, &local);
  return rc != ERROR_SUCCESS ? rc : store->SetValue(local, name, type, data);
}

LONG MountingStore::DeleteValue(KeyId key, std::string_view name) {
  RegistryStore* store = nullptr;
  KeyId local = 0;
  LONG rc = RouteWrite(key, &store, &local);
  return rc != ERROR_SUCCESS ? rc : store->DeleteValue(local, name);
}

LONG MountingStore::BeginTransaction() {
  if (in_transaction_) return ERROR_INVALID_PARAMETER;
  if (base_->ReadOnly()) return ERROR_ACCESS_DENIED;
  // The records are read before, not during: the set of mounts stays put
  // while the transaction runs.
  LONG rc = RefreshMounts();
  if (rc != ERROR_SUCCESS) return rc;
  in_transaction_ = true;
  writing_ = -1;
  doomed_ = ERROR_SUCCESS;
  return ERROR_SUCCESS;
}

LONG MountingStore::CommitTransaction() {
  if (!in_transaction_) return ERROR_INVALID_FUNCTION;
  in_transaction_ = false;
  RegistryStore* store = nullptr;
  KeyId local = 0;
  if (writing_ == -1 || Route(writing_ << kMountShift, &store, &local) != ERROR_SUCCESS) {
    return doomed_;
  }
  if (doomed_ != ERROR_SUCCESS) {
    store->RollbackTransaction();
    return doomed_;
  }
  return store->CommitTransaction();
}

LONG MountingStore::RollbackTransaction() {
  if (!in_transaction_) return ERROR_INVALID_FUNCTION;
  in_transaction_ = false;
  RegistryStore* store = nullptr;
  KeyId local = 0;
  if (writing_ != -1 && Route(writing_ << kMountShift, &store, &local) == ERROR_SUCCESS) {
    store->RollbackTransaction();
  }
  return ERROR_SUCCESS;
}

Status MountingStore::Mount(KeyId parent, std::string_view name, const std::string& file,
                            KeyId* root, std::string* note) {
  if (in_transaction_ || MountOf(parent) != 0) {
    return Status::Registry(ERROR_INVALID_PARAMETER, "a hive is mounted only below HKLM or HKU");
  }
  if (base_->ReadOnly()) {
    return Status::Registry(ERROR_ACCESS_DENIED, "the registry store can only be read");
  }
  LONG rc = RefreshMounts();
  if (rc != ERROR_SUCCESS) return Status::Registry(rc, "the registry store cannot be read");
  Mounted mount;
  Status opened = HiveStore::Open(file, false, &mount.hive);
  if (!opened.ok()) return opened;
  mount.file = mount.hive->path();
  bool created = false;
  rc = base_->BeginTransaction();
  if (rc == ERROR_SUCCESS) {
    rc = base_->CreateChild(parent, name, &mount.key, &created);
    if (rc == ERROR_SUCCESS && !created) rc = ERROR_ALREADY_EXISTS;
    if (rc == ERROR_SUCCESS) rc = base_->AddMount(mount.key, mount.file);
    if (rc == ERROR_SUCCESS) {
      rc = base_->CommitTransaction();
    } else {
      base_->RollbackTransaction();
    }
  }
  if (rc == ERROR_ALREADY_EXISTS) {
    return Status::Registry(rc, "the key " + std::string(name) + " exists already");
  }
  if (rc != ERROR_SUCCESS) return Status::Registry(rc, "the mount cannot be recorded in the store");
  *note = mount.hive->ReadOnlyReason();
  int64_t number = next_mount_++;
  mount_at_[mount.key] = number;
  mounts_[number] = std::move(mount);
  *root = (number << kMountShift) | HiveStore::kRoot;
  return Status::OK();
}

Status MountingStore::Unmount(int64_t mount) {
  auto it = mounts_.find(mount);
  if (it == mounts_.end()) {
    return Status::Registry(ERROR_INVALID_PARAMETER, "the key is not a loaded hive");
  }
  if (in_transaction_) return Status::Registry(ERROR_BUSY, "a transaction is running");
  LONG rc = base_->BeginTransaction();
  if (rc == ERROR_SUCCESS) {
    rc = base_->RemoveMount(it->second.key);
    // The mount's key goes with it, unless a program that knows no mounts
    // wrote below it meanwhile: then it stays, an ordinary key.
    if (rc == ERROR_SUCCESS) {
      LONG deleted = base_->DeleteKey(it->second.key);
      if (deleted != ERROR_SUCCESS && deleted != ERROR_ACCESS_DENIED) rc = deleted;
    }
    if (rc == ERROR_SUCCESS) {
      rc = base_->CommitTransaction();
    } else {
      base_->RollbackTransaction();
    }
  }
  if (rc != ERROR_SUCCESS) return Status::Registry(rc, "the mount cannot be removed from the store");
  mount_at_.erase(it->second.key);
  mounts_.erase(it);
  return Status::OK();
}

}  // namespace qvr
