#include "stored_tree.h"

#include "base/unicode.h"
#include "registry/registry_service.h"
#include "value_text.h"

namespace qvr::reg_tool {
namespace {

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Collects the walk's reports; the service's lock is held meanwhile, so it
// only stores what it hears.
class TreeCollector : public StoreWalkVisitor {
 public:
  TreeCollector(bool recursive, std::vector<StoredKey>* keys)
      : recursive_(recursive), keys_(keys) {}

  LONG Key(int depth, KeyId, std::string_view name) override {
    if (depth > 0 && !recursive_) return kWalkPrune;
    names_.resize(depth);
    names_.emplace_back(name);
    std::string path;
    for (size_t i = 1; i < names_.size(); ++i) path += (i > 1 ? "\\" : "") + names_[i];
    keys_->push_back(StoredKey{std::move(path), {}});
    return ERROR_SUCCESS;
  }
  LONG Value(std::string_view name, DWORD type, std::string_view stored) override {
    keys_->back().values.push_back(StoredValue{std::string(name), type, std::string(stored)});
    return ERROR_SUCCESS;
  }

 private:
  bool recursive_;
  std::vector<StoredKey>* keys_;
  std::vector<std::string> names_;  // of the keys from the top down to the current one
};

}  // namespace

LONG ReadStoredTree(HKEY key, bool recursive, std::vector<StoredKey>* keys) {
  keys->clear();
  auto service = CurrentRegistryService();
  if (!service) return ERROR_INVALID_HANDLE;
  TreeCollector collector(recursive, keys);
  return service->WalkTree(key, collector);
}

std::string StoredAsUtf8(DWORD type, std::string_view stored) {
  if (!IsText(type)) return std::string(stored);
  return Utf16ToUtf8(LeBytesToUtf16(stored));
}

std::string StoredDataText(const StoredValue& value) {
  return DataText(value.type, StoredAsUtf8(value.type, value.stored));
}

}  // namespace qvr::reg_tool
