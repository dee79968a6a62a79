// Feeds arbitrary bytes to the hive checker; what it accepts, hivex opens
// and reads whole. A crash inside hivex on an accepted file is damage the
// checker lets through. The bytes are tried twice: as they are, and with the
// base block's checksum made right, so that mutations reach past it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "hive_fuzz.h"
#include "registry/regf_check.h"

namespace {

void CheckAndRead(std::string_view image) {
  static qvr::fuzz::MemFile file;
  qvr::HiveHeader header;
  qvr::Status status = qvr::CheckHiveImage(image, &header);
  if (!status.ok()) {
    qvr::fuzz::Require(status.code() == qvr::ERROR_NOT_REGISTRY_FILE ||
                           status.code() == qvr::ERROR_REGISTRY_CORRUPT,
                       "a refusal with another code");
    qvr::fuzz::Require(!status.message().empty(), "a refusal without a message");
    return;
  }
  hive_h* h = file.Open(image);
  if (!h) return;  // hivex may refuse more; it must not crash
  std::unordered_set<hive_node_h> seen;
  size_t budget = 2000;
  if (hive_node_h root = hivex_root(h)) qvr::fuzz::Walk(h, root, seen, budget);
  hivex_close(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string image(reinterpret_cast<const char*>(data), size);
  CheckAndRead(image);
  if (image.size() >= 0x200) {
    uint32_t sum = 0;
    for (size_t i = 0; i < 0x1FC; i += 4) {
      sum ^= static_cast<uint32_t>(static_cast<unsigned char>(image[i])) |
             static_cast<uint32_t>(static_cast<unsigned char>(image[i + 1])) << 8 |
             static_cast<uint32_t>(static_cast<unsigned char>(image[i + 2])) << 16 |
             static_cast<uint32_t>(static_cast<unsigned char>(image[i + 3])) << 24;
    }
    for (int i = 0; i < 4; ++i) image[0x1FC + i] = static_cast<char>(sum >> (8 * i));
    if (image != std::string_view(reinterpret_cast<const char*>(data), size)) CheckAndRead(image);
  }
  return 0;
}
