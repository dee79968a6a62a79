// RegFileParser: reads a .reg file of the Windows registry editor.
//
// Two dialects: "Windows Registry Editor Version 5.00" (usually UTF-16LE
// with a byte-order mark; UTF-8 is accepted too) and "REGEDIT4" (8-bit text
// in the system code page). The forms read:
//
//   [HKEY_LOCAL_MACHINE\Software\Key]   open (create) a key
//   [-HKEY_LOCAL_MACHINE\Software\Key]  delete a key and all below it
//   "name"="text"   @="text"            REG_SZ; \\ and \" are the escapes
//   "name"=dword:0000002a               REG_DWORD, 1 to 8 hex digits
//   "name"=hex:01,02,...                REG_BINARY
//   "name"=hex(N):01,02,...             any type N (hexadecimal, up to ffffffff)
//   "name"=-                            delete the value
//   ; comment, blank lines; hex data continued by a "\" at the line's end
//
// In "hex(N):" data of the text types 1, 2 and 7, version 5.00 gives the
// UTF-16LE bytes themselves and REGEDIT4 gives 8-bit text, which is stored
// converted. A backslash before any character other than \ and " is kept as
// written, as the Windows editor does with unescaped paths.
//
// Reading stops at the first fault; the status names the line and the fault.
// A file whose first line is not one of the two headers is refused before
// anything reaches the sink.
#ifndef QVR_REGFILE_REG_FILE_PARSER_H_
#define QVR_REGFILE_REG_FILE_PARSER_H_

#include <string>
#include <string_view>

#include "regfile/reg_sink.h"
#include "registry/status.h"
#include "regfile/reg_text_source.h"

namespace qvr {

class RegFileParser {
 public:
  enum class Dialect { kUnknown, kRegedit5, kRegedit4 };

  static constexpr std::string_view kRegedit5Header = "Windows Registry Editor Version 5.00";
  static constexpr std::string_view kRegedit4Header = "REGEDIT4";

  // Reads all of `source` into `sink`.
  Status Parse(RegTextSource& source, RegSink& sink);

  // The same in two steps, so a caller can refuse a file that is not a
  // registry file before preparing anything: the header line, then the rest.
  Status ReadHeader(RegTextSource& source);
  Status ParseBody(RegTextSource& source, RegSink& sink);

  // The dialect of the file's header, once Parse has read it.
  Dialect dialect() const { return dialect_; }

 private:
  enum class State { kNoKey, kKey, kDeletedKey };

  Status KeyLine(std::string_view line, RegSink& sink);
  Status ValueLine(std::string_view line, RegTextSource& source, RegSink& sink);
  Status Data(std::string_view name, std::string_view rest, RegTextSource& source,
                 RegSink& sink);

  Dialect dialect_ = Dialect::kUnknown;
  State state_ = State::kNoKey;
  int64_t line_ = 0;
  std::string scratch_;
};

}  // namespace qvr

#endif  // QVR_REGFILE_REG_FILE_PARSER_H_
