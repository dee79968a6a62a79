// WinePrefix: the registry of a Wine prefix (a folder such as ~/.wine).
//
// A prefix keeps its registry in three files: system.reg holds
// HKEY_LOCAL_MACHINE, user.reg the hive of the user who runs Wine (here: the
// current user's hive under HKEY_USERS) and userdef.reg HKEY_USERS\.DEFAULT.
// A prefix needs at least one of them.
#ifndef QVR_REGFILE_WINE_PREFIX_H_
#define QVR_REGFILE_WINE_PREFIX_H_

#include <memory>
#include <string>
#include <vector>

#include "registry/registry_api.h"
#include "registry/registry_store.h"
#include "regfile/reg_sink.h"
#include "registry/status.h"

namespace qvr {

class WinePrefix {
 public:
  struct File {
    std::string name;     // "system.reg"
    std::string path;     // the file in the prefix
    HKEY hive;            // HKEY_LOCAL_MACHINE or HKEY_USERS
    std::string sub_key;  // below the hive: "", the user's key, ".DEFAULT"
  };

  // The registry files present in `prefix`; a failure when it is not a
  // folder or holds none of them.
  static Status Find(const std::string& prefix, std::vector<File>* files);

  // Reads every file of `prefix` into `sink`, each key's path given in full
  // ("HKEY_LOCAL_MACHINE\Software\..."). Stops at the first fault, which
  // names the file and the line.
  static Status Read(const std::string& prefix, RegSink& sink);

  // A read-only store in memory holding the prefix's registry, shaped as a
  // machine's store (hive roots HKEY_LOCAL_MACHINE and HKEY_USERS), with
  // the files' key times and class names (keys the files do not list, such
  // as the hive roots, have the time of the loading).
  static Status Load(const std::string& prefix, std::unique_ptr<RegistryStore>* store);

  // Makes machine-table lines `NAME = wine:PREFIX` open as Load's store
  // (see registry/machine_table.h). Every program and library entry that
  // reaches machines calls it once at start; calling it again is harmless.
  static void RegisterOpener();
};

}  // namespace qvr

#endif  // QVR_REGFILE_WINE_PREFIX_H_
