// The registry calls when the store fails: the store's code reaches the
// caller, nothing half-done is left behind, and the service recovers.
#include <gtest/gtest.h>

#include <string>

#include "registry/registry_api.h"
#include "registry/sqlite_store.h"
#include "support/faulty_store.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

using testing::StoreOp;
using namespace std::string_literals;


class StoreFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Faults", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override { RegCloseKey(key_); }
  LONG Set(const std::string& name, const std::string& data) {
    return RegSetValueExA(key_, name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
  }
  LONG EnumKey(DWORD index, std::string* name) {
    char text[16];
    DWORD length = sizeof text;
    LONG rc = RegEnumKeyExA(key_, index, text, &length, nullptr, nullptr, nullptr, nullptr);
    name->assign(text, rc == ERROR_SUCCESS ? length : 0);
    return rc;
  }
  LONG Size(const std::string& name, DWORD* size) {
    DWORD type = 0;
    return RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, size);
  }

  testing::FaultyRegistry registry_;
  HKEY key_ = 0;
};

TEST_F(StoreFailureTest, WritesReportTheStoresCode) {
  registry_.Store().Fail(StoreOp::kSetValue, ERROR_DISK_FULL, 1);
  EXPECT_EQ(Set("v", "x\0"s), ERROR_DISK_FULL);
  DWORD size = 0;
  EXPECT_EQ(Size("v", &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Set("v", "x\0"s), 0);  // the next write goes through

  const size_t handles = registry_.Service().OpenHandleCount();
  registry_.Store().Fail(StoreOp::kCreateChild, ERROR_DISK_FULL);
  HKEY child = 0;
  EXPECT_EQ(RegCreateKeyExA(key_, "New\\Deeper", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child,
                            nullptr),
            ERROR_DISK_FULL);
  EXPECT_EQ(registry_.Service().OpenHandleCount(), handles);  // no handle issued
  registry_.Store().Heal();
  EXPECT_EQ(RegOpenKeyExA(key_, "New", 0, KEY_READ, &child), ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(RegCreateKeyExA(key_, "Stays", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(child);
  registry_.Store().Fail(StoreOp::kDeleteKey, ERROR_BUSY, 1);
  EXPECT_EQ(RegDeleteKeyA(key_, "Stays"), ERROR_BUSY);
  EXPECT_EQ(RegOpenKeyExA(key_, "Stays", 0, KEY_READ, &child), ERROR_SUCCESS);
  RegCloseKey(child);
  registry_.Store().Fail(StoreOp::kDeleteValue, ERROR_BADDB, 1);
  EXPECT_EQ(RegDeleteValueA(key_, "v"), ERROR_BADDB);
  EXPECT_EQ(Size("v", &size), 0);
}

TEST_F(StoreFailureTest, ReadsAndEnumerationsReportTheStoresCode) {
  ASSERT_EQ(Set("v", "x\0"s), 0);
  registry_.Store().Fail(StoreOp::kGetValue, ERROR_BADDB, 1);
  DWORD size = 0;
  EXPECT_EQ(Size("v", &size), ERROR_BADDB);
  EXPECT_EQ(Size("v", &size), 0);
  EXPECT_EQ(size, 2u);

  for (const char* name : {"a", "b", "c"}) {
    HKEY child = 0;
    ASSERT_EQ(RegCreateKeyExA(key_, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(child);
  }
  std::string name;
  ASSERT_EQ(EnumKey(0, &name), 0);
  registry_.Store().Fail(StoreOp::kEnumChild, ERROR_BUSY, 1);
  EXPECT_EQ(EnumKey(1, &name), ERROR_BUSY);
  // Asked again, the enumeration carries on where it stood.
  ASSERT_EQ(EnumKey(1, &name), 0);
  EXPECT_EQ(name, "b");
  ASSERT_EQ(EnumKey(2, &name), 0);
  EXPECT_EQ(name, "c");

  registry_.Store().Fail(StoreOp::kEnumValue, ERROR_BUSY, 1);
  char text[16];
  DWORD length = sizeof text;
  EXPECT_EQ(RegEnumValueA(key_, 0, text, &length, nullptr, nullptr, nullptr, nullptr), ERROR_BUSY);

  // A key that another process deleted: 1018 through its handles; a store
  // that cannot tell says why instead.
  registry_.Store().Fail(StoreOp::kFindKey, ERROR_FILE_NOT_FOUND, 1);
  EXPECT_EQ(Size("v", &size), ERROR_KEY_DELETED);
  registry_.Store().Fail(StoreOp::kFindKey, ERROR_BADDB, 1);
  EXPECT_EQ(Size("v", &size), ERROR_BADDB);
}

}  // namespace
}  // namespace qvr
