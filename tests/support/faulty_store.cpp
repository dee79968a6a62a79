#include "support/faulty_store.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "registry/sqlite_store.h"

namespace qvr::testing {

void FaultyStore::Fail(StoreOp op, LONG code, int times, int after) {
  faults_[static_cast<int>(op)] = Fault{code, times, after};
}

void FaultyStore::Heal() { faults_.fill(Fault{}); }

LONG FaultyStore::Injected(StoreOp op) {
  ++calls_[static_cast<int>(op)];
  Fault& fault = faults_[static_cast<int>(op)];
  if (fault.remaining == 0) return ERROR_SUCCESS;
  if (fault.pass > 0) {
    --fault.pass;
    return ERROR_SUCCESS;
  }
  if (fault.remaining > 0) --fault.remaining;
  return fault.code;
}

LONG FaultyStore::FindChild(KeyId parent, std::string_view name, KeyId* child) {
  if (LONG rc = Injected(StoreOp::kFindChild)) return rc;
  return inner_->FindChild(parent, name, child);
}

LONG FaultyStore::CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) {
  if (LONG rc = Injected(StoreOp::kCreateChild)) return rc;
  if (read_only_) {
    // A read-only store still finds what exists.
    *created = false;
    LONG rc = inner_->FindChild(parent, name, child);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : rc;
  }
  return inner_->CreateChild(parent, name, child, created);
}

LONG FaultyStore::FindKey(KeyId key) {
  if (LONG rc = Injected(StoreOp::kFindKey)) return rc;
  return inner_->FindKey(key);
}

LONG FaultyStore::DeleteKey(KeyId key) {
  if (LONG rc = Injected(StoreOp::kDeleteKey)) return rc;
  if (read_only_) return ERROR_ACCESS_DENIED;
  return inner_->DeleteKey(key);
}

LONG FaultyStore::EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) {
  if (LONG rc = Injected(StoreOp::kEnumChild)) return rc;
  return inner_->EnumChild(key, index, cursor, name);
}

LONG FaultyStore::EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name,
                            DWORD* type, std::string* data) {
  if (LONG rc = Injected(StoreOp::kEnumValue)) return rc;
  return inner_->EnumValue(key, index, cursor, name, type, data);
}

LONG FaultyStore::GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) {
  if (LONG rc = Injected(StoreOp::kGetValue)) return rc;
  if (on_get_value_) on_get_value_(key, name);
  return inner_->GetValue(key, name, type, data);
}

LONG FaultyStore::SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) {
  if (LONG rc = Injected(StoreOp::kSetValue)) return rc;
  if (read_only_) return ERROR_ACCESS_DENIED;
  return inner_->SetValue(key, name, type, data);
}

LONG FaultyStore::DeleteValue(KeyId key, std::string_view name) {
  if (LONG rc = Injected(StoreOp::kDeleteValue)) return rc;
  if (read_only_) return ERROR_ACCESS_DENIED;
  return inner_->DeleteValue(key, name);
}

FaultyRegistry::FaultyRegistry() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvr-faulty-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  std::unique_ptr<SqliteStore> sqlite;
  Status opened = SqliteStore::Open(dir_ + "/local.sqlite", true, &sqlite);
  if (opened.ok()) opened = RegistryService::Seed(*sqlite);
  if (!opened.ok()) throw std::runtime_error("cannot open the test store: " + opened.ToString());
  store_ = std::make_shared<FaultyStore>(std::shared_ptr<RegistryStore>(std::move(sqlite)));
  service_ = std::make_shared<RegistryService>(store_, dir_ + "/machines.conf");
  previous_ = SetCurrentRegistryService(service_);
}

FaultyRegistry::~FaultyRegistry() {
  SetCurrentRegistryService(previous_);
  service_.reset();
  store_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

}  // namespace qvr::testing
