// Jet literals, parameter substitution and the date default conversions of the table's SQL text
// helpers, under German and US format settings.
#include "dao/table/sql_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/date_time.h"
#include "framework/exception.h"
#include "framework/format_settings.h"
#include "tests/dao/table/table_test_support.h"

namespace {

using daotable::ExpandSqlParams;
using framework::FormatSettings;
using framework::Variant;

using daotabletest::UsSettings;

// Every test states the locale it runs in; the process-wide settings are restored afterwards.
class SqlTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = framework::DefaultFormatSettings();
    framework::SetFormatSettings(FormatSettings::German());
  }
  void TearDown() override { framework::SetFormatSettings(saved_); }

  framework::TStringList Lines(const std::vector<std::string>& lines) {
    framework::TStringList list;
    for (const std::string& line : lines) list.Add(line);
    return list;
  }
  std::string Expand(const std::vector<std::string>& lines, bool param_check = true) {
    return ExpandSqlParams(Lines(lines), params_, param_check, daotable::IdentifierCharSet());
  }
  dataset::TParam& Param(const std::string& name, dataset::TFieldType type, const Variant& v) {
    dataset::TParam& p = params_.CreateParam(type, name, dataset::ptInput);
    p.SetValue(v);
    return p;
  }

  dataset::TParams params_;
  FormatSettings saved_;
};

TEST_F(SqlTextTest, IdentifierCharsAreUnderscoreAsciiAlnumAndEveryHighByte) {
  const std::string chars = daotable::IdentifierCharsText();
  EXPECT_EQ(chars.substr(0, 12), "_0123456789A");
  EXPECT_EQ(chars.size(), 1u + 10 + 26 + 26 + 128);
  const dataset::TCharSet set = daotable::IdentifierCharSet();
  EXPECT_TRUE(set.test('_') && set.test('z') && set.test(0x80) && set.test(0xFF));
  EXPECT_FALSE(set.test(' ') || set.test(':') || set.test('"') || set.test('.'));
}

TEST_F(SqlTextTest, LiteralPieces) {
  struct Case {
    std::string in, doubled, wildcards, bracketed;
  };
  const std::vector<Case> cases = {
      {"", "", "", "[]"},
      {"Name", "Name", "Name", "[Name]"},
      {"Kunden.Name", "Kunden.Name", "Kunden.Name", "[Kunden].[Name]"},
      {"5\"Disk", "5\"\"Disk", "5\"Disk", "[5\"Disk]"},
      {"\"\"", "\"\"\"\"", "\"\"", "[\"\"]"},
      {"50%-Rabatt?", "50%-Rabatt?", "50%[-]Rabatt[?]", "[50%-Rabatt?]"},
      {"!#*[]", "!#*[]", "![#][*][[][]]", "[!#*[]]"},
      {"a.b.c", "a.b.c", "a.b.c", "[a].[b].[c]"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(daotable::DoubleQuoteChars(c.in), c.doubled) << c.in;
    EXPECT_EQ(daotable::BracketWildcards(c.in), c.wildcards) << c.in;
    EXPECT_EQ(daotable::BracketQualifiedName(c.in), c.bracketed) << c.in;
  }
  EXPECT_EQ(daotable::QuotedText("12\"Rohr"), "\"12\"\"Rohr\"");
}

TEST_F(SqlTextTest, InvariantNumbersInBothLocales) {
  const FormatSettings de = FormatSettings::German();
  const FormatSettings us = UsSettings();
  EXPECT_EQ(daotable::InvariantNumberText("1.234,5", de), "1234.5");
  EXPECT_EQ(daotable::InvariantNumberText("-0,25", de), "-0.25");
  EXPECT_EQ(daotable::InvariantNumberText("1,234.5", us), "1234.5");
  EXPECT_EQ(daotable::InvariantNumberText("4711", us), "4711");
  // The point of a US text is a thousands separator to German settings.
  EXPECT_EQ(daotable::InvariantNumberText("1.5", de), "15");

  for (const char* yes : {"0", "4711", "-1", "+2", "1234.5", ".5", "5.", "1.5E20", "2e-7", " 12 "})
    EXPECT_TRUE(daotable::IsJetNumber(yes)) << yes;
  for (const char* no : {"", " ", "-", ".", "1.2.3", "1E", "E5", "1 2", "0x1F", "NAN", "1,5",
                         "1) OR (1=1", "1;DROP TABLE x", "12abc"})
    EXPECT_FALSE(daotable::IsJetNumber(no)) << no;
}

TEST_F(SqlTextTest, GuidTexts) {
  const std::vector<uint8_t> bytes = {0x3D, 0x2C, 0x1B, 0x0A, 0x5F, 0x4E, 0x71, 0x60,
                                      0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9};
  const std::string text = "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";
  EXPECT_EQ(daotable::GuidRegistryText(bytes), text);
  EXPECT_EQ(daotable::GuidRegistryText(std::vector<uint8_t>(16, 0)), "");
  EXPECT_EQ(daotable::GuidRegistryText(std::vector<uint8_t>(15, 1)), "");
  EXPECT_EQ(daotable::GuidRegistryText({}), "");

  EXPECT_EQ(daotable::NormalizeGuidText(text), text);
  EXPECT_EQ(daotable::NormalizeGuidText("0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9"), text);
  EXPECT_EQ(daotable::NormalizeGuidText("{guid {0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}}"), text);
  for (const char* bad : {"", "{}", "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F}",
                          "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8FG}", "{0A1B2C3D+4E5F-6071-8293-A4B5C6D7E8F9}",
                          "x}) OR (1=1 -- padding to 38 chars.."})
    EXPECT_EQ(daotable::NormalizeGuidText(bad), "") << bad;
}

TEST_F(SqlTextTest, DateLiteralsIgnoreTheLocale) {
  const framework::TDateTime stamp =
      framework::EncodeDate(2003, 1, 15) + framework::EncodeTime(22, 30, 5, 0);
  EXPECT_EQ(daotable::JetDateLiteral(stamp, dataset::ftDate), "#01/15/2003#");
  EXPECT_EQ(daotable::JetDateLiteral(stamp, dataset::ftTime), "#22:30:05#");
  EXPECT_EQ(daotable::JetDateLiteral(stamp, dataset::ftDateTime), "#01/15/2003 22:30:05#");
  EXPECT_EQ(daotable::JetDateLiteral(framework::EncodeDate(1, 1, 1), dataset::ftDate), "#01/01/0001#");
  EXPECT_THROW(daotable::JetDateLiteral(1e9, dataset::ftDate), framework::EConvertError);
}

TEST_F(SqlTextTest, ReplaceParamTokenReplacesWholeWordsIgnoringCase) {
  struct Case {
    std::string text, token, expected;
  };
  const std::vector<Case> cases = {
      {"A=:P1 and B=:P", ":p", "A=:P1 and B=7"},
      {"where ID = :id and x = :idx", ":Id", "where ID = 7 and x = :idx"},
      {"a:id", ":id", "a:id"},
      {":id", ":id", "7"},
      {":id,:ID", ":id", "7,7"},
      {"", ":id", ""},
      {"no token here", ":id", "no token here"},
      {"x = :äpfel", ":ÄPFEL", "x = 7"},
      {"ä:p and :pä", ":p", "ä:p and :pä"},
      // Lower-casing İ changes its length; the replacement still lands on the token.
      {"İİ = :p AND x", ":p", "İİ = 7 AND x"},
      // The search resumes behind an occurrence as if the text started there.
      {"x:p:p", ":p", "x:p7"},
  };
  const dataset::TCharSet ids = daotable::IdentifierCharSet();
  for (const Case& c : cases)
    EXPECT_EQ(daotable::ReplaceParamToken(c.text, c.token, "7", ids), c.expected) << c.text;
  // The value is not searched again.
  EXPECT_EQ(daotable::ReplaceParamToken(":p", ":p", ":p :p", ids), ":p :p");
}

TEST_F(SqlTextTest, ExpandWritesEachTypeInItsLiteralForm) {
  const framework::TDateTime stamp =
      framework::EncodeDate(2003, 1, 15) + framework::EncodeTime(22, 30, 5, 0);
  const std::vector<uint8_t> guid = {0x3D, 0x2C, 0x1B, 0x0A, 0x5F, 0x4E, 0x71, 0x60,
                                     0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9};
  struct Case {
    dataset::TFieldType type;
    Variant value;
    std::string literal;
  };
  const std::vector<Case> cases = {
      {dataset::ftString, Variant("5\"Disk"), "\"5\"\"Disk\""},
      {dataset::ftMemo, Variant(""), "\"\""},
      {dataset::ftFloat, Variant("1234,5"), "1234.5"},
      {dataset::ftFloat, Variant(1234.5), "1234.5"},
      {dataset::ftCurrency, Variant::Currency(-0.25), "-0.25"},
      {dataset::ftInteger, Variant(4711), "4711"},
      {dataset::ftBoolean, Variant(true), "True"},
      {dataset::ftDate, Variant::Date(stamp), "#01/15/2003#"},
      {dataset::ftTime, Variant::Date(stamp), "#22:30:05#"},
      {dataset::ftDateTime, Variant::Date(stamp), "#01/15/2003 22:30:05#"},
      {dataset::ftDateTime, Variant("15.01.2003 22:30:05"), "#01/15/2003 22:30:05#"},
      {dataset::ftBytes, Variant(guid), "{guid {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}}"},
      {dataset::ftBytes, Variant("{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}"),
       "{guid {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}}"},
      {dataset::ftBytes, Variant(std::vector<uint8_t>(16, 0)), "{guid }"},
      {dataset::ftWideString, Variant("Müller"), "\"Müller\""},
  };
  for (const Case& c : cases) {
    params_.Clear();
    Param("p", c.type, c.value);
    EXPECT_EQ(Expand({"x = :p"}), "x = " + c.literal + "\r\n") << dataset::FieldTypeName(c.type);
  }
}

TEST_F(SqlTextTest, ExpandTextAndNulls) {
  Param("p", dataset::ftString, Variant::Null());
  EXPECT_EQ(Expand({"select * from T where X :p"}), "select * from T where X  IS NULL\r\n");
  EXPECT_EQ(Expand({"select * from T", "where X :p"}, false), "select * from T\r\nwhere X :p\r\n");
  EXPECT_EQ(Expand({}), "");

  params_.Clear();
  Param("Jahr", dataset::ftInteger, Variant(2003));
  Param("Name", dataset::ftString, Variant("Meier"));
  Param("jahr", dataset::ftInteger, Variant(1999));  // a repeated name: the first one counts
  Param("Unused", dataset::ftInteger, Variant(1));
  EXPECT_EQ(Expand({"select * from T", "where Jahr = :JAHR and Name = :name and X = :Jahr2",
                    "and t = #10:30# and a::Name and b:Name and Zeit = 10:30"}),
            "select * from T\r\nwhere Jahr = 2003 and Name = \"Meier\" and X = :Jahr2\r\n"
            "and t = #10:30# and a::Name and b:Name and Zeit = 10:30\r\n");
}

TEST_F(SqlTextTest, ExpandUnderUsSettings) {
  framework::SetFormatSettings(UsSettings());
  Param("f", dataset::ftFloat, Variant("1,234.5"));
  Param("d", dataset::ftDate, Variant("12/31/2001"));
  EXPECT_EQ(ExpandSqlParams(Lines({"f = :f and d = :d"}), params_, true,
                            daotable::IdentifierCharSet(), UsSettings()),
            "f = 1234.5 and d = #12/31/2001#\r\n");
}

TEST_F(SqlTextTest, ExpandKeepsEveryValueInsideItsLiteral) {
  struct Case {
    dataset::TFieldType type;
    Variant value;
    std::string literal;
  };
  const std::vector<Case> cases = {
      {dataset::ftString, Variant("x\" OR \"1\"=\"1"), "\"x\"\" OR \"\"1\"\"=\"\"1\""},
      {dataset::ftInteger, Variant("1 OR 1=1"), "\"1 OR 1=1\""},
      {dataset::ftFloat, Variant("1); DELETE FROM T; --"), "\"1); DELETE FROM T; --\""},
      {dataset::ftDate, Variant("#1/1/2000# OR 1=1"), "\"#1/1/2000# OR 1=1\""},
      {dataset::ftUnknown, Variant("abc"), "\"abc\""},
      {dataset::ftSmallint, Variant("12"), "12"},
  };
  for (const Case& c : cases) {
    params_.Clear();
    Param("p", c.type, c.value);
    EXPECT_EQ(Expand({"x = :p"}), "x = " + c.literal + "\r\n") << c.value.ToString();
  }

  // A value holding another parameter's token is not searched again, and tokens inside string
  // literals, bracketed names and dates are text, not parameters.
  params_.Clear();
  Param("a", dataset::ftString, Variant(":b"));
  Param("b", dataset::ftString, Variant("\" OR 1=1 OR \""));
  EXPECT_EQ(Expand({"x = :a and y = ':b' and z = \":b\" and [:b] = #:b#"}),
            "x = \":b\" and y = ':b' and z = \":b\" and [:b] = #:b#\r\n");
}

TEST_F(SqlTextTest, NormalizeDateText) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> german = {
      {"", ""},
      {"15.01.2003", "15.01.2003"},
      {"15.01.2003 г. 10:30:00", "15.01.2003 10:30:00"},
      {"Datum 15. 01. 2003", "15.01.2003"},
      {"  15.01.2003   10:30  ", "15.01.2003 10:30"},
      {"15.01.2003, 10:30", "15.01.2003 10:30"},
      {"Mo, 15.01.2003", "15.01.2003"},
      {"10:30:05", "10:30:05"},
      {"abc", ""},
  };
  for (const Case& c : german) EXPECT_EQ(daotable::NormalizeDateText(c.in), c.out) << c.in;
  // A twelve-hour clock keeps its designator; German settings have none, so "am" is a word.
  EXPECT_EQ(daotable::NormalizeDateText("12/31/2001, 10:30 pm", UsSettings()),
            "12/31/2001 10:30 PM");
  EXPECT_EQ(daotable::NormalizeDateText("Sat 1/5/2002 12:00:00 AM", UsSettings()),
            "1/5/2002 12:00:00 AM");
  EXPECT_EQ(daotable::NormalizeDateText("AMPM 1/5/2002 12:00 AMSTERDAM", UsSettings()),
            "1/5/2002 12:00");
  EXPECT_EQ(daotable::NormalizeDateText("am 15.01.2003 um 12:30"), "15.01.2003 12:30");
  EXPECT_EQ(daotable::NormalizeDateText("2003-01-15", UsSettings()), "20030115");
}

TEST_F(SqlTextTest, DefaultDateToStampText) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"1/15/2003", "731230 0"},
      {"1/15/2003 10:30:00 PM", "731230 81000000"},
      {"1/15/2003 10:30:00 AM", "731230 37800000"},
      {"1/15/2003 12:15:00 PM", "731230 44100000"},
      {"1/15/2003 12:15:00 AM", "731230 900000"},
      {"1/15/2003 22:30:05", "731230 81005000"},
      {"1/1/1", "1 0"},
      {"12/30/1899", "693594 0"},
      {"", ""},
      {"1/15", ""},
      {"15/1/2003", ""},
      {"2/29/2001", ""},
      {"x/15/2003", ""},
      {"1/15/2003 25:00:00", ""},
      {"1/15/2003 10:61:00", ""},
      {"1/15/2003 ab:00:00", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(daotable::DefaultDateToStampText(c.in), c.out) << c.in;
}

TEST_F(SqlTextTest, StampTextToDate) {
  const Variant midnight = daotable::StampTextToDate("731230 0");
  ASSERT_EQ(midnight.Type(), framework::VarType::Date);
  EXPECT_EQ(midnight.ToDate(), framework::EncodeDate(2003, 1, 15));
  EXPECT_DOUBLE_EQ(daotable::StampTextToDate("731230 81000000").ToDate(),
                   framework::EncodeDate(2003, 1, 15) + framework::EncodeTime(22, 30, 0, 0));
  // Both conversions agree.
  EXPECT_DOUBLE_EQ(
      daotable::StampTextToDate(daotable::DefaultDateToStampText("2/28/2024 11:59:59 PM")).ToDate(),
      framework::EncodeDate(2024, 2, 28) + framework::EncodeTime(23, 59, 59, 0));
  for (const char* bad : {"", "731230", "x 0", "731230 y", "0 0", "731230 86400000", "-5 0",
                          "9999999 0"})
    EXPECT_TRUE(daotable::StampTextToDate(bad).IsNull()) << bad;
}

}  // namespace
