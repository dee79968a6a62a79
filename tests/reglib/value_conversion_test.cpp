// Reading values by their registry type, writing them by the kind of host
// value, and multi-string conversion.
#include <locale.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "automation/automation_error.h"
#include "reglib_fixture.h"
#include "support/raised.h"

namespace qvr {
namespace {

using ValueConversionTest = ReglibTest;
using namespace std::string_literals;

Variant Read(qvrClsRegistryObject& reg, HKEY key, const std::string& name,
             RegistryDataTypes* type = nullptr) {
  return reg.GetValue(key, name, std::nullopt, type);
}

TEST_F(ValueConversionTest, StringsReadWholeWithOrWithoutTerminator) {
  // Larger than any first-try buffer: read whole.
  std::string big(100000, 'x');
  big[99999] = 'y';
  const std::vector<std::array<std::string, 3>> rows = {
      {"with", "abc\0"s, "abc"}, {"without", "abc", "abc"}, {"empty", "\0"s, ""},
      {"unicode", "Grüße 東京\0"s, "Grüße 東京"},
      {"inner-nul", "a\0b\0"s, "a\0b"s},  // only the terminator goes
      {"big", big + '\0', big}};
  for (const auto& [name, raw, shown] : rows) {
    PutRaw(name, REG_SZ, raw);
    RegistryDataTypes type = rdNone;
    EXPECT_EQ(Read(*reg_, scratch_, name, &type), Variant(shown)) << name;
    EXPECT_EQ(type, rdString) << name;
  }
}

TEST_F(ValueConversionTest, ExpandableStringsExpandFromTheRegistryAtAnyLength) {
  // The registry's environment, never this process's: the variable of the
  // same name that the process has does not show.
  testing::PutString(HKEY_CURRENT_USER, "Environment", "QVR_TEST_DIR", "/opt/qvr");
  setenv("QVR_TEST_DIR", "/process", 1);
  PutRaw("path", REG_EXPAND_SZ, "%qvr_test_dir%\\bin;%QVR_UNSET_NAME%\0"s);
  RegistryDataTypes type = rdNone;
  EXPECT_EQ(Read(*reg_, scratch_, "path", &type), Variant("/opt/qvr\\bin;%QVR_UNSET_NAME%"));
  EXPECT_EQ(type, rdExpandSZ);
  PutRaw("bare", REG_EXPAND_SZ, "%QVR_TEST_DIR%/x");  // stored without its terminator
  EXPECT_EQ(Read(*reg_, scratch_, "bare"), Variant("/opt/qvr/x"));
  unsetenv("QVR_TEST_DIR");

  // An expansion far beyond 4,095 characters comes back whole.
  std::string long_value(3000, 'v');
  testing::PutString(HKEY_CURRENT_USER, "Environment", "QVR_TEST_LONG", long_value);
  PutRaw("long", REG_EXPAND_SZ, "<%QVR_TEST_LONG%|%QVR_TEST_LONG%>\0"s);
  EXPECT_EQ(Read(*reg_, scratch_, "long"), Variant("<" + long_value + "|" + long_value + ">"));
}

TEST_F(ValueConversionTest, BinaryDwordMultiAndOtherTypes) {
  PutRaw("bin", REG_BINARY, "\x00\x0a\xff"s);
  EXPECT_EQ(Read(*reg_, scratch_, "bin"), Variant("00 0A FF "));

  for (auto [raw, shown] : std::vector<std::pair<std::string, int32_t>>{
           {"\x2c\x01\x00\x00"s, 300}, {"\xff\xff\xff\xff"s, -1},
           {"\x01\x02"s, 0x0201}, {"\x05\x00\x00\x00\x09\x09"s, 5}}) {  // short and long data
    PutRaw("dw", REG_DWORD, raw);
    EXPECT_EQ(Read(*reg_, scratch_, "dw"), Variant(shown)) << shown;
  }

  PutRaw("multi", REG_MULTI_SZ, "first\0second\0\0"s);
  RegistryDataTypes type = rdNone;
  EXPECT_EQ(Read(*reg_, scratch_, "multi", &type), Variant("first"));
  EXPECT_EQ(type, rdMultiSZ);

  // Other types: one character per data byte, the type reported as stored.
  for (DWORD raw_type : {REG_NONE, REG_DWORD_BIG_ENDIAN, REG_LINK, REG_RESOURCE_LIST,
                         REG_FULL_RESOURCE_DESCRIPTOR}) {
    SCOPED_TRACE(raw_type);
    PutRaw("raw", raw_type, "\x01\x00\xfe"s);
    EXPECT_EQ(Read(*reg_, scratch_, "raw", &type), Variant("\x01\x00\xfe"s));
    EXPECT_EQ(static_cast<DWORD>(type), raw_type);
  }
}

TEST_F(ValueConversionTest, MissingValuesGiveEmptyOrStoreTheDefault) {
  RegistryDataTypes type = rdBinary;
  EXPECT_TRUE(reg_->GetValue(scratch_, "nothing", std::nullopt, &type).IsEmpty());
  EXPECT_EQ(type, rdBinary) << "the type must be left alone without data";
  EXPECT_EQ(GetRaw("nothing").first, REG_NONE) << "no default: nothing written";

  EXPECT_EQ(reg_->GetValue(scratch_, "nothing", Variant("abc")), Variant("abc"));
  EXPECT_EQ(GetRaw("nothing"), std::make_pair(REG_SZ, "abc\0"s));

  // Zero data bytes count as no data: the default replaces them.
  PutRaw("zero", REG_BINARY, "");
  EXPECT_TRUE(Read(*reg_, scratch_, "zero").IsEmpty());
  EXPECT_EQ(reg_->GetValue(scratch_, "zero", Variant(int32_t{1000})), Variant(int32_t{1000}));
  EXPECT_EQ(Read(*reg_, scratch_, "zero"), Variant(int32_t{1000}));

  // Existing data is never overwritten by the default.
  PutRaw("there", REG_SZ, "kept\0"s);
  EXPECT_EQ(reg_->GetValue(scratch_, "there", Variant("other")), Variant("kept"));
  EXPECT_TRUE(reg_->GetValue(-1, "there").IsEmpty());
}

TEST_F(ValueConversionTest, SetValuePicksTheTypeFromTheHostValue) {
  struct Case {
    Variant value;
    DWORD type;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {Variant(int16_t{255}), REG_BINARY, "\xff"s}, {Variant(int16_t{256}), REG_DWORD, "\x00\x01\x00\x00"s},
      {Variant(int16_t{-1}), REG_DWORD, "\xff\xff\xff\xff"s}, {Variant(int32_t{5}), REG_BINARY, "\x05"s},
      {Variant(int32_t{300}), REG_DWORD, "\x2c\x01\x00\x00"s},
      {Variant(int32_t{-2}), REG_DWORD, "\xfe\xff\xff\xff"s}, {Variant(uint8_t{0}), REG_BINARY, "\x00"s},
      {Variant(true), REG_BINARY, "\x01"s}, {Variant(false), REG_BINARY, "\x00"s},
      {Variant("text"), REG_SZ, "text\0"s}, {Variant(""), REG_SZ, "\0"s},
      {Variant::StringArray({"a", "b"}), REG_MULTI_SZ, "a\0b\0\0"s},
      // Number kinds without a registry type go as their text.
      {Variant(-0.25), REG_SZ, "-0.25\0"s}, {Variant(1.5f), REG_SZ, "1.5\0"s},
      {Variant(Currency{-15000}), REG_SZ, "-1.5\0"s}, {Variant(Decimal{125, 1, false}), REG_SZ, "12.5\0"s},
      {Variant(Decimal{7, 0, true}), REG_SZ, "-7\0"s}, {Variant(Date{36526}), REG_SZ, "01/01/2000\0"s},
  };
  setlocale(LC_ALL, "C");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.TypeName());
    EXPECT_EQ(reg_->SetValue(scratch_, "v", c.value), ERROR_SUCCESS);
    EXPECT_EQ(GetRaw("v"), std::make_pair(c.type, c.bytes));
  }
  EXPECT_EQ(reg_->GetValue(scratch_, "v"), Variant("01/01/2000"));

  // Values with no registry form write nothing and leave the old data.
  const std::vector<Variant> unwritable = {
      Variant(), Variant::Null(), Variant(ErrorValue{7}), Variant::ByteArray({1, 2}),
      Variant::Array(vbDouble, {Variant(1.0)}), Variant(std::make_shared<Object>())};
  for (const Variant& value : unwritable) {
    SCOPED_TRACE(value.TypeName());
    EXPECT_EQ(reg_->SetValue(scratch_, "v", value), ERROR_SUCCESS);
    EXPECT_EQ(GetRaw("v").first, REG_SZ);
  }

  // Omitted: the value goes.
  EXPECT_EQ(reg_->SetValue(scratch_, "v"), ERROR_SUCCESS);
  EXPECT_EQ(GetRaw("v").first, REG_NONE);
  // A write the service refuses reports its code.
  EXPECT_NE(reg_->SetValue(-1, "v", Variant("x")), ERROR_SUCCESS);
}

TEST_F(ValueConversionTest, MultiStringSplitAndJoin) {
  auto pieces = [&](const std::string& text) {
    Variant array = reg_->GetMultiSZ(text);
    EXPECT_EQ(array.Type(), vbArray | vbString);
    EXPECT_EQ(array.LBound(), 0);
    std::vector<std::string> out;
    for (const Variant& v : array.AsArray().elements) out.push_back(v.AsString());
    return out;
  };
  EXPECT_EQ(pieces("a\0b\0\0"s), (std::vector<std::string>{"a", "b", "", ""}));
  EXPECT_EQ(pieces(""), (std::vector<std::string>{""}));
  EXPECT_EQ(pieces("solo"), (std::vector<std::string>{"solo"}));
  // No 16-bit element limit.
  EXPECT_EQ(pieces(std::string(40000, '\0')).size(), 40001u);

  EXPECT_EQ(reg_->ToMultiSZ(Variant::StringArray({"a", "b"})), "a\0b\0\0"s);
  EXPECT_EQ(reg_->ToMultiSZ(Variant::StringArray({})), "\0"s);
  EXPECT_EQ(reg_->ToMultiSZ(reg_->GetMultiSZ("x\0y"s)), "x\0y\0\0"s);
  EXPECT_EQ(testing::ErrorNumberOf([&] { reg_->ToMultiSZ(Variant("not an array")); }),
            errors::kTypeMismatch);
}

TEST_F(ValueConversionTest, DeleteValueAndKey) {
  PutRaw("gone", REG_SZ, "x\0"s);
  EXPECT_EQ(reg_->DeleteValue(scratch_, "gone"), ERROR_SUCCESS);
  EXPECT_EQ(GetRaw("gone").first, REG_NONE);
  EXPECT_EQ(reg_->DeleteValue(scratch_, "gone"), ERROR_FILE_NOT_FOUND);

  HKEY parent = reg_->OpenKey(scratch_, "Parent\\Child");
  ASSERT_NE(parent, -1);
  // One call only: a key with sub-keys stays.
  EXPECT_NE(reg_->DeleteKey(scratch_, "Parent"), ERROR_SUCCESS);
  EXPECT_TRUE(KeyExists(scratch_, "Parent\\Child"));
  EXPECT_EQ(reg_->DeleteKey(scratch_, "Parent\\Child"), ERROR_SUCCESS);
  EXPECT_EQ(reg_->DeleteKey(scratch_, "Parent"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(scratch_, "Parent"));
}

}  // namespace
}  // namespace qvr
