// Enumerating sub-keys and values: collections, events, the children probe,
// yielding, abort, connections changed from inside a handler, and keys that
// change while they are listed. (The collections' members and the refusal
// 10029 are also read late-bound in tests/server/late_bound_test.cpp.)
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "reglib/qvr_cls_key.h"
#include "reglib/qvr_cls_keys.h"
#include "reglib/qvr_cls_value.h"
#include "reglib/qvr_cls_values.h"
#include "reglib_fixture.h"
#include "support/raised.h"

namespace qvr {
namespace {

using namespace std::string_literals;

// Records every event and runs an optional action after each.
class Recorder : public qvrClsRegistryObjectEvents {
 public:
  void KeyEnumerated(const std::string& RegKey, bool HasChildren) override {
    keys.push_back(RegKey);
    children.push_back(HasChildren);
    if (on_event) on_event();
  }
  void ValueEnumerated(const std::shared_ptr<qvrClsValue>& Value) override {
    values.push_back(Value);
    if (on_event) on_event();
  }
  std::vector<std::string> keys;
  std::vector<bool> children;
  std::vector<std::shared_ptr<qvrClsValue>> values;
  std::function<void()> on_event;
};

std::vector<std::string> Names(const qvrClsKeys& keys) {
  std::vector<std::string> names;
  for (const auto& key : keys) names.push_back(key->KeyName());
  return names;
}

class EnumerationTest : public ReglibTest {
 protected:
  // A recorder advised on the registry object.
  std::shared_ptr<Recorder> Listen() {
    auto recorder = std::make_shared<Recorder>();
    reg_->Advise(recorder);
    return recorder;
  }
  void MakeKeys(HKEY parent, std::initializer_list<const char*> names) {
    for (const char* name : names) ASSERT_NE(reg_->OpenKey(parent, name), -1) << name;
  }
};

TEST_F(EnumerationTest, KeysWithEventsAndTheChildrenProbe) {
  MakeKeys(scratch_, {"beta", "Alpha\\Inner", "gamma"});
  auto recorder = Listen();
  const int32_t count_before = reg_->Count();

  auto keys = reg_->EnumKeys(scratch_, true);
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(Names(*keys), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  EXPECT_EQ(recorder->keys, Names(*keys));
  EXPECT_EQ(recorder->children, (std::vector<bool>{true, false, false}));
  EXPECT_FALSE(keys->item(Variant(int32_t{2}))->HadChildrenOnEnum());
  EXPECT_EQ(reg_->Count(), count_before) << "the probe must leave the table as it was";

  // Events only; and a key without sub-keys yields nothing at all.
  recorder->keys.clear();
  EXPECT_EQ(reg_->EnumKeys(scratch_, true, false, true), nullptr);
  EXPECT_EQ(recorder->keys.size(), 3u);
  recorder->keys.clear();
  HKEY leaf = reg_->OpenKey(scratch_, "beta", true);
  EXPECT_EQ(reg_->EnumKeys(leaf, true), nullptr);
  EXPECT_TRUE(recorder->keys.empty());

  // Events off and nothing returned: refused, for keys and values alike.
  EXPECT_EQ(testing::ErrorNumberOf([&] { reg_->EnumKeys(scratch_, false, true, true); }), 10029);
  EXPECT_EQ(testing::ErrorNumberOf([&] { reg_->EnumValues(scratch_, false, false, true); }), 10029);

  // A key object on request: values only when asked for, no parent.
  auto bare = reg_->GetKeyObject(scratch_);
  EXPECT_EQ(bare->Values(), nullptr);
  EXPECT_EQ(bare->Parent(), nullptr);
  EXPECT_EQ(reg_->GetKeyObject(scratch_, true)->Values()->ParentKey(), scratch_);
}

TEST_F(EnumerationTest, ValuesReportTheDefaultOnceAndFirst) {
  auto recorder = Listen();
  auto only_default = reg_->EnumValues(scratch_, true);
  ASSERT_EQ(only_default->Count(), 1);
  auto pseudo = only_default->item(Variant("(default)"));
  EXPECT_EQ(std::make_tuple(pseudo->Default(), pseudo->ValueName(), pseudo->DataType(),
                            pseudo->Size(), recorder->values.size()),
            std::make_tuple(true, ""s, rdString, 0, size_t{1}));

  PutRaw("Second", REG_DWORD, "\x02\x00\x00\x00"s);
  PutRaw("", REG_BINARY, "\xab"s);
  PutRaw("First", REG_SZ, "one\0"s);
  recorder->values.clear();
  auto values = reg_->EnumValues(scratch_, true);
  ASSERT_EQ(values->Count(), 3);
  EXPECT_EQ(recorder->values.size(), 3u);
  auto def = values->item(Variant(int32_t{1}));
  EXPECT_EQ(std::make_pair(def->DataType(), def->Value()),
            std::make_pair(rdBinary, Variant("AB ")));
  auto second = values->item(Variant("SECOND"));
  EXPECT_EQ(second->Parent(), values);
  EXPECT_EQ(second->Size(), 4) << "reported values arrive loaded";
  EXPECT_EQ(recorder->values[2]->Value(), Variant("one"));

  // Events only: stand-alone objects, just as loaded.
  recorder->values.clear();
  EXPECT_EQ(reg_->EnumValues(scratch_, true, false, true), nullptr);
  ASSERT_EQ(recorder->values.size(), 3u);
  auto loose = recorder->values[1];
  EXPECT_EQ(std::make_tuple(loose->ValueName(), loose->Value(), loose->Parent()),
            std::make_tuple("Second"s, Variant(int32_t{2}), nullptr));
}

TEST_F(EnumerationTest, ValueLiterallyNamedDefault) {
  // Listed in the order written: "(default)*" takes the starred key first.
  PutRaw("", REG_SZ, "unnamed\0"s);
  PutRaw("(default)*", REG_SZ, "starred\0"s);
  PutRaw("(DEFAULT)", REG_SZ, "literal\0"s);
  auto recorder = Listen();
  auto values = reg_->EnumValues(scratch_, true);
  ASSERT_EQ(values->Count(), 3);
  ASSERT_EQ(recorder->values.size(), 3u);
  EXPECT_EQ(values->item(Variant("(default)"))->Value(), Variant("unnamed"));
  EXPECT_EQ(values->item(Variant("(default)*"))->Value(), Variant("starred"));
  auto literal = values->item(Variant("(default)**"));
  EXPECT_EQ(literal, recorder->values[2]);
  EXPECT_EQ(std::make_tuple(literal->ValueName(), literal->Default(), literal->Value()),
            std::make_tuple("(DEFAULT)**"s, false, Variant("literal")));
  literal->Value(Variant("new"));
  EXPECT_EQ(GetRaw("(default)").second + GetRaw("(default)*").second, "new\0starred\0"s);
  EXPECT_EQ(GetRaw("(default)**").first, REG_NONE);
}

TEST_F(EnumerationTest, HandlersRunBeforeTheNextItemAndMayUseTheObject) {
  MakeKeys(scratch_, {"k1", "k2", "k3"});
  reg_->SetValue(reg_->OpenKey(scratch_, "k3", true, "k3"), "inner", Variant("x"));
  auto recorder = Listen();
  std::vector<int32_t> nested_counts;
  recorder->on_event = [&] {
    if (!recorder->values.empty()) return;  // only the outer listing's events
    if (recorder->keys.back() == "k1") {
      // The next sub-key is not fetched yet: deleting it keeps it out.
      EXPECT_EQ(reg_->DeleteKey(scratch_, "k2"), ERROR_SUCCESS);
    } else {
      // A nested listing from inside the handler, with its own events.
      auto inner = reg_->EnumValues(reg_->item(Variant("k3")), true);
      nested_counts.push_back(inner->Count());
      recorder->values.clear();
    }
  };
  const int32_t count_before = reg_->Count();
  auto keys = reg_->EnumKeys(scratch_, true);
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(Names(*keys), (std::vector<std::string>{"k1", "k3"}));
  EXPECT_EQ(recorder->keys, Names(*keys));
  EXPECT_EQ(nested_counts, (std::vector<int32_t>{2}));
  EXPECT_EQ(reg_->Count(), count_before);
}

TEST_F(EnumerationTest, AbortFromAHandler) {
  MakeKeys(scratch_, {"k1", "k2", "k3", "k4"});
  auto recorder = Listen();
  recorder->on_event = [&] { if (recorder->keys.size() == 2) reg_->AbortEnum(); };
  auto keys = reg_->EnumKeys(scratch_, true);
  EXPECT_EQ(recorder->keys, (std::vector<std::string>{"k1", "k2"}));
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(Names(*keys), recorder->keys);

  // The request was used up: the next listing runs to its end.
  recorder->keys.clear();
  recorder->on_event = nullptr;
  EXPECT_EQ(reg_->EnumKeys(scratch_, true)->Count(), 4);

  // A request made while nothing runs, or left over after the last item,
  // does not cut a later listing short.
  reg_->AbortEnum();
  EXPECT_EQ(reg_->EnumKeys(scratch_)->Count(), 4);
  recorder->on_event = [&] { if (recorder->keys.size() == 4) reg_->AbortEnum(); };
  recorder->keys.clear();
  reg_->EnumKeys(scratch_, true);
  recorder->on_event = nullptr;
  EXPECT_EQ(reg_->EnumKeys(scratch_)->Count(), 4);
}

TEST_F(EnumerationTest, AbortOnTheDefaultEntryStillReportsTheFirstNamedValue) {
  // The default entry comes before the items; the first of them is still
  // handled, and the request ends the listing after it.
  PutRaw("a", REG_SZ, "1\0"s);
  PutRaw("b", REG_SZ, "2\0"s);
  auto recorder = Listen();
  recorder->on_event = [&] { if (recorder->values.size() == 1) reg_->AbortEnum(); };
  auto values = reg_->EnumValues(scratch_, true);
  ASSERT_EQ(recorder->values.size(), 2u);
  EXPECT_EQ(recorder->values[1]->ValueName(), "a");
  EXPECT_EQ(values->Count(), 2);

  // The request was used up: the next listing runs to its end.
  recorder->on_event = nullptr;
  EXPECT_EQ(reg_->EnumValues(scratch_)->Count(), 3);

  // A key whose own default value is set: the store lists it, unnamed, before
  // "a"; it is not reported again, and "a" is still the first item.
  HKEY with_default = reg_->OpenKey(scratch_, "WithDefault");
  for (const char* name : {"", "a", "b"}) reg_->SetValue(with_default, name, Variant("v"));
  recorder->values.clear();
  recorder->on_event = [&] { if (recorder->values.size() == 1) reg_->AbortEnum(); };
  reg_->EnumValues(with_default, true, false, true);
  ASSERT_EQ(recorder->values.size(), 2u);
  EXPECT_EQ(std::make_pair(recorder->values[0]->Default(), recorder->values[1]->ValueName()),
            std::make_pair(true, "a"s));
}

TEST_F(EnumerationTest, SeveralSinksAndUnadviseDuringDelivery) {
  MakeKeys(scratch_, {"a", "b", "c"});
  auto first = std::make_shared<Recorder>(), second = std::make_shared<Recorder>();
  uint32_t first_cookie = reg_->Advise(first), second_cookie = reg_->Advise(second);
  auto third = Listen();
  EXPECT_NE(first_cookie, second_cookie);
  // The first sink disconnects itself and the second one on its first event.
  first->on_event = [&] {
    reg_->Unadvise(first_cookie);
    reg_->Unadvise(second_cookie);
  };
  reg_->EnumKeys(scratch_, true);
  EXPECT_EQ(std::vector<size_t>({first->keys.size(), second->keys.size(), third->keys.size()}),
            std::vector<size_t>({1, 0, 3}));

  // A sink that has ended is skipped; the others still hear everything.
  third.reset();
  auto fourth = Listen();
  reg_->EnumKeys(scratch_, true);
  EXPECT_EQ(fourth->keys.size(), 3u);
  reg_->Unadvise(999999);
}

TEST_F(EnumerationTest, DoEventsHookRunsOncePerItem) {
  MakeKeys(scratch_, {"x", "y"});
  PutRaw("v", REG_SZ, "1\0"s);
  int pumped = 0;
  reg_->SetDoEventsHook([&] { ++pumped; });
  reg_->EnumKeys(scratch_);
  EXPECT_EQ(pumped, 0);
  reg_->EnumKeys(scratch_, false, true);
  EXPECT_EQ(pumped, 2);
  pumped = 0;
  reg_->EnumValues(scratch_, false, true);
  EXPECT_EQ(pumped, 1);

  // A pump that installs another hook while it runs, and one that aborts.
  int replaced = 0;
  reg_->SetDoEventsHook([&] {
    reg_->SetDoEventsHook([&] { ++replaced; });
    ++pumped;  // the running hook must still be intact here
  });
  pumped = 0;
  EXPECT_EQ(reg_->EnumKeys(scratch_, false, true)->Count(), 2);
  EXPECT_EQ(std::make_pair(pumped, replaced), std::make_pair(1, 1));
  reg_->SetDoEventsHook([&] { reg_->AbortEnum(); });
  EXPECT_EQ(reg_->EnumKeys(scratch_, false, true)->Count(), 1);
}

TEST_F(EnumerationTest, ListingEndsWhenTheKeyGoesAway) {
  HKEY doomed = reg_->OpenKey(scratch_, "Doomed");
  MakeKeys(doomed, {"c1", "c2", "c3"});
  auto recorder = Listen();
  recorder->on_event = [&] {
    if (recorder->keys.size() > 10) reg_->AbortEnum();  // a runaway loop would never end
    if (recorder->keys.size() == 1) {
      for (const char* name : {"c1", "c2", "c3"}) reg_->DeleteKey(doomed, name);
      reg_->DeleteKey(scratch_, "Doomed");
    }
  };
  auto keys = reg_->EnumKeys(doomed, true);
  EXPECT_EQ(recorder->keys, (std::vector<std::string>{"c1"}));
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(keys->Count(), 1);

  // Values likewise: a closed handle ends the listing.
  HKEY other = reg_->OpenKey(scratch_, "Other");
  reg_->SetValue(other, "v1", Variant("1"));
  reg_->SetValue(other, "v2", Variant("2"));
  recorder->values.clear();
  recorder->on_event = [&] {
    if (recorder->values.size() > 10) reg_->AbortEnum();
    if (recorder->values.size() == 2) reg_->CloseKey(Variant(other));
  };
  auto values = reg_->EnumValues(other, true);
  EXPECT_EQ(recorder->values.size(), 2u);
  EXPECT_EQ(values->Count(), 2);
}

TEST_F(EnumerationTest, LongNamesAreNotDropped) {
  const std::string long_value_name(2000, 'v');
  const std::string unicode_key_name = std::string(250, 'k') + "東京";  // 252 characters
  PutRaw(long_value_name, REG_SZ, "long\0"s);
  ASSERT_NE(reg_->OpenKey(scratch_, unicode_key_name), -1);
  auto values = reg_->EnumValues(scratch_);
  ASSERT_EQ(values->Count(), 2);
  auto second = values->item(Variant(int32_t{2}));
  EXPECT_EQ(std::make_pair(second->ValueName(), second->Value()),
            std::make_pair(long_value_name, Variant("long")));
  auto keys = reg_->EnumKeys(scratch_);
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(Names(*keys), (std::vector<std::string>{unicode_key_name}));

  // The longest name allowed, in three-byte characters: 49,149 bytes.
  std::string longest;
  for (int i = 0; i < 16383; ++i) longest += "東";
  PutRaw(longest, REG_DWORD, "\x07\x00\x00\x00"s);
  values = reg_->EnumValues(scratch_);
  ASSERT_EQ(values->Count(), 3);
  EXPECT_EQ(values->item(Variant(longest))->Value(), Variant(int32_t{7}));
}

}  // namespace
}  // namespace qvr
