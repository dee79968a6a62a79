// Imports arbitrary bytes as a .reg file into a fresh registry in memory:
// the reader, the importer, the registry service and the store together.
// A failed import must leave the store as it was; a successful one must
// export to a file that reads back.
#include <cstddef>
#include <cstdint>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvr::fuzz::CheckImport(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
