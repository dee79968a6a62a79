// A writer of Windows registry hive files ("regf", format 1.5): lays out a
// whole tree of keys and values as the bytes of a new hive, the way
// RegSaveKey does, for hive libraries and for Windows to load.
//
//   HiveKey root{.name = "ROOT"};
//   root.children.push_back({.name = "Software"});
//   std::string image;
//   Status s = WriteHive(root, &image);   // then write `image` to a file
//
// The layout: a 4096-byte base block, then hbins of 4096-byte multiples.
// Every key is an nk cell that points to one shared sk cell (owner and group
// BUILTIN\Administrators; full access for SYSTEM and Administrators, read for
// Everyone); sub-keys are in "lh" lists sorted as Windows sorts them (an "ri"
// over several lists for many sub-keys); data of up to 4 bytes sits in the
// vk cell, data over 16344 bytes in "db" segments. Cells are packed first-fit,
// so free space stays a few bytes per hbin.
#ifndef QVR_REGISTRY_REGF_WRITER_H_
#define QVR_REGISTRY_REGF_WRITER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "registry/registry_api.h"
#include "registry/status.h"

namespace qvr {

// One value as the store keeps it: text types (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) as UTF-16LE bytes, others as given. The bytes are written as
// they are. `name` is UTF-8; "" is the key's default value.
struct HiveValue {
  std::string name;
  DWORD type = 0;
  std::string data;
};

// One key and everything below it. `name` and `class_name` are UTF-8.
// last_write: a Windows FILETIME (100 ns since 1601, UTC); 0 = unknown (the
// time of writing is written).
struct HiveKey {
  std::string name;
  std::string class_name;
  int64_t last_write = 0;
  std::vector<HiveValue> values;
  std::vector<HiveKey> children;
};

// Lays out `root` and everything below it as the bytes of a hive file, in
// *image (replaced). The root's name is written as the hive root's name and
// may be empty. Reads only its arguments: safe from several threads at once.
// The image takes about as much memory as the file: some 100 bytes a key and
// 30 a value besides names and data.
//
// Refused with code 87 (ERROR_INVALID_PARAMETER), *image left empty, for what
// would make a corrupt hive: two sub-keys of a key, or two values of a key,
// whose names are equal without regard to case (as Windows compares them: by
// upper-cased UTF-16 unit); a name or class that is not valid UTF-8 or holds a NUL; a
// key name below the root that is empty, holds '\' or is longer than 255
// UTF-16 units; a value name longer than 16383 units; a class name longer than
// 32767 units; value data over 1 GB (65535 big-data segments); a negative
// last_write; keys nested over 512 levels; a hive over 2 GB.
Status WriteHive(const HiveKey& root, std::string* image);

}  // namespace qvr

#endif  // QVR_REGISTRY_REGF_WRITER_H_
