// A damaged store: it is refused at opening with 1009 (ERROR_BADDB), or every
// registry call on it succeeds, gives 1009, ends a listing (259), finds a
// buffer short (234) or gives 2 for a name the undamaged store lacks too; and
// nothing crashes. The damaged copies come from a seeded generator, so a
// failing variant can be run again by its number.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <string>

#include "base/unicode.h"
#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

constexpr int kPage = 4096;  // SQLite's page size on Linux

using Rng = std::mt19937;
size_t Pick(Rng& rng, size_t n) { return rng() % n; }  // the same on every library
void Patch(const std::string& path, size_t at, const std::string& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(at));
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
void Sql(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, sql, nullptr, nullptr, nullptr);  // may fail: the damage is what it made
  sqlite3_close(db);
}

// The kinds of damage, each applied to a copy of the store with `rng`.
using Damage = void (*)(const std::string& path, size_t size, Rng& rng);
const std::map<std::string, Damage> kDamage = {
    {"random bytes in random pages", [](const std::string& path, size_t size, Rng& rng) {
       for (size_t n = 1 + Pick(rng, 4); n > 0; --n) {
         std::string junk(1 + Pick(rng, 48), '\0');
         for (char& c : junk) c = static_cast<char>(rng());
         Patch(path, Pick(rng, size / kPage) * kPage + Pick(rng, kPage - junk.size()), junk);
       }
     }},
    {"truncated", [](const std::string& path, size_t size, Rng& rng) {
       std::filesystem::resize_file(path, Pick(rng, size));
     }},
    {"a page of zeros", [](const std::string& path, size_t size, Rng& rng) {
       Patch(path, Pick(rng, size / kPage) * kPage, std::string(kPage, '\0'));
     }},
    {"schema changed", [](const std::string& path, size_t, Rng& rng) {
       const char* changes[] = {"DROP TABLE qvr_keys", "DROP TABLE qvr_values", "DROP TABLE qvr_meta",
                                "DROP INDEX qvr_values_order", "ALTER TABLE qvr_keys RENAME COLUMN fold TO f",
                                "ALTER TABLE qvr_values RENAME COLUMN data TO d"};
       Sql(path, changes[Pick(rng, std::size(changes))]);
     }},
    {"format marker changed", [](const std::string& path, size_t, Rng& rng) {
       switch (Pick(rng, 4)) {
         case 0: return Patch(path, 0, "SQLite format 4");
         case 1: return Patch(path, 18, "\x03");  // a file format SQLite only reads
         case 2: return Sql(path, "UPDATE qvr_meta SET value='qvrRegistryBrowser store 9'");
         default: return Sql(path, "DELETE FROM qvr_meta");
       }
     }},
};

class StoreCorruptionTest : public ::testing::Test {
 protected:
  // A store with a few hundred keys and values, closed (its log merged into
  // the file), and what it holds as folded paths.
  void SetUp() override {
    good_ = temp_.Dir() + "/good.sqlite";
    std::shared_ptr<RegistryService> s;
    ASSERT_TRUE(testing::IsOk(RegistryService::Open(good_, temp_.MachineTablePath(), &s)));
    // One transaction: a commit per write would make this the slow part.
    ASSERT_EQ(s->Transact(HKEY_CURRENT_USER, [&] {
      LONG rc = 0;
      for (int i = 0; i < 300 && rc == 0; ++i) {
        HKEY key = 0;
        std::string path = "Software\\Damage\\G" + std::to_string(i % 12) + "\\K" + std::to_string(i);
        rc = s->CreateKey(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS, &key, nullptr);
        std::string data(i % 50 == 0 ? 3000 : 1 + i % 40, static_cast<char>('a' + i % 26));
        for (const char* name : {"", "Text", "Blob"}) {
          if (rc == 0) rc = s->SetValue(key, name, *name == 'B' ? REG_BINARY : REG_SZ,
                                        reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
        }
        s->CloseKey(key);
      }
      return rc;
    }), 0);
    s.reset();
    Walk(good_, &names_);
  }

  // Opens the store at `path` and walks every key and value from the hive
  // roots with the registry calls, writing now and then; every result is
  // checked and its code counted. `names`, when given, receives what was found.
  void Walk(const std::string& path, std::set<std::string>* names = nullptr) {
    std::shared_ptr<RegistryService> service;
    Status opened = RegistryService::Open(path, temp_.MachineTablePath(), &service);
    if (!opened.ok()) {
      EXPECT_EQ(opened.code(), ERROR_BADDB) << opened.ToString();
      ++codes_[-1];
      return;
    }
    auto previous = SetCurrentRegistryService(service);
    for (HKEY alias : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_CURRENT_CONFIG}) {
      HKEY key = 0;
      if (Check(RegOpenKeyExA(alias, "", 0, KEY_READ, &key), "") == 0) RegCloseKey(key);
    }
    visited_ = 0;
    WalkKey(HKEY_LOCAL_MACHINE, "HKLM", 0, names);
    WalkKey(HKEY_USERS, "HKU", 0, names);
    SetCurrentRegistryService(previous);
  }

  void WalkKey(HKEY key, const std::string& path, int depth, std::set<std::string>* names) {
    // A damaged parent link can make a key its own descendant: stop deep down.
    if (depth > 12 || ++visited_ > 2000) return;
    if (names) names->insert(FoldCase(path));
    char name[16384];
    std::string first_value;
    for (DWORD i = 0;; ++i) {
      BYTE data[4096];
      DWORD length = sizeof name, size = sizeof data, type = 0;
      LONG rc = Check(RegEnumValueA(key, i, name, &length, nullptr, &type, data, &size), "");
      if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) break;
      if (rc != ERROR_SUCCESS) continue;
      std::string value = path + "=" + std::string(name, length);
      if (names) names->insert(FoldCase(value));
      if (i == 0) first_value.assign(name, length);
      Check(RegQueryValueExA(key, name, nullptr, &type, nullptr, &size), value);
    }
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      LONG rc = Check(RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr), "");
      if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) break;
      if (rc != ERROR_SUCCESS) continue;
      HKEY child = 0;
      std::string child_path = path + "\\" + std::string(name, length);
      if (Check(RegOpenKeyExA(key, name, 0, KEY_READ, &child), child_path) != 0) continue;
      WalkKey(child, child_path, depth + 1, names);
      RegCloseKey(child);
    }
    if (names || visited_ % 32 != 0) return;  // the good store stays as it is
    HKEY probe = 0;
    const BYTE x[] = "x";
    if (Check(RegCreateKeyExA(key, "Probe", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &probe, nullptr), "") == 0) {
      Check(RegSetValueExA(probe, "p", 0, REG_SZ, x, sizeof x), "");
      RegCloseKey(probe);
    }
    Check(RegDeleteKeyA(key, "Probe"), path + "\\Probe");
    if (!first_value.empty()) Check(RegDeleteValueA(key, first_value.c_str()), path + "=" + first_value);
  }

  // Counts `rc`; fails the test unless it is success, 1009, the end of a
  // listing, a short buffer, or 2 for `missing`, which the good store lacks.
  LONG Check(LONG rc, const std::string& missing) {
    ++codes_[rc];
    bool ok = rc == ERROR_SUCCESS || rc == ERROR_BADDB || rc == ERROR_NO_MORE_ITEMS ||
              rc == ERROR_MORE_DATA ||
              (rc == ERROR_FILE_NOT_FOUND && !missing.empty() && !names_.count(FoldCase(missing)));
    EXPECT_TRUE(ok) << "result " << rc << " for " << missing << " in variant " << variant_;
    return rc;
  }

  testing::TempRegistry temp_;
  std::string good_;
  std::set<std::string> names_;  // folded "path" and "path=value" of the good store
  std::map<LONG, int> codes_;    // how often each result came; -1: refused at open
  int visited_ = 0;
  int variant_ = -1;
};

TEST_F(StoreCorruptionTest, EveryDamagedCopyAnswersWithItsDataOr1009) {
  ASSERT_GT(names_.size(), 1200u);
  codes_.clear();
  const size_t size = std::filesystem::file_size(good_);
  for (variant_ = 0; variant_ < 100; ++variant_) {
    Rng rng(variant_);
    auto damage = std::next(kDamage.begin(), variant_ % kDamage.size());
    SCOPED_TRACE(damage->first);
    const std::string copy = temp_.Dir() + "/v" + std::to_string(variant_) + ".sqlite";
    std::filesystem::copy_file(good_, copy);
    damage->second(copy, size, rng);
    Walk(copy);
  }
  std::string seen;
  for (auto [code, count] : codes_) seen += " " + std::to_string(code) + ":" + std::to_string(count);
  std::cout << "results (-1: refused at open):" << seen << "\n";
}

}  // namespace
}  // namespace qvr
