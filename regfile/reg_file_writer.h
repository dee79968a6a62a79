// RegFileWriter: writes a .reg file as the Windows registry editor does.
//
// Version 5.00 files are UTF-16LE with a byte-order mark, REGEDIT4 files
// 8-bit text in the system code page (UTF-8); lines end in CR LF. Each key is
// a blank line and "[path]", then its values one a line:
//   REG_SZ        "name"="text" (\ and " escaped as \\ and \")
//   REG_DWORD     "name"=dword:0000002a
//   REG_BINARY    "name"=hex:01,02
//   anything else "name"=hex(N):... with N in lower-case hexadecimal
// and the unnamed value as @=. Hex data wraps with ",\" and two spaces of
// indent so that no line passes 80 columns. A REG_SZ that text cannot carry
// exactly (no terminator, a NUL inside, a line break, bytes that are not
// UTF-16, no data at all) is written as hex(1): so that it reads back
// byte for byte; likewise a REG_DWORD of other than four bytes as hex(4):.
//
// The writer collects the file's bytes; the caller takes them in pieces
// (TakeOutput) and writes them where it likes. Or it streams them: after
// StreamTo the bytes go to the caller's output a piece at a time as lines
// are done (hex data is written a line at a time), so the writer holds about
// one value's text at most, whatever the size of the file. Not thread-safe.
#ifndef QVR_REGFILE_REG_FILE_WRITER_H_
#define QVR_REGFILE_REG_FILE_WRITER_H_

#include <functional>
#include <string>
#include <string_view>

#include "registry/registry_api.h"

namespace qvr {

class RegFileWriter {
 public:
  enum class Dialect { kRegedit5, kRegedit4 };

  // Starts the file with its byte-order mark (5.00) and header line.
  explicit RegFileWriter(Dialect dialect = Dialect::kRegedit5);

  // False, writing nothing, for a name a line cannot hold (CR or LF in it).
  bool Key(std::string_view path);
  bool DeleteKey(std::string_view path);
  bool Value(std::string_view name, DWORD type, std::string_view stored);
  bool DeleteValue(std::string_view name);
  // Ends the file with its closing blank line.
  void Finish();

  // Moves the bytes written so far into `out` (replacing its content).
  void TakeOutput(std::string* out);
  size_t pending() const { return out_.size(); }

  // From now on hands the bytes to `output` in pieces of up to about 64 KiB
  // (what is pending first). Once `output` returns false nothing more is
  // written and failed() is true.
  using Output = std::function<bool(std::string_view bytes)>;
  void StreamTo(Output output);
  bool failed() const { return failed_; }

  // True when `stored` REG_SZ data reads back exactly from "text" form.
  static bool TextFormFits(std::string_view stored, std::string* text);

 private:
  void Emit();  // line_ plus CR LF, encoded, onto out_ (and on to the output)
  void Encode(std::string_view utf8);  // onto out_, in the file's encoding
  void Flush();  // out_ to the output, when streaming
  void Name(std::string_view name);
  void Hex(std::string_view bytes);

  Dialect dialect_;
  std::string line_;  // UTF-8
  std::string out_;
  std::string text_;
  Output output_;
  bool failed_ = false;
};

}  // namespace qvr

#endif  // QVR_REGFILE_REG_FILE_WRITER_H_
