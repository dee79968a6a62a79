// The registry object's handle table, key opening and closing, and event
// connections. Values are in qvr_cls_registry_object_values.cpp, enumeration
// in qvr_cls_registry_object_enum.cpp.
#include "reglib/qvr_cls_registry_object.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_set>

namespace qvr {

namespace {

// Read and write access: what a client of the registry object needs to write
// through the handles it gets.
constexpr DWORD kReadWrite = KEY_READ | KEY_WRITE;

// Opens (or creates) a key asking for read and write access, and for read
// access alone when the store refuses writes.
LONG OpenWithBestAccess(HKEY parent, const std::string& sub_key, bool create, HKEY* result) {
  // The registry calls take C strings: a NUL would cut the name short.
  if (sub_key.find('\0') != std::string::npos) return ERROR_INVALID_PARAMETER;
  LONG rc = ERROR_ACCESS_DENIED;
  for (DWORD access : {kReadWrite, KEY_READ}) {
    if (create) {
      DWORD disposition = 0;
      rc = RegCreateKeyExA(parent, sub_key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                           nullptr, result, &disposition);
    } else {
      rc = RegOpenKeyExA(parent, sub_key.c_str(), 0, access, result);
    }
    if (rc != ERROR_ACCESS_DENIED) break;
  }
  return rc;
}

}  // namespace

std::shared_ptr<qvrClsRegistryObject> qvrClsRegistryObject::Create() {
  return std::make_shared<qvrClsRegistryObject>(Token{});
}

qvrClsRegistryObject::qvrClsRegistryObject(Token) { handles_.SetErrorSource(kErrorSource); }

qvrClsRegistryObject::~qvrClsRegistryObject() {
  // A handle value may have been filed twice (a client closed a key behind
  // the object's back and the service issued the value again); close it once.
  std::unordered_set<HKEY> closed;
  auto close_once = [&closed](HKEY handle) {
    if (closed.insert(handle).second) RegCloseKey(handle);
  };
  for (HKEY handle : handles_) close_once(handle);
  for (HKEY handle : unfiled_) close_once(handle);
}

void qvrClsRegistryObject::AbortEnum() {
  if (running_enumerations_ > 0) abort_requested_ = true;
}

int32_t qvrClsRegistryObject::Count() const { return handles_.Count(); }

std::string qvrClsRegistryObject::MachineName() const { return std::string(); }

void qvrClsRegistryObject::MachineName(std::string_view) {}

HKEY qvrClsRegistryObject::item(const Variant& vntIndexKey) const {
  const HKEY* entry = handles_.Find(vntIndexKey);
  return entry ? *entry : -1;
}

void qvrClsRegistryObject::item(const Variant& vntIndexKey, HKEY lRegHKey) {
  HKEY* entry = handles_.Find(vntIndexKey);
  if (!entry) return;
  if (*entry != lRegHKey) unfiled_.push_back(*entry);
  *entry = lRegHKey;
}

HKEY qvrClsRegistryObject::OpenKey(HKEY uKey, std::string_view szSubKey, bool fMustExist,
                                   std::string_view vntIndexKey) {
  HKEY handle = 0;
  // With fMustExist the key is only opened, never created: a key deleted by
  // someone else a moment ago must not come back.
  if (OpenWithBestAccess(ParentFor(uKey), std::string(szSubKey), !fMustExist, &handle) !=
      ERROR_SUCCESS) {
    return -1;
  }
  Remember(handle, vntIndexKey);
  return handle;
}

void qvrClsRegistryObject::CloseKey(const Variant& uKey) {
  HKEY handle = 0;
  if (auto as_long = uKey.Get<int32_t>()) {
    handle = *as_long;
    Forget(handle);
  } else if (uKey.IsString()) {
    if (const HKEY* stored = handles_.Find(std::string_view(uKey.AsString()))) {
      handle = *stored;
      handles_.Remove(std::string_view(uKey.AsString()));
    }
  }
  RegCloseKey(handle);
}

std::string qvrClsRegistryObject::HandleName(HKEY handle) {
  char text[16];
  std::snprintf(text, sizeof text, "_H%X", static_cast<unsigned>(handle));
  return text;
}

HKEY qvrClsRegistryObject::ParentFor(HKEY uKey) const {
  if (uKey == HKEY_LOCAL_MACHINE && remote_local_machine_ != 0) return remote_local_machine_;
  if (uKey == HKEY_USERS && remote_users_ != 0) return remote_users_;
  return uKey;
}

void qvrClsRegistryObject::Remember(HKEY handle, std::string_view index_key) {
  const bool filed = index_key.empty() ? handles_.TryAdd(handle, HandleName(handle))
                                       : handles_.TryAdd(handle, index_key);
  // An index key in use: the earlier entry stays, and this handle is still
  // ours to close when the object ends.
  if (!filed) unfiled_.push_back(handle);
}

void qvrClsRegistryObject::Forget(HKEY handle) {
  std::string name = HandleName(handle);
  if (handles_.Contains(name)) {
    handles_.Remove(std::string_view(name));
  } else {
    // A key filed under an index key of the client's and closed by handle:
    // drop its entry, so the handle is never closed a second time.
    for (int32_t position = 1; position <= handles_.Count(); ++position) {
      if (handles_.Item(position) == handle) {
        handles_.Remove(position);
        break;
      }
    }
  }
  auto unfiled = std::find(unfiled_.begin(), unfiled_.end(), handle);
  if (unfiled != unfiled_.end()) unfiled_.erase(unfiled);
}

uint32_t qvrClsRegistryObject::Advise(const std::shared_ptr<qvrClsRegistryObjectEvents>& sink) {
  return sinks_.Advise(sink);
}

void qvrClsRegistryObject::Unadvise(uint32_t cookie) { sinks_.Unadvise(cookie); }

void qvrClsRegistryObject::SetDoEventsHook(std::function<void()> hook) {
  do_events_ = std::move(hook);
}

}  // namespace qvr
