// RegConnectRegistryA with the machine table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

using namespace std::string_literals;

// Writes a marker value through `hive` and tells whether the local
// HKLM\SOFTWARE or HKEY_USERS shows it.
bool WritesLandLocally(HKEY hive, const std::string& marker) {
  HKEY key = 0;
  EXPECT_EQ(RegCreateKeyExA(hive, marker.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  HKEY probe = 0;
  bool local = RegOpenKeyExA(HKEY_LOCAL_MACHINE, marker.c_str(), 0, KEY_READ, &probe) == ERROR_SUCCESS ||
               RegOpenKeyExA(HKEY_USERS, marker.c_str(), 0, KEY_READ, &probe) == ERROR_SUCCESS;
  if (local) RegCloseKey(probe);
  return local;
}

TEST(ConnectRegistryTest, MachinesOfTheTableAndTheLocalNames) {
  testing::TempRegistry temp;
  temp.AddMachine("Server1");
  HKEY remote = 0;
  ASSERT_EQ(RegConnectRegistryA("SERVER1", HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS);
  EXPECT_FALSE(WritesLandLocally(remote, "SOFTWARE\\OnServer1"));
  HKEY again = 0;
  ASSERT_EQ(RegConnectRegistryA("\\\\server1", HKEY_LOCAL_MACHINE, &again), ERROR_SUCCESS);
  HKEY probe = 0;
  EXPECT_EQ(RegOpenKeyExA(again, "software\\onserver1", 0, KEY_READ, &probe), ERROR_SUCCESS);
  RegCloseKey(probe);
  HKEY users = 0;
  ASSERT_EQ(RegConnectRegistryA("Server1", HKEY_USERS, &users), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(users, ".DEFAULT", 0, KEY_READ, &probe), ERROR_SUCCESS);
  RegCloseKey(probe);

  // The returned handles are closed like any other.
  EXPECT_EQ(RegCloseKey(remote), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(remote), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(users), ERROR_SUCCESS);

  // Only HKLM and HKU connect.
  for (HKEY hive : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG}) {
    EXPECT_EQ(RegConnectRegistryA("Server1", hive, &probe), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegConnectRegistryA("", hive, &probe), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(RegConnectRegistryA("Server2", HKEY_LOCAL_MACHINE, &probe), ERROR_BAD_NETPATH);

  // This machine by any of its names.
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  int marker = 0;
  for (const char* name : {static_cast<const char*>(nullptr), "", ".", "\\\\.", "LocalHost",
                           static_cast<const char*>(host)}) {
    HKEY local = 0;
    ASSERT_EQ(RegConnectRegistryA(name, HKEY_LOCAL_MACHINE, &local), ERROR_SUCCESS)
        << (name ? name : "(null)");
    EXPECT_TRUE(WritesLandLocally(local, "SOFTWARE\\Marker" + std::to_string(marker++)));
    RegCloseKey(local);
  }
}

TEST(ConnectRegistryTest, TheMachineTableFile) {
  testing::TempRegistry temp;
  // Beside the local store unless QVR_MACHINES names another file.
  unsetenv("QVR_MACHINES");
  EXPECT_EQ(MachineTablePath("/data/reg/local.sqlite"), "/data/reg/machines.conf");
  setenv("QVR_MACHINES", "/etc/qvr/machines", 1);
  EXPECT_EQ(MachineTablePath("/data/reg/local.sqlite"), "/etc/qvr/machines");
  setenv("QVR_MACHINES", temp.MachineTablePath().c_str(), 1);

  // Comments, blank lines, leading "\\" on names, paths relative to the
  // table's folder; a listed machine whose store is missing is not there.
  const std::string store = temp.AddMachine("first");
  const std::string text_file = temp.Dir() + "/notes.txt";
  std::ofstream(text_file) << "not a database\n";
  std::ofstream(temp.MachineTablePath())
      << "# machines\n\n"
      << "  \\\\Relative =  " << store.substr(store.rfind('/') + 1) << "  \n"
      << "missing = " << temp.Dir() << "/missing.sqlite\n"
      << "text = notes.txt\n"
      << "odd = other:somewhere\n"
      << "no equals sign here\n";
  std::shared_ptr<RegistryService> service;
  ASSERT_TRUE(testing::IsOk(
      RegistryService::Open(temp.LocalStorePath(), temp.MachineTablePath(), &service)));
  // The names offered to a person: those of readable lines, in order.
  EXPECT_EQ(service->MachineNames(),
            (std::vector<std::string>{"Relative", "missing", "text", "odd"}));
  HKEY key = 0;
  EXPECT_EQ(service->Connect("relative", HKEY_LOCAL_MACHINE, &key), ERROR_SUCCESS);
  service->CloseKey(key);
  EXPECT_EQ(service->Connect("missing", HKEY_LOCAL_MACHINE, &key), ERROR_BAD_NETPATH);
  EXPECT_NE(access((temp.Dir() + "/missing.sqlite").c_str(), F_OK), 0);
  EXPECT_EQ(service->Connect("first", HKEY_LOCAL_MACHINE, &key), ERROR_BAD_NETPATH);
  EXPECT_EQ(service->Connect("no equals sign here", HKEY_LOCAL_MACHINE, &key), ERROR_BAD_NETPATH);
  // Every failure is 53, and each says what went wrong.
  auto why = [&](const char* name) {
    Status status = service->ConnectMachine(name, HKEY_USERS, &key);
    EXPECT_EQ(status.code(), ERROR_BAD_NETPATH) << name;
    return status.ToString();
  };
  EXPECT_EQ(why("missing"),
            "\\\\missing: the registry store " + temp.Dir() + "/missing.sqlite does not exist");
  EXPECT_EQ(why("text"),
            "\\\\text: " + text_file + " is not a registry store (file is not a database)");
  EXPECT_EQ(why("odd"), "\\\\odd: this program cannot open stores of the kind \"other:\"");
  // A name the table lacks: the line it cannot read might have named it.
  EXPECT_EQ(why("first"), temp.MachineTablePath() + ", line 7: expected NAME = LOCATION");
  std::ofstream(temp.MachineTablePath()) << "relative = " << store << "\n";
  EXPECT_EQ(why("first"), "The network path was not found.");

  // No table at all: only the local names connect.
  std::shared_ptr<RegistryService> bare;
  ASSERT_TRUE(testing::IsOk(
      RegistryService::Open(temp.LocalStorePath(), temp.Dir() + "/none.conf", &bare)));
  EXPECT_EQ(bare->Connect("relative", HKEY_USERS, &key), ERROR_BAD_NETPATH);
  EXPECT_EQ(bare->Connect("localhost", HKEY_USERS, &key), ERROR_SUCCESS);
  bare->CloseKey(key);
}

}  // namespace
}  // namespace qvr
