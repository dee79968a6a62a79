#include "regfile/reg_file_exporter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/unicode.h"
#include "regfile/atomic_file.h"

namespace qvr {
namespace {

constexpr size_t kDrainAt = 1 << 20;

}  // namespace

// Writes each key the walk reports, with its values, as it comes. Keeps the
// path of the key being written and where each of its ancestors' paths end.
class RegFileExporter::TreeWriter : public StoreWalkVisitor {
 public:
  TreeWriter(std::string top, RegFileWriter& writer, const std::function<bool()>& drain)
      : path_(std::move(top)), writer_(writer), drain_(drain) {}

  LONG Key(int depth, KeyId, std::string_view name) override {
    // Hand on what is waiting before the next key, so that output never
    // piles up far past kDrainAt.
    if (writer_.pending() >= kDrainAt && !drain_()) return Fail(1, "the file could not be written");
    if (depth > 0) {
      path_.resize(ends_[depth - 1]);
      path_ += '\\';
      path_ += name;
    }
    ends_.resize(depth);
    ends_.push_back(path_.size());
    if (!writer_.Key(path_)) {
      return Fail(ERROR_INVALID_PARAMETER, "a key name with a line break cannot be written: " + path_);
    }
    if (writer_.failed()) return Fail(1, "the file could not be written");
    ++keys_;
    return ERROR_SUCCESS;
  }

  LONG Value(std::string_view name, DWORD type, std::string_view stored) override {
    if (!writer_.Value(name, type, stored)) {
      return Fail(ERROR_INVALID_PARAMETER,
                  "a value name with a line break cannot be written, in " + path_);
    }
    if (writer_.failed()) return Fail(1, "the file could not be written");
    ++values_;
    return ERROR_SUCCESS;
  }

  // The outcome of a walk that returned `rc`: the writer's own failure, or
  // the registry's, told with the key it was reading.
  Status Result(LONG rc) {
    if (!failure_.ok() || rc == ERROR_SUCCESS) return failure_;
    return Status::Registry(rc, "cannot read the keys and values below " + path_);
  }
  int64_t keys() const { return keys_; }
  int64_t values() const { return values_; }

 private:
  LONG Fail(LONG code, std::string message) {
    failure_ = Status::Registry(code, std::move(message));
    return code;
  }

  std::string path_;
  std::vector<size_t> ends_;  // where the path of the key at each depth ends
  RegFileWriter& writer_;
  const std::function<bool()>& drain_;
  Status failure_;
  int64_t keys_ = 0;
  int64_t values_ = 0;
};

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
  TreeWriter tree(StoredPath(key), writer, drain);
  rc = service_.WalkTree(start, tree);
  service_.CloseKey(start);
  keys_ = tree.keys();
  values_ = tree.values();
  Status status = tree.Result(rc);
  if (status.ok() && writer.pending() >= kDrainAt && !drain()) {
    status = Status::Registry(1, "the file could not be written");
  }
  return status;
}

Status RegFileExporter::ExportFile(const std::string& key_text, const std::string& path,
                                   RegFileWriter::Dialect dialect) {
  RegKeyPath key;
  std::string error;
  if (!RegKeyPath::Parse(key_text, &key, &error)) {
    return Status::Registry(ERROR_INVALID_PARAMETER, error);
  }
  // Written under a temporary name and renamed over the target (AtomicFile):
  // a failed export leaves the old file, and a target that is not a regular
  // file is refused before anything is written.
  AtomicFile file;
  Status status = file.Begin(path);
  if (!status.ok()) return status;
  // The writer hands each piece on as it is made: nothing waits to be drained.
  RegFileWriter writer(dialect);
  writer.StreamTo([&](std::string_view bytes) { return file.Append(bytes); });
  status = Export(key, writer, [&] { return !writer.failed(); });
  if (status.ok()) writer.Finish();
  // A failed write is told by Commit, which then renames nothing.
  if (status.ok() || writer.failed()) {
    Status written = file.Commit();
    if (!written.ok()) return written;
  }
  return status;
}

}  // namespace qvr
