// RegFileImporter: brings a .reg file or a Wine prefix into a machine's
// registry, all of it or nothing.
//
// The whole import is one transaction of the machine's store: when the file
// has a fault anywhere (the last line included) or a write fails, nothing of
// it stays, and the status names the file's line and the fault. Keys are
// created as needed, "[-KEY]" deletes a whole tree, "name"=- a value; a key
// or value to delete that is not there is no fault. Another machine (a name
// of the machine table) offers HKEY_LOCAL_MACHINE and HKEY_USERS only.
#ifndef QVR_REGFILE_REG_FILE_IMPORTER_H_
#define QVR_REGFILE_REG_FILE_IMPORTER_H_

#include <cstdint>
#include <string>

#include "registry/registry_service.h"
#include "registry/status.h"
#include "regfile/reg_text_source.h"

namespace qvr {

class RegFileImporter {
 public:
  explicit RegFileImporter(RegistryService& service) : service_(service) {}

  // The .reg file at `path` into `machine` ("" for this machine).
  Status ImportFile(const std::string& path, const std::string& machine = "");
  Status Import(RegTextSource& source, const std::string& machine = "");
  // A Wine prefix's system.reg into HKEY_LOCAL_MACHINE, user.reg into the
  // current user's hive and userdef.reg into HKEY_USERS\.DEFAULT.
  // The keys get the files' last-write times (not the import's); the files'
  // class names are not carried.
  Status ImportWinePrefix(const std::string& prefix, const std::string& machine = "");

  // What the last successful import wrote.
  int64_t keys() const { return keys_; }
  int64_t values() const { return values_; }

 private:
  class ServiceSink;
  template <typename Body>
  Status Run(const std::string& machine, Body body);

  RegistryService& service_;
  int64_t keys_ = 0;
  int64_t values_ = 0;
};

}  // namespace qvr

#endif  // QVR_REGFILE_REG_FILE_IMPORTER_H_
