// A registry of the benchmark's own: a new store in a temporary folder, so a
// benchmark never reads or writes the user's store.
#ifndef QVR_BENCH_BENCH_STORE_H_
#define QVR_BENCH_BENCH_STORE_H_

#include <cstdlib>
#include <filesystem>
#include <string>

#include "registry/registry_api.h"

namespace qvr::bench {

// Points the registry calls at a store in a new folder under /tmp (named
// after `name`) and removes the folder when it ends. Must be made before the
// program's first registry call.
class TemporaryStore {
 public:
  explicit TemporaryStore(const std::string& name) {
    std::string pattern = "/tmp/qvr-" + name + "-bench-XXXXXX";
    dir_ = mkdtemp(pattern.data());
    setenv("QVR_REGISTRY", (dir_ + "/local.sqlite").c_str(), 1);
    setenv("QVR_MACHINES", (dir_ + "/machines").c_str(), 1);
  }
  ~TemporaryStore() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TemporaryStore(const TemporaryStore&) = delete;
  TemporaryStore& operator=(const TemporaryStore&) = delete;

 private:
  std::string dir_;
};

// Opens `path` below `parent`, creating what is missing; 0 when it cannot.
inline HKEY CreateKey(HKEY parent, const std::string& path) {
  HKEY key = 0;
  RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

}  // namespace qvr::bench

#endif  // QVR_BENCH_BENCH_STORE_H_
