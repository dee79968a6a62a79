#include "session.h"

#include <algorithm>
#include <vector>

#include "console.h"
#include "registry/hive_names.h"
#include "registry/registry_service.h"
#include "base/unicode.h"

namespace qvr::reg_tool {
namespace {


// Value names may hold 16,383 characters of up to 3 bytes each.
constexpr DWORD kNameBuffer = 16384 * 4;
constexpr DWORD kKeyNameBuffer = 2048;
// As on Windows: longer names are refused by every registry call.
constexpr size_t kMaxKeyName = 255;

}  // namespace

std::string KeyPath::Text() const {
  std::string text = machine.empty() ? std::string() : "\\\\" + machine + "\\";
  text += hive_name;
  if (!sub_key.empty()) text += "\\" + sub_key;
  return text;
}

KeyPath KeyPath::Child(std::string_view name) const {
  KeyPath child = *this;
  if (name.empty()) return child;
  child.sub_key = sub_key.empty() ? std::string(name) : sub_key + "\\" + std::string(name);
  return child;
}

bool ParseKeyPath(std::string_view text, KeyPath* path, std::string* error) {
  *path = KeyPath();
  if (text.size() >= 2 && text.substr(0, 2) == "\\\\") {
    text.remove_prefix(2);
    size_t slash = text.find('\\');
    path->machine = std::string(text.substr(0, slash));
    if (path->machine.empty() || slash == std::string_view::npos) {
      *error = "Invalid key name.";
      return false;
    }
    text.remove_prefix(slash + 1);
  }
  if (!text.empty() && text.back() == '\\') text.remove_suffix(1);
  size_t slash = text.find('\\');
  const HiveName* hive = FindHive(text.substr(0, slash));
  if (hive == nullptr) {
    *error = "Invalid key name.";
    return false;
  }
  path->hive = hive->hive;
  path->hive_name = hive->full;
  if (slash != std::string_view::npos) path->sub_key = std::string(text.substr(slash + 1));
  // Every name of the path must be there: no "\\" in it, none at its start.
  bool empty_name = path->sub_key.find("\\\\") != std::string::npos ||
                    (slash != std::string_view::npos &&
                     (path->sub_key.empty() || path->sub_key.front() == '\\'));
  if (empty_name) {
    *error = "Invalid key name.";
    return false;
  }
  for (size_t start = 0; start < path->sub_key.size();) {
    size_t end = std::min(path->sub_key.find('\\', start), path->sub_key.size());
    std::string_view name = std::string_view(path->sub_key).substr(start, end - start);
    if (size_t length = NameLength(name); length != std::string::npos && length > kMaxKeyName) {
      *error = "Invalid key name: the name \"" + std::string(name.substr(0, 20)) + "...\" has " +
               std::to_string(length) + " characters, and a key name may have at most " +
               std::to_string(kMaxKeyName) + ".";
      return false;
    }
    start = end + 1;
  }
  if (!path->machine.empty() && path->hive != HKEY_LOCAL_MACHINE && path->hive != HKEY_USERS) {
    *error = "Invalid key name. Another machine offers only HKLM and HKU.";
    return false;
  }
  return true;
}

LONG ReadValue(HKEY key, const std::string& name, RegistryValue* value) {
  value->name = name;
  DWORD size = 0;
  LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &value->type, nullptr, &size);
  // The data may grow between the size query and the read: ask again.
  for (int attempt = 0; rc == ERROR_SUCCESS && attempt < 8; ++attempt) {
    value->data.assign(size, '\0');
    rc = RegQueryValueExA(key, name.c_str(), nullptr, &value->type,
                          reinterpret_cast<BYTE*>(value->data.data()), &size);
    if (rc == ERROR_SUCCESS) {
      value->data.resize(size);
      return rc;
    }
    if (rc == ERROR_MORE_DATA) rc = ERROR_SUCCESS;
  }
  return rc;
}

LONG FindValue(HKEY key, const std::string& name, RegistryValue* value) {
  LONG rc = ReadValue(key, name, value);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<char> stored(kNameBuffer);
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameBuffer;
    if (RegEnumValueA(key, index, stored.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    if (EqualsNoCase(std::string_view(stored.data(), length), name)) {
      value->name.assign(stored.data(), length);
      break;
    }
  }
  return ERROR_SUCCESS;
}

LONG ValueAt(HKEY key, DWORD index, RegistryValue* value) {
  std::vector<char> name(kNameBuffer);
  DWORD length = kNameBuffer;
  LONG rc = RegEnumValueA(key, index, name.data(), &length, nullptr, &value->type, nullptr,
                          nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  return ReadValue(key, std::string(name.data(), length), value);
}

LONG SubKeyAt(HKEY key, DWORD index, std::string* name) {
  char buffer[kKeyNameBuffer];
  DWORD length = kKeyNameBuffer;
  LONG rc = RegEnumKeyExA(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS) name->assign(buffer, length);
  return rc;
}

RegistrySession::RegistrySession(std::ostream* warnings)
    : registry_(qvrClsRegistryObject::Create()), warnings_(warnings) {}

RegistrySession::~RegistrySession() {
  registry_.reset();
  UseMachine("");
}

LONG RegistrySession::UseMachine(const std::string& machine) {
  if (EqualsNoCase(machine, machine_)) return ERROR_SUCCESS;
  for (HKEY* hive : {&remote_local_machine_, &remote_users_}) {
    if (*hive != 0) RegCloseKey(*hive);
    *hive = 0;
  }
  machine_.clear();
  if (registry_) {
    registry_->RegHKeyLocalMachine(0);
    registry_->RegHKeyUsers(0);
  }
  if (machine.empty()) return ERROR_SUCCESS;
  LONG rc = RegConnectRegistryA(machine.c_str(), HKEY_LOCAL_MACHINE, &remote_local_machine_);
  if (rc == ERROR_SUCCESS) rc = RegConnectRegistryA(machine.c_str(), HKEY_USERS, &remote_users_);
  if (rc != ERROR_SUCCESS) {
    if (remote_local_machine_ != 0) RegCloseKey(remote_local_machine_);
    remote_local_machine_ = remote_users_ = 0;
    return rc;
  }
  machine_ = machine;
  if (warnings_ != nullptr) WarnOfMachine(*warnings_, machine);
  registry_->RegHKeyLocalMachine(remote_local_machine_);
  registry_->RegHKeyUsers(remote_users_);
  return ERROR_SUCCESS;
}

HKEY RegistrySession::ParentFor(HKEY hive) const {
  if (hive == HKEY_LOCAL_MACHINE && remote_local_machine_ != 0) return remote_local_machine_;
  if (hive == HKEY_USERS && remote_users_ != 0) return remote_users_;
  return hive;
}

LONG RegistrySession::Open(const KeyPath& path, bool create, HKEY* key) {
  LONG rc = UseMachine(path.machine);
  if (rc != ERROR_SUCCESS) return rc;
  *key = registry_->OpenKey(path.hive, path.sub_key, !create);
  if (*key != -1) return ERROR_SUCCESS;
  // The registry object reports failure as -1 only; ask the service why.
  HKEY probe = 0;
  rc = create ? RegCreateKeyExA(ParentFor(path.hive), path.sub_key.c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &probe, nullptr)
              : RegOpenKeyExA(ParentFor(path.hive), path.sub_key.c_str(), 0, KEY_READ, &probe);
  if (rc == ERROR_SUCCESS) {
    RegCloseKey(probe);
    rc = ERROR_ACCESS_DENIED;
  }
  return rc;
}

void RegistrySession::Close(HKEY key) { registry_->CloseKey(Variant(key)); }

LONG RegistrySession::DeleteChildren(HKEY top) {
  // The open keys from below `top` down to the one being emptied, on the
  // heap rather than the machine stack: any depth, in time linear in the
  // size of the tree.
  struct Open {
    HKEY key;
    std::string name;  // below the key before it (`top` for the first)
  };
  std::vector<Open> open;
  std::string name;
  LONG rc = ERROR_SUCCESS;
  while (rc == ERROR_SUCCESS) {
    HKEY key = open.empty() ? top : open.back().key;
    // Always take the first sub-key: the ones before it are gone.
    if (SubKeyAt(key, 0, &name) == ERROR_SUCCESS) {
      HKEY child = registry_->OpenKey(key, name, true);
      if (child == -1) rc = ERROR_ACCESS_DENIED;
      else open.push_back({child, name});
      continue;
    }
    if (open.empty()) break;
    // The last key opened has no sub-keys left: delete it from its parent.
    Open leaf = std::move(open.back());
    open.pop_back();
    Close(leaf.key);
    rc = registry_->DeleteKey(open.empty() ? top : open.back().key, leaf.name);
  }
  for (const Open& o : open) Close(o.key);
  return rc;
}

bool RegistrySession::IsLoadedHive(const KeyPath& path) {
  if ((path.hive != HKEY_LOCAL_MACHINE && path.hive != HKEY_USERS) ||
      path.sub_key.find('\\') != std::string::npos) {
    return false;
  }
  KeyPath hive = path;
  hive.sub_key.clear();
  HKEY root = 0;
  if (Open(hive, false, &root) != ERROR_SUCCESS) return false;
  bool loaded = CurrentRegistryService()->IsLoadedHive(root, path.sub_key.c_str());
  Close(root);
  return loaded;
}

LONG RegistrySession::DeleteTree(const KeyPath& path) {
  if (path.sub_key.empty()) return ERROR_ACCESS_DENIED;
  size_t slash = path.sub_key.rfind('\\');
  KeyPath parent = path;
  parent.sub_key = slash == std::string::npos ? "" : path.sub_key.substr(0, slash);
  const std::string leaf = path.sub_key.substr(slash == std::string::npos ? 0 : slash + 1);
  HKEY key = 0;
  LONG rc = Open(path, false, &key);
  if (rc != ERROR_SUCCESS) return rc;
  HKEY parent_key = 0;
  rc = Open(parent, false, &parent_key);
  if (rc != ERROR_SUCCESS) {
    Close(key);
    return rc;
  }
  bool ran = false;
  auto delete_all = [&] {
    ran = true;
    LONG result = DeleteChildren(key);
    Close(key);
    key = 0;
    return result == ERROR_SUCCESS ? registry_->DeleteKey(parent_key, leaf) : result;
  };
  // One transaction: a tree that cannot be deleted whole is left whole. A
  // store without transactions deletes key by key.
  auto service = CurrentRegistryService();
  rc = service ? service->Transact(parent_key, delete_all) : ERROR_ACCESS_DENIED;
  if (!ran && rc == ERROR_INVALID_FUNCTION) rc = delete_all();
  if (key != 0) Close(key);
  Close(parent_key);
  return rc;
}

}  // namespace qvr::reg_tool
