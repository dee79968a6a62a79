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

Status RegFileExporter::Visit(HKEY key, const std::string& path, RegFileWriter& writer,
                              const std::function<bool()>& drain, Level* level) {
  if (!writer.Key(path)) {
    return Status::Registry(ERROR_INVALID_PARAMETER,
                               "a key name with a line break cannot be written: " + path);
  }
  if (writer.failed()) return Status::Registry(1, "the file could not be written");
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
    if (writer.failed()) return Status::Registry(1, "the file could not be written");
    ++values_;
    // Let a large value go before the next is read, so that two are never
    // held at once.
    if (data.capacity() > kDrainAt) std::string().swap(data);
  }
  if (rc != ERROR_NO_MORE_ITEMS) return Status::Registry(rc, "cannot read the values of " + path);
  if (writer.pending() >= kDrainAt && !drain()) {
    return Status::Registry(1, "the file could not be written");
  }
  // Names first, so the walk below does not depend on enumeration state.
  char buffer[1025];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof buffer;
    rc = service_.EnumKey(key, i, buffer, &size);
    if (rc != ERROR_SUCCESS) break;
    level->children.emplace_back(buffer, size);
  }
  if (rc != ERROR_NO_MORE_ITEMS) return Status::Registry(rc, "cannot read the sub-keys of " + path);
  return Status::OK();
}

Status RegFileExporter::Walk(HKEY start, std::string path, RegFileWriter& writer,
                             const std::function<bool()>& drain) {
  // The keys from `start` down to the one being visited; each holds an open
  // handle (but `start`, which the caller closes).
  std::vector<Level> stack(1);
  stack[0].key = start;
  stack[0].parent_length = path.size();
  Status status = Visit(start, path, writer, drain, &stack[0]);
  while (status.ok() && !stack.empty()) {
    Level& top = stack.back();
    if (top.next == top.children.size()) {
      path.resize(top.parent_length);
      if (stack.size() > 1) service_.CloseKey(top.key);
      stack.pop_back();
      continue;
    }
    const std::string child = std::move(top.children[top.next++]);
    HKEY sub = 0;
    LONG rc = service_.OpenKey(top.key, child.c_str(), &sub);
    if (rc == ERROR_FILE_NOT_FOUND) continue;  // deleted meanwhile by someone else
    if (rc != ERROR_SUCCESS) {
      status = Status::Registry(rc, "cannot open " + path + "\\" + child);
      break;
    }
    Level level;
    level.key = sub;
    level.parent_length = path.size();
    path += '\\';
    path += child;
    stack.push_back(std::move(level));
    status = Visit(sub, path, writer, drain, &stack.back());
  }
  for (size_t i = 1; i < stack.size(); ++i) service_.CloseKey(stack[i].key);
  return status;
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
