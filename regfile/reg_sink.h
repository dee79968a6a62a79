// RegSink: receives what a registry file reader reads, in file order.
//
// Paths are given as the file writes them, components separated by "\";
// value data comes as the store keeps it (text types as UTF-16LE bytes).
// A sink that returns a failure stops the reading; the reader adds the
// line number to it.
#ifndef QVR_REGFILE_REG_SINK_H_
#define QVR_REGFILE_REG_SINK_H_

#include <cstdint>
#include <string_view>

#include "registry/registry_api.h"
#include "registry/status.h"

namespace qvr {

class RegSink {
 public:
  virtual ~RegSink() = default;

  // "[path]": the values that follow belong to this key, created if missing.
  virtual Status OpenKey(std::string_view path) = 0;
  // "[-path]": the key and everything below it go; a missing key is no fault.
  virtual Status DeleteKey(std::string_view path) = 0;
  // A value of the key opened last ("" is the unnamed value).
  virtual Status SetValue(std::string_view name, DWORD type, std::string_view stored) = 0;
  // "name"=-: the value goes; a missing value is no fault.
  virtual Status DeleteValue(std::string_view name) = 0;
  // The last-write time (a FILETIME) of the key opened last, where the file
  // keeps one; a later call for the same key is the finer time. Sinks that
  // keep no times ignore it.
  virtual Status KeyTime(int64_t last_write) { return Status::OK(); }
  // The class name of the key opened last, where the file keeps one.
  virtual Status KeyClass(std::string_view class_name) { return Status::OK(); }
};

}  // namespace qvr

#endif  // QVR_REGFILE_REG_SINK_H_
