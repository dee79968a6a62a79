// RegTextSource: the lines of a registry file as UTF-8 text.
//
// The encoding is taken from the first bytes: FF FE is UTF-16LE (as the
// Windows editor writes "Windows Registry Editor Version 5.00" files), EF BB
// BF is UTF-8, anything else is 8-bit text in the system code page (UTF-8).
// A line ends at LF; a CR before the LF is dropped. Lines are bounded: the
// first at 1,024 bytes, so that a file that is not a registry file is refused
// before much of it is read, every other at `max_line` bytes of UTF-8, so an
// endless line costs no more memory than that.
#ifndef QVR_REGFILE_REG_TEXT_SOURCE_H_
#define QVR_REGFILE_REG_TEXT_SOURCE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "regfile/reg_byte_input.h"
#include "registry/status.h"

namespace qvr {

class RegTextSource {
 public:
  enum class Encoding { kUnknown, kUtf16Le, kUtf8Bom, kEightBit };

  static constexpr size_t kDefaultMaxLine = size_t{16} << 20;
  static constexpr size_t kMaxFirstLine = 1024;

  explicit RegTextSource(std::unique_ptr<RegByteInput> input, size_t max_line = kDefaultMaxLine);

  // The next line, without its end, in `line`. False at the end of the file
  // (with `status` OK) or on a fault (with `status` naming it and the line).
  bool NextLine(std::string* line, Status* status);

  // The number of the line last returned (from 1).
  int64_t line_number() const { return line_number_; }
  // Known once the first line was read.
  Encoding encoding() const { return encoding_; }
  // True when the file's last line was returned or a fault was met.
  bool done() const { return done_; }

 private:
  bool Fill(Status* status);  // false when nothing more can be read
  bool Detect(Status* status);
  bool NextUtf16(std::string* line, size_t limit, Status* status);
  bool NextBytes(std::string* line, size_t limit, Status* status);
  Status TooLong(size_t limit) const;

  std::unique_ptr<RegByteInput> input_;
  size_t max_line_;
  Encoding encoding_ = Encoding::kUnknown;
  std::string buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool eof_ = false;
  bool done_ = false;
  int64_t line_number_ = 0;
  std::u16string wide_;  // a UTF-16 line being gathered
};

}  // namespace qvr

#endif  // QVR_REGFILE_REG_TEXT_SOURCE_H_
