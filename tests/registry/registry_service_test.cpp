// The registry calls over a temporary store: Windows' rules and result codes,
// name order, the alias hives, and how text data is kept.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "registry/sqlite_store.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

using namespace std::string_literals;

// Handles are left to the temporary registry, which ends with the test.
class RegistryServiceTest : public ::testing::Test {
 protected:
  static HKEY Create(HKEY parent, const std::string& path, LONG expect = ERROR_SUCCESS) {
    HKEY key = 0;
    EXPECT_EQ(RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              expect)
        << path.substr(0, 40);
    return key;
  }
  static LONG Open(HKEY parent, const std::string& path, HKEY* key) {
    return RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, key);
  }
  static LONG Set(HKEY key, const std::string& name, DWORD type, const std::string& data) {
    return RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
  }
  // The query's result code; the data through `data` when it is 0.
  static LONG Get(HKEY key, const std::string& name, DWORD* type, std::string* data) {
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, type, nullptr, &size);
    if (rc == ERROR_SUCCESS) std::tie(*type, *data) = testing::GetRaw(key, name);
    return rc;
  }
  // The sub-key at `index` through a buffer of `buffer` bytes.
  static LONG EnumKey(HKEY key, DWORD index, std::string* name, DWORD buffer = 2048) {
    std::string text(buffer, '\0');
    LONG rc = RegEnumKeyExA(key, index, text.data(), &buffer, nullptr, nullptr, nullptr, nullptr);
    name->assign(text.data(), rc == ERROR_SUCCESS ? buffer : 0);
    return rc;
  }
  static LONG EnumValue(HKEY key, DWORD index, std::string* name, DWORD buffer = 2048) {
    std::string text(buffer, '\0');
    LONG rc = RegEnumValueA(key, index, text.data(), &buffer, nullptr, nullptr, nullptr, nullptr);
    name->assign(text.data(), rc == ERROR_SUCCESS ? buffer : 0);
    return rc;
  }
  // Every name `enumerate` gives, up to its end (259).
  static std::vector<std::string> Names(HKEY key, LONG (*enumerate)(HKEY, DWORD, std::string*, DWORD)) {
    std::vector<std::string> names;
    std::string name;
    LONG rc;
    for (DWORD i = 0; (rc = enumerate(key, i, &name, 2048)) == ERROR_SUCCESS; ++i) names.push_back(name);
    EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
    return names;
  }
  static std::vector<std::string> SubKeys(HKEY key) { return Names(key, EnumKey); }
  static std::vector<std::string> ValueNames(HKEY key) { return Names(key, EnumValue); }

  testing::TempRegistry temp_;
};

TEST_F(RegistryServiceTest, NamesKeepTheirCaseAndCompareWithoutIt) {
  HKEY software = Create(HKEY_CURRENT_USER, "Software");
  HKEY key = Create(software, "ÄpfelBaum\\Ключ");
  HKEY again = 0;
  ASSERT_EQ(Open(HKEY_CURRENT_USER, "SOFTWARE\\äPFELbaum\\КЛЮЧ", &again), ERROR_SUCCESS);
  EXPECT_NE(again, key);
  DWORD disposition = 0;
  HKEY third = 0;
  ASSERT_EQ(RegCreateKeyExA(software, "äpfelbaum", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &third,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(SubKeys(third), std::vector<std::string>{"Ключ"});

  EXPECT_EQ(Set(key, "Größe", REG_SZ, "1\0"s), ERROR_SUCCESS);
  EXPECT_EQ(Set(again, "GRÖßE", REG_SZ, "2\0"s), ERROR_SUCCESS);
  EXPECT_EQ(ValueNames(key), std::vector<std::string>{"Größe"});
  DWORD type = 0;
  std::string data;
  ASSERT_EQ(Get(key, "größe", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, "2\0"s);
  EXPECT_EQ(RegDeleteValueA(key, "GRÖSSE"), ERROR_FILE_NOT_FOUND);  // ß is not SS
  EXPECT_EQ(RegDeleteValueA(key, "gröSSe"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(key, "GRÖßE"), ERROR_SUCCESS);
  EXPECT_TRUE(ValueNames(key).empty());
}

TEST_F(RegistryServiceTest, NameLimitsAndBadPathsGive87) {
  HKEY base = Create(HKEY_CURRENT_USER, "Software\\Limits");
  std::string longest;
  for (int i = 0; i < 255; ++i) longest += "é";  // characters, not bytes, count
  Create(base, longest);
  Create(base, longest + "é", ERROR_INVALID_PARAMETER);
  HKEY probe = 0;
  EXPECT_EQ(RegOpenKeyExA(base, (longest + "x").c_str(), 0, KEY_READ, &probe),
            ERROR_INVALID_PARAMETER);
  for (const char* bad : {"a\\\\b", "\\a", "a\\", "\\"}) {
    Create(base, bad, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(base, bad, 0, KEY_READ, &probe), ERROR_INVALID_PARAMETER) << bad;
  }
  // Names count UTF-16 units, as Windows does: a character beyond U+FFFF is
  // two; text that is not UTF-8 is no name at all.
  std::string emoji;
  for (int i = 0; i < 127; ++i) emoji += "\U0001F600";
  Create(base, emoji + "x");
  Create(base, emoji + "xy", ERROR_INVALID_PARAMETER);
  for (const char* bad : {"bad\xFF" "byte", "cut\xC3", "\xED\xA0\x80surrogate"}) {
    Create(base, bad, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Set(base, bad, REG_DWORD, "\1\0\0\0"s), ERROR_INVALID_PARAMETER) << bad;
  }
  EXPECT_TRUE(SubKeys(base) == (std::vector<std::string>{longest, emoji + "x"}));

  const std::string value_name(16383, 'v');
  EXPECT_EQ(Set(base, value_name, REG_DWORD, "\1\0\0\0"s), ERROR_SUCCESS);
  EXPECT_EQ(Set(base, value_name + "v", REG_DWORD, "\1\0\0\0"s), ERROR_INVALID_PARAMETER);
  DWORD type = 0;
  std::string data;
  EXPECT_EQ(Get(base, value_name, &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(base, "x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);

  // Missing things: 2.
  EXPECT_EQ(RegOpenKeyExA(base, "Nope\\Deeper", 0, KEY_READ, &probe), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Get(base, "nope", &type, &data), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(base, "nope"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(base, "Nope"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryServiceTest, KeysLieAtMost512LevelsBelowTheirHive) {
  // `name` and then `more` levels below it.
  auto chain = [](const std::string& name, int more) {
    std::string path = name;
    for (int i = 0; i < more; ++i) path += "\\k";
    return path;
  };
  // One transaction: thousands of durable commits would take seconds.
  temp_.Service().Transact(HKEY_LOCAL_MACHINE, [&] {
    HKEY mid = Create(HKEY_LOCAL_MACHINE, chain("Mid", 499));  // level 500
    // Where each walk starts and at which level: HKEY_CURRENT_USER is a key
    // one level below HKEY_USERS.
    const struct {
      HKEY from;
      int level;
    } cases[] = {{HKEY_LOCAL_MACHINE, 0}, {HKEY_CURRENT_USER, 1}, {mid, 500}};
    for (const auto& c : cases) {
      SCOPED_TRACE(c.level);
      HKEY deepest = Create(c.from, chain("Ok", kMaxKeyDepth - c.level - 1));
      Create(deepest, "x", ERROR_INVALID_PARAMETER);
      // A path that would go deeper creates nothing, not even its parents.
      Create(c.from, chain("No", kMaxKeyDepth - c.level), ERROR_INVALID_PARAMETER);
      HKEY probe = 0;
      EXPECT_EQ(Open(c.from, "No", &probe), ERROR_FILE_NOT_FOUND);
    }
    return ERROR_SUCCESS;
  });
}

TEST_F(RegistryServiceTest, HandleResultCodes) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Handles");
  HKEY probe = 0;
  DWORD type = 0;
  std::string data;
  // Unknown, closed and unsupported predefined handles: 6.
  EXPECT_EQ(RegOpenKeyExA(0x1234, "", 0, KEY_READ, &probe), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExA(static_cast<HKEY>(0x80000004u), "", 0, KEY_READ, &probe),
            ERROR_INVALID_HANDLE);
  HKEY closing = 0;
  ASSERT_EQ(RegOpenKeyExA(key, "", 0, KEY_READ, &closing), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(closing), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(closing), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Get(closing, "x", &type, &data), ERROR_INVALID_HANDLE);
  EXPECT_EQ(Set(closing, "x", REG_SZ, "a\0"s), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);  // predefined: nothing to do

  // A key deleted while a handle is open on it: 1018 through that handle,
  // even after a new key took the same name or came after it.
  HKEY doomed = Create(key, "Doomed");
  ASSERT_EQ(Set(doomed, "v", REG_SZ, "old\0"s), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(key, "Doomed"), ERROR_SUCCESS);
  EXPECT_EQ(Get(doomed, "v", &type, &data), ERROR_KEY_DELETED);
  EXPECT_EQ(Set(doomed, "v", REG_SZ, "new\0"s), ERROR_KEY_DELETED);
  HKEY reborn = Create(key, "Doomed");
  HKEY next = Create(key, "Next");
  ASSERT_EQ(Set(reborn, "v", REG_SZ, "reborn\0"s), ERROR_SUCCESS);
  ASSERT_EQ(Set(next, "v", REG_SZ, "next\0"s), ERROR_SUCCESS);
  EXPECT_EQ(Get(doomed, "v", &type, &data), ERROR_KEY_DELETED);
  std::string name;
  EXPECT_EQ(EnumKey(doomed, 0, &name), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(doomed), ERROR_SUCCESS);

  // The end of an enumeration: 259; a buffer too small: 234 and the size.
  EXPECT_EQ(EnumKey(key, 2, &name), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(EnumValue(key, 0, &name), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(EnumKey(key, 0, &name, 6), ERROR_MORE_DATA);  // "Doomed" needs 7 with its NUL
  EXPECT_EQ(EnumKey(key, 0, &name, 7), ERROR_SUCCESS);
  EXPECT_EQ(name, "Doomed");
  BYTE small[4];
  DWORD size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(reborn, "v", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 7u);

  // A key with sub-keys is not deleted (5); nor is a key by an empty name.
  Create(key, "Parent\\Child");
  EXPECT_EQ(RegDeleteKeyA(key, "Parent"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(key, "Parent\\Child", &probe), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(key, "Parent\\Child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(key, "Parent"), ERROR_SUCCESS);
}

TEST_F(RegistryServiceTest, SubKeysInNameOrderValuesInCreationOrder) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Order");
  for (const char* name : {"b", "Ä", "A", "c", "a1", "B2"}) Create(key, name);
  EXPECT_EQ(SubKeys(key), (std::vector<std::string>{"A", "a1", "b", "B2", "c", "Ä"}));
  // Any index may be asked for, in any order.
  std::string name;
  ASSERT_EQ(EnumKey(key, 4, &name), 0);
  EXPECT_EQ(name, "c");
  ASSERT_EQ(EnumKey(key, 1, &name), 0);
  EXPECT_EQ(name, "a1");
  // Predefined handles enumerate too, the same names as a handle of the hive.
  HKEY machine = 0;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "", &machine), 0);
  EXPECT_EQ(SubKeys(HKEY_LOCAL_MACHINE), SubKeys(machine));  // (the names: control tests)
  EXPECT_FALSE(SubKeys(machine).empty());

  for (const char* value : {"zeta", "alpha", "Mu"}) ASSERT_EQ(Set(key, value, REG_SZ, "1\0"s), 0);
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"zeta", "alpha", "Mu"}));
  ASSERT_EQ(Set(key, "ZETA", REG_DWORD, "\2\0\0\0"s), 0);  // replaced in place, name kept
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"zeta", "alpha", "Mu"}));
  ASSERT_EQ(RegDeleteValueA(key, "zeta"), ERROR_SUCCESS);
  ASSERT_EQ(Set(key, "Zeta", REG_SZ, "1\0"s), 0);
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"alpha", "Mu", "Zeta"}));
  // The value's type and data come with its name.
  DWORD type = 0, size = 16, length = 16;
  BYTE data[16];
  char text[16];
  ASSERT_EQ(RegEnumValueA(key, 1, text, &length, nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(text), "Mu");
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 2u);
}

TEST_F(RegistryServiceTest, AliasHivesShowTheSameKeys) {
  struct Alias {
    HKEY hive;
    HKEY base;
    std::string path;
  };
  const std::vector<Alias> aliases = {
      {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes"},
      {HKEY_CURRENT_USER, HKEY_USERS, CurrentUserKeyName()},
      {HKEY_CURRENT_CONFIG, HKEY_LOCAL_MACHINE,
       "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
  };
  for (const Alias& alias : aliases) {
    SCOPED_TRACE(alias.path);
    HKEY through_alias = Create(alias.hive, "QvrAlias");
    ASSERT_EQ(Set(through_alias, "v", REG_SZ, "via alias\0"s), 0);
    HKEY through_base = 0;
    ASSERT_EQ(Open(alias.base, alias.path + "\\qvralias", &through_base), 0);
    DWORD type = 0;
    std::string data;
    ASSERT_EQ(Get(through_base, "V", &type, &data), 0);
    EXPECT_EQ(data, "via alias\0"s);
    ASSERT_EQ(Set(through_base, "w", REG_DWORD, "\7\0\0\0"s), 0);
    ASSERT_EQ(Get(through_alias, "w", &type, &data), 0);
    EXPECT_EQ(type, REG_DWORD);
    // Deleted through the base, gone through the alias.
    ASSERT_EQ(RegDeleteKeyA(alias.base, (alias.path + "\\QvrAlias").c_str()), ERROR_SUCCESS);
    HKEY probe = 0;
    EXPECT_EQ(RegOpenKeyExA(alias.hive, "QvrAlias", 0, KEY_READ, &probe), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(through_alias, "v", &type, &data), ERROR_KEY_DELETED);
  }
}

TEST_F(RegistryServiceTest, TextIsKeptAsUtf16AndReadAsUtf8) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Text");
  ASSERT_EQ(Set(key, "sz", REG_SZ, "Grüße 𝄞\0"s), 0);
  ASSERT_EQ(Set(key, "multi", REG_MULTI_SZ, "ä\0b\0\0"s), 0);
  ASSERT_EQ(Set(key, "bin", REG_BINARY, "ü"s), 0);
  ASSERT_EQ(Set(key, "nul", REG_SZ, "a\0b\0"s), 0);

  // The A-style calls count UTF-8 bytes, terminators included.
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(key, "sz", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 13u);  // G r ü(2) ß(2) e space 𝄞(4) NUL
  std::string data;
  ASSERT_EQ(Get(key, "multi", &type, &data), 0);
  EXPECT_EQ(data, "ä\0b\0\0"s);
  ASSERT_EQ(Get(key, "nul", &type, &data), 0);
  EXPECT_EQ(data, "a\0b\0"s);

  // The store holds UTF-16LE for the text types, the bytes as given otherwise.
  std::unique_ptr<SqliteStore> store;
  ASSERT_TRUE(testing::IsOk(SqliteStore::Open(temp_.LocalStorePath(), false, &store)));
  KeyId id = 0;
  ASSERT_EQ(store->FindChild(0, "HKEY_USERS", &id), ERROR_SUCCESS);
  for (const std::string& part : {CurrentUserKeyName(), "software"s, "TEXT"s}) {
    ASSERT_EQ(store->FindChild(id, part, &id), ERROR_SUCCESS);
  }
  std::string stored;
  ASSERT_EQ(store->GetValue(id, "sz", &type, &stored), ERROR_SUCCESS);
  EXPECT_EQ(stored, "G\0r\0\xfc\0\xdf\0e\0 \0\x34\xd8\x1e\xdd\0\0"s);
  ASSERT_EQ(store->GetValue(id, "multi", &type, &stored), ERROR_SUCCESS);
  EXPECT_EQ(stored, "\xe4\0\0\0b\0\0\0\0\0"s);
  ASSERT_EQ(store->GetValue(id, "bin", &type, &stored), ERROR_SUCCESS);
  EXPECT_EQ(stored, "\xc3\xbc"s);

  // Data written to the store as UTF-16 reads as UTF-8.
  ASSERT_EQ(store->SetValue(id, "wide", REG_EXPAND_SZ, "%\0\x01\x04%\0\0\0"s), ERROR_SUCCESS);
  ASSERT_EQ(Get(key, "wide", &type, &data), 0);
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(data, "%Ё%\0"s);
}

TEST_F(RegistryServiceTest, ReadOnlyStoreRefusesEveryWrite) {
  const std::string path = temp_.Dir() + "/readonly.sqlite";
  {
    std::shared_ptr<RegistryService> writable;
    ASSERT_TRUE(testing::IsOk(RegistryService::Open(path, "", &writable)));
    HKEY key = 0;
    ASSERT_EQ(writable->CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kept", KEY_ALL_ACCESS, &key,
                                  nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(writable->SetValue(key, "v", REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
    writable->CloseKey(key);
  }
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  std::shared_ptr<RegistryService> service;
  ASSERT_TRUE(testing::IsOk(RegistryService::Open(path, "", &service)));

  HKEY key = 0;
  EXPECT_EQ(service->CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kept", KEY_ALL_ACCESS, &key, nullptr),
            ERROR_ACCESS_DENIED);
  ASSERT_EQ(service->CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kept", KEY_READ, &key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(service->CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", KEY_READ, &key, nullptr),
            ERROR_ACCESS_DENIED);
  DWORD type = 0;
  char data[8];
  DWORD size = sizeof data;
  EXPECT_EQ(service->QueryValue(key, "v", &type, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(data), "x");
  EXPECT_EQ(service->SetValue(key, "v", REG_SZ, reinterpret_cast<const BYTE*>("y"), 2),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(service->DeleteValue(key, "v"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(service->DeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kept"), ERROR_ACCESS_DENIED);
  HKEY probe = 0;
  EXPECT_EQ(service->OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kept", &probe), ERROR_SUCCESS);
  service->CloseKey(probe);
  service->CloseKey(key);
}

TEST(RegistryStoreFileTest, CreatedPrivateAndSeeded) {
  testing::TempRegistry temp;
  const std::string path = temp.Dir() + "/new/deeper/local.sqlite";
  std::shared_ptr<RegistryService> service;
  ASSERT_TRUE(testing::IsOk(RegistryService::Open(path, "", &service)));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((temp.Dir() + "/new/deeper").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  for (auto [hive, path_in_hive] : std::vector<std::pair<HKEY, std::string>>{
           {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes"},
           {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"},
           {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
           {HKEY_LOCAL_MACHINE, "HARDWARE"},
           {HKEY_USERS, ".DEFAULT"},
           {HKEY_USERS, CurrentUserKeyName() + "\\Software"},
           {HKEY_CURRENT_USER, "Environment"},
       }) {
    HKEY key = 0;
    EXPECT_EQ(service->OpenKey(hive, path_in_hive.c_str(), &key), ERROR_SUCCESS) << path_in_hive;
    service->CloseKey(key);
  }
  EXPECT_EQ(service->OpenHandleCount(), 0u);
}

TEST(RegistryStoreFileTest, FilesThatAreNotRegistryStoresAreRefusedUntouched) {
  testing::TempRegistry temp;
  std::unique_ptr<SqliteStore> store;
  std::shared_ptr<RegistryService> service;
  const std::string text = temp.Dir() + "/notes.txt";
  FILE* f = fopen(text.c_str(), "w");
  fputs("not a database at all, but long enough to have a header of its own\n", f);
  fclose(f);
  Status refused = SqliteStore::Open(text, true, &store);
  EXPECT_EQ(refused.code(), ERROR_BADDB);
  EXPECT_FALSE(refused.message().empty());
  EXPECT_EQ(RegistryService::Open(text, "", &service).code(), ERROR_BADDB);
  EXPECT_EQ(store, nullptr);
  EXPECT_EQ(service, nullptr);

  // Another program's SQLite database: refused, and not written to.
  const std::string other = temp.Dir() + "/other.sqlite";
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(body TEXT)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  auto bytes = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string before = bytes(other);
  EXPECT_EQ(SqliteStore::Open(other, true, &store).code(), ERROR_BADDB);
  EXPECT_EQ(bytes(other), before);

  // A missing file is created only when asked to.
  EXPECT_EQ(SqliteStore::Open(temp.Dir() + "/absent.sqlite", false, &store).code(),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(store, nullptr);
  EXPECT_NE(access((temp.Dir() + "/absent.sqlite").c_str(), F_OK), 0);
}

}  // namespace
}  // namespace qvr
