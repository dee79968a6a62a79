#include "registry/store_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qvr {
namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

Status CannotMake(const std::string& what, int error) {
  LONG code = error == ENOSPC || error == EDQUOT ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
  return Status::Registry(code, what + ": " + std::strerror(error));
}

// Writes the file's data, then its folder's entry for it, to the disk.
bool SyncFile(const std::string& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = fsync(fd) == 0;
  ::close(fd);
  return synced;
}

// The process that made the temporary file `name` (after `prefix`), or 0
// when the name is not one of ours.
pid_t MakerOf(const std::string& name, const std::string& prefix) {
  if (name.compare(0, prefix.size(), prefix) != 0) return 0;
  const char* digits = name.c_str() + prefix.size();
  char* end = nullptr;
  long pid = std::strtol(digits, &end, 10);
  return end != digits && *end == '-' && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

// True while a process `pid` exists (one of another user's included).
bool Running(pid_t pid) { return kill(pid, 0) == 0 || errno != ESRCH; }

}  // namespace

std::string TempStoreFilePrefix(const std::string& path) { return BaseName(path) + ".new-"; }

Status CheckStoreFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return Status::Registry(ERROR_FILE_NOT_FOUND, "no store at " + path);
    return Status::Registry(ERROR_ACCESS_DENIED,
                            "cannot look at " + path + ": " + std::strerror(errno));
  }
  if (S_ISREG(st.st_mode)) return Status::OK();
  return Status::Registry(ERROR_BADDB, std::string("not a registry store (") + FileKindName(st.st_mode) + ")");
}

Status CreateStoreFile(const std::string& path,
                       const std::function<Status(const std::string& temp)>& build) {
  const std::string folder = FolderOf(path);
  std::string temp = folder + "/" + TempStoreFilePrefix(path) + std::to_string(getpid()) + "-XXXXXX";
  // mkstemp gives mode 0600: the store is never readable by others, not even
  // for a moment.
  int fd = mkstemp(temp.data());
  if (fd < 0) return CannotMake("cannot create a store in " + folder, errno);
  ::close(fd);
  Status status = build(temp);
  // The whole store is on the disk before its name says it is there.
  if (status.ok() && !SyncFile(temp, O_RDONLY)) status = CannotMake("cannot write " + temp, errno);
  if (status.ok() && link(temp.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    status = CannotMake("cannot create " + path, errno);
  }
  // Linked or not, the temporary name goes; when another process linked its
  // store first, ours goes with it.
  ::unlink(temp.c_str());
  if (status.ok()) SyncFile(folder, O_RDONLY | O_DIRECTORY);
  return status;
}

void RemoveStaleStoreFiles(const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::string prefix = TempStoreFilePrefix(path);
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    pid_t maker = MakerOf(name, prefix);
    if (maker != 0 && !Running(maker)) ::unlink((folder + "/" + name).c_str());
  }
  closedir(dir);
}

const char* FileKindName(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

}  // namespace qvr
