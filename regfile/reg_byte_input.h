// RegByteInput: the bytes of a registry file, read front to back in pieces.
//
// The readers never need a whole file in memory; a file of any size, or a
// test's generated stream, is read a buffer at a time.
#ifndef QVR_REGFILE_REG_BYTE_INPUT_H_
#define QVR_REGFILE_REG_BYTE_INPUT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "registry/status.h"

namespace qvr {

class RegByteInput {
 public:
  virtual ~RegByteInput() = default;

  // Reads up to `size` bytes into `buffer`: the count read, 0 at the end,
  // -1 when the medium failed.
  virtual int64_t Read(char* buffer, size_t size) = 0;

  // The file at `path`, into `*input`; fails when it cannot be opened or is
  // not a regular file (a folder, a device).
  static Status OpenFile(const std::string& path, std::unique_ptr<RegByteInput>* input);
  // Bytes the caller keeps alive while the input is read.
  static std::unique_ptr<RegByteInput> FromMemory(std::string_view bytes);
};

}  // namespace qvr

#endif  // QVR_REGFILE_REG_BYTE_INPUT_H_
