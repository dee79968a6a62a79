// A child process for the durability tests.
//
//   platform_store_writer STORE LABEL COUNT
//
// Writes the DWORD values v0, v1, ... (vI = I) into the key
// HKLM\ROOT\LABEL of the store (ROOT is $QVR_WRITER_ROOT, else
// SOFTWARE\Durability: a key of a loaded hive puts the writes in the hive), and after each write that returned 0 prints I on a line
// of its own (the acknowledgement). Every write also touches the key
// HKLM\ROOT\Shared\K<I % 8> and its value LABEL-I, which other
// writers share. COUNT 0 writes until killed; COUNT -1 only opens the store
// (making it when it is new), printing "opening" before and "opened" after.
// Exit code 0 when every write succeeded, 1 (after printing "error CODE") on
// the first that failed.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "registry/registry_service.h"

int main(int argc, char** argv) {
  using namespace qvr;
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s STORE LABEL COUNT\n", argv[0]);
    return 2;
  }
  const std::string label = argv[2];
  const long count = std::atol(argv[3]);
  if (count < 0) {
    std::printf("opening\n");
    std::fflush(stdout);
  }
  std::shared_ptr<RegistryService> service;
  Status opened = RegistryService::Open(argv[1], "", &service);
  if (!opened.ok()) {
    std::printf("error open %s\n", opened.ToString().c_str());
    return 1;
  }
  if (count < 0) {
    std::printf("opened\n");
    return 0;
  }
  const char* root_env = std::getenv("QVR_WRITER_ROOT");
  const std::string root = root_env && *root_env ? root_env : "SOFTWARE\\Durability";
  HKEY own = 0;
  LONG rc = service->CreateKey(HKEY_LOCAL_MACHINE, (root + "\\" + label).c_str(),
                               KEY_ALL_ACCESS, &own, nullptr);
  for (long i = 0; rc == ERROR_SUCCESS && (count == 0 || i < count); ++i) {
    const uint32_t data = static_cast<uint32_t>(i);
    const std::string name = "v" + std::to_string(i);
    rc = service->SetValue(own, name.c_str(), REG_DWORD, reinterpret_cast<const BYTE*>(&data), 4);
    HKEY shared = 0;
    if (rc == ERROR_SUCCESS) {
      rc = service->CreateKey(HKEY_LOCAL_MACHINE,
                              (root + "\\Shared\\K" + std::to_string(i % 8)).c_str(),
                              KEY_ALL_ACCESS, &shared, nullptr);
    }
    if (rc == ERROR_SUCCESS) {
      const std::string shared_name = label + "-" + std::to_string(i);
      rc = service->SetValue(shared, shared_name.c_str(), REG_DWORD,
                             reinterpret_cast<const BYTE*>(&data), 4);
      service->CloseKey(shared);
    }
    if (rc == ERROR_SUCCESS) {
      std::printf("%ld\n", i);
      std::fflush(stdout);
    }
  }
  if (rc != ERROR_SUCCESS) {
    std::printf("error %d\n", static_cast<int>(rc));
    return 1;
  }
  return 0;
}
