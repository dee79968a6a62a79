// The registry object when the store fails under it: results instead of
// errors, no default written over data that could not be read, data that
// grows while it is read, and a store that refuses writes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "registry/registry_api.h"
#include "reglib/qvr_cls_keys.h"
#include "reglib/qvr_cls_registry_object.h"
#include "support/faulty_store.h"
#include "support/registry_values.h"

namespace qvr {
namespace {

using testing::StoreOp;
using namespace std::string_literals;


class FailurePathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reg_ = qvrClsRegistryObject::Create();
    key_ = reg_->OpenKey(HKeyCurrentUser, "Software\\Faults");
    ASSERT_NE(key_, -1);
  }
  testing::FaultyStore& Store() { return registry_.Store(); }
  // The raw stored text of a REG_SZ value, "<absent>" when absent.
  std::string Raw(const std::string& name) { return testing::GetRaw(key_, name).second; }

  testing::FaultyRegistry registry_;
  std::shared_ptr<qvrClsRegistryObject> reg_;
  HKEY key_ = -1;
};

TEST_F(FailurePathsTest, ResultsNotErrors) {
  const int32_t before = reg_->Count();
  Store().Fail(StoreOp::kCreateChild, ERROR_DISK_FULL);
  EXPECT_EQ(reg_->OpenKey(key_, "New"), -1);
  EXPECT_EQ(reg_->Count(), before);
  Store().Heal();

  Store().Fail(StoreOp::kSetValue, ERROR_DISK_FULL, 1);
  EXPECT_EQ(reg_->SetValue(key_, "v", Variant("text")), ERROR_DISK_FULL);
  EXPECT_EQ(reg_->SetValue(key_, "v", Variant("text")), ERROR_SUCCESS);
  ASSERT_NE(reg_->OpenKey(key_, "First"), -1);
  Store().Fail(StoreOp::kDeleteKey, ERROR_BUSY, 1);
  EXPECT_EQ(reg_->DeleteKey(key_, "First"), ERROR_BUSY);  // and it stays: counted below

  // A listing that fails half-way returns what it found.
  ASSERT_NE(reg_->OpenKey(key_, "Second"), -1);
  Store().Fail(StoreOp::kEnumChild, ERROR_BUSY);
  EXPECT_EQ(reg_->EnumKeys(key_), nullptr);
  Store().Heal();
  auto keys = reg_->EnumKeys(key_);
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(keys->Count(), 2);
}

TEST_F(FailurePathsTest, AFailedReadNeverWritesTheDefault) {
  ASSERT_EQ(reg_->SetValue(key_, "kept", Variant("precious")), ERROR_SUCCESS);
  Store().Fail(StoreOp::kGetValue, ERROR_BUSY, 1);
  // The caller gets its default, but the value is not replaced by it.
  EXPECT_EQ(reg_->GetValue(key_, "kept", Variant("fallback")), Variant("fallback"));
  EXPECT_EQ(Raw("kept"), "precious\0"s);
  // Absent is absent: then the default is written.
  EXPECT_EQ(reg_->GetValue(key_, "absent", Variant("fallback")), Variant("fallback"));
  EXPECT_EQ(Raw("absent"), "fallback\0"s);
}

TEST_F(FailurePathsTest, AnEnvironmentThatCannotBeReadLeavesTheTextAsStored) {
  const std::string text = "%SystemRoot%\\x";
  ASSERT_EQ(RegSetValueExA(key_, "e", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS);
  EXPECT_EQ(reg_->GetValue(key_, "e"), Variant("C:\\Windows\\x"));
  // The environment's key cannot be listed: no variable is known for sure.
  Store().Fail(StoreOp::kEnumValue, ERROR_BADDB);
  EXPECT_EQ(reg_->GetValue(key_, "e"), Variant(text));
}

TEST_F(FailurePathsTest, DataGrowingWhileReadIsReadAgainWhole) {
  // Each read by the service sees the value 300 characters longer, three
  // times; the object must come back with the last, whole text.
  std::string text(600, 'a');
  ASSERT_EQ(reg_->SetValue(key_, "growing", Variant(text)), ERROR_SUCCESS);
  int growths = 3;
  Store().OnGetValue([&](KeyId, std::string_view name) {
    if (name != "growing" || growths == 0) return;
    --growths;
    text += std::string(300, 'b');
    // Write straight to the store: the service is busy with this very read.
    std::string wide;
    for (char c : text + '\0') wide += std::string{c, '\0'};
    KeyId id = 0;
    ASSERT_EQ(Store().Inner().FindChild(0, "HKEY_USERS", &id), 0);
    for (const std::string& part : {CurrentUserKeyName(), "Software"s, "Faults"s}) {
      ASSERT_EQ(Store().Inner().FindChild(id, part, &id), 0);
    }
    ASSERT_EQ(Store().Inner().SetValue(id, "growing", REG_SZ, wide), 0);
  });
  Variant value = reg_->GetValue(key_, "growing");
  EXPECT_EQ(growths, 0);
  ASSERT_TRUE(value.IsString());
  EXPECT_EQ(value.AsString(), text);
  EXPECT_EQ(value.AsString().find('\0'), std::string::npos);

  // Data that never stops growing is given up on: the default comes back,
  // and the value is not overwritten with it.
  growths = 1000;
  Variant gave_up = reg_->GetValue(key_, "growing", Variant("default"));
  EXPECT_EQ(gave_up, Variant("default"));
  Store().OnGetValue(nullptr);
  EXPECT_NE(Raw("growing"), "default\0"s);
  EXPECT_GT(Raw("growing").size(), 1000u);
}

TEST_F(FailurePathsTest, AReadOnlyStoreStillOpensKeysForReading) {
  ASSERT_EQ(reg_->SetValue(key_, "v", Variant(int32_t{300})), ERROR_SUCCESS);
  Store().SetReadOnly(true);
  // Read and write access is refused; read access alone is taken instead.
  HKEY read_only = reg_->OpenKey(HKeyCurrentUser, "Software\\Faults");
  ASSERT_NE(read_only, -1);
  EXPECT_EQ(reg_->GetValue(read_only, "v"), Variant(int32_t{300}));
  EXPECT_EQ(reg_->SetValue(read_only, "v", Variant(int32_t{301})), ERROR_ACCESS_DENIED);
  HKEY must_exist = reg_->OpenKey(HKeyCurrentUser, "Software\\Faults", true);
  EXPECT_NE(must_exist, -1);
  // A missing key cannot be created.
  EXPECT_EQ(reg_->OpenKey(HKeyCurrentUser, "Software\\Missing"), -1);
  // A default is not written either, and nothing is raised.
  EXPECT_EQ(reg_->GetValue(read_only, "absent", Variant("d")), Variant("d"));
  Store().SetReadOnly(false);
  EXPECT_EQ(Raw("absent"), "<absent>");
}

}  // namespace
}  // namespace qvr
