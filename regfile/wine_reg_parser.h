// WineRegParser: reads a registry file of a Wine prefix ("WINE REGISTRY
// Version 2": system.reg, user.reg, userdef.reg).
//
// The file's keys are relative to the hive the file belongs to; paths reach
// the sink as written, without a hive name. The forms read:
//
//   [Software\\Wine\\Key] 1603211567    a key with its last-write time in
//                                       seconds since 1970 (UTC)
//   #time=1d6a6d2a5c3e5f0               the key's time as a FILETIME in
//                                       hexadecimal (newer Wine writes both)
//   #class="..."                        the key's class name
//   #arch=win64  #link                  other metadata: skipped
//   @="text"   "name"="text"            REG_SZ (the terminator is added)
//   "name"=str(2):"text"                a text type N (hexadecimal)
//   "name"=dword:0000002a   "name"=hex:..   "name"=hex(N):..
//   ;; comments, blank lines; hex data continued by a "\" at the line's end
//
// Names and texts use Wine's escapes: \\ \" \[ \] \a \b \e \f \n \r \t \v,
// \xH to \xHHHH (a UTF-16 unit) and \o to \ooo (octal). Any unit, a lone
// surrogate or a NUL among them, reaches the data unchanged.
#ifndef QVR_REGFILE_WINE_REG_PARSER_H_
#define QVR_REGFILE_WINE_REG_PARSER_H_

#include <string>
#include <string_view>

#include "regfile/reg_sink.h"
#include "registry/status.h"
#include "regfile/reg_text_source.h"

namespace qvr {

class WineRegParser {
 public:
  static constexpr std::string_view kHeader = "WINE REGISTRY Version 2";

  // Reads all of `source` into `sink` (never DeleteKey or DeleteValue).
  Status Parse(RegTextSource& source, RegSink& sink);

 private:
  Status KeyLine(std::string_view line, RegSink& sink);
  // A "#name=..." line of the key read last: its time or class.
  Status MetadataLine(std::string_view line, RegSink& sink);
  Status ValueLine(std::string_view line, RegTextSource& source, RegSink& sink);

  bool in_key_ = false;
  int64_t line_ = 0;
  std::u16string wide_;
  std::string scratch_;
};

}  // namespace qvr

#endif  // QVR_REGFILE_WINE_REG_PARSER_H_
