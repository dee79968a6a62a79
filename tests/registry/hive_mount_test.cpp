// Hive files mounted into a store: load, browse, edit, unload, save and
// restore through the registry service, the mount seen by another process's
// service, bad files refused, hivex's limits and transactions that would
// span two stores.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "registry/hive_store.h"
#include "registry/regf_writer.h"
#include "registry/registry_service.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

using testing::IsOk;

std::string Utf16(std::string_view text) {
  std::string out;
  for (char c : text) out += std::string{c, '\0'};
  return out + std::string(2, '\0');
}

// Writes a hive holding Software\Acme (a text and a dword) and "Grüße\ключ".
std::string MakeHive(const std::string& path) {
  HiveKey root;
  root.name = "ROOT";
  HiveKey software, acme, greeting, key;
  software.name = "Software";
  acme.name = "Acme";
  acme.values = {{"Name", REG_SZ, Utf16("Acme Ltd")}, {"Count", REG_DWORD, std::string("\x07\0\0\0", 4)}};
  software.children.push_back(acme);
  greeting.name = "Grüße";
  key.name = "ключ";
  greeting.children.push_back(key);
  root.children = {software, greeting};
  std::string image;
  EXPECT_TRUE(IsOk(WriteHive(root, &image)));
  std::ofstream(path, std::ios::binary) << image;
  return path;
}

std::string Text(RegistryService& s, HKEY root, const std::string& path, const std::string& name) {
  HKEY key = 0;
  if (s.OpenKey(root, path.c_str(), &key) != ERROR_SUCCESS) return "<no key>";
  char data[256] = {};
  DWORD size = sizeof data, type = 0;
  LONG rc = s.QueryValue(key, name.c_str(), &type, reinterpret_cast<BYTE*>(data), &size);
  s.CloseKey(key);
  return rc == ERROR_SUCCESS ? std::string(data) : "<" + std::to_string(rc) + ">";
}

LONG SetText(RegistryService& s, HKEY root, const std::string& path, const std::string& name,
             const std::string& value) {
  HKEY key = 0;
  LONG rc = s.CreateKey(root, path.c_str(), KEY_ALL_ACCESS, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = s.SetValue(key, name.c_str(), REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                  static_cast<DWORD>(value.size() + 1));
  s.CloseKey(key);
  return rc;
}

// Runs the test in a folder nobody can write (/proc), so that a file made in
// the current folder instead of beside its target fails.
class HiveMountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
    ASSERT_EQ(chdir("/proc"), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(cwd_), 0); }

  RegistryService& S() { return temp_.Service(); }
  std::string Hive() { return MakeHive(temp_.Dir() + "/NTUSER.DAT"); }
  testing::TempRegistry temp_;
  char cwd_[4096] = {};
};

TEST_F(HiveMountTest, LoadedHiveIsBrowsedAndEditedAndTheFileKeepsTheEdits) {
  const std::string file = Hive();
  ASSERT_TRUE(IsOk(S().LoadKey(HKEY_USERS, "Alice", file.c_str())));
  EXPECT_EQ(Text(S(), HKEY_USERS, "alice\\SOFTWARE\\acme", "name"), "Acme Ltd");
  HKEY key = 0;
  ASSERT_EQ(S().OpenKey(HKEY_USERS, "Alice\\GRÜßE\\КЛЮЧ", &key), ERROR_SUCCESS);
  S().CloseKey(key);

  ASSERT_EQ(SetText(S(), HKEY_USERS, "Alice\\Software\\Acme", "NAME", "Acme GmbH"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(S(), HKEY_USERS, "Alice\\Software\\New\\Deep", "x", "y"), ERROR_SUCCESS);
  ASSERT_EQ(S().OpenKey(HKEY_USERS, "Alice\\Grüße", &key), ERROR_SUCCESS);
  EXPECT_EQ(S().DeleteKey(key, "ключ"), ERROR_SUCCESS);
  EXPECT_EQ(S().EnumKey(key, 0, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  S().CloseKey(key);
  // The values keep their order and the first spelling of a replaced name.
  ASSERT_EQ(S().OpenKey(HKEY_USERS, "Alice\\Software\\Acme", &key), ERROR_SUCCESS);
  std::string name, stored;
  DWORD type = 0;
  ASSERT_EQ(S().EnumValueBytes(key, 0, &name, &type, &stored), ERROR_SUCCESS);
  EXPECT_EQ(name, "Name");
  EXPECT_EQ(S().DeleteKey(HKEY_USERS, "Alice"), ERROR_ACCESS_DENIED);

  // The file holds the edits, read by a store of its own.
  std::unique_ptr<HiveStore> hive;
  ASSERT_TRUE(IsOk(HiveStore::Open(file, true, &hive)));
  KeyId k = HiveStore::kRoot;
  for (const char* part : {"Software", "New", "Deep"}) ASSERT_EQ(hive->FindChild(k, part, &k), 0) << part;
  std::string data;
  ASSERT_EQ(hive->GetValue(k, "X", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, Utf16("y"));

  EXPECT_EQ(S().UnloadKey(HKEY_USERS, "Alice").code(), ERROR_ACCESS_DENIED) << "a handle is open";
  S().CloseKey(key);
  ASSERT_TRUE(IsOk(S().UnloadKey(HKEY_USERS, "Alice")));
  EXPECT_EQ(S().OpenKey(HKEY_USERS, "Alice", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(HiveMountTest, AMountIsSharedByEveryServiceOfTheStoreUntilUnloaded) {
  const std::string file = Hive();
  std::shared_ptr<RegistryService> other;
  ASSERT_TRUE(IsOk(RegistryService::Open(temp_.LocalStorePath(), "", &other)));
  HKEY seen = 0;
  ASSERT_EQ(other->OpenKey(HKEY_USERS, "S-1-5-21-0-0-0-1", &seen), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(IsOk(S().LoadKey(HKEY_USERS, "S-1-5-21-0-0-0-1", file.c_str())));
  EXPECT_EQ(Text(*other, HKEY_USERS, "S-1-5-21-0-0-0-1\\Software\\Acme", "Name"), "Acme Ltd");
  // A write of one service is read by the other at once.
  ASSERT_EQ(SetText(*other, HKEY_USERS, "S-1-5-21-0-0-0-1\\Software\\Acme", "By", "other"), 0);
  EXPECT_EQ(Text(S(), HKEY_USERS, "S-1-5-21-0-0-0-1\\Software\\Acme", "By"), "other");
  ASSERT_EQ(other->OpenKey(HKEY_USERS, "S-1-5-21-0-0-0-1\\Software", &seen), ERROR_SUCCESS);
  ASSERT_TRUE(IsOk(S().UnloadKey(HKEY_USERS, "S-1-5-21-0-0-0-1")));
  // The other service's handle now names a key that is gone.
  EXPECT_EQ(other->EnumKey(seen, 0, nullptr, nullptr), ERROR_KEY_DELETED);
  other->CloseKey(seen);

  // Another machine's store holds its own mounts.
  temp_.AddMachine("far");
  HKEY far = 0;
  ASSERT_TRUE(IsOk(S().ConnectMachine("\\\\far", HKEY_LOCAL_MACHINE, &far)));
  ASSERT_TRUE(IsOk(S().LoadKey(far, "Remote", file.c_str())));
  EXPECT_EQ(Text(S(), far, "Remote\\Software\\Acme", "By"), "other");
  EXPECT_EQ(Text(S(), HKEY_LOCAL_MACHINE, "Remote\\Software\\Acme", "By"), "<no key>");
  EXPECT_TRUE(IsOk(S().UnloadKey(far, "Remote")));
  S().CloseKey(far);

  // A hive whose file went away answers that it cannot be read, and can
  // still be unloaded.
  ASSERT_TRUE(IsOk(S().LoadKey(HKEY_USERS, "Gone", file.c_str())));
  std::filesystem::remove(file);
  std::shared_ptr<RegistryService> fresh;
  ASSERT_TRUE(IsOk(RegistryService::Open(temp_.LocalStorePath(), "", &fresh)));
  EXPECT_EQ(fresh->OpenKey(HKEY_USERS, "Gone\\Software", &seen), ERROR_BADDB);
  EXPECT_TRUE(IsOk(fresh->UnloadKey(HKEY_USERS, "Gone")));
  EXPECT_EQ(S().OpenKey(HKEY_USERS, "Gone", &seen), ERROR_FILE_NOT_FOUND);
}

TEST_F(HiveMountTest, LoadRefusesWhatIsNotAWholeHive) {
  const std::string good = Hive();
  std::string image;
  {
    std::ifstream in(good, std::ios::binary);
    image.assign(std::istreambuf_iterator<char>(in), {});
  }
  auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(temp_.Dir() + "/" + name, std::ios::binary) << bytes;
    return temp_.Dir() + "/" + name;
  };
  std::filesystem::create_directory(temp_.Dir() + "/folder");
  const struct {
    std::string file;
    LONG code;
  } cases[] = {
      {write("text.txt", "Windows Registry Editor Version 5.00\r\n"), ERROR_NOT_REGISTRY_FILE},
      {write("truncated", image.substr(0, image.size() - 4096)), ERROR_REGISTRY_CORRUPT},
      {write("bad-hbin", image.substr(0, 4096) + "hbix" + image.substr(4100)), ERROR_REGISTRY_CORRUPT},
      {temp_.Dir() + "/folder", ERROR_ACCESS_DENIED},
      {"/dev/null", ERROR_ACCESS_DENIED},
      {temp_.Dir() + "/missing", ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    Status s = S().LoadKey(HKEY_LOCAL_MACHINE, "Bad", c.file.c_str());
    EXPECT_EQ(s.code(), c.code) << c.file << ": " << s.ToString();
    HKEY key = 0;
    EXPECT_EQ(S().OpenKey(HKEY_LOCAL_MACHINE, "Bad", &key), ERROR_FILE_NOT_FOUND) << c.file;
  }
  EXPECT_EQ(S().LoadKey(HKEY_LOCAL_MACHINE, "SOFTWARE", good.c_str()).code(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(S().LoadKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", good.c_str()).code(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(S().LoadKey(HKEY_CURRENT_USER, "X", good.c_str()).code(), ERROR_INVALID_PARAMETER);
}

TEST_F(HiveMountTest, DirtyOrUnwritableHivesMountReadOnlyAndSayWhy) {
  const std::string file = Hive();
  std::string image;
  {
    std::ifstream in(file, std::ios::binary);
    image.assign(std::istreambuf_iterator<char>(in), {});
  }
  // The second sequence number one ahead, the checksum made right again.
  image[8] = static_cast<char>(image[8] + 1);
  uint32_t sum = 0;
  for (int i = 0; i < 508; i += 4) {
    uint32_t word = 0;
    std::memcpy(&word, image.data() + i, 4);
    sum ^= word;
  }
  std::memcpy(image.data() + 508, &sum, 4);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << image;
  std::string note;
  ASSERT_TRUE(IsOk(S().LoadKey(HKEY_LOCAL_MACHINE, "Dirty", file.c_str(), &note)));
  EXPECT_NE(note.find("dirty"), std::string::npos) << note;
  EXPECT_EQ(Text(S(), HKEY_LOCAL_MACHINE, "Dirty\\Software\\Acme", "Name"), "Acme Ltd");
  EXPECT_EQ(SetText(S(), HKEY_LOCAL_MACHINE, "Dirty\\Software\\Acme", "Name", "x"), ERROR_ACCESS_DENIED);
}

TEST_F(HiveMountTest, PastHivexLimitsACallFailsAndChangesNothing) {
  HiveKey root, full, over, big;
  full.name = "Full";
  over.name = "Over";
  for (size_t i = 0; i <= kHiveMaxSubKeys; ++i) {
    HiveKey child;
    child.name = "k" + std::to_string(i);
    (i < kHiveMaxSubKeys ? full : over).children.push_back(child);
    if (i < kHiveMaxSubKeys) over.children.push_back(std::move(child));
  }
  big.name = "Big";
  big.values.push_back(HiveValue{"Huge", REG_BINARY, std::string(kHiveMaxReadData + 1, 'x')});
  root.children = {full, over, big};
  std::string image;
  ASSERT_TRUE(IsOk(WriteHive(root, &image)));
  const std::string file = temp_.Dir() + "/limits.hiv";
  std::ofstream(file, std::ios::binary) << image;
  ASSERT_TRUE(IsOk(S().LoadKey(HKEY_LOCAL_MACHINE, "Limits", file.c_str())));

  HKEY key = 0;
  ASSERT_EQ(S().OpenKey(HKEY_LOCAL_MACHINE, "Limits\\Full", &key), ERROR_SUCCESS);
  EXPECT_EQ(S().CreateKey(key, "one more", KEY_ALL_ACCESS, &key, nullptr), ERROR_NO_SYSTEM_RESOURCES);
  char name[16];
  DWORD length = sizeof name;
  EXPECT_EQ(S().EnumKey(key, kHiveMaxSubKeys - 1, name, &length), ERROR_SUCCESS);
  S().CloseKey(key);
  ASSERT_EQ(S().OpenKey(HKEY_LOCAL_MACHINE, "Limits\\Over", &key), ERROR_SUCCESS);
  EXPECT_EQ(S().EnumKey(key, 0, name, &length), ERROR_NO_SYSTEM_RESOURCES);
  S().CloseKey(key);
  EXPECT_EQ(Text(S(), HKEY_LOCAL_MACHINE, "Limits\\Big", "Huge"), "<1450>");
  EXPECT_EQ(Text(S(), HKEY_LOCAL_MACHINE, "Limits\\Big", "Other"), "<2>");

  ASSERT_EQ(S().OpenKey(HKEY_LOCAL_MACHINE, "Limits\\Full", &key), ERROR_SUCCESS);
  std::string huge(kHiveMaxWriteData + 1, 'y');
  EXPECT_EQ(S().SetValue(key, "Write", REG_BINARY, reinterpret_cast<const BYTE*>(huge.data()),
                         static_cast<DWORD>(huge.size())),
            ERROR_NO_SYSTEM_RESOURCES);
  EXPECT_EQ(Text(S(), HKEY_LOCAL_MACHINE, "Limits\\Full", "Write"), "<2>");
  huge.pop_back();
  EXPECT_EQ(S().SetValue(key, "Write", REG_BINARY, reinterpret_cast<const BYTE*>(huge.data()),
                         static_cast<DWORD>(huge.size())),
            ERROR_SUCCESS);
  S().CloseKey(key);
}

TEST_F(HiveMountTest, KeyTimesAndClassesComeFromTheCellsAndWritesKeepTimesTrue) {
  constexpr int64_t kThen = 130000000000000000;  // 2012-12-14 23:06:40 UTC
  HiveKey root, a, b;
  root.name = "ROOT";
  a.name = "A";
  a.class_name = "Klasse ä";
  a.last_write = kThen;
  b.name = "B";
  b.last_write = kThen + 1;
  a.children.push_back(b);
  root.children.push_back(a);
  root.last_write = kThen;
  std::string image;
  ASSERT_TRUE(IsOk(WriteHive(root, &image)));
  const std::string file = temp_.Dir() + "/times.hiv";
  std::ofstream(file, std::ios::binary) << image;

  std::unique_ptr<HiveStore> hive;
  ASSERT_TRUE(IsOk(HiveStore::Open(file, false, &hive)));
  KeyId ka = 0, kb = 0, kc = 0;
  ASSERT_EQ(hive->FindChild(HiveStore::kRoot, "a", &ka), 0);
  ASSERT_EQ(hive->FindChild(ka, "b", &kb), 0);
  KeyInfo info;
  ASSERT_EQ(hive->QueryInfo(ka, &info), 0);
  EXPECT_EQ(info.class_name, "Klasse ä");
  EXPECT_EQ(info.last_write, kThen);
  EXPECT_EQ(info.sub_keys, 1u);
  ASSERT_EQ(hive->QueryInfo(HiveStore::kRoot, &info), 0);
  EXPECT_EQ(info.max_class_len, 8u);

  // A value set moves its key's time, a key made its parent's; nothing else moves.
  ASSERT_EQ(hive->SetValue(kb, "v", REG_DWORD, std::string(4, '\1')), 0);
  bool created = false;
  ASSERT_EQ(hive->CreateChild(HiveStore::kRoot, "C", &kc, &created), 0);
  std::unique_ptr<HiveStore> reread;
  ASSERT_TRUE(IsOk(HiveStore::Open(file, true, &reread)));
  auto time_of = [&](KeyId parent, const char* name) {
    KeyId k = HiveStore::kRoot;
    KeyInfo i;
    if (name != nullptr) reread->FindChild(parent, name, &k);
    reread->QueryInfo(k, &i);
    return i.last_write;
  };
  KeyId ra = 0;
  ASSERT_EQ(reread->FindChild(HiveStore::kRoot, "A", &ra), 0);
  EXPECT_GT(time_of(0, nullptr), kThen + 1000000000) << "the root got a sub-key";
  EXPECT_EQ(time_of(HiveStore::kRoot, "A"), kThen);
  EXPECT_GT(time_of(ra, "B"), kThen + 1000000000);
  EXPECT_GT(time_of(HiveStore::kRoot, "C"), kThen + 1000000000);

  // Loaded, saved and restored, a key keeps its time and class.
  ASSERT_TRUE(IsOk(S().LoadKey(HKEY_LOCAL_MACHINE, "Times", file.c_str())));
  HKEY key = 0;
  ASSERT_EQ(S().OpenKey(HKEY_LOCAL_MACHINE, "Times", &key), 0);
  const std::string saved = temp_.Dir() + "/saved.hiv";
  ASSERT_TRUE(IsOk(S().SaveKey(key, saved.c_str(), false)));
  S().CloseKey(key);
  ASSERT_EQ(SetText(S(), HKEY_CURRENT_USER, "Restored", "x", "y"), 0);
  ASSERT_EQ(S().OpenKey(HKEY_CURRENT_USER, "Restored", &key), 0);
  ASSERT_TRUE(IsOk(S().RestoreKey(key, saved.c_str())));
  S().CloseKey(key);
  ASSERT_TRUE(IsOk(HiveStore::Open(saved, true, &reread)));
  EXPECT_EQ(time_of(HiveStore::kRoot, "A"), kThen);
  ASSERT_EQ(reread->FindChild(HiveStore::kRoot, "A", &ra), 0);
  ASSERT_EQ(reread->QueryInfo(ra, &info), 0);
  EXPECT_EQ(info.class_name, "Klasse ä");
  // The store took the hive's times with the restore, and a save of the
  // store's key writes them again.
  ASSERT_EQ(S().OpenKey(HKEY_CURRENT_USER, "Restored\\A", &key), 0);
  ASSERT_EQ(S().QueryInfoKey(key, &info), 0);
  EXPECT_EQ(info.last_write, kThen);
  const std::string again = temp_.Dir() + "/again.hiv";
  ASSERT_TRUE(IsOk(S().SaveKey(key, again.c_str(), false)));
  S().CloseKey(key);
  ASSERT_TRUE(IsOk(HiveStore::Open(again, true, &reread)));
  EXPECT_EQ(time_of(0, nullptr), kThen);
}

TEST_F(HiveMountTest, ATransactionWritesOneStoreOnly) {
  ASSERT_TRUE(IsOk(S().LoadKey(HKEY_LOCAL_MACHINE, "One", Hive().c_str())));
  LONG rc = S().Transact(HKEY_LOCAL_MACHINE, [&] {
    LONG first = SetText(S(), HKEY_LOCAL_MACHINE, "One\\Software\\Acme", "T", "hive");
    LONG second = SetText(S(), HKEY_LOCAL_MACHINE, "SOFTWARE\\T", "T", "sqlite");
    EXPECT_EQ(first, ERROR_SUCCESS);
    EXPECT_EQ(second, ERROR_NOT_SAME_DEVICE);
    return ERROR_SUCCESS;  // even a caller that goes on cannot commit half
  });
  EXPECT_EQ(rc, ERROR_NOT_SAME_DEVICE);
  EXPECT_EQ(Text(S(), HKEY_LOCAL_MACHINE, "One\\Software\\Acme", "T"), "<2>");
  // Within one hive, a transaction is all or nothing.
  rc = S().Transact(HKEY_LOCAL_MACHINE, [&] {
    SetText(S(), HKEY_LOCAL_MACHINE, "One\\Software\\Acme", "T", "kept");
    return SetText(S(), HKEY_LOCAL_MACHINE, "One\\A\\B", "T", "kept");
  });
  EXPECT_EQ(rc, ERROR_SUCCESS);
  EXPECT_EQ(Text(S(), HKEY_LOCAL_MACHINE, "One\\A\\B", "T"), "kept");
}

TEST_F(HiveMountTest, SaveThenRestoreReplacesAKeyWhole) {
  ASSERT_EQ(SetText(S(), HKEY_CURRENT_USER, "Software\\Saved\\Sub", "a", "1"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(S(), HKEY_CURRENT_USER, "Software\\Saved", "b", "2"), ERROR_SUCCESS);
  HKEY saved = 0;
  ASSERT_EQ(S().OpenKey(HKEY_CURRENT_USER, "Software\\Saved", &saved), ERROR_SUCCESS);
  const std::string file = temp_.Dir() + "/saved.hiv";
  ASSERT_TRUE(IsOk(S().SaveKey(saved, file.c_str(), false)));
  EXPECT_EQ(S().SaveKey(saved, file.c_str(), false).code(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(S().SaveKey(saved, temp_.Dir().c_str(), true).code(), ERROR_ACCESS_DENIED);

  ASSERT_EQ(SetText(S(), HKEY_CURRENT_USER, "Software\\Saved\\Other", "c", "3"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(S(), HKEY_CURRENT_USER, "Software\\Saved", "b", "changed"), ERROR_SUCCESS);
  ASSERT_TRUE(IsOk(S().RestoreKey(saved, file.c_str())));
  EXPECT_EQ(Text(S(), HKEY_CURRENT_USER, "Software\\Saved", "b"), "2");
  EXPECT_EQ(Text(S(), HKEY_CURRENT_USER, "Software\\Saved\\Sub", "a"), "1");
  EXPECT_EQ(Text(S(), HKEY_CURRENT_USER, "Software\\Saved\\Other", "c"), "<no key>");
  S().CloseKey(saved);
}

}  // namespace
}  // namespace qvr
