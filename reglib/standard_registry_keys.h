// StandardRegistryKeys: the predefined hive handles.
//
// They are accepted wherever a key handle is. OpenKey replaces
// HKeyLocalMachine and HKeyUsers by the remote hive handles of the registry
// object when those are set; every other call passes them on unchanged.
#ifndef QVR_REGLIB_STANDARD_REGISTRY_KEYS_H_
#define QVR_REGLIB_STANDARD_REGISTRY_KEYS_H_

#include <cstdint>

namespace qvr {

enum StandardRegistryKeys : int32_t {
  HKeyClassesRoot = static_cast<int32_t>(0x80000000u),
  HKeyCurrentUser = static_cast<int32_t>(0x80000001u),
  HKeyLocalMachine = static_cast<int32_t>(0x80000002u),
  HKeyUsers = static_cast<int32_t>(0x80000003u),
  HKeyCurrentConfig = static_cast<int32_t>(0x80000005u),
};

}  // namespace qvr

#endif  // QVR_REGLIB_STANDARD_REGISTRY_KEYS_H_
