#include "registry/hive_transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "registry/registry_api.h"
#include "registry/store_file.h"

namespace qvr {
namespace {

LONG Names(RegistryStore& store, KeyId key, std::vector<std::string>* names) {
  EnumCursor cursor;
  for (int64_t i = 0;; ++i) {
    std::string name;
    LONG rc = store.EnumChild(key, i, &cursor, &name);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    names->push_back(std::move(name));
  }
}

LONG Depth(RegistryStore& store, KeyId key, int* depth) {
  std::vector<std::string> names;
  LONG rc = Names(store, key, &names);
  int deepest = 0;
  for (size_t i = 0; rc == ERROR_SUCCESS && i < names.size(); ++i) {
    KeyId child = 0;
    int below = 0;
    rc = store.FindChild(key, names[i], &child);
    if (rc == ERROR_SUCCESS) rc = Depth(store, child, &below);
    deepest = std::max(deepest, below + 1);
  }
  *depth = deepest;
  return rc;
}

LONG Clear(RegistryStore& store, KeyId key) {
  std::vector<std::string> names;
  LONG rc = Names(store, key, &names);
  for (size_t i = 0; rc == ERROR_SUCCESS && i < names.size(); ++i) {
    KeyId child = 0;
    rc = store.FindChild(key, names[i], &child);
    if (rc == ERROR_SUCCESS) rc = Clear(store, child);
    if (rc == ERROR_SUCCESS) rc = store.DeleteKey(child);
  }
  while (rc == ERROR_SUCCESS) {
    std::string name, data;
    DWORD type = 0;
    EnumCursor first;
    rc = store.EnumValue(key, 0, &first, &name, &type, &data);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc == ERROR_SUCCESS) rc = store.DeleteValue(key, name);
  }
  return rc;
}

LONG Copy(RegistryStore& store, KeyId key, RegistryStore& from, KeyId from_key) {
  EnumCursor values;
  for (int64_t i = 0;; ++i) {
    std::string name, data;
    DWORD type = 0;
    LONG rc = from.EnumValue(from_key, i, &values, &name, &type, &data);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_SUCCESS) rc = store.SetValue(key, name, type, data);
    if (rc != ERROR_SUCCESS) return rc;
  }
  std::vector<std::string> names;
  LONG rc = Names(from, from_key, &names);
  for (size_t i = 0; rc == ERROR_SUCCESS && i < names.size(); ++i) {
    KeyId source = 0, target = 0;
    bool created = false;
    rc = from.FindChild(from_key, names[i], &source);
    if (rc == ERROR_SUCCESS) rc = store.CreateChild(key, names[i], &target, &created);
    if (rc == ERROR_SUCCESS) rc = Copy(store, target, from, source);
  }
  // Last, as making the sub-keys changed the time: the key keeps the time
  // it had where it came from.
  KeyInfo info;
  if (rc == ERROR_SUCCESS) rc = from.QueryInfo(from_key, &info);
  if (rc == ERROR_SUCCESS && info.last_write != 0) rc = store.SetKeyTime(key, info.last_write);
  return rc;
}

}  // namespace

LONG ReadTree(RegistryStore& store, KeyId key, HiveKey* tree) {
  KeyInfo info;
  LONG found = store.QueryInfo(key, &info);
  if (found != ERROR_SUCCESS) return found;
  tree->class_name = info.class_name;
  tree->last_write = info.last_write;
  EnumCursor values;
  for (int64_t i = 0;; ++i) {
    HiveValue value;
    LONG rc = store.EnumValue(key, i, &values, &value.name, &value.type, &value.data);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return rc;
    tree->values.push_back(std::move(value));
  }
  std::vector<std::string> names;
  LONG rc = Names(store, key, &names);
  tree->children.resize(names.size());
  for (size_t i = 0; rc == ERROR_SUCCESS && i < names.size(); ++i) {
    KeyId child = 0;
    tree->children[i].name = names[i];
    rc = store.FindChild(key, names[i], &child);
    if (rc == ERROR_SUCCESS) rc = ReadTree(store, child, &tree->children[i]);
  }
  return rc;
}

LONG ReplaceTree(RegistryStore& store, KeyId key, int depth, RegistryStore& from, KeyId from_key) {
  int below = 0;
  LONG rc = Depth(from, from_key, &below);
  if (rc != ERROR_SUCCESS) return rc;
  if (depth + below > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
  rc = Clear(store, key);
  return rc != ERROR_SUCCESS ? rc : Copy(store, key, from, from_key);
}

Status WriteFileAtomically(const std::string& path, const std::string& image, bool replace) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      return Status::Registry(ERROR_ACCESS_DENIED,
                              path + " is " + FileKindName(st.st_mode) + ", not a file");
    }
    if (!replace) return Status::Registry(ERROR_ALREADY_EXISTS, path + " exists already");
  }
  auto fail = [&](const std::string& what) {
    LONG code = errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
    return Status::Registry(code, "cannot " + what + " " + path + ": " + std::strerror(errno));
  };
  std::string folder = path.rfind('/') == std::string::npos ? "." : path.substr(0, path.rfind('/'));
  if (folder.empty()) folder = "/";
  std::string temp = folder + "/" + TempStoreFilePrefix(path) + std::to_string(getpid()) + "-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return fail("write beside");
  fchmod(fd, 0644);
  size_t written = 0;
  while (written < image.size()) {
    ssize_t n = write(fd, image.data() + written, image.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  bool ok = written == image.size() && fsync(fd) == 0;
  int saved = errno;
  close(fd);
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    if (ok) saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return fail("write");
  }
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return Status::OK();
}

}  // namespace qvr
