// The selection classes late-bound, against the same collection read
// directly.
#include <gtest/gtest.h>

#include "automation/automation_error.h"
#include "dispatch/enum_variant.h"
#include "dispatch/late_bound.h"
#include "selection/internal/selection_access.h"
#include "selection/qvr_collection.h"
#include "selection/qvr_data.h"
#include "selection/qvr_selected_data.h"
#include "server/catalog.h"
#include "server/identifiers.h"
#include "support/raised.h"

namespace qvr {
namespace {

using selection_internal::SelectionAccess;
using server::Catalog;

void File(qvrCollection& c, const std::string& path, const std::string& hive,
          const std::string& key, const std::string& name) {
  auto set = c.item(Variant(path));
  if (!set) set = SelectionAccess::Add(c, path);
  SelectionAccess::Add(*set, "{clsid}", "n", "d", "7", "U", "0", hive, key, name, "REG_SZ", "v",
                       name);
}

std::vector<std::string> Enumerate(const LateBound& owner, const char* field) {
  std::vector<std::string> out;
  Variant held = owner.Call("NewEnum");
  EnumVariant* e = VariantEnumerator::FromVariant(held);
  EXPECT_NE(e, nullptr);
  Variant item;
  while (e && e->Next(1, &item, nullptr) == S_OK) {
    LateBound m = LateBound::FromVariant(item);
    out.push_back(field ? m.Get(field).ToText() : m.Get("Count").ToText());
  }
  return out;
}

TEST(SelectionBindingTest, CollectionsAndRecordsLateBound) {
  auto direct = std::make_shared<qvrCollection>();
  for (const char* name : {"b", "A"})
    File(*direct, "HKEY_CURRENT_USER\\Software", "HKEY_CURRENT_USER", "Software", name);
  File(*direct, "HKEY_CURRENT_USER\\Software\\Sub", "HKEY_CURRENT_USER", "Software\\Sub", "x");
  File(*direct, "HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE", "", "y");
  LateBound c = LateBound::FromVariant(server::Wrap(direct));
  ASSERT_TRUE(c);

  EXPECT_EQ(c.Get("Count").ToLong(), direct->Count());
  EXPECT_EQ(Enumerate(c, nullptr), (std::vector<std::string>{"2", "1", "1"}));
  // item is not the default member (its look-up rules: tests/selection).
  EXPECT_NE(c.IdOf("item"), DISPID_VALUE);
  EXPECT_NE(c.IdOf("NewEnum"), DISPID_NEWENUM);
  LateBound set = LateBound::FromVariant(c.Call("item", {Variant("hkey_current_user\\software")}));
  ASSERT_TRUE(set);
  EXPECT_EQ(Enumerate(set, "strPropSheetName"), (std::vector<std::string>{"A", "b"}));
  LateBound rec = LateBound::FromVariant(set.Call("item", {Variant(int32_t{2})}));
  std::vector<std::string> fields;
  for (const auto& m : Catalog::Get().Library().FindClass("qvrData")->default_interface->members) {
    if (m.kind == DISPATCH_PROPERTYGET) fields.push_back(rec.Get(m.name).ToText());
  }
  EXPECT_EQ(fields, (std::vector<std::string>{"{clsid}", "n", "d", "7", "U", "0",
                                              "HKEY_CURRENT_USER", "Software", "b", "REG_SZ",
                                              "v"}));
  rec.Put("strPropSheetValue", Variant("w"));
  EXPECT_EQ(direct->item(Variant("HKEY_CURRENT_USER\\Software"))->item(Variant("b"))->strPropSheetValue,
            "w");
  // A missing entry gives Nothing; Remove of a missing one raises.
  EXPECT_FALSE(LateBound::FromVariant(c.Call("item", {Variant("HKEY_USERS")})));
  EXPECT_EQ(testing::ErrorNumberOf([&] { c.Call("Remove", {Variant("HKEY_USERS")}); }), 5);
  // ClearChildren empties the key and the keys below it, never removes.
  c.Call("ClearChildren", {Variant("HKEY_CURRENT_USER\\Software")});
  EXPECT_EQ(Enumerate(c, nullptr), (std::vector<std::string>{"0", "0", "1"}));
  set.Call("Clear");
  c.Call("Remove", {Variant(int32_t{1})});
  EXPECT_EQ(direct->Count(), 2);
  c.Call("Clear");
  EXPECT_EQ(direct->Count(), 0);
}

TEST(SelectionBindingTest, CreatableClassesAndFlags) {
  // Which classes the factories make is tested through the entry points.
  const TypeLibrary& lib = Catalog::Get().Library();
  for (const char* name : {"qvrSelectedData", "qvrCollection"}) {
    const ClassInfo* cls = lib.FindClass(name);
    ASSERT_NE(cls, nullptr);
    EXPECT_TRUE(cls->creatable && cls->app_object && cls->predeclared) << name;
  }
  std::vector<std::string> order;
  for (const auto& m : lib.FindClass("qvrCollection")->default_interface->members) {
    order.push_back(m.name);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"Count", "Remove", "Clear", "NewEnum", "item",
                                              "ClearChildren"}));
  EXPECT_EQ(lib.FindClass("qvrData")->default_interface->members.size(), 22u);
}

}  // namespace
}  // namespace qvr
