#include "registry/registry_service.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>

#include "registry/environment.h"
#include "registry/hive_store.h"
#include "registry/hive_transfer.h"
#include "registry/machine_table.h"
#include "registry/mounting_store.h"
#include "registry/regf_writer.h"
#include "registry/sqlite_store.h"
#include "base/unicode.h"

namespace qvr {

struct RegistryService::Machine {
  std::shared_ptr<RegistryStore> store;
  MountingStore* mounting = nullptr;  // `store`, when it can hold mounted hives
  KeyId local_machine = 0;  // HKEY_LOCAL_MACHINE's root
  KeyId users = 0;          // HKEY_USERS' root
  // The thread running a transaction on the store; none when no one is.
  std::thread::id writer;
  std::string note;  // for TakeMachineNote, until it hands it out
};

struct RegistryService::Handle {
  std::shared_ptr<Machine> machine;
  KeyId key = 0;
  int depth = 0;  // levels below the hive's own key, known when issued
  Cursors cursors;
};

namespace {

constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;
constexpr DWORD kNameLimit = 1u << 20;

bool IsPredefined(HKEY key) {
  auto u = static_cast<uint32_t>(key);
  return u >= 0x80000000u && u <= 0x8000000Fu;
}

// Splits a sub-key path; false for a path with an empty segment or a name
// longer than Windows allows.
bool SplitPath(std::string_view path, std::vector<std::string_view>* parts) {
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    size_t end = path.find('\\', start);
    std::string_view part = path.substr(start, end == std::string_view::npos ? path.npos : end - start);
    // NameLength is npos, so too long, for a name that is not UTF-8.
    if (part.empty() || NameLength(part) > kMaxKeyName) return false;
    parts->push_back(part);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Text data is kept as Windows keeps it, UTF-16LE; callers of the A-style
// calls see UTF-8.
std::string ToStored(DWORD type, std::string_view data) {
  return IsTextType(type) ? Utf16ToLeBytes(Utf8ToUtf16(data)) : std::string(data);
}

std::string FromStored(DWORD type, std::string_view data) {
  return IsTextType(type) ? Utf16ToUtf8(LeBytesToUtf16(data)) : std::string(data);
}

// Copies a name into a caller's buffer sized in characters with the NUL.
LONG PutName(const std::string& value, char* buffer, DWORD* size) {
  if (size == nullptr || buffer == nullptr) return ERROR_INVALID_PARAMETER;
  if (value.size() + 1 > *size) {
    *size = static_cast<DWORD>(value.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(buffer, value.data(), value.size());
  buffer[value.size()] = '\0';
  *size = static_cast<DWORD>(value.size());
  return ERROR_SUCCESS;
}

// Copies data into a caller's buffer; a size query when `buffer` is null.
LONG PutData(const std::string& value, BYTE* buffer, DWORD* size) {
  if (size == nullptr) return buffer == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
  if (buffer == nullptr) {
    *size = static_cast<DWORD>(value.size());
    return ERROR_SUCCESS;
  }
  if (value.size() > *size) {
    *size = static_cast<DWORD>(value.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(buffer, value.data(), value.size());
  *size = static_cast<DWORD>(value.size());
  return ERROR_SUCCESS;
}

void MakeDirectories(const std::string& path) {
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
  }
}

std::string StripMachinePrefix(std::string_view name) {
  while (!name.empty() && name.front() == '\\') name.remove_prefix(1);
  return std::string(name);
}

bool IsLocalName(const std::string& name) {
  if (name.empty() || name == "." || EqualsNoCase(name, "localhost")) return true;
  char host[256] = {};
  return gethostname(host, sizeof host - 1) == 0 && EqualsNoCase(name, host);
}

}  // namespace

std::string LocalStorePath() {
  if (const char* p = std::getenv("QVR_REGISTRY"); p && *p) return p;
  std::string base;
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
    base = x;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : ".") + "/.local/share";
  }
  return base + "/qvrRegistryBrowser/local.sqlite";
}

std::string MachineTablePath(const std::string& local_store) {
  if (const char* p = std::getenv("QVR_MACHINES"); p && *p) return p;
  auto slash = local_store.rfind('/');
  return (slash == std::string::npos ? std::string(".") : local_store.substr(0, slash)) +
         "/machines.conf";
}

std::string CurrentUserKeyName() { return "S-1-5-21-0-0-0-" + std::to_string(getuid()); }

Status RegistryService::Open(const std::string& local_store, const std::string& machine_table,
                             std::shared_ptr<RegistryService>* service) {
  MakeDirectories(local_store);
  std::unique_ptr<SqliteStore> store;
  // A new store is seeded before it appears under its name, so a store that
  // exists was seeded whole.
  Status status = SqliteStore::Open(local_store, true, &store, &RegistryService::Seed);
  if (!status.ok()) return status;
  *service = std::make_shared<RegistryService>(std::make_shared<MountingStore>(std::move(store)),
                                               machine_table);
  return status;
}

RegistryService::RegistryService(std::shared_ptr<RegistryStore> local, std::string machine_table)
    : machine_table_(std::move(machine_table)) {
  local_ = std::make_shared<Machine>();
  local_->mounting = dynamic_cast<MountingStore*>(local.get());
  local_->store = std::move(local);
  bool created = false;
  local_->store->CreateChild(0, "HKEY_LOCAL_MACHINE", &local_->local_machine, &created);
  local_->store->CreateChild(0, "HKEY_USERS", &local_->users, &created);
  if (local_->local_machine == 0) local_->store->FindChild(0, "HKEY_LOCAL_MACHINE", &local_->local_machine);
  if (local_->users == 0) local_->store->FindChild(0, "HKEY_USERS", &local_->users);
}

RegistryService::~RegistryService() = default;

Status RegistryService::Seed(RegistryStore& store) {
  // All of it or none, where the store has transactions: a store whose
  // seeding failed is seeded again when it is next opened.
  LONG begun = store.BeginTransaction();
  const bool transacted = begun == ERROR_SUCCESS;
  LONG first_failure = transacted || begun == ERROR_INVALID_FUNCTION ? ERROR_SUCCESS : begun;
  auto check = [&](LONG rc) {
    if (first_failure == ERROR_SUCCESS) first_failure = rc;
  };
  KeyId hklm = 0, hku = 0;
  bool created = false;
  check(store.CreateChild(0, "HKEY_LOCAL_MACHINE", &hklm, &created));
  check(store.CreateChild(0, "HKEY_USERS", &hku, &created));
  auto make = [&](KeyId root, std::string_view path) {
    std::vector<std::string_view> parts;
    SplitPath(path, &parts);
    KeyId k = root;
    for (auto part : parts) check(store.CreateChild(k, part, &k, &created));
    return k;
  };
  auto text = [&](KeyId k, const char* name, DWORD type, std::string value) {
    value.push_back('\0');
    if (type == REG_MULTI_SZ) value.push_back('\0');
    check(store.SetValue(k, name, type, ToStored(type, value)));
  };
  auto dword = [&](KeyId k, const char* name, uint32_t v) {
    std::string d(4, '\0');
    for (int i = 0; i < 4; ++i) d[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    check(store.SetValue(k, name, REG_DWORD, d));
  };
  make(hklm, "HARDWARE\\DESCRIPTION\\System");
  make(hklm, "SAM");
  make(hklm, "SECURITY");
  make(hklm, "SOFTWARE\\Classes\\.txt");
  KeyId txt = make(hklm, "SOFTWARE\\Classes\\.txt");
  text(txt, "", REG_SZ, "txtfile");
  KeyId cv = make(hklm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
  text(cv, "ProductName", REG_SZ, "qvrRegistryBrowser Linux");
  text(cv, "SystemRoot", REG_SZ, "C:\\Windows");
  dword(cv, "CurrentMajorVersionNumber", 10);
  check(store.SetValue(cv, "DigitalProductId", REG_BINARY, std::string("\xA4\x00\x00\x00\x03\x00", 6)));
  KeyId env = make(hklm, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
  text(env, "Path", REG_EXPAND_SZ, "%SystemRoot%\\system32;%SystemRoot%");
  text(env, "OS", REG_SZ, "Windows_NT");
  make(hklm, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\Software");
  KeyId svc = make(hklm, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters");
  text(svc, "SearchList", REG_MULTI_SZ, std::string("example.org\0lan", 15));
  make(hku, ".DEFAULT\\Software");
  make(hku, ".DEFAULT\\Control Panel\\Desktop");
  std::string user = CurrentUserKeyName();
  make(hku, user + "\\Software\\Microsoft\\Windows\\CurrentVersion");
  KeyId uenv = make(hku, user + "\\Environment");
  text(uenv, "TEMP", REG_EXPAND_SZ, "%USERPROFILE%\\AppData\\Local\\Temp");
  KeyId desk = make(hku, user + "\\Control Panel\\Desktop");
  text(desk, "Wallpaper", REG_SZ, "");
  dword(desk, "ScreenSaveActive", 1);
  if (first_failure == ERROR_SUCCESS && transacted) first_failure = store.CommitTransaction();
  if (first_failure == ERROR_SUCCESS) return Status::OK();
  if (transacted) store.RollbackTransaction();
  return Status::Registry(first_failure, "cannot seed the new registry store");
}

size_t RegistryService::OpenHandleCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return handles_.size();
}

LONG RegistryService::Resolve(HKEY key, Target* target) {
  if (IsPredefined(key)) {
    target->machine = local_;
    target->cursors = &hive_cursors_[key];
    auto& store = *local_->store;
    auto alias = [&](KeyId root, std::string_view path) -> LONG {
      std::vector<std::string_view> parts;
      SplitPath(path, &parts);
      KeyId k = root;
      bool created = false;
      for (auto part : parts) {
        // The aliased keys are part of the hive's skeleton; they reappear when
        // somebody deleted them and the store is writable.
        LONG rc = store.FindChild(k, part, &k);
        if (rc == ERROR_FILE_NOT_FOUND && !store.ReadOnly()) rc = store.CreateChild(k, part, &k, &created);
        if (rc != ERROR_SUCCESS) return rc;
      }
      target->key = k;
      target->depth = static_cast<int>(parts.size());
      return ERROR_SUCCESS;
    };
    // A root of 0 is one the store could not give when the service began:
    // its keys cannot be read.
    if (local_->local_machine == 0 || local_->users == 0) return ERROR_BADDB;
    switch (key) {
      case HKEY_LOCAL_MACHINE: target->key = local_->local_machine; return ERROR_SUCCESS;
      case HKEY_USERS: target->key = local_->users; return ERROR_SUCCESS;
      case HKEY_CLASSES_ROOT: return alias(local_->local_machine, "SOFTWARE\\Classes");
      case HKEY_CURRENT_USER: return alias(local_->users, CurrentUserKeyName());
      case HKEY_CURRENT_CONFIG:
        return alias(local_->local_machine, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current");
      default: return ERROR_INVALID_HANDLE;
    }
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) return ERROR_INVALID_HANDLE;
  target->machine = it->second->machine;
  target->key = it->second->key;
  target->depth = it->second->depth;
  target->cursors = &it->second->cursors;
  // Gone is 1018; a store that cannot tell gives its own failure.
  LONG rc = target->machine->store->FindKey(target->key);
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : rc;
}

LONG RegistryService::Walk(const Target& from, std::string_view path, bool create, KeyId* key,
                           int* depth, bool* created) {
  std::vector<std::string_view> parts;
  if (!SplitPath(path, &parts)) return ERROR_INVALID_PARAMETER;
  // Checked before anything is created, so a refused path leaves no parents
  // behind. Opening is not limited: a store made before the limit may hold
  // deeper keys, and they stay reachable.
  const int reached = from.depth + static_cast<int>(parts.size());
  if (create && reached > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
  auto& store = *from.machine->store;
  KeyId k = from.key;
  *created = false;
  for (auto part : parts) {
    bool made = false;
    LONG rc = create ? store.CreateChild(k, part, &k, &made) : store.FindChild(k, part, &k);
    if (rc != ERROR_SUCCESS) return rc;
    *created = made;
  }
  *key = k;
  *depth = reached;
  return ERROR_SUCCESS;
}

HKEY RegistryService::Issue(std::shared_ptr<Machine> machine, KeyId key, int depth) {
  // Skip values in use, the predefined range (negative as signed) and -1.
  while (next_handle_ <= 0 || handles_.count(next_handle_)) {
    next_handle_ = next_handle_ <= 0 ? 0x100 : next_handle_ + 4;
  }
  HKEY h = next_handle_;
  next_handle_ += 4;
  auto handle = std::make_unique<Handle>();
  handle->machine = std::move(machine);
  handle->key = key;
  handle->depth = depth;
  handles_[h] = std::move(handle);
  return h;
}

LONG RegistryService::OpenKey(HKEY parent, const char* sub_key, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  return OnKey(parent, [&](const Target& t) {
    KeyId k = 0;
    int depth = 0;
    bool created = false;
    LONG rc = Walk(t, sub_key ? sub_key : "", false, &k, &depth, &created);
    if (rc == ERROR_SUCCESS) *result = Issue(t.machine, k, depth);
    return rc;
  });
}

LONG RegistryService::CreateKey(HKEY parent, const char* sub_key, DWORD access, HKEY* result,
                                DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  return OnKey(parent, [&](const Target& t) {
    bool wants_write = (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0;
    KeyId k = 0;
    int depth = 0;
    bool created = false;
    LONG rc;
    if (t.machine->store->ReadOnly()) {
      // A read-only store serves read access to keys that exist.
      if (wants_write) return ERROR_ACCESS_DENIED;
      rc = Walk(t, sub_key ? sub_key : "", false, &k, &depth, &created);
      if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_ACCESS_DENIED;
    } else {
      rc = Walk(t, sub_key ? sub_key : "", true, &k, &depth, &created);
    }
    if (rc != ERROR_SUCCESS) return rc;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = Issue(t.machine, k, depth);
    return ERROR_SUCCESS;
  });
}

LONG RegistryService::CloseKey(HKEY key) {
  std::lock_guard<std::mutex> lock(mu_);
  if (IsPredefined(key)) return ERROR_SUCCESS;
  return handles_.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegistryService::QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data,
                                 DWORD* size) {
  return OnKey(key, [&](const Target& t) {
    if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
    DWORD stored_type = 0;
    std::string stored;
    LONG rc = t.machine->store->GetValue(t.key, name ? name : "", &stored_type, &stored);
    if (rc != ERROR_SUCCESS) return rc;
    if (type) *type = stored_type;
    return PutData(FromStored(stored_type, stored), data, size);
  });
}

LONG RegistryService::SetValue(HKEY key, const char* name, DWORD type, const BYTE* data,
                               DWORD size) {
  if (data == nullptr && size != 0) {
    // Still a bad handle first, as Windows checks it first.
    return OnKey(key, [](const Target&) { return ERROR_INVALID_PARAMETER; });
  }
  std::string_view bytes(reinterpret_cast<const char*>(data), data ? size : 0);
  return SetValueBytes(key, name, type, ToStored(type, bytes));
}

LONG RegistryService::EnumKey(HKEY key, DWORD index, char* name, DWORD* name_size) {
  return OnKey(key, [&](const Target& t) {
    std::string found;
    LONG rc = t.machine->store->EnumChild(t.key, index, &t.cursors->keys, &found);
    return rc != ERROR_SUCCESS ? rc : PutName(found, name, name_size);
  });
}

LONG RegistryService::EnumValue(HKEY key, DWORD index, char* name, DWORD* name_size, DWORD* type,
                                BYTE* data, DWORD* data_size) {
  return OnKey(key, [&](const Target& t) {
    std::string found, stored;
    DWORD stored_type = 0;
    LONG rc = t.machine->store->EnumValue(t.key, index, &t.cursors->values, &found, &stored_type,
                                          &stored);
    if (rc == ERROR_SUCCESS) rc = PutName(found, name, name_size);
    if (rc != ERROR_SUCCESS) return rc;
    if (type) *type = stored_type;
    return PutData(FromStored(stored_type, stored), data, data_size);
  });
}

LONG RegistryService::DeleteValue(HKEY key, const char* name) {
  return OnKey(key, [&](const Target& t) {
    return t.machine->store->DeleteValue(t.key, name ? name : "");
  });
}

LONG RegistryService::DeleteKey(HKEY key, const char* sub_key) {
  return OnKey(key, [&](const Target& t) {
    // Deleting the key itself, or a hive root, is refused as on Windows.
    if (sub_key == nullptr || *sub_key == '\0') return ERROR_ACCESS_DENIED;
    KeyId k = 0;
    int depth = 0;
    bool created = false;
    LONG rc = Walk(t, sub_key, false, &k, &depth, &created);
    return rc != ERROR_SUCCESS ? rc : t.machine->store->DeleteKey(k);
  });
}

LONG RegistryService::QueryInfoKey(HKEY key, KeyInfo* info) {
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  return OnKey(key, [&](const Target& t) { return t.machine->store->QueryInfo(t.key, info); });
}

LONG RegistryService::SetKeyLastWrite(HKEY key, int64_t last_write) {
  return OnKey(key, [&](const Target& t) {
    return t.machine->store->ReadOnly() ? ERROR_ACCESS_DENIED
                                        : t.machine->store->SetKeyTime(t.key, last_write);
  });
}

LONG RegistryService::ExpandEnvironment(HKEY key, std::string_view text, std::string* expanded) {
  if (expanded == nullptr) return ERROR_INVALID_PARAMETER;
  return OnKey(key, [&](const Target& t) {
    // Text without a reference needs no environment.
    if (text.find('%') == std::string_view::npos) {
      expanded->assign(text);
      return ERROR_SUCCESS;
    }
    RegistryStore& store = *t.machine->store;
    // Only this machine has a logged-on user, whose variables join in.
    KeyId user_hive = 0;
    if (t.machine == local_) {
      LONG rc = store.FindChild(local_->users, CurrentUserKeyName(), &user_hive);
      if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return rc;
    }
    Environment environment;
    LONG rc = Environment::Read(store, t.machine->local_machine, user_hive, &environment);
    if (rc == ERROR_SUCCESS) *expanded = environment.Expand(text);
    return rc;
  });
}

LONG RegistryService::SetValueBytes(HKEY key, const char* name, DWORD type,
                                    std::string_view stored) {
  return OnKey(key, [&](const Target& t) {
    std::string_view value_name = name ? name : "";
    if (!value_name.empty() && NameLength(value_name) > kMaxValueName) return ERROR_INVALID_PARAMETER;
    return t.machine->store->SetValue(t.key, value_name, type, stored);
  });
}

LONG RegistryService::EnumValueBytes(HKEY key, DWORD index, std::string* name, DWORD* type,
                                     std::string* stored) {
  if (name == nullptr || type == nullptr || stored == nullptr) return ERROR_INVALID_PARAMETER;
  return OnKey(key, [&](const Target& t) {
    return t.machine->store->EnumValue(t.key, index, &t.cursors->values, name, type, stored);
  });
}

LONG RegistryService::WalkTree(HKEY key, StoreWalkVisitor& visitor) {
  return OnKey(key, [&](const Target& t) { return t.machine->store->Walk(t.key, visitor); });
}

LONG RegistryService::AwaitTurn(HKEY key, std::unique_lock<std::mutex>& lock) {
  // Asked anew at each wake-up: the handle may have been closed meanwhile
  // (Resolve then says so).
  auto my_turn = [&] {
    const Machine* machine = local_.get();
    if (!IsPredefined(key)) {
      auto it = handles_.find(key);
      machine = it == handles_.end() ? nullptr : it->second->machine.get();
    }
    return machine == nullptr || machine->writer == std::thread::id() ||
           machine->writer == std::this_thread::get_id();
  };
  return transaction_ended_.wait_for(lock, wait_, my_turn) ? ERROR_SUCCESS : ERROR_BUSY;
}

LONG RegistryService::EndTransaction(Machine& machine, bool commit) {
  std::lock_guard<std::mutex> lock(mu_);
  LONG rc = commit ? machine.store->CommitTransaction() : machine.store->RollbackTransaction();
  machine.writer = std::thread::id();
  transaction_ended_.notify_all();
  return rc;
}

LONG RegistryService::Transact(HKEY key, const std::function<LONG()>& writes) {
  std::shared_ptr<Machine> machine;
  LONG rc = OnKey(key, [&](const Target& t) {
    if (t.machine->store->ReadOnly()) return ERROR_ACCESS_DENIED;
    // This thread's own transaction there is running: they do not nest.
    if (t.machine->writer != std::thread::id()) return ERROR_INVALID_PARAMETER;
    LONG begun = t.machine->store->BeginTransaction();
    if (begun == ERROR_SUCCESS) {
      machine = t.machine;
      machine->writer = std::this_thread::get_id();
    }
    return begun;
  });
  if (rc != ERROR_SUCCESS) return rc;
  try {
    rc = writes();
  } catch (...) {
    EndTransaction(*machine, false);
    throw;
  }
  if (rc != ERROR_SUCCESS) {
    EndTransaction(*machine, false);
    return rc;
  }
  return EndTransaction(*machine, true);
}

std::chrono::milliseconds RegistryService::TransactionWait() const {
  std::lock_guard<std::mutex> lock(mu_);
  return wait_;
}

void RegistryService::SetTransactionWait(std::chrono::milliseconds wait) {
  std::lock_guard<std::mutex> lock(mu_);
  wait_ = wait;
}

std::shared_ptr<RegistryService::Machine> RegistryService::FindMachine(std::string_view name,
                                                                       Status* status) {
  std::string folded = FoldCase(name);
  if (auto it = remotes_.find(folded); it != remotes_.end()) return it->second;
  MachineTable::Entry entry;
  *status = machine_table_.Find(name, &entry);
  std::unique_ptr<RegistryStore> store;
  std::string note;
  if (status->ok()) *status = MachineTable::Open(entry, &store, &note);
  if (!status->ok()) return nullptr;
  // A store file of the table's can hold mounts; another program's
  // registry, read into memory, cannot keep them.
  if (entry.scheme.empty()) {
    if (auto* sqlite = dynamic_cast<SqliteStore*>(store.get())) {
      store.release();
      store = std::make_unique<MountingStore>(std::unique_ptr<SqliteStore>(sqlite));
    }
  }
  auto machine = std::make_shared<Machine>();
  machine->note = std::move(note);
  machine->mounting = dynamic_cast<MountingStore*>(store.get());
  machine->store = std::move(store);
  if (machine->store->FindChild(0, "HKEY_LOCAL_MACHINE", &machine->local_machine) != ERROR_SUCCESS ||
      machine->store->FindChild(0, "HKEY_USERS", &machine->users) != ERROR_SUCCESS) {
    *status = Status::Registry(ERROR_BAD_NETPATH,
                                  "\\\\" + entry.name + ": the store has no HKEY_LOCAL_MACHINE or HKEY_USERS");
    return nullptr;
  }
  remotes_[folded] = machine;
  return machine;
}

Status RegistryService::MountTarget(HKEY hive, const char* sub_key, Target* target) {
  std::string_view name = sub_key ? sub_key : "";
  std::vector<std::string_view> parts;
  if (!SplitPath(name, &parts) || parts.size() != 1) {
    return Status::Registry(ERROR_INVALID_PARAMETER,
                            "a hive is loaded as one new key directly below HKLM or HKU");
  }
  LONG rc = Resolve(hive, target);
  if (rc != ERROR_SUCCESS) return Status::Registry(rc, "the key handle is not valid");
  Machine& m = *target->machine;
  if (target->key != m.local_machine && target->key != m.users) {
    return Status::Registry(ERROR_INVALID_PARAMETER,
                            "a hive is loaded only directly below HKLM or HKU");
  }
  if (m.mounting == nullptr) {
    return Status::Registry(ERROR_NOT_SUPPORTED,
                            "this machine's registry is not a store file and cannot hold hives");
  }
  return Status::OK();
}

Status RegistryService::LoadKey(HKEY hive, const char* sub_key, const char* file,
                                std::string* note) {
  std::unique_lock<std::mutex> lock(mu_);
  LONG rc = AwaitTurn(hive, lock);
  if (rc != ERROR_SUCCESS) return Status::Registry(rc, "the registry is busy");
  Target t;
  Status status = MountTarget(hive, sub_key, &t);
  KeyId root = 0;
  std::string why;
  if (status.ok()) status = t.machine->mounting->Mount(t.key, sub_key, file ? file : "", &root, &why);
  if (status.ok() && note != nullptr) *note = why;
  return status;
}

Status RegistryService::UnloadKey(HKEY hive, const char* sub_key) {
  std::unique_lock<std::mutex> lock(mu_);
  LONG rc = AwaitTurn(hive, lock);
  if (rc != ERROR_SUCCESS) return Status::Registry(rc, "the registry is busy");
  Target t;
  Status status = MountTarget(hive, sub_key, &t);
  int64_t mount = 0;
  if (status.ok() && (rc = t.machine->mounting->FindMount(t.key, sub_key, &mount)) != ERROR_SUCCESS) {
    status = Status::Registry(rc, rc == ERROR_FILE_NOT_FOUND     ? "there is no such key"
                                  : rc == ERROR_INVALID_PARAMETER ? "the key is not a loaded hive"
                                                                  : "the key cannot be read");
  }
  if (!status.ok()) return status;
  size_t open = 0;
  for (const auto& [h, handle] : handles_) {
    if (handle->machine == t.machine && MountingStore::MountOf(handle->key) == mount) ++open;
  }
  if (open > 0) {
    return Status::Registry(ERROR_ACCESS_DENIED,
                            std::to_string(open) + " key handle(s) of this process are open on it");
  }
  return t.machine->mounting->Unmount(mount);
}

bool RegistryService::IsLoadedHive(HKEY hive, const char* sub_key) {
  std::unique_lock<std::mutex> lock(mu_);
  Target t;
  int64_t mount = 0;
  return AwaitTurn(hive, lock) == ERROR_SUCCESS && MountTarget(hive, sub_key, &t).ok() &&
         t.machine->mounting->FindMount(t.key, sub_key, &mount) == ERROR_SUCCESS;
}

Status RegistryService::SaveKey(HKEY key, const char* file, bool replace) {
  HiveKey tree;
  tree.name = "ROOT";
  LONG rc = OnKey(key, [&](const Target& t) { return ReadTree(*t.machine->store, t.key, &tree); });
  if (rc != ERROR_SUCCESS) return Status::Registry(rc, "the key cannot be read");
  std::string image;
  Status status = WriteHive(tree, &image);
  if (!status.ok()) return status;
  tree = HiveKey();
  return WriteFileAtomically(file ? file : "", image, replace);
}

Status RegistryService::RestoreKey(HKEY key, const char* file) {
  std::unique_ptr<HiveStore> hive;
  Status status = HiveStore::Open(file ? file : "", true, &hive);
  if (!status.ok()) return status;
  LONG rc = Transact(key, [&] {
    return OnKey(key, [&](const Target& t) {
      return ReplaceTree(*t.machine->store, t.key, t.depth, *hive, HiveStore::kRoot);
    });
  });
  if (rc == ERROR_SUCCESS) return Status::OK();
  return Status::Registry(rc, rc == ERROR_INVALID_PARAMETER
                                  ? "the hive's keys would lie deeper than 512 levels"
                                  : "the key cannot be restored");
}

LONG RegistryService::Connect(const char* machine_name, HKEY hive, HKEY* result) {
  return ConnectMachine(machine_name, hive, result).code();
}

Status RegistryService::ConnectMachine(const char* machine_name, HKEY hive, HKEY* result) {
  if (result == nullptr || (hive != HKEY_LOCAL_MACHINE && hive != HKEY_USERS)) {
    return Status::Registry(ERROR_INVALID_PARAMETER, "The parameter is incorrect.");
  }
  std::lock_guard<std::mutex> lock(mu_);
  std::string name = StripMachinePrefix(machine_name ? machine_name : "");
  std::shared_ptr<Machine> machine = local_;
  if (!IsLocalName(name)) {
    Status status;
    machine = FindMachine(name, &status);
    if (!machine) return status;
  }
  *result = Issue(machine, hive == HKEY_LOCAL_MACHINE ? machine->local_machine : machine->users, 0);
  return Status::OK();
}

std::string RegistryService::TakeMachineNote(const char* machine_name) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = remotes_.find(FoldCase(StripMachinePrefix(machine_name ? machine_name : "")));
  return it == remotes_.end() ? "" : std::exchange(it->second->note, "");
}

namespace {
std::mutex g_current_mu;
std::shared_ptr<RegistryService>& Current() {
  static std::shared_ptr<RegistryService> current;
  return current;
}
}  // namespace

std::shared_ptr<RegistryService> CurrentRegistryService(Status* status) {
  std::lock_guard<std::mutex> lock(g_current_mu);
  auto& current = Current();
  if (!current) {
    std::string path = LocalStorePath();
    Status opened = RegistryService::Open(path, MachineTablePath(path), &current);
    if (!opened.ok() && status != nullptr) {
      *status = Status::Registry(opened.code(),
                                 "Cannot open the registry store " + path + ": " + opened.message());
    }
  }
  return current;
}

std::shared_ptr<RegistryService> SetCurrentRegistryService(std::shared_ptr<RegistryService> s) {
  std::lock_guard<std::mutex> lock(g_current_mu);
  auto previous = std::move(Current());
  Current() = std::move(s);
  return previous;
}

}  // namespace qvr
