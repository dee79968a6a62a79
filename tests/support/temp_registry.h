// TempRegistry: a fresh registry in a temporary folder for one test.
//
// A seeded local store, an empty machine table, QVR_REGISTRY and QVR_MACHINES
// pointed at them (so child processes use them too), and a RegistryService
// over them installed as current. The destructor restores the previous
// service and environment and removes the folder.
#ifndef QVR_TESTS_SUPPORT_TEMP_REGISTRY_H_
#define QVR_TESTS_SUPPORT_TEMP_REGISTRY_H_

#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "registry/registry_service.h"

namespace qvr::testing {

class TempRegistry {
 public:
  TempRegistry();
  ~TempRegistry();
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  const std::string& Dir() const { return dir_; }
  std::string LocalStorePath() const { return dir_ + "/local.sqlite"; }
  std::string MachineTablePath() const { return dir_ + "/machines.conf"; }
  // Adds a machine with a fresh seeded store to the machine table; returns
  // its store path.
  std::string AddMachine(const std::string& name);
  RegistryService& Service() { return *service_; }

 private:
  std::string dir_;
  std::shared_ptr<RegistryService> service_;
  std::shared_ptr<RegistryService> previous_;
  std::optional<std::string> old_registry_, old_machines_;
};

// For ASSERT_TRUE(IsOk(...)): a failed Status fails the check with its text.
inline ::testing::AssertionResult IsOk(const Status& status) {
  if (status.ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << status.ToString();
}

}  // namespace qvr::testing

#endif  // QVR_TESTS_SUPPORT_TEMP_REGISTRY_H_
