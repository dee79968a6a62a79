// The key and value objects and their collections: filing, look-up, removal,
// iteration, back references and lifetimes, type words and sizes.
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "automation/automation_error.h"
#include "reglib/internal/model_access.h"
#include "reglib/internal/value_codec.h"
#include "reglib/qvr_cls_key.h"
#include "reglib/qvr_cls_keys.h"
#include "reglib/qvr_cls_value.h"
#include "reglib/qvr_cls_values.h"
#include "reglib_fixture.h"
#include "support/raised.h"

namespace qvr {
namespace {

using reglib_internal::ModelAccess;
using ObjectModelTest = ReglibTest;

using testing::ErrorNumberOf;

// Clients can neither make the objects nor fill them in.
template <class T>
concept ClientCanAddKeys = requires(T& keys) { keys.Add("name", 0, "key"); };
template <class T>
concept ClientCanAddValues = requires(T& values) { values.Add("name", rdString, "key"); };
template <class T>
concept ClientCanRename = requires(T& value) { value.Rename("shown", "name"); };
static_assert(!ClientCanAddKeys<qvrClsKeys>);
static_assert(!ClientCanAddValues<qvrClsValues>);
static_assert(!ClientCanRename<qvrClsValue>);
static_assert(!std::is_default_constructible_v<qvrClsKey>);
static_assert(!std::is_default_constructible_v<qvrClsKeys>);
static_assert(!std::is_default_constructible_v<qvrClsValue>);
static_assert(!std::is_default_constructible_v<qvrClsValues>);

TEST_F(ObjectModelTest, KeysCollectionFilesAndFinds) {
  auto keys = ModelAccess::NewKeys();
  EXPECT_EQ(keys->Count(), 0);
  EXPECT_EQ(keys->Handle(), 0);
  ModelAccess::SetRegistryObject(*keys, reg_);
  ModelAccess::SetHandle(*keys, scratch_);

  // Positions, keys without regard to case, removal and the errors of a
  // failed look-up are the keyed list's (tests/automation/keyed_list_test.cpp).
  auto keyed = ModelAccess::Add(*keys, "Alpha", 42, "Ärger");
  auto loose = ModelAccess::Add(*keys, "Beta", 0);
  EXPECT_EQ(std::make_pair(keys->Count(), keys->Handle()), std::make_pair(2, scratch_));
  EXPECT_EQ(keys->item(Variant("Ärger")), keyed);
  EXPECT_EQ(std::make_tuple(keyed->KeyName(), keyed->Handle(), keyed->Parent()),
            std::make_tuple(std::string("Alpha"), HKEY{42}, keys));
  EXPECT_EQ(ModelAccess::RegistryObject(*keyed), reg_);
  EXPECT_EQ(keys->item(Variant(int32_t{2})), loose);
  // Filed without an index key: not found by its name.
  EXPECT_EQ(ErrorNumberOf([&] { keys->item(Variant("Beta")); }), errors::kInvalidProcedureCall);

  // A key already in use: the member comes back, outside the collection.
  auto stray = ModelAccess::Add(*keys, "Gamma", 0, "ärger");
  EXPECT_EQ(stray->Parent(), keys);
  EXPECT_EQ(keys->Count(), 2);
  EXPECT_EQ(keys->item(Variant("Ärger")), keyed);
}

TEST_F(ObjectModelTest, EnumeratorsWalkASnapshot) {
  auto keys = ModelAccess::NewKeys();
  for (const char* name : {"a", "b", "c"}) ModelAccess::Add(*keys, name, 0, name);
  auto it = keys->NewEnum();
  keys->Remove(Variant("b"));
  std::vector<std::string> seen;
  std::shared_ptr<qvrClsKey> key;
  while (it->Next(&key)) seen.push_back(key->KeyName());
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(key, nullptr);

  it->Reset();
  EXPECT_TRUE(it->Skip(2));
  auto clone = it->Clone();
  ASSERT_TRUE(clone->Next(&key));
  EXPECT_EQ(key->KeyName(), "c");
  EXPECT_FALSE(it->Skip(5));
  EXPECT_FALSE(it->Next(&key));
}

TEST_F(ObjectModelTest, BackReferencesNeitherLeakNorDangle) {
  std::weak_ptr<qvrClsKeys> weak_keys;
  std::weak_ptr<qvrClsKey> weak_key;
  std::shared_ptr<qvrClsValue> survivor;
  std::weak_ptr<qvrClsValues> weak_values;
  {
    auto keys = ModelAccess::NewKeys();
    auto key = ModelAccess::Add(*keys, "k", 0);
    auto values = ModelAccess::NewValues();
    ModelAccess::SetValues(*key, values);
    survivor = ModelAccess::Add(*values, "v", rdString, "v");
    weak_keys = keys;
    weak_key = key;
    weak_values = values;
  }
  // The collection owned its member, the member did not own the collection.
  EXPECT_TRUE(weak_keys.expired());
  EXPECT_TRUE(weak_key.expired());
  EXPECT_TRUE(weak_values.expired());
  EXPECT_EQ(survivor->Parent(), nullptr);

  // Values keep the registry object that made them alive.
  std::weak_ptr<qvrClsRegistryObject> weak_reg = reg_;
  auto values = reg_->EnumValues(scratch_);
  reg_.reset();
  EXPECT_FALSE(weak_reg.expired());
  values.reset();
  EXPECT_TRUE(weak_reg.expired());
}

TEST_F(ObjectModelTest, ValuesCollectionStarsATakenKey) {
  auto values = ModelAccess::NewValues();
  ModelAccess::Add(*values, "", rdNone, "(default)");
  auto starred = ModelAccess::Add(*values, "(Default)", rdString, "(Default)");
  EXPECT_EQ(starred->ValueName(), "(Default)*");
  EXPECT_EQ(values->item(Variant("(DEFAULT)*")), starred);
  EXPECT_EQ(values->Count(), 2);
  // The starred key is taken too now: the second failure reaches the caller.
  EXPECT_EQ(ErrorNumberOf([&] { ModelAccess::Add(*values, "(default)", rdString, "(default)"); }),
            errors::kDuplicateKey);
  // Without a key anything goes.
  ModelAccess::Add(*values, "same", rdString);
  ModelAccess::Add(*values, "same", rdString);
  EXPECT_EQ(values->Count(), 4);
}

TEST_F(ObjectModelTest, TypeWords) {
  struct Row {
    int32_t type;
    const char* word;
    const char* friendly;
  };
  const std::vector<Row> rows = {
      {1, "REG_SZ", "String"},         {2, "REG_EXPAND_SZ", "String With Environment Variables"},
      {3, "REG_BINARY", "Binary"},     {4, "REG_DWORD", "DWord"},
      {5, "REG_DWORD", "DWord"},       {6, "REG_MULTISZ", "Multiple Strings"},
      {7, "REG_MULTI_SZ", "Multiple Strings"}, {9, "", ""},
      {0, "REG_NONE", "None"},         {8, "REG_NONE", "None"},
      {10, "REG_NONE", "None"},        {-3, "REG_NONE", "None"},
  };
  auto value = ModelAccess::NewValue();
  for (const Row& row : rows) {
    ModelAccess::SetDataType(*value, static_cast<RegistryDataTypes>(row.type));
    EXPECT_EQ(value->TypeWord(), row.word) << row.type;
    EXPECT_EQ(value->TypeWord(true), row.friendly) << row.type;
  }
}

TEST_F(ObjectModelTest, SizeOfEveryKindOfHostValue) {
  using reglib_internal::HostValueSize;
  EXPECT_EQ(HostValueSize(Variant()), std::nullopt);
  const std::vector<std::pair<Variant, int32_t>> rows = {
      {Variant("Grüße"), 5},      {Variant(int16_t{1}), 2},  {Variant(int32_t{1}), 4},
      {Variant(1.0f), 4},         {Variant(true), 4},        {Variant(std::make_shared<Object>()), 4},
      {Variant(1.0), 8},          {Variant(Date{1}), 8},     {Variant(uint8_t{1}), 1},
      {Variant::ByteArray({1, 2, 3}, 1), 4}, {Variant::StringArray({"abc", "z"}), 6},
      {Variant::StringArray({}), 0}, {Variant::Null(), 0},   {Variant(Currency{1}), 0},
      {Variant(ErrorValue{1}), 0}};
  for (const auto& [value, size] : rows) EXPECT_EQ(HostValueSize(value), size) << value.TypeName();
}

}  // namespace
}  // namespace qvr
