#include "support/temp_registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace qvr::testing {
namespace {
std::optional<std::string> GetEnv(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::optional<std::string>(v) : std::nullopt;
}
void Restore(const char* name, const std::optional<std::string>& value) {
  if (value) setenv(name, value->c_str(), 1);
  else unsetenv(name);
}
}  // namespace

TempRegistry::TempRegistry() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvr-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  old_registry_ = GetEnv("QVR_REGISTRY");
  old_machines_ = GetEnv("QVR_MACHINES");
  setenv("QVR_REGISTRY", LocalStorePath().c_str(), 1);
  setenv("QVR_MACHINES", MachineTablePath().c_str(), 1);
  std::ofstream(MachineTablePath()) << "# machines of this test\n";
  Status opened = RegistryService::Open(LocalStorePath(), MachineTablePath(), &service_);
  if (!opened.ok()) throw std::runtime_error("cannot open the test store: " + opened.ToString());
  previous_ = SetCurrentRegistryService(service_);
}

TempRegistry::~TempRegistry() {
  SetCurrentRegistryService(previous_);
  service_.reset();
  Restore("QVR_REGISTRY", old_registry_);
  Restore("QVR_MACHINES", old_machines_);
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TempRegistry::AddMachine(const std::string& name) {
  std::string path = dir_ + "/machine-" + name + ".sqlite";
  // Opening a service over the path creates and seeds the store.
  std::shared_ptr<RegistryService> machine;
  Status opened = RegistryService::Open(path, "", &machine);
  if (!opened.ok()) throw std::runtime_error(opened.ToString());
  std::ofstream(MachineTablePath(), std::ios::app) << name << " = " << path << "\n";
  return path;
}

}  // namespace qvr::testing
