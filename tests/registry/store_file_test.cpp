// Store files: a new store appears under its name whole (seeded) or not at
// all, and whatever else is at a store's path is refused and left untouched.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "registry/registry_service.h"
#include "registry/sqlite_store.h"
#include "registry/store_file.h"
#include "support/faulty_store.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

// The names in `dir` that start with `prefix`.
std::vector<std::string> NamesStarting(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

// What a file is: kind, size, inode, modification time and, for a regular
// file, its bytes.
std::string Fingerprint(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "missing";
  std::string print = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                      std::to_string(st.st_ino) + " " + std::to_string(st.st_mtim.tv_nsec);
  if (S_ISREG(st.st_mode)) {
    std::ifstream in(path, std::ios::binary);
    print += std::string(std::istreambuf_iterator<char>(in), {});
  }
  return print;
}

TEST(StoreFileTest, WhatIsNotAStoreIsRefusedUntouchedWhereverItIsNamed) {
  testing::TempRegistry temp;
  const std::string dir = temp.Dir();
  const struct {
    std::string path;
    std::function<void(const std::string&)> make;
  } cases[] = {
      {dir + "/empty", [](const std::string& p) { std::ofstream{p}; }},
      {dir + "/tableless.sqlite", [](const std::string& p) {
         sqlite3* db = nullptr;
         sqlite3_open(p.c_str(), &db);
         sqlite3_exec(db, "PRAGMA user_version=7", nullptr, nullptr, nullptr);
         sqlite3_close(db);
       }},
      {dir + "/fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
      {dir + "/folder", [](const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); }},
      {"/dev/null", [](const std::string&) {}},
  };
  std::ofstream table(temp.MachineTablePath());
  for (size_t i = 0; i < std::size(cases); ++i) {
    cases[i].make(cases[i].path);
    table << "m" << i << " = " << cases[i].path << "\n";
  }
  table.close();  // each store is also named as machine m<i>
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string& path = cases[i].path;
    SCOPED_TRACE(path);
    const std::string before = Fingerprint(path);
    std::unique_ptr<SqliteStore> store;
    Status refused = SqliteStore::Open(path, true, &store);
    EXPECT_EQ(refused.code(), ERROR_BADDB);
    EXPECT_EQ(refused.message().rfind("not a registry store", 0), 0u) << refused.message();
    std::shared_ptr<RegistryService> service;
    EXPECT_EQ(RegistryService::Open(path, "", &service).code(), ERROR_BADDB);
    HKEY remote = 0;
    Status unreachable = temp.Service().ConnectMachine(("\\\\m" + std::to_string(i)).c_str(),
                                                       HKEY_LOCAL_MACHINE, &remote);
    EXPECT_EQ(unreachable.code(), ERROR_BAD_NETPATH);
    EXPECT_NE(unreachable.message().find("not a registry store"), std::string::npos)
        << unreachable.message();
    EXPECT_EQ(Fingerprint(path), before);
    for (const char* side : {"-wal", "-shm", "-journal"}) EXPECT_NE(access((path + side).c_str(), F_OK), 0) << side;
  }
}

TEST(StoreFileTest, AFailedSeedLeavesNoFileAndTheNextOpenSeeds) {
  testing::TempRegistry temp;
  const std::string path = temp.Dir() + "/new.sqlite";
  auto failing = [](RegistryStore& store) {
    testing::FaultyStore faulty{std::shared_ptr<RegistryStore>(&store, [](RegistryStore*) {})};
    faulty.Fail(testing::StoreOp::kSetValue, ERROR_DISK_FULL, 1, 3);
    return RegistryService::Seed(faulty);
  };
  std::unique_ptr<SqliteStore> store;
  EXPECT_EQ(SqliteStore::Open(path, true, &store, failing).code(), ERROR_DISK_FULL);
  EXPECT_EQ(store, nullptr);
  EXPECT_TRUE(NamesStarting(temp.Dir(), "new.sqlite").empty());

  std::shared_ptr<RegistryService> service;
  ASSERT_TRUE(testing::IsOk(RegistryService::Open(path, "", &service)));
  HKEY key = 0;
  EXPECT_EQ(service->OpenKey(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key), ERROR_SUCCESS);
  service->CloseKey(key);
}

TEST(StoreFileTest, WhoLinksFirstWinsAndTheOtherUsesItsStore) {
  testing::TempRegistry temp;
  const std::string path = temp.Dir() + "/raced.sqlite";
  // Each first use marks its store; the inner one runs, and links its store,
  // while the outer one is still building.
  auto mark = [](RegistryStore& store, const char* who) {
    KeyId key = 0;
    bool created = false;
    LONG rc = store.CreateChild(0, who, &key, &created);
    return rc == ERROR_SUCCESS ? Status::OK() : Status::Registry(rc, "cannot mark");
  };
  std::unique_ptr<SqliteStore> inner, outer;
  auto racing = [&](RegistryStore& store) {
    Status status = SqliteStore::Open(path, true, &inner, [&](RegistryStore& s) { return mark(s, "inner"); });
    return status.ok() ? mark(store, "outer") : status;
  };
  ASSERT_TRUE(testing::IsOk(SqliteStore::Open(path, true, &outer, racing)));
  KeyId key = 0;
  EXPECT_EQ(outer->FindChild(0, "inner", &key), ERROR_SUCCESS);
  EXPECT_EQ(outer->FindChild(0, "outer", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(NamesStarting(temp.Dir(), TempStoreFilePrefix(path)).empty());
}

}  // namespace
}  // namespace qvr
