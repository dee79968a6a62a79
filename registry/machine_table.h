// MachineTable: the other machines whose registries this one reaches by name,
// as listed in a text file (machines.conf).
//
// Each line is `NAME = LOCATION`. Blank lines and lines starting with '#' are
// skipped, and a leading "\\" on NAME is ignored; names match without regard
// to case. LOCATION is the file of a registry store, or `SCHEME:REST` for a
// store that the opener registered for SCHEME builds (`wine:~/.wine`; the
// Wine opener lives in regfile/, and each program registers it at start).
// `windows:DIR` needs no opener: DIR is a Windows drive mounted here, or its
// Windows folder, shown read-only as a machine (registry/windows_store.h). In
// all, "~/" stands for $HOME and a relative path starts at the table's
// folder.
//
// The file is read on every lookup, so an edit takes effect at the next
// connection. Lookups only read; they may run on any thread.
#ifndef QVR_REGISTRY_MACHINE_TABLE_H_
#define QVR_REGISTRY_MACHINE_TABLE_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <string_view>

#include "registry/status.h"
#include "registry/registry_store.h"

namespace qvr {

// Builds the store of a machine-table line `NAME = SCHEME:LOCATION` from its
// LOCATION (a full path by then) into `*store`; a failure says why, for a
// person.
using StoreOpener =
    std::function<Status(const std::string& location, std::unique_ptr<RegistryStore>* store)>;

// Makes lines of `scheme` ("wine") open through `opener`, in every machine
// table of this process. Registering a scheme again replaces its opener.
void RegisterStoreOpener(const std::string& scheme, StoreOpener opener);

class MachineTable {
 public:
  // One machine of the table.
  struct Entry {
    std::string name;      // as the table spells it, without "\\"
    std::string scheme;    // "" for a store file, else the opener's scheme
    std::string location;  // the file or the opener's location, a full path
    int line = 0;          // where the table names it, from 1
  };

  // The table in the file `path`; a missing file is an empty table.
  explicit MachineTable(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // Finds the machine `name`. Failures all carry code 53 (the machine cannot
  // be reached); their messages tell them apart: "The network path was not
  // found." for a name the table does not hold, or the file and line of the
  // first line the table cannot read when such a line might have named it.
  Status Find(std::string_view name, Entry* entry) const;

  // The names of the machines the table holds, in its order (lines it cannot
  // read are passed over; a missing or unreadable file names none).
  std::vector<std::string> Names() const;

  // Opens the store `entry` names: an existing registry store file (never
  // created for a name), or the opener's store. Failures carry code 53 and
  // say whether the store is missing, is not a registry store, or cannot be
  // opened, and why. `*note` (when given) gets what a person should be told
  // of a store that did open: for a Windows installation, the keys left out
  // for want of a readable hive ("\\NAME: left out of its registry: ...");
  // "" when there is nothing to tell.
  static Status Open(const Entry& entry, std::unique_ptr<RegistryStore>* store,
                     std::string* note = nullptr);

 private:
  std::string path_;
};

}  // namespace qvr

#endif  // QVR_REGISTRY_MACHINE_TABLE_H_
