// FaultyStore: a RegistryStore wrapper that makes chosen operations fail.
//
// It passes every call on to the store it wraps, except the calls a test
// told it to fail: those return the chosen result code without reaching the
// inner store (a full disk 112, a busy store 170, a damaged one 1009, ...).
// It can also pretend the store is read-only, and run a hook before each
// value read (to change the data between a size query and the read).
//
// FaultyRegistry installs a registry service over a FaultyStore around a
// fresh seeded store, for the length of a test.
#ifndef QVR_TESTS_SUPPORT_FAULTY_STORE_H_
#define QVR_TESTS_SUPPORT_FAULTY_STORE_H_

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "registry/registry_service.h"
#include "registry/registry_store.h"

namespace qvr::testing {

enum class StoreOp {
  kFindChild,
  kCreateChild,
  kFindKey,  // 2 makes the key look deleted
  kDeleteKey,
  kEnumChild,
  kEnumValue,
  kGetValue,
  kSetValue,
  kDeleteValue,
  kCount
};

class FaultyStore : public RegistryStore {
 public:
  explicit FaultyStore(std::shared_ptr<RegistryStore> inner) : inner_(std::move(inner)) {}

  // The next `times` calls of `op` (every call while `times` is negative)
  // fail with `code`, after the first `after` calls went through.
  void Fail(StoreOp op, LONG code, int times = -1, int after = 0);
  // Every operation works again.
  void Heal();
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  // Runs before each GetValue reaches the inner store.
  void OnGetValue(std::function<void(KeyId key, std::string_view name)> hook) {
    on_get_value_ = std::move(hook);
  }
  // How often `op` was called, failed calls included.
  int Calls(StoreOp op) const { return calls_[static_cast<int>(op)]; }
  RegistryStore& Inner() { return *inner_; }

  bool ReadOnly() const override { return read_only_ || inner_->ReadOnly(); }
  LONG FindChild(KeyId parent, std::string_view name, KeyId* child) override;
  LONG CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) override;
  LONG FindKey(KeyId key) override;
  LONG HasChildren(KeyId key, bool* has_children) override {
    return inner_->HasChildren(key, has_children);
  }
  LONG DeleteKey(KeyId key) override;
  LONG EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) override;
  LONG EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name, DWORD* type,
                 std::string* data) override;
  LONG GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) override;
  LONG SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) override;
  LONG DeleteValue(KeyId key, std::string_view name) override;
  LONG BeginTransaction() override { return inner_->BeginTransaction(); }
  LONG CommitTransaction() override { return inner_->CommitTransaction(); }
  LONG RollbackTransaction() override { return inner_->RollbackTransaction(); }

 private:
  struct Fault {
    LONG code = 0;
    int remaining = 0;  // negative: for ever
    int pass = 0;       // calls still to go through first
  };
  // The code the call fails with, or 0 when it goes through; counts it.
  LONG Injected(StoreOp op);

  std::shared_ptr<RegistryStore> inner_;
  std::array<Fault, static_cast<int>(StoreOp::kCount)> faults_{};
  std::array<int, static_cast<int>(StoreOp::kCount)> calls_{};
  bool read_only_ = false;
  std::function<void(KeyId, std::string_view)> on_get_value_;
};

// A registry service over a FaultyStore around a fresh seeded store in a
// temporary folder, installed as current; the previous one comes back when
// this ends.
class FaultyRegistry {
 public:
  FaultyRegistry();
  ~FaultyRegistry();
  FaultyRegistry(const FaultyRegistry&) = delete;
  FaultyRegistry& operator=(const FaultyRegistry&) = delete;

  FaultyStore& Store() { return *store_; }
  RegistryService& Service() { return *service_; }

 private:
  std::string dir_;
  std::shared_ptr<FaultyStore> store_;
  std::shared_ptr<RegistryService> service_;
  std::shared_ptr<RegistryService> previous_;
};

}  // namespace qvr::testing

#endif  // QVR_TESTS_SUPPORT_FAULTY_STORE_H_
