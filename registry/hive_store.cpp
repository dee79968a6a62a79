#include "registry/hive_store.h"

#include <fcntl.h>
#include <hivex.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "base/unicode.h"
#include "registry/regf_check.h"
#include "registry/store_file.h"

namespace qvr {
namespace {

inline constexpr LONG kPastLimits = ERROR_NO_SYSTEM_RESOURCES;

// Closes a file descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

// Frees what hivex allocated with malloc.
template <class T>
struct Freed {
  T* p = nullptr;
  ~Freed() { std::free(p); }
};

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

Status ReadWhole(int fd, std::string* bytes) {
  bytes->clear();
  char buffer[1 << 16];
  while (true) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) return Status::OK();
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Status::Registry(ERROR_BADDB, std::string("cannot read: ") + std::strerror(errno));
    bytes->append(buffer, static_cast<size_t>(n));
  }
}

bool SyncPath(const std::string& path, int flags) {
  Fd f{open(path.c_str(), flags | O_CLOEXEC)};
  return f.fd >= 0 && fsync(f.fd) == 0;
}

}  // namespace

Status HiveStore::Open(const std::string& path, bool read_only, std::unique_ptr<HiveStore>* store) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) {
    LONG code = errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    return Status::Registry(code, path + ": " + std::strerror(errno));
  }
  std::unique_ptr<HiveStore> hive(new HiveStore(real));
  std::free(real);
  // A reader leaves the folder as it is: it may be another system's drive
  // or evidence. The next writer clears what a killed one left.
  if (!read_only) RemoveStaleStoreFiles(hive->path_);
  if (read_only) hive->read_only_reason_ = "it was opened for reading only";
  Status loaded = hive->Load();
  if (!loaded.ok()) return loaded;
  if (hive->read_only_reason_.empty() && access(hive->path_.c_str(), W_OK) != 0) {
    hive->read_only_reason_ = "this process may not write " + hive->path_;
  }
  if (hive->read_only_reason_.empty() && access(Folder(hive->path_).c_str(), W_OK) != 0) {
    hive->read_only_reason_ = "this process may not write the folder " + Folder(hive->path_);
  }
  *store = std::move(hive);
  return Status::OK();
}

HiveStore::~HiveStore() {
  if (hive_ != nullptr) hivex_close(hive_);
  if (file_fd_ >= 0) close(file_fd_);
  if (lock_fd_ >= 0) close(lock_fd_);
}

Status HiveStore::Load() {
  // O_NONBLOCK: a FIFO must not stall the open before it is refused.
  Fd f{open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (f.fd < 0) {
    LONG code = errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    return Status::Registry(code, path_ + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    return Status::Registry(ERROR_ACCESS_DENIED,
                            path_ + " is " + FileKindName(st.st_mode) + ", not a hive file");
  }
  std::string image;
  Status read = ReadWhole(f.fd, &image);
  HiveHeader header;
  if (read.ok()) read = CheckHiveImage(image, &header);
  if (!read.ok()) return Status::Registry(read.code(), path_ + ": " + read.message());
  if (header.Dirty() && read_only_reason_.empty()) {
    read_only_reason_ =
        "its header says it is dirty: changes wait in its .LOG1/.LOG2 files, which cannot be "
        "replayed here";
  }
  // hivex reads the file we checked, not whatever the name holds by now.
  std::string through = "/proc/self/fd/" + std::to_string(f.fd);
  ::hive_h* opened = hivex_open(through.c_str(), ReadOnly() ? 0 : HIVEX_OPEN_WRITE);
  if (opened == nullptr) {
    return Status::Registry(ERROR_REGISTRY_CORRUPT,
                            path_ + ": the hive cannot be read (" + std::strerror(errno) + ")");
  }
  if (hive_ != nullptr) hivex_close(hive_);
  hive_ = opened;
  if (file_fd_ >= 0) close(file_fd_);
  file_fd_ = f.fd;  // kept: class names are read from the file's key cells
  f.fd = -1;
  times_.clear();
  stamp_ = FileStamp{st.st_dev, st.st_ino, st.st_size,
                     static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  ++generation_;
  children_.clear();
  values_.clear();
  if (nodes_.empty()) {
    nodes_.resize(2);
    nodes_[kRoot].name = "";
  }
  nodes_[kRoot].offset = hivex_root(hive_);
  nodes_[kRoot].generation = generation_;
  return Status::OK();
}

LONG HiveStore::Refresh() {
  // Under the lock nobody else writes, and memory may hold edits not yet
  // committed, which reading the file again would drop.
  if (held_ || walking_) return ERROR_SUCCESS;
  struct stat st {};
  // A hive that vanished or cannot be looked at keeps serving what was read.
  if (stat(path_.c_str(), &st) != 0) return ERROR_SUCCESS;
  FileStamp now{st.st_dev, st.st_ino, st.st_size,
                static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  if (now == stamp_) return ERROR_SUCCESS;
  Status loaded = Load();
  return loaded.ok() ? ERROR_SUCCESS : ERROR_BADDB;
}

LONG HiveStore::Failure() {
  switch (errno) {
    case ERANGE:
    case ENOMEM: return kPastLimits;
    case ENOSPC: return ERROR_DISK_FULL;
    case EROFS:
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    default: return ERROR_BADDB;
  }
}

LONG HiveStore::Locate(KeyId key, size_t* offset) {
  if (key <= 0 || key >= static_cast<KeyId>(nodes_.size())) return ERROR_FILE_NOT_FOUND;
  Node& node = nodes_[key];
  if (key == kRoot) node.offset = hivex_root(hive_);
  if (node.generation != generation_ && key != kRoot) {
    size_t parent = 0;
    const std::vector<Child>* children = nullptr;
    LONG rc = Locate(node.parent, &parent);
    if (rc == ERROR_SUCCESS) rc = Children(parent, &children);
    if (rc != ERROR_SUCCESS) return rc;
    auto it = std::lower_bound(children->begin(), children->end(), node.fold,
                               [](const Child& c, const std::string& f) { return c.fold < f; });
    if (it == children->end() || it->fold != node.fold) return ERROR_FILE_NOT_FOUND;
    node.offset = it->offset;
    node.generation = generation_;
  }
  *offset = node.offset;
  return ERROR_SUCCESS;
}

LONG HiveStore::Children(size_t offset, const std::vector<Child>** children) {
  auto cached = children_.find(offset);
  if (cached != children_.end()) {
    *children = &cached->second;
    return ERROR_SUCCESS;
  }
  errno = 0;
  Freed<hive_node_h> list{hivex_node_children(hive_, offset)};
  if (list.p == nullptr) return Failure();
  std::vector<Child> found;
  for (hive_node_h* n = list.p; *n != 0; ++n) {
    Freed<char> name{hivex_node_name(hive_, *n)};
    if (name.p == nullptr) return Failure();
    found.push_back(Child{FoldCase(name.p), name.p, *n});
  }
  std::sort(found.begin(), found.end(),
            [](const Child& a, const Child& b) { return a.fold < b.fold; });
  *children = &(children_[offset] = std::move(found));
  return ERROR_SUCCESS;
}

LONG HiveStore::ChildrenOf(KeyId key, size_t* offset, const std::vector<Child>** children) {
  LONG rc = Refresh();
  if (rc == ERROR_SUCCESS) rc = Locate(key, offset);
  return rc != ERROR_SUCCESS ? rc : Children(*offset, children);
}

LONG HiveStore::Values(size_t offset, const std::vector<size_t>** values) {
  auto cached = values_.find(offset);
  if (cached != values_.end()) {
    *values = &cached->second;
    return ERROR_SUCCESS;
  }
  errno = 0;
  Freed<hive_value_h> list{hivex_node_values(hive_, offset)};
  if (list.p == nullptr) return Failure();
  std::vector<size_t> found;
  for (hive_value_h* v = list.p; *v != 0; ++v) found.push_back(*v);
  *values = &(values_[offset] = std::move(found));
  return ERROR_SUCCESS;
}

KeyId HiveStore::IdFor(KeyId parent, const std::string& name, size_t offset) {
  std::string fold = FoldCase(name);
  auto [it, added] = ids_.try_emplace({parent, fold}, static_cast<KeyId>(nodes_.size()));
  if (added) nodes_.push_back(Node{parent, name, fold, 0, 0});
  Node& node = nodes_[it->second];
  node.name = name;
  node.offset = offset;
  node.generation = generation_;
  return it->second;
}

LONG HiveStore::FindChild(KeyId parent, std::string_view name, KeyId* child) {
  size_t offset = 0;
  const std::vector<Child>* children = nullptr;
  LONG rc = ChildrenOf(parent, &offset, &children);
  if (rc != ERROR_SUCCESS) return rc;
  std::string fold = FoldCase(name);
  auto it = std::lower_bound(children->begin(), children->end(), fold,
                             [](const Child& c, const std::string& f) { return c.fold < f; });
  if (it == children->end() || it->fold != fold) return ERROR_FILE_NOT_FOUND;
  *child = IdFor(parent, it->name, it->offset);
  return ERROR_SUCCESS;
}

LONG HiveStore::FindKey(KeyId key) {
  size_t offset = 0;
  LONG rc = Refresh();
  return rc != ERROR_SUCCESS ? rc : Locate(key, &offset);
}

LONG HiveStore::HasChildren(KeyId key, bool* has_children) {
  size_t offset = 0;
  const std::vector<Child>* children = nullptr;
  LONG rc = ChildrenOf(key, &offset, &children);
  if (rc == ERROR_SUCCESS) *has_children = !children->empty();
  return rc;
}

LONG HiveStore::EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) {
  size_t offset = 0;
  const std::vector<Child>* children = nullptr;
  LONG rc = ChildrenOf(key, &offset, &children);
  if (rc != ERROR_SUCCESS) return rc;
  if (index < 0 || index >= static_cast<int64_t>(children->size())) return ERROR_NO_MORE_ITEMS;
  *name = (*children)[index].name;
  if (cursor != nullptr) cursor->index = index;
  return ERROR_SUCCESS;
}

LONG HiveStore::EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name,
                          DWORD* type, std::string* data) {
  LONG rc = Refresh();
  if (rc != ERROR_SUCCESS) return rc;
  if (auto pending = pending_.find(key); pending != pending_.end()) {
    if (index < 0 || index >= static_cast<int64_t>(pending->second.size())) return ERROR_NO_MORE_ITEMS;
    const PendingValue& v = pending->second[index];
    *name = v.name;
    *type = v.type;
    *data = v.data;
    return ERROR_SUCCESS;
  }
  size_t offset = 0;
  const std::vector<size_t>* values = nullptr;
  rc = Locate(key, &offset);
  if (rc == ERROR_SUCCESS) rc = Values(offset, &values);
  if (rc != ERROR_SUCCESS) return rc;
  if (index < 0 || index >= static_cast<int64_t>(values->size())) return ERROR_NO_MORE_ITEMS;
  hive_value_h value = (*values)[index];
  Freed<char> key_name{hivex_value_key(hive_, value)};
  hive_type t{};
  size_t length = 0;
  errno = 0;
  Freed<char> bytes{hivex_value_value(hive_, value, &t, &length)};
  if (key_name.p == nullptr || bytes.p == nullptr) return Failure();
  *name = key_name.p;
  // Any 32-bit number: read it as such, not as hivex's enum, whose range it may leave.
  static_assert(sizeof t == sizeof *type);
  std::memcpy(type, &t, sizeof *type);
  data->assign(bytes.p, length);
  if (cursor != nullptr) cursor->index = index;
  return ERROR_SUCCESS;
}

LONG HiveStore::GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) {
  const std::string fold = FoldCase(name);
  LONG rc = Refresh();
  if (rc != ERROR_SUCCESS) return rc;
  if (auto pending = pending_.find(key); pending != pending_.end()) {
    for (const PendingValue& v : pending->second) {
      if (v.fold != fold) continue;
      *type = v.type;
      *data = v.data;
      return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
  }
  size_t offset = 0;
  const std::vector<size_t>* values = nullptr;
  rc = Locate(key, &offset);
  if (rc == ERROR_SUCCESS) rc = Values(offset, &values);
  if (rc != ERROR_SUCCESS) return rc;
  // Names first: only the value asked for has its data read.
  for (size_t value : *values) {
    Freed<char> key_name{hivex_value_key(hive_, value)};
    if (key_name.p == nullptr) return Failure();
    if (FoldCase(key_name.p) != fold) continue;
    hive_type t{};
    size_t length = 0;
    errno = 0;
    Freed<char> bytes{hivex_value_value(hive_, value, &t, &length)};
    if (bytes.p == nullptr) return Failure();
    std::memcpy(type, &t, sizeof *type);
    data->assign(bytes.p, length);
    return ERROR_SUCCESS;
  }
  return ERROR_FILE_NOT_FOUND;
}

LONG HiveStore::PendingValues(KeyId key, std::vector<PendingValue>** values) {
  auto it = pending_.find(key);
  if (it != pending_.end()) {
    *values = &it->second;
    return ERROR_SUCCESS;
  }
  std::vector<PendingValue> list;
  for (int64_t i = 0;; ++i) {
    PendingValue v;
    LONG rc = EnumValue(key, i, nullptr, &v.name, &v.type, &v.data);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return rc;
    v.fold = FoldCase(v.name);
    list.push_back(std::move(v));
  }
  *values = &(pending_[key] = std::move(list));
  return ERROR_SUCCESS;
}

LONG HiveStore::FlushValues() {
  for (auto& [key, values] : pending_) {
    size_t offset = 0;
    LONG rc = Locate(key, &offset);
    if (rc == ERROR_FILE_NOT_FOUND) continue;  // deleted later in the same transaction
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<hive_set_value> set;
    set.reserve(values.size());
    for (PendingValue& v : values) {
      hive_set_value value{v.name.data(), hive_t_REG_NONE, v.data.size(), v.data.data()};
      std::memcpy(&value.t, &v.type, sizeof v.type);
      set.push_back(value);
    }
    errno = 0;
    if (hivex_node_set_values(hive_, offset, set.size(), set.data(), 0) != 0) return Failure();
    values_.erase(offset);
  }
  pending_.clear();
  return ERROR_SUCCESS;
}

template <class Change>
LONG HiveStore::Write(Change&& change) {
  if (ReadOnly()) return ERROR_ACCESS_DENIED;
  if (in_transaction_) {
    LONG rc = change();
    return rc;
  }
  LONG rc = Lock();
  if (rc != ERROR_SUCCESS) return rc;
  rc = change();
  if (rc == ERROR_SUCCESS) rc = broken_ != ERROR_SUCCESS ? broken_ : FlushValues();
  if (rc == ERROR_SUCCESS) rc = Commit();
  if (rc != ERROR_SUCCESS) Discard();
  Unlock();
  return rc;
}

LONG HiveStore::CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) {
  *created = false;
  LONG rc = FindChild(parent, name, child);
  if (rc != ERROR_FILE_NOT_FOUND) return rc;
  return Write([&]() -> LONG {
    size_t offset = 0;
    const std::vector<Child>* children = nullptr;
    // Looked for again: the lock may have brought another process's version.
    LONG found = FindChild(parent, name, child);
    if (found != ERROR_FILE_NOT_FOUND) return found;
    LONG rc = Locate(parent, &offset);
    if (rc == ERROR_SUCCESS) rc = Children(offset, &children);
    if (rc != ERROR_SUCCESS) return rc;
    if (children->size() >= kHiveMaxSubKeys) return kPastLimits;
    std::string owned(name);
    errno = 0;
    hive_node_h node = hivex_node_add_child(hive_, offset, owned.c_str());
    if (node == 0) return broken_ = Failure();
    children_.erase(offset);
    *child = IdFor(parent, owned, node);
    *created = true;
    Touch(parent);
    Touch(*child);
    return ERROR_SUCCESS;
  });
}

LONG HiveStore::DeleteKey(KeyId key) {
  if (key == kRoot) return ERROR_ACCESS_DENIED;
  return Write([&]() -> LONG {
    size_t offset = 0;
    const std::vector<Child>* children = nullptr;
    LONG rc = ChildrenOf(key, &offset, &children);
    if (rc != ERROR_SUCCESS) return rc;
    if (!children->empty()) return ERROR_ACCESS_DENIED;
    errno = 0;
    if (hivex_node_delete_child(hive_, offset) != 0) return broken_ = Failure();
    pending_.erase(key);
    touched_.erase(key);
    times_.erase(offset);
    Touch(nodes_[key].parent);
    // Every id now looks its key up again, so none reaches the freed cells.
    ++generation_;
    children_.clear();
    values_.clear();
    return ERROR_SUCCESS;
  });
}

LONG HiveStore::SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) {
  if (data.size() > kHiveMaxWriteData) return ReadOnly() ? ERROR_ACCESS_DENIED : kPastLimits;
  return Write([&]() -> LONG {
    std::vector<PendingValue>* values = nullptr;
    LONG rc = PendingValues(key, &values);
    if (rc != ERROR_SUCCESS) return rc;
    std::string fold = FoldCase(name);
    auto it = std::find_if(values->begin(), values->end(),
                           [&](const PendingValue& v) { return v.fold == fold; });
    if (it == values->end()) {
      if (values->size() >= kHiveMaxValues) return kPastLimits;
      values->push_back(PendingValue{std::string(name), fold, type, std::string(data)});
    } else {
      // A replaced value keeps its name as first written, and its place.
      it->type = type;
      it->data.assign(data);
    }
    Touch(key);
    return ERROR_SUCCESS;
  });
}

LONG HiveStore::DeleteValue(KeyId key, std::string_view name) {
  return Write([&]() -> LONG {
    std::vector<PendingValue>* values = nullptr;
    LONG rc = PendingValues(key, &values);
    if (rc != ERROR_SUCCESS) return rc;
    std::string fold = FoldCase(name);
    auto it = std::find_if(values->begin(), values->end(),
                           [&](const PendingValue& v) { return v.fold == fold; });
    if (it == values->end()) return ERROR_FILE_NOT_FOUND;
    values->erase(it);
    Touch(key);
    return ERROR_SUCCESS;
  });
}

LONG HiveStore::Lock() {
  if (lock_fd_ < 0) {
    struct stat st {};
    mode_t mode = stat(path_.c_str(), &st) == 0 ? (st.st_mode & 0666) : 0600;
    lock_fd_ = open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
    if (lock_fd_ < 0) return errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWriterWaitMs);
  while (flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      Unlock();
      return ERROR_ACCESS_DENIED;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      Unlock();
      return ERROR_BUSY;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  LONG rc = Refresh();
  if (rc != ERROR_SUCCESS) {
    Unlock();
    return rc;
  }
  held_ = true;
  return ERROR_SUCCESS;
}

void HiveStore::Unlock() {
  held_ = false;
  if (lock_fd_ >= 0) {
    flock(lock_fd_, LOCK_UN);
    close(lock_fd_);
    lock_fd_ = -1;
  }
}

LONG HiveStore::Commit() {
  std::string temp =
      Folder(path_) + "/" + TempStoreFilePrefix(path_) + std::to_string(getpid()) + "-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
  struct stat st {};
  if (stat(path_.c_str(), &st) == 0) fchmod(fd, st.st_mode & 07777);
  close(fd);
  errno = 0;
  LONG rc = ERROR_SUCCESS;
  if (hivex_commit(hive_, temp.c_str(), 0) != 0) {
    rc = errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
  } else if (!WriteTimes(temp)) {
    rc = errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
  } else if (!SyncPath(temp, O_RDONLY)) {
    rc = errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
  } else if (rename(temp.c_str(), path_.c_str()) != 0) {
    rc = ERROR_ACCESS_DENIED;
  }
  if (rc != ERROR_SUCCESS) {
    unlink(temp.c_str());
    return rc;
  }
  SyncPath(Folder(path_), O_RDONLY | O_DIRECTORY);
  // Memory and the file agree again: class names are read from the new file.
  if (int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
    close(file_fd_);
    file_fd_ = fd;
  }
  if (stat(path_.c_str(), &st) == 0) {
    stamp_ = FileStamp{st.st_dev, st.st_ino, st.st_size,
                       static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  }
  return ERROR_SUCCESS;
}

void HiveStore::Discard() {
  pending_.clear();
  touched_.clear();
  broken_ = ERROR_SUCCESS;
  // Read again even if the file did not change: memory holds the undone edits.
  if (!Load().ok()) {
    children_.clear();
    values_.clear();
  }
}

int64_t HiveStore::Now() {
  // FILETIME: 100 ns since 1601-01-01 UTC.
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return (static_cast<int64_t>(now.tv_sec) + 11644473600LL) * 10000000 + now.tv_nsec / 100;
}

void HiveStore::Touch(KeyId key) {
  if (key >= kRoot) touched_[key] = Now();
}

bool HiveStore::WriteTimes(const std::string& temp) {
  // hivex has no call to set a key's time, and writes the times it read:
  // every time set since the file was read goes into its key cell of each
  // committed file, 8 bytes past the cell's start.
  for (const auto& [key, time] : touched_) {
    size_t offset = 0;
    if (Locate(key, &offset) == ERROR_SUCCESS) times_[offset] = time;
  }
  touched_.clear();
  if (times_.empty()) return true;
  Fd f{open(temp.c_str(), O_RDWR | O_CLOEXEC)};
  if (f.fd < 0) return false;
  for (const auto& [offset, time] : times_) {
    char tag[2] = {};
    if (pread(f.fd, tag, 2, static_cast<off_t>(offset + 4)) != 2 || tag[0] != 'n' || tag[1] != 'k') {
      continue;
    }
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(static_cast<uint64_t>(time) >> (8 * i));
    if (pwrite(f.fd, bytes, sizeof bytes, static_cast<off_t>(offset + 8)) != sizeof bytes) return false;
  }
  return true;
}

LONG HiveStore::SetKeyTime(KeyId key, int64_t last_write) {
  return Write([&]() -> LONG {
    size_t offset = 0;
    LONG rc = Locate(key, &offset);
    if (rc == ERROR_SUCCESS) touched_[key] = last_write;
    return rc;
  });
}

std::string HiveStore::ReadCell(size_t offset, size_t length) {
  std::string bytes(length, '\0');
  ssize_t n = pread(file_fd_, bytes.data(), length, static_cast<off_t>(offset));
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}

LONG HiveStore::QueryInfo(KeyId key, KeyInfo* info) {
  *info = KeyInfo();
  size_t offset = 0;
  const std::vector<Child>* children = nullptr;
  LONG rc = ChildrenOf(key, &offset, &children);
  if (rc != ERROR_SUCCESS) return rc;
  auto u16 = [](std::string_view text) { return static_cast<DWORD>(Utf8ToUtf16(text).size()); };
  info->sub_keys = static_cast<DWORD>(children->size());
  for (const Child& child : *children) {
    info->max_sub_key_len = std::max(info->max_sub_key_len, u16(child.name));
    info->max_class_len = std::max(info->max_class_len, static_cast<DWORD>(ClassOf(child.offset).size() / 2));
  }
  if (auto pending = pending_.find(key); pending != pending_.end()) {
    for (const PendingValue& v : pending->second) {
      ++info->values;
      info->max_value_name_len = std::max(info->max_value_name_len, u16(v.name));
      info->max_value_len = std::max(info->max_value_len, static_cast<DWORD>(v.data.size()));
    }
  } else {
    const std::vector<size_t>* values = nullptr;
    if ((rc = Values(offset, &values)) != ERROR_SUCCESS) return rc;
    for (size_t value : *values) {
      Freed<char> name{hivex_value_key(hive_, value)};
      hive_type t{};
      size_t length = 0;
      if (name.p == nullptr || hivex_value_type(hive_, value, &t, &length) != 0) return Failure();
      ++info->values;
      info->max_value_name_len = std::max(info->max_value_name_len, u16(name.p));
      info->max_value_len = std::max(info->max_value_len, static_cast<DWORD>(length));
    }
  }
  info->class_name = Utf16ToUtf8(LeBytesToUtf16(ClassOf(offset)));
  if (auto t = touched_.find(key); t != touched_.end()) {
    info->last_write = t->second;
  } else if (auto w = times_.find(offset); w != times_.end()) {
    info->last_write = w->second;
  } else {
    info->last_write = hivex_node_timestamp(hive_, offset);
    if (info->last_write < 0) info->last_write = 0;
  }
  return ERROR_SUCCESS;
}

std::string HiveStore::ClassOf(size_t offset) {
  // The key cell: size, "nk", ..., the class cell's offset at 0x34 and the
  // class's length in bytes at 0x4E (both from the cell's start). Offsets in
  // cells count from the first hbin, at 4096. A key made since the file was
  // read is not in it, and has no class.
  std::string nk = ReadCell(offset, 0x50);
  if (nk.size() < 0x50 || nk.compare(4, 2, "nk") != 0) return "";
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(nk[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(nk[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(nk[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(nk[at + 3])) << 24;
  };
  const uint32_t cell = u32(0x34);
  const size_t length = static_cast<unsigned char>(nk[0x4E]) | static_cast<unsigned char>(nk[0x4F]) << 8;
  if (cell == 0xFFFFFFFFu || length == 0) return "";
  std::string text = ReadCell(4096 + static_cast<size_t>(cell) + 4, length);
  return text.size() == length ? text : "";
}

LONG HiveStore::Walk(KeyId top, StoreWalkVisitor& visitor) {
  LONG rc = Refresh();
  if (rc != ERROR_SUCCESS || walking_) return rc != ERROR_SUCCESS ? rc : RegistryStore::Walk(top, visitor);
  walking_ = true;
  rc = RegistryStore::Walk(top, visitor);
  walking_ = false;
  return rc;
}

LONG HiveStore::BeginTransaction() {
  if (ReadOnly()) return ERROR_ACCESS_DENIED;
  if (in_transaction_) return ERROR_INVALID_PARAMETER;
  LONG rc = Lock();
  if (rc == ERROR_SUCCESS) in_transaction_ = true;
  return rc;
}

LONG HiveStore::CommitTransaction() {
  if (!in_transaction_) return ERROR_INVALID_FUNCTION;
  in_transaction_ = false;
  LONG rc = broken_ != ERROR_SUCCESS ? broken_ : FlushValues();
  if (rc == ERROR_SUCCESS) rc = Commit();
  if (rc != ERROR_SUCCESS) Discard();
  Unlock();
  return rc;
}

LONG HiveStore::RollbackTransaction() {
  if (!in_transaction_) return ERROR_INVALID_FUNCTION;
  in_transaction_ = false;
  Discard();
  Unlock();
  return ERROR_SUCCESS;
}

}  // namespace qvr
