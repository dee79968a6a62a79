// Every member of the registry object and of its object model called
// late-bound, against the same call made directly on a twin object.
#include <gtest/gtest.h>

#include "automation/automation_error.h"
#include "registry/registry_api.h"
#include "dispatch/enum_variant.h"
#include "dispatch/function_sink.h"
#include "dispatch/late_bound.h"
#include "reglib/qvr_cls_key.h"
#include "reglib/qvr_cls_keys.h"
#include "reglib/qvr_cls_registry_object.h"
#include "reglib/qvr_cls_value.h"
#include "reglib/qvr_cls_values.h"
#include "server/catalog.h"
#include "server/identifiers.h"
#include "create_late_bound.h"
#include "support/raised.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

using server::Catalog;

std::vector<std::string> Names(const Variant& enumerator_owner, const char* member) {
  std::vector<std::string> names;
  LateBound c = LateBound::FromVariant(enumerator_owner);
  if (!c) return names;
  Variant held = c.Get("NewEnum");  // the enumerator lives as long as this
  EnumVariant* e = VariantEnumerator::FromVariant(held);
  EXPECT_NE(e, nullptr);
  Variant item;
  while (e->Next(1, &item, nullptr) == S_OK) {
    names.push_back(LateBound::FromVariant(item).Get(member).ToText());
  }
  return names;
}

class LateBoundTest : public ::testing::Test {
 protected:
  testing::TempRegistry temp_;
  std::shared_ptr<qvrClsRegistryObject> direct_ = qvrClsRegistryObject::Create();
  LateBound late_ = Create(server_ids::kRegistryObjectClass);
};

TEST_F(LateBoundTest, HandleTableMembersMatchDirectCalls) {
  // (The table's own rules are the registry object's tests': tests/reglib.)
  const Variant hkcu(static_cast<int32_t>(HKeyCurrentUser));
  int32_t l1 = late_.Call("OpenKey", {hkcu, Variant("Software\\A"), Variant(false), Variant("a")})
                   .ToLong();
  EXPECT_GT(l1, 0);
  // fMustExist omitted means False (creates); named arguments work.
  int32_t l2 = late_.Call("OpenKey", {hkcu, Variant("Software\\B\\C")}).ToLong();
  EXPECT_GT(l2, 0);
  EXPECT_EQ(late_.Call("OpenKey", {hkcu, Variant("Software\\Missing")},
                       {{"fMustExist", Variant(true)}})
                .ToLong(),
            direct_->OpenKey(HKeyCurrentUser, "Software\\Missing", true));
  EXPECT_EQ(late_.Get("Count").ToLong(), 2);
  // item by index key, by position, missing.
  EXPECT_EQ(late_.Get("item", {Variant("A")}).ToLong(), l1);
  EXPECT_EQ(late_.Get("item", {Variant(int32_t{2})}).ToLong(), l2);
  EXPECT_EQ(late_.Get("item", {Variant("nope")}).ToLong(), direct_->item(Variant("nope")));
  // MachineName reads "" even after a write.
  late_.Put("MachineName", Variant("elsewhere"));
  EXPECT_EQ(late_.Get("MachineName").ToText(), direct_->MachineName());
  // Remote hive handles are stored as given.
  late_.Put("RegHKeyLocalMachine", Variant(int32_t{77}));
  EXPECT_EQ(late_.Get("RegHKeyLocalMachine").ToLong(), 77);
  late_.Put("RegHKeyLocalMachine", Variant(int32_t{0}));
  // CloseKey by index key and by handle (a Long); an Integer closes nothing.
  late_.Call("CloseKey", {Variant(static_cast<int16_t>(l2))});
  EXPECT_EQ(late_.Get("Count").ToLong(), 2);
  late_.Call("CloseKey", {Variant("a")});
  late_.Call("CloseKey", {Variant(l2)});
  EXPECT_EQ(late_.Get("Count").ToLong(), 0);
  // A missing required argument is refused before the member runs.
  EXPECT_EQ(testing::ErrorNumberOf([&] { late_.Call("OpenKey", {hkcu}); }), 449);
}

TEST_F(LateBoundTest, ValueMembersWriteAndReadEveryHostType) {
  int32_t h = direct_->OpenKey(HKeyCurrentUser, "Software\\Values");
  const Variant key(h);
  const struct {
    const char* name;
    Variant value;
  } cases[] = {
      {"str", Variant("text")},     {"long5", Variant(int32_t{5})},   {"long300", Variant(int32_t{300})},
      {"int", Variant(int16_t{-2})}, {"byte", Variant(uint8_t{200})}, {"bool", Variant(true)},
      {"double", Variant(2.5)},     {"single", Variant(1.5f)},        {"currency", Variant(Currency{12345})},
      {"multi", Variant::StringArray({"a", "b", ""})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(late_.Call("SetValue", {key, Variant(c.name), c.value}).ToLong(), 0) << c.name;
    Variant late_read = late_.Call("GetValue", {key, Variant(c.name)});
    EXPECT_EQ(late_read, direct_->GetValue(h, c.name)) << c.name;
    EXPECT_FALSE(late_read.IsEmpty()) << c.name;
  }
  // lpType comes back by reference; DefaultValue is written when absent.
  std::vector<Variant> args{key, Variant("long300"), MissingArgument(), Variant()};
  late_.CallRef("GetValue", args);
  EXPECT_EQ(args[3].ToLong(), rdDWord);
  EXPECT_EQ(late_.Call("GetValue", {key, Variant("absent"), Variant("dflt")}).ToText(), "dflt");
  EXPECT_EQ(direct_->GetValue(h, "absent").ToText(), "dflt");
  // SetValue without data deletes the value.
  late_.Call("SetValue", {key, Variant("absent")});
  EXPECT_TRUE(direct_->GetValue(h, "absent").IsEmpty());
  // Multi-string helpers.
  Variant parts = late_.Call("GetMultiSZ", {Variant(std::string("a\0b\0\0", 5))});
  EXPECT_EQ(parts, direct_->GetMultiSZ(std::string("a\0b\0\0", 5)));
  EXPECT_EQ(late_.Call("ToMultiSZ", {parts}).ToText(), direct_->ToMultiSZ(parts));
  // Deletes.
  EXPECT_EQ(late_.Call("DeleteValue", {key, Variant("str")}).ToLong(), 0);
  EXPECT_TRUE(direct_->GetValue(h, "str").IsEmpty());
  direct_->OpenKey(h, "Child");
  EXPECT_EQ(late_.Call("DeleteKey", {key, Variant("Child")}).ToLong(), 0);
  EXPECT_EQ(direct_->OpenKey(h, "Child", true), -1);
}

TEST_F(LateBoundTest, EnumerationObjectsAndEvents) {
  int32_t h = direct_->OpenKey(HKeyCurrentUser, "Software\\Enum");
  for (const char* sub : {"beta\\deeper", "Alpha"}) direct_->OpenKey(h, sub);
  direct_->SetValue(h, "v1", Variant("one"));
  direct_->SetValue(h, "v2", Variant(int32_t{4000}));
  const Variant key(h);

  // Events through the connection point, by dispatch id (KeyEnumerated 1,
  // ValueEnumerated 2).
  std::vector<std::string> keys_heard, values_heard;
  ComPtr<FunctionSink> sink(new FunctionSink());
  sink->On(1, [&](std::vector<Variant>& a) {
    keys_heard.push_back(a.at(0).AsString() + (a.at(1).ToBool() ? "+" : ""));
  });
  sink->On(2, [&](std::vector<Variant>& a) {
    LateBound value = LateBound::FromVariant(a.at(0));
    values_heard.push_back(value.Get("ValueName").ToText() + "=" + value.Get("Value").ToText());
  });
  uint32_t cookie = ConnectEvents(late_.Get(), server_ids::kRegistryObjectEvents, sink.Get());
  ASSERT_NE(cookie, 0u);

  Variant keys = late_.Call("EnumKeys", {key, Variant(true)});
  auto direct_keys = direct_->EnumKeys(h);
  EXPECT_EQ(keys_heard, (std::vector<std::string>{"Alpha", "beta+"}));
  // Each member reaches its twin: the collections' rules are tests/reglib's.
  LateBound k(LateBound::FromVariant(keys));
  EXPECT_EQ(k.Get("Count").ToLong(), direct_keys->Count());
  EXPECT_EQ(k.Get("Handle").ToLong(), h);
  EXPECT_EQ(Names(keys, "KeyName"), (std::vector<std::string>{"Alpha", "beta"}));
  LateBound second = LateBound::FromVariant(k.Get("item", {Variant(int32_t{2})}));
  EXPECT_EQ(second.Get("KeyName").ToText(), direct_keys->item(Variant(int32_t{2}))->KeyName());
  EXPECT_TRUE(second.Get("HadChildrenOnEnum").ToBool());
  EXPECT_EQ(second.Get("Handle").ToLong(), 0);
  EXPECT_TRUE(LateBound::FromVariant(second.Get("Parent")));
  EXPECT_FALSE(LateBound::FromVariant(second.Get("Values")));  // Nothing
  k.Call("Remove", {Variant(int32_t{1})});
  EXPECT_EQ(k.Get("Count").ToLong(), 1);
  EXPECT_EQ(testing::ErrorNumberOf([&] { k.Get("item", {Variant(int32_t{5})}); }), 9);
  k.Call("Clear");
  EXPECT_EQ(k.Get("Count").ToLong(), 0);

  Variant values = late_.Call("EnumValues", {key, Variant(true)});
  EXPECT_EQ(values_heard, (std::vector<std::string>{"=", "v1=one", "v2=4000"}));
  LateBound vs = LateBound::FromVariant(values);
  EXPECT_EQ(vs.Get("Count").ToLong(), direct_->EnumValues(h)->Count());
  EXPECT_EQ(vs.Get("ParentKey").ToLong(), h);
  EXPECT_EQ(Names(values, "ValueName"), (std::vector<std::string>{"", "v1", "v2"}));
  LateBound v1 = LateBound::FromVariant(vs.Get("item", {Variant("V1")}));
  EXPECT_EQ(v1.Get("DataType").ToLong(), rdString);
  EXPECT_EQ(v1.Get("Size").ToLong(), 3);
  EXPECT_EQ(v1.Call("TypeWord", {Variant(true)}).ToText(), "String");
  EXPECT_TRUE(v1.Get("AutoSet").ToBool());
  EXPECT_FALSE(v1.Get("Default").ToBool());
  EXPECT_EQ(v1.Get("ParentKey").ToLong(), h);
  // Value, AutoSet, SetValue, Clear and GetValue reach the value object.
  v1.Put("Value", Variant("changed"));
  EXPECT_EQ(direct_->GetValue(h, "v1").ToText(), "changed");
  v1.Put("AutoSet", Variant(false));
  v1.Put("Value", Variant("not written"));
  EXPECT_EQ(direct_->GetValue(h, "v1").ToText(), "changed");
  v1.Call("SetValue");
  EXPECT_EQ(direct_->GetValue(h, "v1").ToText(), "not written");
  v1.Call("Clear");
  EXPECT_TRUE(v1.Get("Value").IsEmpty());
  v1.Call("GetValue");
  EXPECT_EQ(v1.Get("Value").ToText(), "not written");

  // Events off with nothing returned: error 10029 reaches the caller whole.
  AutomationError refused = testing::Raised(
      [&] { late_.Call("EnumKeys", {key, Variant(false), Variant(false), Variant(true)}); });
  EXPECT_EQ(refused.Number(), 10029);
  EXPECT_EQ(refused.Source(), "RegLib.qvrClsRegistryObject");
  EXPECT_EQ(refused.Description(), "Cannot suppress events and return nothing.");
  // A key without sub-keys gives Nothing.
  Variant none = late_.Call("EnumKeys", {Variant(direct_->OpenKey(h, "Alpha"))});
  EXPECT_TRUE(none.IsObject());
  EXPECT_FALSE(LateBound::FromVariant(none));

  // GetKeyObject with values.
  LateBound ko = LateBound::FromVariant(late_.Call("GetKeyObject", {key, Variant(true)}));
  EXPECT_EQ(ko.Get("Handle").ToLong(), h);
  EXPECT_EQ(ko.Get("KeyName").ToText(), "");
  EXPECT_EQ(LateBound::FromVariant(ko.Get("Values")).Get("Count").ToLong(), 3);

  // After unadvising nothing more is heard.
  EXPECT_TRUE(DisconnectEvents(late_.Get(), server_ids::kRegistryObjectEvents, cookie));
  keys_heard.clear();
  late_.Call("EnumKeys", {key, Variant(true)});
  EXPECT_TRUE(keys_heard.empty());
}

// (Class flags, parameters, the enumerator's id and the constants are read
// back from the library's text by tests/python/test_server.py.)
TEST(CatalogTest, DescribesEveryClassInSlotOrder) {
  const TypeLibrary& lib = Catalog::Get().Library();
  EXPECT_EQ(lib.Name(), "qvrRegistryBrowser");
  const ClassInfo* reg = lib.FindClass("qvrClsRegistryObject");
  ASSERT_NE(reg, nullptr);
  std::vector<std::string> order;
  for (const auto& m : reg->default_interface->members) {
    order.push_back(m.name + (m.kind == DISPATCH_PROPERTYPUT ? "=" : ""));
  }
  EXPECT_EQ(order, (std::vector<std::string>{
                       "AbortEnum", "Count", "MachineName", "MachineName=", "item", "item=",
                       "OpenKey", "CloseKey", "GetValue", "GetMultiSZ", "ToMultiSZ", "SetValue",
                       "GetKeyObject", "EnumKeys", "EnumValues", "DeleteValue", "DeleteKey",
                       "RegHKeyLocalMachine", "RegHKeyLocalMachine=", "RegHKeyUsers",
                       "RegHKeyUsers=", "SetDoEventsHook"}));
  EXPECT_EQ(reg->default_interface->IdOfName("item"), DISPID_VALUE);
  const ClassInfo* keys = lib.FindClass("qvrClsKeys");
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(keys->default_interface->IdOfName("item"), DISPID_VALUE);
  EXPECT_EQ(lib.FindClass("qvrClsKey")->default_interface->IdOfName("KeyName"), DISPID_VALUE);
  EXPECT_EQ(lib.FindClass("qvrClsValue")->default_interface->IdOfName("ValueName"), DISPID_VALUE);
  EXPECT_EQ(Catalog::Get().Create(keys->clsid), nullptr);  // not creatable
}

}  // namespace
}  // namespace qvr
