// Value objects that load themselves when read and store themselves when
// assigned, and the conditions under which they touch the registry.
#include <string>

#include "reglib/internal/model_access.h"
#include "reglib/qvr_cls_value.h"
#include "reglib/qvr_cls_values.h"
#include "reglib_fixture.h"

namespace qvr {
namespace {

using reglib_internal::ModelAccess;
using namespace std::string_literals;
using AutoLoadTest = ReglibTest;

// A value object for `name` of the scratch key, set up the way the
// enumeration sets one up (and so loaded when it names one value).
std::shared_ptr<qvrClsValue> MakeValue(const std::shared_ptr<qvrClsRegistryObject>& reg, HKEY key,
                                       const std::string& name, bool auto_set = true) {
  auto value = ModelAccess::NewValue();
  value->AutoSet(auto_set);
  ModelAccess::SetValueName(*value, name);
  ModelAccess::SetRegistryObject(*value, reg);
  ModelAccess::SetParentKey(*value, key);
  return value;
}

TEST_F(AutoLoadTest, LoadsOnceAndKeepsWhatItLoaded) {
  PutRaw("Text", REG_SZ, "hello\0"s);
  auto value = MakeValue(reg_, scratch_, "Text");
  EXPECT_EQ(value->Size(), 5);
  PutRaw("Text", REG_SZ, "changed\0"s);
  EXPECT_EQ(value->Value(), Variant("hello")) << "a later read must not go to the registry";
  value->GetValue();
  EXPECT_EQ(value->Value(), Variant("changed"));
  EXPECT_EQ(value->Size(), 7);

  PutRaw("Bin", REG_BINARY, "\x01\x02\x03"s);
  EXPECT_EQ(MakeValue(reg_, scratch_, "Bin")->Size(), 9);
  PutRaw("Dword", REG_DWORD, "\x00\x00\x01\x00"s);
  EXPECT_EQ(MakeValue(reg_, scratch_, "Dword")->Size(), 4);

  // Loading an absent value gives Empty and keeps the previous Size.
  ASSERT_EQ(RegDeleteValueA(scratch_, "Text"), ERROR_SUCCESS);
  value->GetValue();
  EXPECT_TRUE(value->Value().IsEmpty());
  EXPECT_EQ(value->Size(), 7);
}

TEST_F(AutoLoadTest, AutoSetOffLeavesTheRegistryAlone) {
  PutRaw("Name", REG_SZ, "stored\0"s);
  auto value = MakeValue(reg_, scratch_, "Name", false);
  EXPECT_TRUE(value->Value().IsEmpty());
  value->Value(Variant("unsaved"));
  EXPECT_EQ(GetRaw("Name").second, "stored\0"s);

  // Switching AutoSet on loads a value never loaded.
  auto fresh = MakeValue(reg_, scratch_, "Name", false);
  fresh->AutoSet(true);
  EXPECT_EQ(fresh->Size(), 6);
  EXPECT_EQ(fresh->Value(), Variant("stored"));

  // Explicit SetValue writes even with AutoSet off.
  value->SetValue();
  EXPECT_EQ(GetRaw("Name").second, "unsaved\0"s);
}

TEST_F(AutoLoadTest, AssigningWritesByTheHostValueNotTheDataType) {
  PutRaw("Count", REG_DWORD, "\x10\x00\x00\x00"s);
  auto value = MakeValue(reg_, scratch_, "Count");
  ModelAccess::SetDataType(*value, rdDWord);
  value->Value(Variant(int16_t{7}));
  EXPECT_EQ(GetRaw("Count"), std::make_pair(REG_BINARY, "\x07"s));
  EXPECT_EQ(value->DataType(), rdDWord);

  value->Clear();
  EXPECT_TRUE(value->Value().IsEmpty()) << "cleared, and not loaded again";
  EXPECT_EQ(value->Size(), 4);
  // Without a registry object nothing happens at all.
  auto detached = ModelAccess::NewValue();
  ModelAccess::SetValueName(*detached, "Count");
  detached->Value(Variant("ignored"));
  detached->GetValue();
  EXPECT_EQ(detached->Value(), Variant("ignored"));
  EXPECT_EQ(GetRaw("Count").first, REG_BINARY);
}

TEST_F(AutoLoadTest, WhichWritesTriggerALoad) {
  PutRaw("", REG_SZ, "the default\0"s);
  PutRaw("Named", REG_SZ, "named data\0"s);

  // The unnamed value loads when it is marked default, not before.
  auto unnamed = ModelAccess::NewValue();
  ModelAccess::SetRegistryObject(*unnamed, reg_);
  ModelAccess::SetParentKey(*unnamed, scratch_);
  EXPECT_EQ(unnamed->Size(), 0);
  unnamed->Default(true);
  EXPECT_EQ(unnamed->Size(), 11);

  // Renaming reloads; the same name again does not.
  auto named = MakeValue(reg_, scratch_, "Named");
  EXPECT_EQ(named->Size(), 10);
  PutRaw("Named", REG_SZ, "x\0"s);
  ModelAccess::SetValueName(*named, "Named");
  EXPECT_EQ(named->Size(), 10);
  ModelAccess::SetValueName(*named, "NAMED");
  EXPECT_EQ(named->Size(), 1);

  // Parent key and registry object writes reload even a loaded value.
  PutRaw("Named", REG_SZ, "four\0"s);
  ModelAccess::SetParentKey(*named, scratch_);
  EXPECT_EQ(named->Size(), 4);
  PutRaw("Named", REG_SZ, "three\0"s);
  ModelAccess::SetRegistryObject(*named, reg_);
  EXPECT_EQ(named->Size(), 5);
  // Data type and parent writes never do.
  PutRaw("Named", REG_SZ, "twelve chars\0"s);
  ModelAccess::SetDataType(*named, rdBinary);
  ModelAccess::SetParent(*named, ModelAccess::NewValues());
  EXPECT_EQ(named->Size(), 5);

  // A named value marked default names no value: the writes do not load it.
  auto odd = ModelAccess::NewValue();
  odd->Default(true);
  ModelAccess::SetValueName(*odd, "Named");
  ModelAccess::SetParentKey(*odd, scratch_);
  ModelAccess::SetRegistryObject(*odd, reg_);
  EXPECT_EQ(odd->Size(), 0);
}

}  // namespace
}  // namespace qvr
