// The five predefined hives by the names people write: the full name
// ("HKEY_LOCAL_MACHINE") or its short form ("HKLM"), in any letter case.
#ifndef QVR_REGISTRY_HIVE_NAMES_H_
#define QVR_REGISTRY_HIVE_NAMES_H_

#include <string_view>

#include "registry/registry_api.h"

namespace qvr {

struct HiveName {
  const char* full;   // "HKEY_LOCAL_MACHINE"
  const char* brief;  // "HKLM"
  HKEY hive;          // HKEY_LOCAL_MACHINE
};

// The hive that `name` names in full or in short, or nullptr.
const HiveName* FindHive(std::string_view name);

// The names of a predefined hive handle (HKEY_LOCAL_MACHINE...), or nullptr
// for any other handle.
const HiveName* FindHiveByHandle(HKEY hive);

}  // namespace qvr

#endif  // QVR_REGISTRY_HIVE_NAMES_H_
