// AtomicFile: replaces a file with new content whole, or not at all.
//
// The content goes to a temporary file in the target's folder, which Commit
// syncs to the disk and renames over the target: readers see the old file or
// the new one, never a part of either, and a failure anywhere (a full disk,
// an exception, the process killed) leaves the old file as it was and at most
// the temporary file ("NAME.XXXXXX"; removed by the destructor unless the
// process dies first).
//
// What is replaced:
// - The target must be a regular file, or not exist. A device, a FIFO, a
//   socket or a folder is refused before anything is written (so that, run
//   as root, writing to /dev/null does not make it a file).
// - A symbolic link is followed to the file it names, which is replaced
//   there (the temporary file is made in that file's folder, so the rename
//   stays atomic); the link itself is kept.
// - An existing file's permission bits (and, where allowed, owner and group)
//   carry over to the new file; a new file gets 0666 less the umask.
// - The rename gives the name a new file: other hard links to the old file
//   keep the old content.
//
//   AtomicFile file;
//   Status s = file.Begin(path);
//   if (s.ok()) { file.Append(text); s = file.Commit(); }
//
// Not thread-safe: one object per file written, used by one thread.
#ifndef QVR_REGFILE_ATOMIC_FILE_H_
#define QVR_REGFILE_ATOMIC_FILE_H_

#include <string>
#include <string_view>

#include "registry/status.h"

namespace qvr {

class AtomicFile {
 public:
  AtomicFile() = default;
  // Removes the temporary file unless Commit put it in place.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Starts replacing `path`. Fails (an IOError naming `path` and the reason,
  // nothing left behind) when the target is not a regular file, its links
  // cannot be followed, or the temporary file cannot be made.
  Status Begin(const std::string& path);
  // Adds `bytes` to the new content; false once a write failed (the failure
  // is kept for Commit, and later calls write nothing).
  bool Append(std::string_view bytes);
  // Syncs the new file and renames it over the target; the first failure
  // since Begin instead, the old file then left as it was.
  Status Commit();

  // Begin, Append and Commit in one.
  static Status Write(const std::string& path, std::string_view content);

 private:
  Status Failed(const std::string& what, int error) const;

  std::string path_;    // as the caller named it, for messages
  std::string target_;  // the file replaced: `path_` with its links followed
  std::string temp_;
  int fd_ = -1;
  int error_ = 0;  // errno of the first failed write
  bool committed_ = false;
};

}  // namespace qvr

#endif  // QVR_REGFILE_ATOMIC_FILE_H_
