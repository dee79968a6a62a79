#include "regfile/reg_file_exporter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/unicode.h"

namespace qvr {
namespace {

constexpr size_t kDrainAt = 1 << 20;

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

Status RegFileExporter::Walk(HKEY key, std::string& path, RegFileWriter& writer,
                                const std::function<bool()>& drain) {
  if (!writer.Key(path)) {
    return Status::Registry(ERROR_INVALID_PARAMETER,
                               "a key name with a line break cannot be written: " + path);
  }
  ++keys_;
  std::string name, data;
  DWORD type = 0;
  LONG rc;
  for (DWORD i = 0; (rc = service_.EnumValueBytes(key, i, &name, &type, &data)) == ERROR_SUCCESS;
       ++i) {
    if (!writer.Value(name, type, data)) {
      return Status::Registry(ERROR_INVALID_PARAMETER,
                                 "a value name with a line break cannot be written, in " + path);
    }
    ++values_;
  }
  if (rc != ERROR_NO_MORE_ITEMS) return Status::Registry(rc, "cannot read the values of " + path);
  if (writer.pending() >= kDrainAt && !drain()) {
    return Status::Registry(1, "the file could not be written");
  }
  // Names first, so the walk below does not depend on enumeration state.
  std::vector<std::string> children;
  char buffer[1025];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof buffer;
    rc = service_.EnumKey(key, i, buffer, &size);
    if (rc != ERROR_SUCCESS) break;
    children.emplace_back(buffer, size);
  }
  if (rc != ERROR_NO_MORE_ITEMS) return Status::Registry(rc, "cannot read the sub-keys of " + path);
  for (const std::string& child : children) {
    HKEY sub = 0;
    rc = service_.OpenKey(key, child.c_str(), &sub);
    if (rc == ERROR_FILE_NOT_FOUND) continue;  // deleted meanwhile by someone else
    if (rc != ERROR_SUCCESS) {
      return Status::Registry(rc, "cannot open " + path + "\\" + child);
    }
    size_t length = path.size();
    path += '\\';
    path += child;
    Status status = Walk(sub, path, writer, drain);
    path.resize(length);
    service_.CloseKey(sub);
    if (!status.ok()) return status;
  }
  return Status::OK();
}

std::string RegFileExporter::StoredPath(const RegKeyPath& key) {
  std::string path = key.root_name();
  HKEY root = 0;
  bool must_close = false;
  if (key.OpenRoot(service_, &root, &must_close) != ERROR_SUCCESS) return key.FileName();
  HKEY parent = root;
  std::string_view rest = key.sub_key();
  char buffer[1025];
  while (!rest.empty()) {
    size_t slash = rest.find('\\');
    std::string part(rest.substr(0, slash));
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    // The parent's listing holds the name in the letter case it was made with.
    std::string stored = part;
    DWORD size = sizeof buffer;
    for (DWORD i = 0; service_.EnumKey(parent, i, buffer, &size) == ERROR_SUCCESS;
         ++i, size = sizeof buffer) {
      if (EqualsNoCase(std::string_view(buffer, size), part)) {
        stored.assign(buffer, size);
        break;
      }
    }
    path += '\\';
    path += stored;
    HKEY child = 0;
    LONG rc = service_.OpenKey(parent, part.c_str(), &child);
    if (parent != root || must_close) service_.CloseKey(parent);
    if (rc != ERROR_SUCCESS) return key.FileName();
    parent = child;
  }
  if (parent != root || must_close) service_.CloseKey(parent);
  return path;
}

Status RegFileExporter::Export(const RegKeyPath& key, RegFileWriter& writer,
                                  const std::function<bool()>& drain) {
  keys_ = values_ = 0;
  HKEY root = 0;
  bool must_close = false;
  LONG rc = key.OpenRoot(service_, &root, &must_close);
  if (rc != ERROR_SUCCESS) {
    return Status::Registry(rc, "cannot connect to " + key.machine());
  }
  HKEY start = 0;
  rc = service_.OpenKey(root, key.sub_key().c_str(), &start);
  if (must_close) service_.CloseKey(root);
  if (rc != ERROR_SUCCESS) {
    return Status::Registry(
        rc, rc == ERROR_FILE_NOT_FOUND
                ? "The system was unable to find the specified registry key or value."
                : "cannot open " + key.FileName());
  }
  std::string path = StoredPath(key);
  Status status = Walk(start, path, writer, drain);
  service_.CloseKey(start);
  return status;
}

Status RegFileExporter::ExportFile(const std::string& key_text, const std::string& path,
                                      RegFileWriter::Dialect dialect) {
  RegKeyPath key;
  std::string error;
  if (!RegKeyPath::Parse(key_text, &key, &error)) {
    return Status::Registry(ERROR_INVALID_PARAMETER, error);
  }
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    return Status::Registry(1, "cannot write beside " + path + ": " + std::strerror(errno));
  }
  // A new file gets the permissions the user's mask gives any file.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  RegFileWriter writer(dialect);
  std::string chunk;
  bool written = true;
  auto drain = [&]() {
    writer.TakeOutput(&chunk);
    written = written && WriteAll(fd, chunk);
    return written;
  };
  Status status = Export(key, writer, drain);
  if (status.ok()) {
    writer.Finish();
    drain();
    if (!written || fsync(fd) != 0) {
      status = Status::Registry(1, "cannot write " + path + ": " + std::strerror(errno));
    }
  }
  ::close(fd);
  if (status.ok() && std::rename(temp.c_str(), path.c_str()) != 0) {
    status = Status::Registry(1, "cannot write " + path + ": " + std::strerror(errno));
  }
  if (!status.ok()) ::unlink(temp.c_str());
  return status;
}

}  // namespace qvr
