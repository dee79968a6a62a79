// StandardRegistryKeys: the predefined hive handles.
//
// They are accepted wherever a key handle is. OpenKey replaces
// HKeyLocalMachine and HKeyUsers by the remote hive handles of the registry
// object when those are set; every other call passes them on unchanged.
#ifndef QVR_REGLIB_STANDARD_REGISTRY_KEYS_H_
#define QVR_REGLIB_STANDARD_REGISTRY_KEYS_H_

#include <cstdint>

#include "registry/registry_api.h"

namespace qvr {

enum StandardRegistryKeys : int32_t {
  HKeyClassesRoot = HKEY_CLASSES_ROOT,
  HKeyCurrentUser = HKEY_CURRENT_USER,
  HKeyLocalMachine = HKEY_LOCAL_MACHINE,
  HKeyUsers = HKEY_USERS,
  HKeyCurrentConfig = HKEY_CURRENT_CONFIG,
};

}  // namespace qvr

#endif  // QVR_REGLIB_STANDARD_REGISTRY_KEYS_H_
