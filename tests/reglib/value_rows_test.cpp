// Rows of the reading and writing tables not covered elsewhere: expandable
// text without its terminator, the types read byte by byte, values without
// data, and the number kinds written as text.
#include <locale.h>

#include <string>

#include "reglib_fixture.h"

namespace qvr {
namespace {

using ValueRowsTest = ReglibTest;
using namespace std::string_literals;

TEST_F(ValueRowsTest, ReadingRows) {
  setenv("QVR_ROWS_DIR", "/srv", 1);
  PutRaw("exp-bare", REG_EXPAND_SZ, "%QVR_ROWS_DIR%/x");
  PutRaw("exp", REG_EXPAND_SZ, "%QVR_ROWS_DIR%/y\0"s);
  EXPECT_EQ(reg_->GetValue(scratch_, "exp-bare"), Variant("/srv/x"));
  EXPECT_EQ(reg_->GetValue(scratch_, "exp"), Variant("/srv/y"));
  unsetenv("QVR_ROWS_DIR");

  // A text with a NUL inside keeps it; only the terminator goes.
  PutRaw("inner-nul", REG_SZ, "a\0b\0"s);
  EXPECT_EQ(reg_->GetValue(scratch_, "inner-nul"), Variant("a\0b"s));

  for (DWORD type : {REG_LINK, REG_RESOURCE_LIST, REG_FULL_RESOURCE_DESCRIPTOR}) {
    SCOPED_TRACE(type);
    PutRaw("raw", type, "\x01\x00\xfe"s);
    RegistryDataTypes reported = rdNone;
    EXPECT_EQ(reg_->GetValue(scratch_, "raw", std::nullopt, &reported), Variant("\x01\x00\xfe"s));
    EXPECT_EQ(static_cast<DWORD>(reported), type);
  }

  // No data bytes: Empty, type untouched; with a default, the default is
  // written over the empty value and returned.
  PutRaw("nothing", REG_BINARY, "");
  RegistryDataTypes reported = rdMultiSZ;
  EXPECT_TRUE(reg_->GetValue(scratch_, "nothing", std::nullopt, &reported).IsEmpty());
  EXPECT_EQ(reported, rdMultiSZ);
  EXPECT_EQ(reg_->GetValue(scratch_, "nothing", Variant(int32_t{300})), Variant(int32_t{300}));
  EXPECT_EQ(GetRaw("nothing"), std::make_pair(REG_DWORD, "\x2c\x01\x00\x00"s));
}

TEST_F(ValueRowsTest, NumberKindsAreWrittenAsTheirText) {
  setlocale(LC_ALL, "C");
  const std::pair<Variant, std::string> cases[] = {
      {Variant(Decimal{125, 1, false}), "12.5"},
      {Variant(Decimal{7, 0, true}), "-7"},
      {Variant(1.5f), "1.5"},
      {Variant(-0.25), "-0.25"},
      {Variant(Currency{-15000}), "-1.5"},
      {Variant(Date{36526}), "01/01/2000"},
  };
  for (const auto& [value, text] : cases) {
    SCOPED_TRACE(value.TypeName());
    ASSERT_EQ(reg_->SetValue(scratch_, "n", value), ERROR_SUCCESS);
    EXPECT_EQ(GetRaw("n"), std::make_pair(REG_SZ, text + '\0'));
    EXPECT_EQ(reg_->GetValue(scratch_, "n"), Variant(text));
  }
}

}  // namespace
}  // namespace qvr
