// RegFileExporter: writes a key and everything below it to a .reg file.
//
// Keys are named with the full name of their hive and as they are stored.
// Keys come in enumeration order, depth first (a key, its values in their
// order, then each sub-key in turn), as the Windows editor writes them, so
// exporting what was imported from an export gives the same bytes. The file
// is written under a temporary name beside the target and renamed over it
// at the end: a failed export leaves an existing file as it was, and no
// temporary file. The tree is read in one walk of the store
// (RegistryService::WalkTree), which keeps its place on the heap, not the
// machine stack, so any depth can be exported; time and memory grow with the
// number of keys, and the file is written as it is made, so memory stays near
// the size of the largest value. The walk holds the service's lock: other
// threads' registry calls wait until the export ends. Not thread-safe; the
// service is.
#ifndef QVR_REGFILE_REG_FILE_EXPORTER_H_
#define QVR_REGFILE_REG_FILE_EXPORTER_H_

#include <cstdint>
#include <functional>
#include <string>

#include "registry/registry_service.h"
#include "regfile/reg_file_writer.h"
#include "regfile/reg_key_path.h"
#include "registry/status.h"

namespace qvr {

class RegFileExporter {
 public:
  explicit RegFileExporter(RegistryService& service) : service_(service) {}

  // The key `key` ("HKLM\Software\X", "\\NAME\HKLM\...") to the file `path`,
  // replaced as AtomicFile replaces files: a target that is not a regular
  // file is refused, a symbolic link is written through, the mode is kept.
  Status ExportFile(const std::string& key, const std::string& path,
                       RegFileWriter::Dialect dialect = RegFileWriter::Dialect::kRegedit5);

  // The key to `writer`, calling `drain` whenever a good amount of output is
  // waiting (false from it stops the export). Finish is left to the caller.
  Status Export(const RegKeyPath& key, RegFileWriter& writer,
                   const std::function<bool()>& drain);

  // What the last export wrote.
  int64_t keys() const { return keys_; }
  int64_t values() const { return values_; }

 private:
  class TreeWriter;
  // The key's path with every name as stored (the letter case it was made
  // with), whatever case the caller typed.
  std::string StoredPath(const RegKeyPath& key);

  RegistryService& service_;
  int64_t keys_ = 0;
  int64_t values_ = 0;
};

}  // namespace qvr

#endif  // QVR_REGFILE_REG_FILE_EXPORTER_H_
