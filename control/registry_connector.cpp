#include "control/internal/registry_connector.h"

#include <utility>

namespace qvr::control_internal {
namespace {
RegistryConnector& Current() {
  static RegistryConnector connector;
  return connector;
}
}  // namespace

LONG ConnectRegistry(const char* lpMachineName, HKEY hKey, HKEY* phkResult) {
  if (Current()) return Current()(lpMachineName, hKey, phkResult);
  return RegConnectRegistryA(lpMachineName, hKey, phkResult);
}

RegistryConnector SetRegistryConnector(RegistryConnector connector) {
  return std::exchange(Current(), std::move(connector));
}

}  // namespace qvr::control_internal
