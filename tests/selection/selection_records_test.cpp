// Record sets and the selection: filing order, look-up, removal and emptying.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "automation/automation_error.h"
#include "selection/internal/selection_access.h"
#include "selection/qvr_collection.h"
#include "selection/qvr_data.h"
#include "selection/qvr_selected_data.h"
#include "support/raised.h"

namespace qvr {
namespace {

using selection_internal::SelectionAccess;

// Files a record as the control does: the value name is also the key.
std::shared_ptr<qvrData> File(qvrSelectedData& set, const std::string& value_name,
                              const std::string& hive = "HKEY_CURRENT_USER",
                              const std::string& key = "Software",
                              const std::string& value = "data") {
  return SelectionAccess::Add(set, "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}", "Software",
                              "Wizard Generated Registry Item", "7", "U", "0", hive, key,
                              value_name, "REG_SZ", value, value_name);
}

std::vector<std::string> Names(const qvrSelectedData& set) {
  std::vector<std::string> names;
  for (const auto& record : set) names.push_back(record->strPropSheetName);
  return names;
}

std::shared_ptr<qvrSelectedData> FileSet(qvrCollection& selection, const std::string& hive,
                                         const std::string& key, int records = 1) {
  // Filed by display path, as the control files them.
  auto set = SelectionAccess::Add(selection, key.empty() ? hive : hive + "\\" + key);
  for (int i = 0; i < records; ++i) File(*set, "v" + std::to_string(i), hive, key);
  return set;
}

using testing::ErrorNumberOf;

// Hosts create record sets and selections but neither records nor filings.
template <class T>
concept HostCanFileRecords = requires(T& set, std::string_view s) {
  set.Add(s, s, s, s, s, s, s, s, s, s, s, s);
};
template <class T>
concept HostCanAddRecordSets = requires(T& selection, std::string_view s) { selection.Add(s); };
static_assert(!HostCanFileRecords<qvrSelectedData>);
static_assert(!HostCanAddRecordSets<qvrCollection>);
static_assert(!std::is_default_constructible_v<qvrData>);
static_assert(std::is_default_constructible_v<qvrSelectedData>);
static_assert(std::is_default_constructible_v<qvrCollection>);

TEST(SelectedData, RecordsStandInOrderOfValueNameWithoutRegardToCase) {
  qvrSelectedData set;
  for (const char* name : {"b", "A", "c"}) File(set, name);
  EXPECT_EQ(Names(set), (std::vector<std::string>{"A", "b", "c"}));

  // A key that differs only in case changes nothing; the new record is
  // handed back unfiled.
  auto again = File(set, "B", "HKEY_CURRENT_USER", "Software", "other");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->strPropSheetValue, "other");
  EXPECT_EQ(Names(set), (std::vector<std::string>{"A", "b", "c"}));
  EXPECT_EQ(set.item("b")->strPropSheetValue, "data");

  // Names from elsewhere in Unicode fold too; "(default)" sorts before letters.
  for (const char* name : {"Ärger", "(default)", "äRGER"}) File(set, name);
  EXPECT_EQ(Names(set), (std::vector<std::string>{"(default)", "A", "b", "c", "Ärger"}));
}

TEST(SelectedData, InsertionPointFollowsValueNamesEvenWhenTheyDifferFromKeys) {
  // The position comes from the records' value names while the record is
  // filed under its key; names out of order are still scanned from the top.
  qvrSelectedData set;
  auto add = [&](const std::string& name, const std::string& key) {
    SelectionAccess::Add(set, "", "", "", "", "", "", "H", "", name, "", "", key);
  };
  // "x" goes after "a" (nothing sorts after it), "c", "d" and "e" are appended
  // after it, and "w" goes before "x", the first name after "w".
  for (auto [name, key] : {std::pair{"a", "a"}, {"x", "b"}, {"c", "y1"}, {"d", "y2"}, {"e", "y3"},
                           {"w", "w"}})
    add(name, key);
  EXPECT_EQ(Names(set), (std::vector<std::string>{"a", "w", "x", "c", "d", "e"}));
  EXPECT_NE(set.item("y1"), nullptr);
  EXPECT_EQ(set.item("y1")->strPropSheetName, "c");
}

TEST(SelectedData, LookUpNeverFailsButRemovalOfAMissingRecordRaises) {
  qvrSelectedData set;
  for (const char* name : {"Alpha", "Beta", "Gamma"}) File(set, name);

  EXPECT_EQ(set.item(2.0)->strPropSheetName, "Beta");
  EXPECT_EQ(set.item("GAMMA")->strPropSheetName, "Gamma");
  EXPECT_EQ(set.item("Delta"), nullptr);
  EXPECT_EQ(set.item(int32_t{4}), nullptr);
  EXPECT_EQ(set.item(Variant::Null()), nullptr);
  EXPECT_EQ(ErrorNumberOf([&] { set.Remove("Delta"); }), errors::kInvalidProcedureCall);
  EXPECT_EQ(ErrorNumberOf([&] { set.Remove(int32_t{7}); }), errors::kSubscriptOutOfRange);
  EXPECT_EQ(set.Count(), 3);

  set.Remove("beta");
  set.Remove(int32_t{1});
  EXPECT_EQ(Names(set), (std::vector<std::string>{"Gamma"}));

  // A record a host still holds outlives the set's Clear.
  auto held = set.item("Gamma");
  set.Clear();
  EXPECT_EQ(set.Count(), 0);
  EXPECT_EQ(set.item("Gamma"), nullptr);
  EXPECT_EQ(held->strPropSheetName, "Gamma");
}

TEST(Collection, RecordSetsAreFiledByDisplayPathInOrderOfAddition) {
  qvrCollection selection;
  auto second = FileSet(selection, "HKEY_LOCAL_MACHINE", "Software\\Zeta");
  auto first = FileSet(selection, "HKEY_CURRENT_USER", "Software\\Acme");
  auto hive = FileSet(selection, "HKEY_USERS", "");

  ASSERT_EQ(selection.Count(), 3);
  std::vector<std::shared_ptr<qvrSelectedData>> order(selection.begin(), selection.end());
  EXPECT_EQ(order, (std::vector<std::shared_ptr<qvrSelectedData>>{second, first, hive}));
  EXPECT_EQ(selection.item("hkey_current_user\\SOFTWARE\\acme"), first);
  EXPECT_EQ(selection.item("HKEY_USERS"), hive);
  EXPECT_EQ(selection.item("HKEY_CURRENT_USER\\Software"), nullptr);
  EXPECT_EQ(selection.item(int32_t{4}), nullptr);

  // Adding a path that is present (in any case) changes nothing; the new set
  // comes back unfiled.
  auto again = SelectionAccess::Add(selection, "HKEY_USERS");
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, hive);
  EXPECT_EQ(selection.Count(), 3);
  EXPECT_EQ(selection.item("hkey_users"), hive);

  EXPECT_EQ(ErrorNumberOf([&] { selection.Remove("HKEY_CLASSES_ROOT"); }),
            errors::kInvalidProcedureCall);
  EXPECT_EQ(ErrorNumberOf([&] { selection.Remove(int32_t{0}); }), errors::kSubscriptOutOfRange);
  selection.Remove("HKEY_LOCAL_MACHINE\\Software\\Zeta");
  EXPECT_EQ(selection.item(int32_t{1}), first);

  // (The enumerator's snapshot is the object model's, tested there.)
  selection.Clear();
  EXPECT_EQ(selection.Count(), 0);
  EXPECT_EQ(selection.item("HKEY_USERS"), nullptr);
}

TEST(Collection, ClearChildrenEmptiesTheKeyAndTheKeysBelowIt) {
  qvrCollection selection;
  auto software = FileSet(selection, "HKEY_LOCAL_MACHINE", "Software", 2);
  auto acme = FileSet(selection, "HKEY_LOCAL_MACHINE", "Software\\Acme\\Tools", 3);
  auto lookalike = FileSet(selection, "HKEY_LOCAL_MACHINE", "SoftwareX", 1);
  auto system = FileSet(selection, "HKEY_LOCAL_MACHINE", "System", 1);
  auto root = FileSet(selection, "HKEY_LOCAL_MACHINE", "", 1);
  auto other_hive = FileSet(selection, "HKEY_CURRENT_USER", "Software", 2);
  auto empty = FileSet(selection, "HKEY_LOCAL_MACHINE", "Software\\Empty", 0);

  selection.ClearChildren("hkey_local_machine\\SOFTWARE");
  auto counts = [&] {
    std::vector<int32_t> out;
    for (const auto& set : {software, acme, lookalike, system, root, other_hive, empty})
      out.push_back(set->Count());
    return out;
  };
  EXPECT_EQ(counts(), (std::vector<int32_t>{0, 0, 1, 1, 1, 2, 0}));
  // Emptied, never removed.
  EXPECT_EQ(selection.Count(), 7);
  EXPECT_EQ(selection.item("HKEY_LOCAL_MACHINE\\Software\\Acme\\Tools"), acme);

  // A deeper key leaves its parent alone; a trailing "\" names the same key.
  File(*software, "again", "HKEY_LOCAL_MACHINE", "Software");
  File(*acme, "again", "HKEY_LOCAL_MACHINE", "Software\\Acme\\Tools");
  selection.ClearChildren("HKEY_LOCAL_MACHINE\\Software\\Acme\\");
  EXPECT_EQ(counts(), (std::vector<int32_t>{1, 0, 1, 1, 1, 2, 0}));

  // A bare hive name empties the whole hive and nothing else.
  selection.ClearChildren("HKEY_LOCAL_MACHINE");
  EXPECT_EQ(counts(), (std::vector<int32_t>{0, 0, 0, 0, 0, 2, 0}));
}

TEST(Collection, MoreThan32767RecordsAndRecordSetsWork) {
  constexpr int kMany = 40000;
  std::vector<int> order(kMany);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  auto name_of = [](int i) {
    char name[16];
    std::snprintf(name, sizeof name, "V%05d", i);
    return std::string(name);
  };

  qvrSelectedData set;
  for (int i : order) File(set, name_of(i));
  ASSERT_EQ(set.Count(), kMany);
  int expected = 0;
  for (const auto& record : set) ASSERT_EQ(record->strPropSheetName, name_of(expected++));
  EXPECT_EQ(set.item("v32768")->strPropSheetName, "V32768");

  qvrCollection selection;
  for (int i = 0; i < kMany; ++i) {
    FileSet(selection, i % 2 ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE",
            "Key" + std::to_string(i));
  }
  ASSERT_EQ(selection.Count(), kMany);
  EXPECT_EQ(selection.item(int32_t{kMany})->item(int32_t{1})->strPropSheetKey, "Key39999");
  selection.ClearChildren("HKEY_LOCAL_MACHINE");
  int emptied = 0;
  for (const auto& record_set : selection) emptied += record_set->Count() == 0;
  EXPECT_EQ(emptied, kMany / 2);
  EXPECT_EQ(selection.item("HKEY_CURRENT_USER\\Key39999")->Count(), 1);
  EXPECT_EQ(selection.item("HKEY_LOCAL_MACHINE\\Key39998")->Count(), 0);
}

}  // namespace
}  // namespace qvr
