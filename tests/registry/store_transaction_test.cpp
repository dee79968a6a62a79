// Transactions of the store and of the registry service: all writes or none.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "registry/registry_service.h"
#include "registry/sqlite_store.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

TEST(StoreTransaction, RollbackUndoesEveryKindOfWrite) {
  testing::TempRegistry temp;
  std::unique_ptr<SqliteStore> store;
  ASSERT_TRUE(testing::IsOk(SqliteStore::Open(temp.Dir() + "/t.sqlite", true, &store)));
  KeyId root = 0, doomed = 0, keep = 0;
  bool created = false;
  ASSERT_EQ(store->CreateChild(0, "HKEY_USERS", &root, &created), ERROR_SUCCESS);
  ASSERT_EQ(store->CreateChild(root, "Doomed", &doomed, &created), ERROR_SUCCESS);
  ASSERT_EQ(store->CreateChild(root, "Keep", &keep, &created), ERROR_SUCCESS);
  ASSERT_EQ(store->SetValue(keep, "v", REG_BINARY, "old"), ERROR_SUCCESS);

  ASSERT_EQ(store->BeginTransaction(), ERROR_SUCCESS);
  EXPECT_EQ(store->BeginTransaction(), ERROR_INVALID_PARAMETER);  // no nesting
  KeyId made = 0;
  EXPECT_EQ(store->CreateChild(root, "Made", &made, &created), ERROR_SUCCESS);
  EXPECT_EQ(store->SetValue(keep, "v", REG_BINARY, "new"), ERROR_SUCCESS);
  EXPECT_EQ(store->SetValue(keep, "w", REG_BINARY, "x"), ERROR_SUCCESS);
  EXPECT_EQ(store->DeleteKey(doomed), ERROR_SUCCESS);  // joins the transaction
  EXPECT_EQ(store->FindKey(doomed), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(store->RollbackTransaction(), ERROR_SUCCESS);

  KeyId found = 0;
  EXPECT_EQ(store->FindChild(root, "Made", &found), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(store->FindKey(doomed), ERROR_SUCCESS);
  DWORD type = 0;
  std::string data;
  ASSERT_EQ(store->GetValue(keep, "v", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, "old");
  EXPECT_EQ(store->GetValue(keep, "w", &type, &data), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(store->CommitTransaction(), ERROR_INVALID_PARAMETER);  // none is open

  ASSERT_EQ(store->BeginTransaction(), ERROR_SUCCESS);
  EXPECT_EQ(store->CreateChild(root, "Made", &made, &created), ERROR_SUCCESS);
  ASSERT_EQ(store->CommitTransaction(), ERROR_SUCCESS);
  // Another connection sees the committed key.
  std::unique_ptr<SqliteStore> other;
  ASSERT_TRUE(testing::IsOk(SqliteStore::Open(temp.Dir() + "/t.sqlite", false, &other)));
  EXPECT_EQ(other->FindChild(root, "Made", &found), ERROR_SUCCESS);
}

TEST(StoreTransaction, ServiceTransactKeepsAllOrNothing) {
  testing::TempRegistry temp;
  RegistryService& s = temp.Service();
  auto write = [&](const char* key) {
    HKEY h = 0;
    LONG rc = s.CreateKey(HKEY_CURRENT_USER, key, KEY_WRITE, &h, nullptr);
    if (rc == ERROR_SUCCESS) rc = s.SetValueBytes(h, "v", REG_BINARY, "1");
    s.CloseKey(h);
    return rc;
  };
  // The value each write leaves, or "<no key>".
  auto written = [](const char* key) { return testing::ValueText(HKEY_CURRENT_USER, key, "v"); };
  EXPECT_EQ(s.Transact(HKEY_CURRENT_USER, [&] { return write("Software\\A"); }), ERROR_SUCCESS);
  EXPECT_EQ(written("Software\\A"), "31");
  // A body that fails: its code comes back and its writes are gone.
  auto fails = [&]() -> LONG { return write("Software\\B") == ERROR_SUCCESS ? 13 : 0; };
  EXPECT_EQ(s.Transact(HKEY_CURRENT_USER, fails), 13);
  EXPECT_EQ(written("Software\\B"), "<no key>");
  // A body that throws: the exception passes, the writes are gone.
  EXPECT_THROW(s.Transact(HKEY_CURRENT_USER,
                          [&]() -> LONG {
                            write("Software\\C");
                            throw std::runtime_error("stop");
                          }),
               std::runtime_error);
  EXPECT_EQ(written("Software\\C"), "<no key>");
  EXPECT_EQ(s.Transact(0x12345, [] { return ERROR_SUCCESS; }), ERROR_INVALID_HANDLE);
  // Still usable afterwards.
  EXPECT_EQ(s.Transact(HKEY_LOCAL_MACHINE, [&] { return write("Software\\D"); }), ERROR_SUCCESS);
  EXPECT_EQ(written("Software\\D"), "31");
}

}  // namespace
}  // namespace qvr
