// What the hive fuzz targets share: a file in memory that hivex can open by
// name, and a walk over everything hivex can read of a hive. A broken
// promise aborts: libFuzzer keeps the input.
#ifndef QVR_FUZZ_HIVE_FUZZ_H_
#define QVR_FUZZ_HIVE_FUZZ_H_

#include <hivex.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>

namespace qvr::fuzz {

inline void Require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

// A value's type as hivex stores it: any 32-bit number, so read without
// loading it as the enum (whose range it may leave).
inline uint32_t TypeOf(const hive_type& t) {
  static_assert(sizeof(hive_type) == sizeof(uint32_t));
  uint32_t raw;
  std::memcpy(&raw, &t, sizeof raw);
  return raw;
}

// One memfd for the whole run, rewritten for each input; hivex opens it
// through /proc/self/fd.
class MemFile {
 public:
  MemFile() : fd_(memfd_create("hive", 0)) {
    Require(fd_ >= 0, "no memfd");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  hive_h* Open(std::string_view bytes, int flags = 0) {
    Require(ftruncate(fd_, 0) == 0, "memfd truncate");
    Require(pwrite(fd_, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()),
            "memfd write");
    return hivex_open(path_.c_str(), flags);
  }

 private:
  int fd_;
  std::string path_;
};

// Reads every key and value below `node` once, as a browser would, within a
// budget of keys (a damaged hive may link keys in a loop).
inline void Walk(hive_h* h, hive_node_h node, std::unordered_set<hive_node_h>& seen,
                 size_t& budget) {
  if (budget == 0 || !seen.insert(node).second) return;
  --budget;
  free(hivex_node_name(h, node));
  hivex_node_timestamp(h, node);
  hivex_node_parent(h, node);
  hivex_node_nr_values(h, node);
  if (hive_value_h* values = hivex_node_values(h, node)) {
    for (size_t i = 0; values[i]; ++i) {
      free(hivex_value_key(h, values[i]));
      hive_type t;
      size_t len = 0;
      if (hivex_value_type(h, values[i], &t, &len) != 0) continue;
      free(hivex_value_value(h, values[i], &t, &len));
      const uint32_t type = TypeOf(t);
      if (type == hive_t_REG_SZ || type == hive_t_REG_EXPAND_SZ || type == hive_t_REG_LINK) {
        free(hivex_value_string(h, values[i]));
      } else if (type == hive_t_REG_MULTI_SZ) {
        if (char** strings = hivex_value_multiple_strings(h, values[i])) {
          for (size_t j = 0; strings[j]; ++j) free(strings[j]);
          free(strings);
        }
      } else if (type == hive_t_REG_DWORD || type == hive_t_REG_DWORD_BIG_ENDIAN) {
        hivex_value_dword(h, values[i]);
      } else if (type == hive_t_REG_QWORD) {
        hivex_value_qword(h, values[i]);
      }
    }
    free(values);
  }
  if (hive_node_h* children = hivex_node_children(h, node)) {
    for (size_t i = 0; children[i]; ++i) Walk(h, children[i], seen, budget);
    free(children);
  }
}

}  // namespace qvr::fuzz

#endif  // QVR_FUZZ_HIVE_FUZZ_H_
