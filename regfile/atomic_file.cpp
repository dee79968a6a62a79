#include "regfile/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

#include "registry/store_file.h"

namespace qvr {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel follows them

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file that `path` leads to through its symbolic links, into `*target`,
// and whether it exists (then `*st` describes it); false with errno set.
bool FollowLinks(const std::string& path, std::string* target, bool* exists, struct stat* st) {
  std::string current = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    if (lstat(current.c_str(), st) != 0) {
      if (errno != ENOENT) return false;
      *target = current;
      *exists = false;
      return true;
    }
    if (!S_ISLNK(st->st_mode)) {
      *target = current;
      *exists = true;
      return true;
    }
    char buffer[PATH_MAX];
    ssize_t n = readlink(current.c_str(), buffer, sizeof buffer);
    if (n < 0) return false;
    std::string link(buffer, static_cast<size_t>(n));
    current = link[0] == '/' ? link : FolderOf(current) + "/" + link;
  }
  errno = ELOOP;
  return false;
}

std::string RandomSuffix() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::string suffix(6, 'x');
  for (char& c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
  return suffix;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
}

Status AtomicFile::Failed(const std::string& what, int error) const {
  return Status::IOError("cannot write " + path_ + ": " + what + std::strerror(error));
}

Status AtomicFile::Begin(const std::string& path) {
  path_ = path;
  struct stat st {};
  bool exists = false;
  if (!FollowLinks(path, &target_, &exists, &st)) return Failed("", errno);
  if (exists && !S_ISREG(st.st_mode)) {
    return Status::IOError("cannot write " + path + ": it is " + FileKindName(st.st_mode) +
                           ", not a regular file, and is left as it is");
  }
  // Created with 0666, so a new file gets what the umask gives any file.
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_ = target_ + "." + RandomSuffix();
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    int error = errno;
    temp_.clear();
    return Failed("cannot make a file beside it: ", error);
  }
  if (exists) {
    // The owner first: changing it may clear permission bits.
    if (st.st_uid != geteuid() || st.st_gid != getegid()) (void)fchown(fd_, st.st_uid, st.st_gid);
    if (fchmod(fd_, st.st_mode & 07777) != 0) return Failed("", errno);
  }
  return Status::OK();
}

bool AtomicFile::Append(std::string_view bytes) {
  if (fd_ < 0 || error_ != 0) return false;
  if (WriteAll(fd_, bytes)) return true;
  error_ = errno != 0 ? errno : EIO;
  return false;
}

Status AtomicFile::Commit() {
  if (fd_ < 0) return Failed("", EBADF);
  if (error_ != 0) return Failed("", error_);
  bool synced = fsync(fd_) == 0;
  int error = errno;
  int closed = ::close(fd_);
  if (closed != 0 && synced) error = errno;
  fd_ = -1;
  if (!synced || closed != 0) return Failed("", error);
  if (std::rename(temp_.c_str(), target_.c_str()) != 0) return Failed("", errno);
  committed_ = true;
  // The new name is on the disk too.
  int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    ::close(folder);
  }
  return Status::OK();
}

Status AtomicFile::Write(const std::string& path, std::string_view content) {
  AtomicFile file;
  Status status = file.Begin(path);
  if (status.ok()) {
    file.Append(content);
    status = file.Commit();
  }
  return status;
}

}  // namespace qvr
