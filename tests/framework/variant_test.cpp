#include <gtest/gtest.h>

#include "framework/exception.h"
#include "framework/format_settings.h"
#include "framework/variant.h"

namespace framework {
namespace {

class VariantTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFormatSettings(FormatSettings::German()); }
};

TEST_F(VariantTest, EmptyAndNull) {
  Variant empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(0, empty.ToInt32());
  EXPECT_EQ("", empty.ToString());
  const Variant null = Variant::Null();
  EXPECT_EQ("", null.ToString());
  try {
    null.ToInt32();
    FAIL();
  } catch (const EVariantError& e) {
    EXPECT_EQ("Could not convert variant of type (Null) into type (Integer)", e.Message());
  }
  EXPECT_THROW(null.ToDate(), EVariantError);
  EXPECT_THROW(null.ToBool(), EVariantError);
}

TEST_F(VariantTest, NumbersAndText) {
  EXPECT_EQ("True", Variant(true).ToString());
  EXPECT_EQ(-1, Variant(true).ToInt32());
  EXPECT_EQ(42, Variant("42").ToInt32());
  EXPECT_EQ(2, Variant(2.5).ToInt32());  // half to even
  EXPECT_EQ(4, Variant(3.5).ToInt32());
  EXPECT_EQ(3, Variant("2,6").ToInt32());
  EXPECT_THROW(Variant("x1").ToInt32(), EVariantError);
  EXPECT_THROW(Variant(1e12).ToInt32(), EVariantError);
  EXPECT_THROW(Variant(static_cast<long>(3000000000)).ToInt32(), EVariantError);
  EXPECT_EQ(3000000000LL, Variant(3e9).ToInt64());
  EXPECT_EQ("1,25", Variant(1.25).ToString());
  EXPECT_EQ("0,1", Variant::Single(0.1f).ToString());
  EXPECT_EQ(12345, Variant::Currency(1.2345).ToCurrencyScaled());
  EXPECT_EQ("-1,5", Variant::CurrencyScaled(-15000).ToString());
  EXPECT_TRUE(Variant("TRUE").ToBool());
  EXPECT_FALSE(Variant("0").ToBool());
}

TEST_F(VariantTest, DatesBytesArrays) {
  const Variant d = Variant::Date(EncodeDate(1970, 12, 24));
  EXPECT_EQ("24.12.1970", d.ToString());
  EXPECT_EQ(EncodeDate(1970, 12, 24), Variant("24.12.1970").ToDate());
  EXPECT_THROW(Variant("kein Datum").ToDate(), EVariantError);
  const std::vector<uint8_t> bytes{0, 1, 255};
  EXPECT_EQ(bytes, Variant(bytes).ToBytes());
  EXPECT_THROW(Variant(bytes).ToDate(), EVariantError);
  const Variant a = Variant::Array({Variant(1), Variant("x")}, 1);
  EXPECT_EQ(1, a.ArrayLowBound());
  EXPECT_EQ(2, a.ArrayHighBound());
  EXPECT_EQ(Variant("x"), a.ArrayItem(2));
  EXPECT_THROW(a.ArrayItem(0), EVariantError);
  EXPECT_THROW(a.ToString(), EVariantError);
  EXPECT_EQ(a, Variant::Array({Variant(1), Variant("x")}, 1));
  EXPECT_NE(Variant(1), Variant(1.0));
}

}  // namespace
}  // namespace framework
