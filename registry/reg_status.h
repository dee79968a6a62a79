// RegStatus: the outcome of an operation on registry files or stores.
//
// Either success, or a message for a person, with the number of the line
// (from 1) where the reading stopped when the fault is in a file's text, and
// the registry result code when the fault came from the registry itself.
#ifndef QVR_REGISTRY_REG_STATUS_H_
#define QVR_REGISTRY_REG_STATUS_H_

#include <cstdint>
#include <string>
#include <utility>

#include "registry/registry_api.h"

namespace qvr {

class RegStatus {
 public:
  RegStatus() = default;  // success

  static RegStatus Ok() { return RegStatus(); }
  // A fault in the text of a file, at `line` (0 when no line applies).
  static RegStatus Syntax(int64_t line, std::string message) {
    return RegStatus(line, std::move(message), 0);
  }
  // A registry call that failed with `code` (a Win32 result code).
  static RegStatus Registry(LONG code, std::string message) {
    return RegStatus(0, std::move(message), code);
  }

  bool ok() const { return !failed_; }
  int64_t line() const { return line_; }
  LONG code() const { return code_; }
  const std::string& message() const { return message_; }

  // The same fault, placed at `line` unless it already names one.
  RegStatus AtLine(int64_t line) const {
    RegStatus s = *this;
    if (s.failed_ && s.line_ == 0) s.line_ = line;
    return s;
  }

  // The same fault, said to be in the file `name` (when several are read).
  RegStatus InFile(std::string name) const {
    RegStatus s = *this;
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
  RegStatus(int64_t line, std::string message, LONG code)
      : failed_(true), line_(line), code_(code), message_(std::move(message)) {}

  bool failed_ = false;
  int64_t line_ = 0;
  LONG code_ = 0;
  std::string message_;
  std::string file_;
};

}  // namespace qvr

#endif  // QVR_REGISTRY_REG_STATUS_H_
