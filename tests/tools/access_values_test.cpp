// Decoding Access's stored values and writing its stored queries back as SQL, on bytes and rows
// made by hand (values the sample files do not hold: large currency, dates before 1900, scaled
// and negative decimals, joins from either side).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/jet_parser.h"
#include "framework/exception.h"
#include "tools/access/access_queries.h"
#include "tools/access/access_schema.h"
#include "tools/access/access_values.h"

namespace access_file {
namespace {

template <class T>
std::vector<uint8_t> Bytes(T value) {
  std::vector<uint8_t> b(sizeof value);
  std::memcpy(b.data(), &value, sizeof value);
  return b;
}

Variant Decode(int type, const std::vector<uint8_t>& b) { return DecodeFixed(type, b.data(), b.size(), 0); }

// A stored decimal: sign byte, then the magnitude as four 32-bit words, most significant first.
std::vector<uint8_t> Decimal(bool negative, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
  std::vector<uint8_t> b(17, 0);
  b[0] = negative ? 0x80 : 0;
  const uint32_t words[4] = {w0, w1, w2, w3};
  std::memcpy(b.data() + 1, words, sizeof words);
  return b;
}

TEST(AccessValues, FixedValuesKeepEveryBit) {
  EXPECT_EQ(Variant::SmallInt(255), Decode(kByte, {0xFF}));
  EXPECT_EQ(Variant::SmallInt(-2), Decode(kInteger, Bytes<int16_t>(-2)));
  EXPECT_EQ(Variant(-2147483647 - 1), Decode(kLong, Bytes<int32_t>(INT32_MIN)));
  EXPECT_EQ(Variant::Single(0.1f), Decode(kSingle, Bytes(0.1f)));
  EXPECT_EQ(Variant(444.555), Decode(kDouble, Bytes(444.555)));
  // Currency: the largest amount and a negative one, to the ten-thousandth.
  EXPECT_EQ(Variant::CurrencyScaled(INT64_MAX), Decode(kCurrency, Bytes<int64_t>(INT64_MAX)));
  EXPECT_EQ(Variant::CurrencyScaled(-12345), Decode(kCurrency, Bytes<int64_t>(-12345)));
  // Dates before 1899 are negative days; the time of day is the fraction (also of a negative day).
  EXPECT_EQ(Variant::Date(-36522.75), Decode(kDateTime, Bytes(-36522.75)));
  EXPECT_EQ(Variant::Date(0.5), Decode(kDateTime, Bytes(0.5)));
  const std::vector<uint8_t> guid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  EXPECT_EQ(Variant(guid), Decode(kGuid, guid));
  // A value of the wrong width is a damaged record, not a guess.
  EXPECT_THROW(Decode(kLong, {1, 2}), framework::Exception);
  EXPECT_THROW(Decode(kText, {1}), framework::Exception);
}

TEST(AccessValues, DecimalsAreReadToTheLastDigit) {
  const auto one = Decimal(false, 0, 0, 0, 1);
  EXPECT_EQ("1", DecimalText(one.data(), one.size(), 0));
  EXPECT_EQ("0.0001", DecimalText(one.data(), one.size(), 4));
  const auto minus = Decimal(true, 0, 0, 0, 123456);
  EXPECT_EQ("-12.3456", DecimalText(minus.data(), minus.size(), 4));
  const auto zero = Decimal(true, 0, 0, 0, 0);  // no "-0"
  EXPECT_EQ("0.00", DecimalText(zero.data(), zero.size(), 2));
  // 2^96 + 2^64 + 2^32 + 1: all four words count, the first the most.
  const auto big = Decimal(false, 1, 1, 1, 1);
  EXPECT_EQ("79228162532711081671548469249", DecimalText(big.data(), big.size(), 0));
  EXPECT_EQ(Variant(-12.3456), DecodeFixed(kNumeric, minus.data(), minus.size(), 4));

  EXPECT_TRUE(DoubleHoldsDecimal("-12.3456"));
  EXPECT_TRUE(DoubleHoldsDecimal("0.1"));
  EXPECT_TRUE(DoubleHoldsDecimal("123456789012345"));
  EXPECT_TRUE(DoubleHoldsDecimal("1152921504606846976"));  // 2^60, 19 digits, exact
  EXPECT_FALSE(DoubleHoldsDecimal("12345678901234567.89"));
  EXPECT_FALSE(DoubleHoldsDecimal("79228162532711081671548469249"));
}

TEST(AccessValues, EveryAccessTypeHasItsDaoType) {
  EXPECT_EQ(1, DaoTypeOf(kBoolean));
  EXPECT_EQ(4, DaoTypeOf(kLong));
  EXPECT_EQ(5, DaoTypeOf(kCurrency));
  EXPECT_EQ(6, DaoTypeOf(kSingle));
  EXPECT_EQ(9, DaoTypeOf(kBinary));
  EXPECT_EQ(11, DaoTypeOf(kOle));
  EXPECT_EQ(12, DaoTypeOf(kMemo));
  EXPECT_EQ(15, DaoTypeOf(kGuid));
  EXPECT_EQ(20, DaoTypeOf(kNumeric));
  EXPECT_EQ(0, DaoTypeOf(kComplex));
}

QueryRow Row(int attribute, const std::string& name1, const std::string& name2, const std::string& expression,
             int flag = 0) {
  QueryRow r;
  r.attribute = attribute;
  r.name1 = name1;
  r.name2 = name2;
  r.expression = expression;
  r.flag = flag;
  r.has_flag = true;
  return r;
}

TEST(AccessQueries, SelectQueryWithJoinsParametersAndOrder) {
  // Joins as Access stores them: a left join, then an inner join on two conditions whose known
  // side is its left; and a right join stated from the side not yet joined.
  const std::vector<QueryRow> rows = {
      Row(1, "", "", "", 1),
      Row(2, "Stichtag", "", "", 8),
      Row(3, "", "", "", 2),
      Row(5, "Table1", "", ""), Row(5, "Table2", "", ""), Row(5, "Table3", "T3", ""), Row(5, "Table4", "", ""),
      Row(6, "", "", "Table1.*"),
      Row(6, "Anzahl", "", "Count(T3.col1)"),
      Row(7, "Table1", "T3", "Table1.col1 = T3.col1", 2),
      Row(7, "T3", "Table2", "T3.col1 = Table2.col1", 1),
      Row(7, "T3", "Table2", "T3.col2 = Table2.col2", 1),
      Row(8, "", "", "Table1.Datum < [Stichtag]"),
      Row(9, "", "", "Table1.col1"),
      Row(10, "", "", "Count(T3.col1) > 1"),
      Row(11, "D", "", "Table1.col1"),
  };
  const QuerySql q = QueryToSql(rows);
  ASSERT_TRUE(q.select);
  EXPECT_EQ(
      "PARAMETERS [Stichtag] DateTime;\n"
      "SELECT DISTINCT Table1.*, Count(T3.col1) AS [Anzahl]\n"
      "FROM ([Table1] LEFT JOIN [Table3] AS [T3] ON Table1.col1 = T3.col1) INNER JOIN [Table2] ON "
      "(T3.col1 = Table2.col1) AND (T3.col2 = Table2.col2), [Table4]\n"
      "WHERE Table1.Datum < [Stichtag]\nGROUP BY Table1.col1\nHAVING Count(T3.col1) > 1\nORDER BY Table1.col1 DESC;",
      q.sql);
  EXPECT_NO_THROW(engine::ParseStatement(q.sql)) << q.sql;

  // A left join whose left table is joined later turns round into a right join.
  const QuerySql turned = QueryToSql({Row(1, "", "", "", 1), Row(5, "A", "", ""), Row(5, "B", "", ""), Row(5, "C", "", ""),
                                      Row(6, "", "", "*"), Row(7, "A", "B", "A.x = B.x", 1),
                                      Row(7, "C", "B", "C.y = B.y", 2)});
  EXPECT_EQ("SELECT *\nFROM ([A] INNER JOIN [B] ON A.x = B.x) RIGHT JOIN [C] ON C.y = B.y;", turned.sql);
  EXPECT_NO_THROW(engine::ParseStatement(turned.sql));

  // Joins in a cycle cannot be one FROM clause: the query is reported, not guessed.
  const QuerySql cycle = QueryToSql({Row(1, "", "", "", 1), Row(5, "A", "", ""), Row(5, "B", "", ""), Row(5, "C", "", ""),
                                     Row(7, "A", "B", "A.x = B.x", 1), Row(7, "B", "C", "B.x = C.x", 1),
                                     Row(7, "C", "A", "C.x = A.x", 1)});
  EXPECT_TRUE(cycle.select);
  EXPECT_EQ("", cycle.sql);
}

TEST(AccessQueries, OtherKindsAreNamedOnly) {
  for (const auto& [flag, kind] : std::vector<std::pair<int, std::string>>{
           {2, "make-table query"}, {3, "append query"}, {4, "update query"}, {5, "delete query"},
           {6, "crosstab query"}, {7, "data-definition query"}, {8, "pass-through query"}, {9, "union query"}}) {
    const QuerySql q = QueryToSql({Row(1, "", "", "", flag), Row(5, "Table1", "", "")});
    EXPECT_FALSE(q.select) << kind;
    EXPECT_EQ(kind, q.kind);
    EXPECT_EQ("", q.sql);
  }
  const QuerySql top = QueryToSql({Row(1, "", "", "", 1), Row(3, "10", "", "", 0x10 | 0x20), Row(5, "T", "", ""),
                                   Row(6, "", "", "T.a")});
  EXPECT_EQ("SELECT TOP 10 PERCENT T.a\nFROM [T];", top.sql);
}

}  // namespace
}  // namespace access_file
