// A check of a registry hive file's structure, made before a hive library
// (hivex) sees the file: the base block, the hbins and the cells in them.
// It does not follow the cells' references to one another.
#ifndef QVR_REGISTRY_REGF_CHECK_H_
#define QVR_REGISTRY_REGF_CHECK_H_

#include <cstdint>
#include <string_view>

#include "registry/status.h"

namespace qvr {

// The fields of a hive's base block that a loader needs.
struct HiveHeader {
  uint32_t sequence1 = 0, sequence2 = 0;  // unequal: written only part way (see the logs)
  int64_t last_written = 0;               // FILETIME
  uint32_t major = 0, minor = 0;
  uint32_t root_offset = 0;               // of the root nk cell, from the first hbin
  uint32_t data_size = 0;                 // bytes of hbins after the base block
  bool Dirty() const { return sequence1 != sequence2; }
};

// Checks the bytes of a hive file: the base block (signature, checksum,
// version 1.x, type 0 and format 1, root and data size within the file),
// every hbin (signature, offset field, size a multiple of 4096 inside the
// data), every cell (size a non-zero multiple of 8 that stays inside its
// hbin), and that the root offset is the start of an allocated nk cell that
// holds its name. Fills *header (when the base block could be read).
// Code 1017 (ERROR_NOT_REGISTRY_FILE): not a hive file at all (shorter than
// a base block, or no "regf"); 1015 (ERROR_REGISTRY_CORRUPT), with a message
// that says what is wrong at which file offset: a damaged or truncated hive.
// The sequence numbers are not checked: see HiveHeader::Dirty. Reads only
// `image`; safe from several threads at once.
Status CheckHiveImage(std::string_view image, HiveHeader* header);

}  // namespace qvr

#endif  // QVR_REGISTRY_REGF_CHECK_H_
