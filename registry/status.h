// Status: the outcome of a library operation that is not a registry call
// itself: opening a store, reaching a machine, reading or writing a registry
// file. (The registry calls return their Win32 code as a LONG.)
//
// A Status is success, or a failure with a message for a person, the Win32
// result code that callers test (0 for a fault of a file: its text, or reading
// it) and, when
// the fault is in a file, the file and line (from 1). Copies are independent;
// a Status is a value, safe to pass between threads.
//
//   Status s = importer.ImportFile(path);
//   if (!s.ok()) std::cerr << s.ToString() << "\n";  // "a.reg, line 12: ..."
#ifndef QVR_REGISTRY_STATUS_H_
#define QVR_REGISTRY_STATUS_H_

#include <cstdint>
#include <string>
#include <utility>

#include "registry/registry_api.h"

namespace qvr {

class Status {
 public:
  Status() = default;  // success

  static Status OK() { return Status(); }
  // A fault in the text of a file, at `line` (0 when no line applies).
  static Status Syntax(int64_t line, std::string message) {
    return Status(line, std::move(message), 0);
  }
  // A file that cannot be opened or read (code 0, as a fault in its text).
  static Status IOError(std::string message) { return Status(0, std::move(message), 0); }
  // A registry call that failed with `code` (a Win32 result code).
  static Status Registry(LONG code, std::string message) {
    return Status(0, std::move(message), code);
  }

  bool ok() const { return !failed_; }
  int64_t line() const { return line_; }
  LONG code() const { return code_; }
  const std::string& message() const { return message_; }

  // The same fault, placed at `line` unless it already names one.
  Status AtLine(int64_t line) const {
    Status s = *this;
    if (s.failed_ && s.line_ == 0) s.line_ = line;
    return s;
  }

  // The same fault, said to be in the file `name` (when several are read).
  Status InFile(std::string name) const {
    Status s = *this;
    s.file_ = std::move(name);
    return s;
  }
  const std::string& file() const { return file_; }

  // "user.reg, line 12: unterminated quoted string", or less when less is known.
  std::string ToString() const {
    if (!failed_) return "OK";
    std::string where = file_;
    if (line_ > 0) where += (where.empty() ? "line " : ", line ") + std::to_string(line_);
    return where.empty() ? message_ : where + ": " + message_;
  }

 private:
  Status(int64_t line, std::string message, LONG code)
      : failed_(true), line_(line), code_(code), message_(std::move(message)) {}

  bool failed_ = false;
  int64_t line_ = 0;
  LONG code_ = 0;
  std::string message_;
  std::string file_;
};

}  // namespace qvr

#endif  // QVR_REGISTRY_STATUS_H_
