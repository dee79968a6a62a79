// Store files on disk: what an existing store's file must be, and how a new
// store's file comes into being all at once.
//
// A new store is built whole under a temporary name in the folder it is
// meant for ("local.sqlite.new-PID-XXXXXX", mode 0600, PID the building
// process), synced, and linked into place. link() never replaces a file: of
// several processes making the same store at once one wins, and the others
// remove their own and use the winner's. So the store's name only ever
// names a whole store; a process killed while building leaves a temporary
// file, which a later first use removes once the process named in it is gone
// (never one that a live process may still be writing).
//
// Free functions over the file system; safe from several threads and
// processes at once.
#ifndef QVR_REGISTRY_STORE_FILE_H_
#define QVR_REGISTRY_STORE_FILE_H_

#include <sys/types.h>

#include <functional>
#include <string>

#include "registry/status.h"

namespace qvr {

// Success when `path` names a regular file (through symbolic links), without
// opening it, so a FIFO cannot block the caller. 2 when nothing is there;
// 1009 ("not a registry store (...)") for a folder, a device, a FIFO or a
// socket; 5 when it cannot be looked at.
Status CheckStoreFile(const std::string& path);

// Makes the store file `path`, where nothing may exist yet: creates an empty
// temporary file beside it, has `build` fill it (`build` gets its path and
// must have closed every connection to it when it returns), syncs it and
// links it into place. Success also when another process linked its store
// first; ours is then removed. The temporary file is removed whatever
// happens; `build`'s failure is returned as it is; 5 or 112 when the
// temporary file cannot be made or linked.
Status CreateStoreFile(const std::string& path,
                       const std::function<Status(const std::string& temp)>& build);

// Removes the temporary files beside `path` (and SQLite's side files of
// them) left by processes that are gone; a file whose process still runs is
// kept. Failures are ignored: what cannot be removed now is tried again at
// the next first use.
void RemoveStaleStoreFiles(const std::string& path);

// What a file of `mode` that is not a regular file is, for a message ("a
// FIFO", "a device").
const char* FileKindName(mode_t mode);

// The prefix of the temporary files' names beside `path`
// ("local.sqlite.new-"), for tests that look for leftovers.
std::string TempStoreFilePrefix(const std::string& path);

}  // namespace qvr

#endif  // QVR_REGISTRY_STORE_FILE_H_
