// Transactions of the store and of the registry service: all writes or none.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "regfile/reg_byte_input.h"
#include "regfile/reg_file_importer.h"
#include "registry/registry_service.h"
#include "registry/sqlite_store.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

// The pieces of a file, a piece per read; `before_last` runs before the last
// piece is handed out (the import's transaction is running by then).
class PiecewiseInput : public RegByteInput {
 public:
  PiecewiseInput(std::vector<std::string> pieces, std::function<void()> before_last)
      : pieces_(std::move(pieces)), before_last_(std::move(before_last)) {}
  int64_t Read(char* buffer, size_t size) override {
    if (next_ == pieces_.size()) return 0;
    if (next_ + 1 == pieces_.size()) before_last_();
    const std::string& piece = pieces_[next_++];
    EXPECT_LE(piece.size(), size);
    piece.copy(buffer, piece.size());
    return static_cast<int64_t>(piece.size());
  }

 private:
  std::vector<std::string> pieces_;
  std::function<void()> before_last_;
  size_t next_ = 0;
};

// Imports a file that fails at its last line, "b"=bogus.
Status ImportFailingAtLastLine(RegistryService& s, std::function<void()> before_last) {
  RegTextSource source(std::make_unique<PiecewiseInput>(
      std::vector<std::string>{"REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Imported]\n\"a\"=\"1\"\n",
                               "\"b\"=bogus\n"},
      std::move(before_last)));
  return RegFileImporter(s).Import(source);
}

// Writes HKCU\`key` "v" = "1" as REG_BINARY.
LONG Write(RegistryService& s, const char* key = "Software\\Other") {
  HKEY h = 0;
  LONG rc = s.CreateKey(HKEY_CURRENT_USER, key, KEY_WRITE, &h, nullptr);
  if (rc == ERROR_SUCCESS) rc = s.SetValueBytes(h, "v", REG_BINARY, "1");
  s.CloseKey(h);
  return rc;
}

TEST(StoreTransaction, RollbackUndoesEveryKindOfWrite) {
  testing::TempRegistry temp;
  std::unique_ptr<SqliteStore> store, other;
  ASSERT_TRUE(testing::IsOk(SqliteStore::Open(temp.Dir() + "/t.sqlite", true, &store)));
  KeyId root = 0, doomed = 0, keep = 0, made = 0, found = 0;
  bool created = false;
  ASSERT_EQ(store->CreateChild(0, "HKEY_USERS", &root, &created), ERROR_SUCCESS);
  ASSERT_EQ(store->CreateChild(root, "Doomed", &doomed, &created), ERROR_SUCCESS);
  ASSERT_EQ(store->CreateChild(root, "Keep", &keep, &created), ERROR_SUCCESS);
  ASSERT_EQ(store->SetValue(keep, "v", REG_BINARY, "old"), ERROR_SUCCESS);

  ASSERT_EQ(store->BeginTransaction(), ERROR_SUCCESS);
  EXPECT_EQ(store->BeginTransaction(), ERROR_INVALID_PARAMETER);  // no nesting
  EXPECT_EQ(store->CreateChild(root, "Made", &made, &created), ERROR_SUCCESS);
  EXPECT_EQ(store->SetValue(keep, "v", REG_BINARY, "new"), ERROR_SUCCESS);
  EXPECT_EQ(store->SetValue(keep, "w", REG_BINARY, "x"), ERROR_SUCCESS);
  EXPECT_EQ(store->DeleteKey(doomed), ERROR_SUCCESS);  // joins the transaction
  EXPECT_EQ(store->FindKey(doomed), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(store->RollbackTransaction(), ERROR_SUCCESS);

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
  ASSERT_TRUE(testing::IsOk(SqliteStore::Open(temp.Dir() + "/t.sqlite", false, &other)));
  EXPECT_EQ(other->FindChild(root, "Made", &found), ERROR_SUCCESS);
}

TEST(StoreTransaction, ServiceTransactKeepsAllOrNothing) {
  testing::TempRegistry temp;
  RegistryService& s = temp.Service();
  // The value each write leaves, or "<no key>".
  auto written = [](const char* key) { return testing::ValueText(HKEY_CURRENT_USER, key, "v"); };
  EXPECT_EQ(s.Transact(HKEY_CURRENT_USER, [&] { return Write(s, "Software\\A"); }), ERROR_SUCCESS);
  EXPECT_EQ(written("Software\\A"), "31");
  // A body that fails: its code comes back and its writes are gone.
  EXPECT_EQ(s.Transact(HKEY_CURRENT_USER, [&] { return Write(s, "Software\\B") == 0 ? 13L : 0L; }), 13);
  EXPECT_EQ(written("Software\\B"), "<no key>");
  // A body that throws: the exception passes, the writes are gone.
  auto throws = [&]() -> LONG { Write(s, "Software\\C"); throw std::runtime_error("stop"); };
  EXPECT_THROW(s.Transact(HKEY_CURRENT_USER, throws), std::runtime_error);
  EXPECT_EQ(written("Software\\C"), "<no key>");
  EXPECT_EQ(s.Transact(0x12345, [] { return ERROR_SUCCESS; }), ERROR_INVALID_HANDLE);
  // Still usable afterwards.
  EXPECT_EQ(s.Transact(HKEY_LOCAL_MACHINE, [&] { return Write(s, "Software\\D"); }), ERROR_SUCCESS);
  EXPECT_EQ(written("Software\\D"), "31");
}

TEST(StoreTransaction, AnotherThreadsWriteIsNotUndoneByAFailedImport) {
  testing::TempRegistry temp;
  RegistryService& s = temp.Service();
  std::future<LONG> other;
  Status imported = ImportFailingAtLastLine(s, [&] {
    // Written while the import runs: it waits for the import's end (a short
    // look is enough to see it did not slip into the import instead).
    other = std::async(std::launch::async, [&] { return Write(s); });
    other.wait_for(std::chrono::milliseconds(100));
  });
  ASSERT_TRUE(other.valid());
  EXPECT_EQ(imported.line(), 5) << imported.ToString();
  EXPECT_EQ(other.get(), ERROR_SUCCESS);
  EXPECT_EQ(testing::ValueText(HKEY_CURRENT_USER, "Software\\Other", "v"), "31");
  EXPECT_EQ(testing::ValueText(HKEY_CURRENT_USER, "Software\\Imported", "a"), "<no key>");
}

TEST(StoreTransaction, AWriterBehindATransactionGivesUpWithBusyAfterItsWait) {
  testing::TempRegistry temp;
  RegistryService& s = temp.Service();
  s.SetTransactionWait(std::chrono::milliseconds(1));
  LONG written = 0;
  Status imported;
  auto blocked = [&] {
    std::thread([&] { written = Write(s), imported = ImportFailingAtLastLine(s, [] {}); }).join();
    return Write(s);  // this thread's own write goes on
  };
  EXPECT_EQ(s.Transact(HKEY_LOCAL_MACHINE, blocked), ERROR_SUCCESS);
  EXPECT_EQ(written, ERROR_BUSY);
  EXPECT_EQ(imported.code(), ERROR_BUSY);
  EXPECT_NE(imported.ToString().find("another program is writing to the registry"), std::string::npos)
      << imported.ToString();
  // A transaction does not nest, and one that ended lets the others go on.
  auto nested = [&] { return s.Transact(HKEY_CURRENT_USER, [] { return 0L; }); };
  EXPECT_EQ(s.Transact(HKEY_CURRENT_USER, nested), ERROR_INVALID_PARAMETER);
  std::thread([&] { written = Write(s); }).join();
  EXPECT_EQ(written, ERROR_SUCCESS);
}

}  // namespace
}  // namespace qvr
