// Key information and last-write times in the SQLite store: times move on
// writes as Windows moves them and never on reads; RegQueryInfoKeyA counts
// and measures as Windows does; a store of the first format is upgraded in
// place by the first opening for writing, all or nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "registry/key_time.h"
#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "registry/sqlite_store.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

int64_t TimeOf(HKEY key) {
  FILETIME t;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, &t),
            ERROR_SUCCESS);
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

TEST(KeyTimesTest, WritesToAKeyOrItsDirectSubKeysMoveItsTimeReadsDoNot) {
  testing::TempRegistry reg;
  HKEY key = 0, sub = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Times\\Sub", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Times", 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  const BYTE data[] = "x";
  char buffer[64];
  DWORD size = sizeof buffer;
  HKEY made = 0;
  auto create = [&](HKEY parent, const char* name) {
    return RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_WRITE, nullptr, &made, nullptr);
  };
  const struct {
    const char* what;
    std::function<LONG()> op;
    bool moves;
  } cases[] = {
      {"set a value", [&] { return RegSetValueExA(key, "v", 0, REG_SZ, data, 2); }, true},
      {"read it", [&] { return RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr); },
       false},
      {"list sub-keys",
       [&] { return RegEnumKeyExA(key, 0, buffer, &size, nullptr, nullptr, nullptr, nullptr); },
       false},
      {"delete the value", [&] { return RegDeleteValueA(key, "v"); }, true},
      {"delete a missing value", [&] { return RegDeleteValueA(key, "v") == 2 ? 0 : 1; }, false},
      {"create a sub-key", [&] { return create(key, "New"); }, true},
      {"open it again", [&] { return create(key, "New"); }, false},
      {"write below a sub-key", [&] { return RegSetValueExA(sub, "v", 0, REG_SZ, data, 2); },
       false},
      {"create a deeper key", [&] { return create(sub, "Deeper"); }, false},
      {"delete a sub-key", [&] { return RegDeleteKeyA(key, "New"); }, true},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(reg.Service().SetKeyLastWrite(key, 1000), ERROR_SUCCESS);
    const int64_t before = FileTimeNow();
    ASSERT_EQ(c.op(), ERROR_SUCCESS) << c.what;
    const int64_t time = TimeOf(key);
    if (c.moves) {
      EXPECT_TRUE(time >= before && time <= FileTimeNow()) << c.what;
    } else {
      EXPECT_EQ(time, 1000) << c.what;
    }
  }
  // A new key starts at the time it was made.
  EXPECT_GT(TimeOf(made), FileTimeNow() - 60 * kFileTimeTicksPerSecond);
  RegCloseKey(made);
  RegCloseKey(sub);
  RegCloseKey(key);
}

TEST(KeyTimesTest, QueryInfoCountsAndMeasuresInUtf16Units) {
  std::unique_ptr<SqliteStore> memory;
  ASSERT_TRUE(SqliteStore::OpenInMemory(&memory).ok());
  SqliteStore* store = memory.get();
  auto service = std::make_shared<RegistryService>(std::move(memory));
  auto previous = SetCurrentRegistryService(service);
  HKEY key = 0, child = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "K\\\xC3\x9C\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
            ERROR_SUCCESS);  // Ü𝄞𝄞
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "K\\abcd", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child,
                  nullptr);
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_ALL_ACCESS, &key);
  RegSetValueExA(key, "\xC3\xA9t\xC3\xA9", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 4);
  RegSetValueExA(key, "", 0, REG_BINARY, reinterpret_cast<const BYTE*>("12345"), 5);
  KeyId hklm = 0, k = 0, abcd = 0;
  store->FindChild(0, "HKEY_LOCAL_MACHINE", &hklm);
  store->FindChild(hklm, "K", &k);
  store->FindChild(k, "abcd", &abcd);
  ASSERT_EQ(store->SetKeyClass(abcd, "Cl\xC3\xA4ss"), ERROR_SUCCESS);
  ASSERT_EQ(store->SetKeyClass(k, "Own"), ERROR_SUCCESS);
  // Sub-keys 2, longest 5 units (Ü is one, 𝄞 two); class 5; values 2,
  // longest name 3 ("été"), largest data 8 bytes ("abc" and NUL in UTF-16).
  DWORD n[7] = {};
  char cls[4] = "!!";
  DWORD cls_len = 3;
  EXPECT_EQ(RegQueryInfoKeyA(key, cls, &cls_len, nullptr, &n[0], &n[1], &n[2], &n[3], &n[4], &n[5],
                             &n[6], nullptr),
            ERROR_MORE_DATA);
  EXPECT_EQ(std::vector<DWORD>(n, n + 7), (std::vector<DWORD>{2, 5, 5, 2, 3, 8, 0}));
  EXPECT_EQ(cls_len, 3u);
  EXPECT_STREQ(cls, "!!");  // untouched
  cls_len = 4;
  EXPECT_EQ(RegQueryInfoKeyA(key, cls, &cls_len, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(cls, "Own");
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, cls, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, &reserved, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryInfoKeyA(0x7777, nullptr, nullptr, &reserved, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_HANDLE);
  RegCloseKey(key);
  RegCloseKey(child);
  SetCurrentRegistryService(previous);
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Kills the process at the first commit that changes rows: inside the upgrade.
int KillAtCommit(sqlite3* db, char**, const sqlite3_api_routines*) {
  sqlite3_commit_hook(
      db,
      [](void* d) {
        if (sqlite3_total_changes(static_cast<sqlite3*>(d)) > 0) raise(SIGKILL);
        return 0;
      },
      db);
  return SQLITE_OK;
}

TEST(KeyTimesTest, AFormat1StoreIsUpgradedByItsFirstWriterWholeOrNotAtAll) {
  testing::TempRegistry reg;
  const std::string path = reg.Dir() + "/old.sqlite";
  std::filesystem::copy_file(QVR_REGISTRY_TEST_DATA "/format1_store.sqlite", path);
  // A writer killed in the middle of the upgrade.
  const pid_t child = fork();
  if (child == 0) {
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&KillAtCommit));
    std::unique_ptr<SqliteStore> store;
    _exit(SqliteStore::Open(path, false, &store).ok() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  // A reader reads the whole format-1 store, times unknown, and leaves it as it is.
  chmod(path.c_str(), 0444);
  const std::string bytes = Bytes(path);
  std::unique_ptr<SqliteStore> store;
  KeyId hklm = 0, key = 0;
  KeyInfo info;
  ASSERT_TRUE(testing::IsOk(SqliteStore::Open(path, false, &store)));
  EXPECT_EQ(store->Format(), 1);
  store->FindChild(0, "HKEY_LOCAL_MACHINE", &hklm);
  ASSERT_EQ(store->FindChild(hklm, "SOFTWARE", &key), ERROR_SUCCESS);
  ASSERT_EQ(store->FindChild(key, "Old", &key), ERROR_SUCCESS);
  ASSERT_EQ(store->QueryInfo(key, &info), ERROR_SUCCESS);
  EXPECT_EQ(info.sub_keys, 3u);
  EXPECT_EQ(info.last_write, 0);
  store.reset();
  EXPECT_TRUE(Bytes(path) == bytes);
  // The first writer upgrades it; the data stay.
  chmod(path.c_str(), 0644);
  const int64_t before = FileTimeNow();
  ASSERT_TRUE(testing::IsOk(SqliteStore::Open(path, false, &store)));
  EXPECT_EQ(store->Format(), 2);
  ASSERT_EQ(store->FindChild(key,
                             "\xC3\x9Cn\xC3\xAF"
                             "code",
                             &key),
            ERROR_SUCCESS);
  ASSERT_EQ(store->QueryInfo(key, &info), ERROR_SUCCESS);
  EXPECT_EQ(info.max_value_name_len, 5u);  // Größe
  EXPECT_TRUE(info.last_write >= before && info.last_write <= FileTimeNow());
  DWORD type = 0;
  std::string data;
  EXPECT_EQ(store->GetValue(key,
                            "gr\xC3\xB6\xC3\x9F"
                            "e",
                            &type, &data),
            ERROR_SUCCESS);
  EXPECT_EQ(data, std::string("x\0\0\0", 4));
  store.reset();
  // A store of a later format is refused, saying so.
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "UPDATE qvr_meta SET value='qvrRegistryBrowser store 3'", nullptr, nullptr,
               nullptr);
  sqlite3_close(db);
  Status later = SqliteStore::Open(path, false, &store);
  EXPECT_EQ(later.code(), ERROR_BADDB);
  EXPECT_NE(later.message().find("later version"), std::string::npos) << later.ToString();
}

}  // namespace
}  // namespace qvr
