// How the control reaches another machine's hives: RegConnectRegistryA,
// unless a test has put something else in its place (to make one hive of a
// machine unreachable while the other answers, which no real table can).
#ifndef QVR_CONTROL_INTERNAL_REGISTRY_CONNECTOR_H_
#define QVR_CONTROL_INTERNAL_REGISTRY_CONNECTOR_H_

#include <functional>

#include "registry/registry_api.h"

namespace qvr::control_internal {

using RegistryConnector = std::function<LONG(const char* lpMachineName, HKEY hKey, HKEY* phkResult)>;

// Connects as the control does now.
LONG ConnectRegistry(const char* lpMachineName, HKEY hKey, HKEY* phkResult);

// Replaces the connection call; an empty function restores RegConnectRegistryA.
// Returns the previous one.
RegistryConnector SetRegistryConnector(RegistryConnector connector);

}  // namespace qvr::control_internal

#endif  // QVR_CONTROL_INTERNAL_REGISTRY_CONNECTOR_H_
