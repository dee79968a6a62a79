#include "registry/regf_check.h"

#include <cstdio>
#include <string>

namespace qvr {
namespace {

constexpr size_t kBaseBlock = 4096;
constexpr size_t kBinUnit = 4096;
constexpr size_t kBinHeader = 32;
constexpr size_t kNkHeader = 4 + 0x4C;  // size field and nk fields before the name

uint32_t Get32(std::string_view s, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(s[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}

Status Corrupt(const std::string& what, size_t at) {
  char where[32];
  std::snprintf(where, sizeof where, " at offset 0x%zx", at);
  return Status::Registry(ERROR_REGISTRY_CORRUPT, "registry hive: " + what + where);
}

}  // namespace

Status CheckHiveImage(std::string_view image, HiveHeader* header) {
  *header = HiveHeader();
  if (image.size() < kBaseBlock || image.substr(0, 4) != "regf") {
    return Status::Registry(ERROR_NOT_REGISTRY_FILE, "not a registry hive file");
  }
  header->sequence1 = Get32(image, 0x04);
  header->sequence2 = Get32(image, 0x08);
  header->last_written = static_cast<int64_t>(Get32(image, 0x0C) | uint64_t{Get32(image, 0x10)} << 32);
  header->major = Get32(image, 0x14);
  header->minor = Get32(image, 0x18);
  header->root_offset = Get32(image, 0x24);
  header->data_size = Get32(image, 0x28);

  uint32_t sum = 0;
  for (size_t i = 0; i < 0x1FC; i += 4) sum ^= Get32(image, i);
  const uint32_t stored = Get32(image, 0x1FC);
  // Windows writes 0 as 1 and 0xFFFFFFFF as 0xFFFFFFFE; other writers do not.
  const uint32_t adjusted = sum == 0 ? 1 : (sum == 0xFFFFFFFFu ? 0xFFFFFFFEu : sum);
  if (stored != sum && stored != adjusted) return Corrupt("bad base block checksum", 0x1FC);
  if (header->major != 1) return Corrupt("version " + std::to_string(header->major) + " (not 1)", 0x14);
  if (Get32(image, 0x1C) != 0) return Corrupt("not a primary hive file (type)", 0x1C);
  if (Get32(image, 0x20) != 1) return Corrupt("unknown file format", 0x20);
  const size_t data = header->data_size;
  if (data == 0 || data % kBinUnit != 0) return Corrupt("bad hive bins data size", 0x28);
  if (data > image.size() - kBaseBlock) {
    return Corrupt("truncated: the hive bins end past the end of the file", image.size());
  }
  if (header->root_offset >= data) return Corrupt("root cell offset outside the hive bins", 0x24);

  bool root_seen = false;
  for (size_t bin = 0; bin < data;) {
    const size_t at = kBaseBlock + bin;
    if (image.substr(at, 4) != "hbin") return Corrupt("no hbin signature", at);
    if (Get32(image, at + 4) != bin) return Corrupt("hbin offset field does not match", at + 4);
    const size_t size = Get32(image, at + 8);
    if (size == 0 || size % kBinUnit != 0 || size > data - bin) {
      return Corrupt("bad hbin size " + std::to_string(size), at + 8);
    }
    const size_t end = bin + size;
    for (size_t cell = bin + kBinHeader; cell < end;) {
      const size_t cell_at = kBaseBlock + cell;
      if (end - cell < 4) return Corrupt("cell past the end of its hbin", cell_at);
      const int32_t raw = static_cast<int32_t>(Get32(image, cell_at));
      const bool allocated = raw < 0;
      const size_t cell_size = allocated ? 0 - static_cast<size_t>(static_cast<int64_t>(raw))
                                         : static_cast<size_t>(raw);
      if (cell_size == 0 || cell_size % 8 != 0) {
        return Corrupt("bad cell size " + std::to_string(raw), cell_at);
      }
      if (cell_size > end - cell) return Corrupt("cell runs past the end of its hbin", cell_at);
      if (cell == header->root_offset) {
        root_seen = true;
        if (!allocated) return Corrupt("the root cell is free", cell_at);
        if (cell_size < kNkHeader || image.substr(cell_at + 4, 2) != "nk") {
          return Corrupt("the root cell is not a key (nk)", cell_at);
        }
        const size_t name_len = static_cast<unsigned char>(image[cell_at + kNkHeader - 4]) |
                                static_cast<unsigned char>(image[cell_at + kNkHeader - 3]) << 8;
        if (kNkHeader + name_len > cell_size) {
          return Corrupt("the root key's name runs past its cell", cell_at);
        }
      }
      cell += cell_size;
    }
    bin = end;
  }
  if (!root_seen) return Corrupt("root cell offset is not the start of a cell", 0x24);
  return Status::OK();
}

}  // namespace qvr
