// A walk of a tree (RegistryStore::Walk, RegistryService::WalkTree): the
// SQLite store's one pass reports exactly what walking key by key through
// the registry calls reports, in the same order, and passes over, stops and
// fails as the walk built from EnumChild and EnumValue does.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "registry/registry_service.h"
#include "registry/sqlite_store.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

using testing::HexOf;

// Each report as a line: "depth name" for a key, "  name type hex" for a value.
class Recorder : public StoreWalkVisitor {
 public:
  std::string prune = "-";  // the key whose values and sub-keys are passed over
  int stop_after = -1;  // keys reported before the walk is ended with 42
  std::vector<std::string> lines;

  LONG Key(int depth, KeyId, std::string_view name) override {
    if (keys_++ == stop_after) return 42;
    lines.push_back(std::to_string(depth) + " " + std::string(name));
    return name == prune ? kWalkPrune : ERROR_SUCCESS;
  }
  LONG Value(std::string_view name, DWORD type, std::string_view stored) override {
    lines.push_back("  " + std::string(name) + " " + std::to_string(type) + " " + HexOf(stored));
    return ERROR_SUCCESS;
  }

 private:
  int keys_ = 0;
};

// The same reports from the registry calls: every key opened from its parent.
void WalkByCalls(RegistryService& s, HKEY key, int depth, const std::string& name,
                 std::vector<std::string>* lines) {
  lines->push_back(std::to_string(depth) + " " + name);
  std::string value, data;
  DWORD type = 0;
  for (DWORD i = 0; s.EnumValueBytes(key, i, &value, &type, &data) == ERROR_SUCCESS; ++i) {
    lines->push_back("  " + value + " " + std::to_string(type) + " " + HexOf(data));
  }
  char child[1024];
  for (DWORD i = 0, size = sizeof child; s.EnumKey(key, i, child, &size) == 0; size = sizeof child) {
    HKEY sub = 0;
    ASSERT_EQ(s.OpenKey(key, child, &sub), ERROR_SUCCESS);
    WalkByCalls(s, sub, depth + 1, std::string(child, size), lines);
    s.CloseKey(sub);
    ++i;
  }
}

class StoreWalkTest : public ::testing::Test {
 protected:
  // Names in every letter case, beyond ASCII and out of order; a value of
  // every type, written out of name order, one of them replaced.
  void SetUp() override {
    RegistryService& s = reg_.Service();
    ASSERT_EQ(s.CreateKey(HKEY_CURRENT_USER, "Software\\Walk", KEY_ALL_ACCESS, &top_, nullptr), 0);
    for (const char* path : {"b", "Ärger\\y2", "A\\Inner\\deep", "a2", "Ärger\\Y", "äb", "Z", "_x",
                             "10", "9", "Ωmega", "日本\\Straße", "A\\inner2", "b\\ẞ"}) {
      HKEY key = 0;
      ASSERT_EQ(s.CreateKey(top_, path, KEY_ALL_ACCESS, &key, nullptr), 0) << path;
      s.CloseKey(key);
    }
    HKEY key = 0;
    ASSERT_EQ(s.OpenKey(top_, "Ärger", &key), 0);
    const DWORD types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xFFFFFFFF};
    for (DWORD type : types) {
      std::string name = std::to_string(type % 5) + (type % 2 ? "Ñame" : "zeta") + std::to_string(type);
      ASSERT_EQ(s.SetValueBytes(key, name.c_str(), type, std::string(type % 7, char(type))), 0);
    }
    ASSERT_EQ(s.SetValueBytes(key, "", 1, std::string("a\0\0\0", 4)), 0);
    ASSERT_EQ(s.SetValueBytes(key, "1Ñame1", 4, "\x01\x02\x03\x04"), 0);
    s.CloseKey(key);
    WalkByCalls(s, top_, 0, "", &by_calls_);
  }
  void TearDown() override { reg_.Service().CloseKey(top_); }

  // A second connection to the store, and the id of the walked key in it.
  KeyId OpenStore(std::unique_ptr<SqliteStore>* store) {
    EXPECT_TRUE(testing::IsOk(SqliteStore::Open(reg_.LocalStorePath(), false, store)));
    KeyId id = 0;
    const std::string path[] = {"HKEY_USERS", CurrentUserKeyName(), "Software", "Walk"};
    for (const std::string& name : path) {
      EXPECT_EQ((*store)->FindChild(id, name, &id), ERROR_SUCCESS) << name;
    }
    return id;
  }

  testing::TempRegistry reg_;
  HKEY top_ = 0;
  std::vector<std::string> by_calls_;
};

TEST_F(StoreWalkTest, OnePassReportsWhatTheCallsReportAndPrunesAndStopsAsTheDefault) {
  // The top and the 18 keys below it, the 14 values of Ärger.
  ASSERT_EQ(by_calls_.size(), 19u + 14u);
  Recorder service;
  EXPECT_EQ(reg_.Service().WalkTree(top_, service), ERROR_SUCCESS);
  EXPECT_EQ(service.lines, by_calls_);
  // A hive file mounted below HKU is walked in its place, with its key's name.
  const std::string hive = reg_.Dir() + "/walk.hiv";
  ASSERT_TRUE(testing::IsOk(reg_.Service().SaveKey(top_, hive.c_str(), false)));
  ASSERT_TRUE(testing::IsOk(reg_.Service().LoadKey(HKEY_USERS, "Mounted", hive.c_str())));
  for (HKEY walked : {HKEY_USERS, HKEY_CURRENT_USER}) {
    std::vector<std::string> expected;
    WalkByCalls(reg_.Service(), walked, 0, "", &expected);
    Recorder mounted;
    EXPECT_EQ(reg_.Service().WalkTree(walked, mounted), ERROR_SUCCESS);
    EXPECT_EQ(mounted.lines, expected);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), "1 Mounted"), walked == HKEY_USERS);
  }
  HKEY mount = 0;
  ASSERT_EQ(reg_.Service().OpenKey(HKEY_USERS, "Mounted", &mount), ERROR_SUCCESS);
  service.lines.clear();
  EXPECT_EQ(reg_.Service().WalkTree(mount, service), ERROR_SUCCESS);
  EXPECT_EQ(service.lines, by_calls_);
  reg_.Service().CloseKey(mount);

  std::unique_ptr<SqliteStore> store;
  const KeyId top = OpenStore(&store);
  const struct {
    const char* prune;
    int stop_after;
    LONG rc;
  } cases[] = {{"-", -1, 0}, {"-", 4, 42}, {"-", 9, 42}, {"A", 100, 0}, {"Ärger", -1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prune + std::string(" ") + std::to_string(c.stop_after));
    Recorder one_pass, by_default;
    one_pass.prune = by_default.prune = c.prune;
    one_pass.stop_after = by_default.stop_after = c.stop_after;
    EXPECT_EQ(store->Walk(top, one_pass), c.rc);
    EXPECT_EQ(store->RegistryStore::Walk(top, by_default), c.rc);
    EXPECT_EQ(one_pass.lines, by_default.lines);
    // Stopping keeps the lines before the key it stopped at; passing over a
    // key drops exactly the lines of its values and sub-keys.
    std::vector<std::string> expected = by_calls_;
    auto is_key = [](const std::string& line) { return line[0] != ' '; };
    if (c.stop_after >= 0) {
      auto stop = expected.begin();
      for (int k = 0; k <= c.stop_after; ++k) stop = std::find_if(stop + (k > 0), expected.end(), is_key);
      expected.erase(stop, expected.end());
    }
    if (c.prune != std::string("-")) {
      auto at = std::find(expected.begin(), expected.end(), "1 " + std::string(c.prune));
      auto end = std::find_if(at + 1, expected.end(), [](const std::string& l) {
        return l[0] == '0' || l[0] == '1';
      });
      ASSERT_NE(at, expected.end());
      ASSERT_GT(end - at, 1);
      expected.erase(at + 1, end);
    }
    EXPECT_EQ(one_pass.lines, expected);
  }
}

TEST_F(StoreWalkTest, DamageAndTheServicesRulesEndTheWalk) {
  // Another thread's transaction is waited for, up to TransactionWait.
  RegistryService& s = reg_.Service();
  s.SetTransactionWait(std::chrono::milliseconds(20));
  Recorder waited;
  EXPECT_EQ(s.Transact(HKEY_CURRENT_USER, [&] {
    std::thread([&] { EXPECT_EQ(s.WalkTree(top_, waited), ERROR_BUSY); }).join();
    return s.WalkTree(top_, waited);  // this thread's own goes on
  }), ERROR_SUCCESS);
  EXPECT_EQ(waited.lines, by_calls_);
  HKEY gone = 0;
  ASSERT_EQ(s.OpenKey(top_, "9", &gone), ERROR_SUCCESS);
  ASSERT_EQ(s.DeleteKey(top_, "9"), ERROR_SUCCESS);
  EXPECT_EQ(s.WalkTree(gone, waited), ERROR_KEY_DELETED);
  s.CloseKey(gone);
  {  // last: the damage stays
    std::unique_ptr<SqliteStore> store;
    const KeyId top = OpenStore(&store);
    // A name that no longer folds to the name it is listed under.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(reg_.LocalStorePath().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE qvr_keys SET name='Other' WHERE name='a2'", nullptr, nullptr,
                           nullptr), SQLITE_OK);
    sqlite3_close(db);
    Recorder one_pass, by_default;
    EXPECT_EQ(store->Walk(top, one_pass), ERROR_BADDB);
    EXPECT_EQ(store->RegistryStore::Walk(top, by_default), ERROR_BADDB);
  }
}

}  // namespace
}  // namespace qvr
